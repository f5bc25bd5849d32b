#include "playback/CMediaGraph.h"

#include "playback/CVideoHost.h"

#include "FrameNumber.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace quello {
namespace {

using test::FrameNumber;
using test::MediaPath;

constexpr int kWaitMs = 30000; // generous: the suite also runs under sanitizers on 2 cores
constexpr double kFps = 25.0;  // clip.mov

// Stands in for the main window: drains the engine on each notification.
class NotifySink : public QObject {
public:
    explicit NotifySink(CMediaGraph& graph) : graph_(graph) {}
    int notifications = 0;
    bool event(QEvent* event) override {
        if (event->type() != CMediaGraph::kGraphNotifyEvent)
            return QObject::event(event);
        ++notifications;
        graph_.DrainGraphEvents();
        return true;
    }

private:
    CMediaGraph& graph_;
};

// Collects the engine's trace messages while it lives.
class EngineTraces {
public:
    EngineTraces() {
        QLoggingCategory::setFilterRules("quello.engine.debug=true");
        Lines().clear();
        previous_ = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { Lines() << text; });
    }
    ~EngineTraces() {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules("quello.engine.debug=false");
    }
    static QStringList& Lines() {
        static QStringList lines;
        return lines;
    }

private:
    QtMessageHandler previous_;
};

// Makes `folder` the working folder while it lives.
class WorkingFolder {
public:
    explicit WorkingFolder(const QString& folder) { EXPECT_TRUE(QDir::setCurrent(folder)); }
    ~WorkingFolder() { QDir::setCurrent(previous_); }

private:
    const QString previous_ = QDir::currentPath();
};

QImage Capture(CMediaGraph& graph) {
    const int size = graph.GetCurrentImageSize();
    std::vector<unsigned char> dib(size > 0 ? size : 0);
    if (size <= 0 || !graph.GetCurrentImage(dib.data(), size))
        return {};
    return test::DibToImage(dib.data(), size);
}

// Waits until the frame on screen is `frame`; returns the frame last seen.
int WaitForFrame(CMediaGraph& graph, int frame) {
    int seen = -1;
    (void)QTest::qWaitFor(
        [&] {
            seen = FrameNumber(Capture(graph));
            return seen == frame;
        },
        kWaitMs);
    return seen;
}

class MediaGraphTest : public testing::Test {
protected:
    void SetUp() override {
        host.resize(400, 300);
        host.show();
        graph = std::make_unique<CMediaGraph>();
        graph->SetAudioOutput("null");
        sink = std::make_unique<NotifySink>(*graph);
    }
    int Open(const char* name) { return graph->OpenMovie(MediaPath(name), &host, sink.get()); }
    bool WaitForState(MediaState state) {
        return QTest::qWaitFor([&] { return graph->GetState() == state; }, kWaitMs);
    }

    CVideoHost host;
    std::unique_ptr<CMediaGraph> graph;
    std::unique_ptr<NotifySink> sink;
};

TEST_F(MediaGraphTest, EveryOperationIsInertWithoutMovie) {
    for (bool closed : {false, true}) {
        if (closed) {
            ASSERT_EQ(Open("clip.mov"), 0);
            graph->CloseMovie();
        }
        EXPECT_EQ(graph->GetState(), closed ? MediaState::Closed : MediaState::Stopped);
        graph->TogglePlayPause();
        graph->StopAndRewind();
        graph->SetRateIndex(2);
        graph->SetVolumeLevel(3);
        graph->SetFullScreen(true);
        EXPECT_EQ(graph->Pause(), 0);
        EXPECT_EQ(graph->DrainGraphEvents(), 0);
        EXPECT_EQ(graph->StepForward(1), 0);
        EXPECT_EQ(graph->SetPositionSeconds(1.0), 0);
        EXPECT_EQ(graph->GetPositionSeconds(), 0.0);
        EXPECT_EQ(graph->GetDurationSeconds(), 0.0);
        EXPECT_EQ(graph->GetRate(), 0.0);
        EXPECT_EQ(graph->GetVolumeLevel(), 0);
        EXPECT_EQ(graph->InitVideoWindow(), 0);
        EXPECT_EQ(graph->AttachVideoHost(&host), 0);
        EXPECT_EQ(graph->GetCurrentImageSize(), 0);
        unsigned char buffer[64];
        EXPECT_FALSE(graph->GetCurrentImage(buffer, sizeof buffer));
        EXPECT_EQ(graph->SaveFrameAsJpeg("/tmp/never-written.jpg"), 0);
        EXPECT_EQ(graph->GetState(), closed ? MediaState::Closed : MediaState::Stopped);
        EXPECT_FALSE(host.IsFullScreen());
        EXPECT_TRUE(host.frame().isNull());
    }
}

TEST_F(MediaGraphTest, OpenFailsOnWhatIsNoMovie) {
    for (const char* name : {"missing.mov", "text.txt", "random.bin", "empty.mov", "nomoov.mov"}) {
        EngineTraces traces;
        EXPECT_LT(Open(name), 0) << name;
        EXPECT_EQ(graph->GetState(), MediaState::Stopped) << name;
        EXPECT_EQ(graph->GetDurationSeconds(), 0.0) << name;
        EXPECT_TRUE(graph->FileName().isEmpty()) << name;
        ASSERT_FALSE(traces.Lines().isEmpty()) << name;
        const QString last = traces.Lines().last();
        EXPECT_TRUE(last.startsWith("FAILED(hr=0x")) << last.toStdString();
        EXPECT_TRUE(last.contains("loadfile")) << last.toStdString();
    }

    // A null path changes nothing: the open movie keeps playing.
    ASSERT_EQ(Open("clip.mov"), 0);
    graph->TogglePlayPause();
    EXPECT_EQ(graph->OpenMovie(QString(), &host, sink.get()), CMediaGraph::kEPointer);
    EXPECT_EQ(graph->GetState(), MediaState::Running);
    EXPECT_EQ(graph->FileName(), MediaPath("clip.mov"));
}

TEST_F(MediaGraphTest, OpensPausedOnFirstFrameLetterboxed) {
    ASSERT_EQ(Open("clip.mov"), 0);
    EXPECT_EQ(graph->GetState(), MediaState::Paused);
    EXPECT_EQ(graph->GetPositionSeconds(), 0.0);
    EXPECT_NEAR(graph->GetDurationSeconds(), 3.0, 0.05);
    EXPECT_EQ(graph->GetRate(), 1.0);
    EXPECT_EQ(graph->GetVolumeLevel(), 10); // a fresh movie plays at full volume
    EXPECT_EQ(FrameNumber(Capture(*graph)), 0);
    // 320 x 240 in 400 x 300 fills it; the host shows frame 0 at that size.
    EXPECT_EQ(host.videoSize(), QSize(320, 240));
    EXPECT_EQ(host.videoRect(), QRect(0, 0, 400, 300));
    EXPECT_EQ(host.frame().size(), QSize(400, 300));
    EXPECT_EQ(FrameNumber(host.frame()), 0);

    host.resize(400, 200); // the picture is redrawn into the new letterbox
    EXPECT_EQ(host.videoRect(), QRect(67, 0, 266, 200));
    EXPECT_EQ(host.frame().size(), QSize(266, 200));
    EXPECT_EQ(FrameNumber(host.frame()), 0);
}

// The news of the video track and its size can reach the engine after the first picture;
// every open must still end with that picture shown at the movie's own size. Repeated opens
// give that ordering a chance to occur.
TEST_F(MediaGraphTest, EveryOpenEndsOnTheFirstFrameAtItsSize) {
    struct Case {
        const char* name;
        QSize size; // invalid: no picture
    };
    const Case cases[] = {
        {"silent.mov", QSize(160, 120)}, {"clip.mov", QSize(320, 240)}, {"audio.m4a", QSize()}};
    for (int round = 0; round < 4; ++round) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " round " + std::to_string(round));
            ASSERT_EQ(Open(c.name), 0);
            EXPECT_EQ(graph->GetState(), MediaState::Paused);
            EXPECT_EQ(host.videoSize(), c.size);
            const int expected = c.size.isValid() ? 0 : -1;
            EXPECT_EQ(FrameNumber(host.frame()), expected);
            EXPECT_EQ(FrameNumber(Capture(*graph)), expected);
            if (!c.size.isValid()) { // audio only: nothing to show, step or save
                EXPECT_EQ(graph->InitVideoWindow(), 0);
                EXPECT_EQ(graph->StepForward(1), 0);
                EXPECT_EQ(graph->SaveFrameAsJpeg(QDir::tempPath() + "/quello-audio.jpg"), 0);
            }
        }
    }
}

TEST_F(MediaGraphTest, FollowsTheStateTable) {
    ASSERT_EQ(Open("clip.mov"), 0);
    graph->TogglePlayPause();
    EXPECT_EQ(graph->GetState(), MediaState::Running);
    EXPECT_TRUE(QTest::qWaitFor([&] { return graph->GetPositionSeconds() > 0.3; }, kWaitMs));
    graph->TogglePlayPause();
    EXPECT_EQ(graph->GetState(), MediaState::Paused);
    graph->TogglePlayPause();
    EXPECT_EQ(graph->Pause(), 0);
    EXPECT_EQ(graph->GetState(), MediaState::Paused);

    graph->StopAndRewind();
    EXPECT_EQ(graph->GetState(), MediaState::Stopped);
    EXPECT_EQ(graph->GetPositionSeconds(), 0.0);
    EXPECT_EQ(WaitForFrame(*graph, 0), 0);
    graph->StopAndRewind(); // while stopped: nothing
    EXPECT_EQ(graph->GetState(), MediaState::Stopped);
    EXPECT_EQ(graph->Pause(), 0);
    EXPECT_EQ(graph->GetState(), MediaState::Paused);
    graph->StopAndRewind();

    graph->TogglePlayPause(); // runs again from the start
    EXPECT_EQ(graph->GetState(), MediaState::Running);
    EXPECT_TRUE(QTest::qWaitFor([&] { return graph->GetPositionSeconds() > 0.2; }, kWaitMs));
    EXPECT_EQ(graph->StepForward(0), 0); // stepping pauses a running movie
    EXPECT_EQ(graph->GetState(), MediaState::Paused);

    graph->CloseMovie();
    EXPECT_EQ(graph->GetState(), MediaState::Closed);
    EXPECT_TRUE(host.frame().isNull());
}

TEST_F(MediaGraphTest, EndOfMovieRewindsToFirstFrameStopped) {
    struct Case {
        const char* name;
        int rateIndex;
        double seekTo;
        bool notifyWindow;
    };
    for (const Case& c : {Case{"clip.mov", 1, 2.0, true}, Case{"silent.mov", 0, 1.0, false},
                          Case{"audio.m4a", 1, 1.0, true}, Case{"clip.mov", 5, 1.0, true}}) {
        SCOPED_TRACE(std::string(c.name) + " rate index " + std::to_string(c.rateIndex));
        ASSERT_EQ(graph->OpenMovie(MediaPath(c.name), &host, c.notifyWindow ? sink.get() : nullptr),
                  0);
        const int notifications = sink->notifications;
        graph->SetRateIndex(c.rateIndex);
        graph->SetPositionSeconds(c.seekTo);
        graph->TogglePlayPause();
        ASSERT_TRUE(WaitForState(MediaState::Stopped));
        EXPECT_EQ(graph->GetPositionSeconds(), 0.0);
        EXPECT_EQ(sink->notifications > notifications, c.notifyWindow);
        if (std::strcmp(c.name, "audio.m4a") != 0) {
            EXPECT_EQ(WaitForFrame(*graph, 0), 0);
        }
        graph->TogglePlayPause(); // plays again after the end
        EXPECT_EQ(graph->GetState(), MediaState::Running);
    }
}

// The end reached by playing is handled by the drain also when a pause came first; an end
// reached by stepping while paused waits for the next play.
TEST_F(MediaGraphTest, EndReachedBeforeAPauseIsHandledByTheDrain) {
    enum How { kPause, kToggle, kStep };
    struct Case {
        How how;
        MediaState state;
        double position;
    };
    for (const Case& c :
         {Case{kPause, MediaState::Stopped, 0.0}, Case{kToggle, MediaState::Stopped, 0.0},
          Case{kStep, MediaState::Paused, 1.9}}) {
        SCOPED_TRACE(int(c.how));
        QObject quiet; // hears the notifications, drains nothing
        ASSERT_EQ(graph->OpenMovie(MediaPath("silent.mov"), &host, &quiet), 0);
        graph->SetPositionSeconds(1.8);
        ASSERT_EQ(WaitForFrame(*graph, 18), 18);
        if (c.how == kStep) {
            graph->StepForward(0); // the last frame
            graph->StepForward(0); // past it: the end
        } else {
            graph->TogglePlayPause();
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return graph->GetPositionSeconds() > 1.85; }, kWaitMs));
        QTest::qWait(500); // the end comes one frame (0.1 s) after the last frame's start
        if (c.how == kPause)
            graph->Pause();
        else if (c.how == kToggle)
            graph->TogglePlayPause();
        EXPECT_EQ(graph->GetState(), MediaState::Paused);
        graph->DrainGraphEvents();
        EXPECT_EQ(graph->GetState(), c.state);
        EXPECT_NEAR(graph->GetPositionSeconds(), c.position, 1e-3);
    }
}

TEST_F(MediaGraphTest, SeeksExactlyAndStepsOneFrame) {
    ASSERT_EQ(Open("clip.mov"), 0);
    // Keyframes every 10 frames: most targets need decoding from an earlier keyframe.
    for (int frame : {25, 38, 3, 74, 61, 0}) {
        EXPECT_EQ(graph->SetPositionSeconds(frame / kFps), 0);
        EXPECT_DOUBLE_EQ(graph->GetPositionSeconds(), frame / kFps);
        // A capture right after the seek already shows the frame sought.
        EXPECT_EQ(FrameNumber(Capture(*graph)), frame);
        EXPECT_EQ(FrameNumber(host.frame()), frame);
    }
    graph->SetPositionSeconds(40 / kFps);
    ASSERT_EQ(WaitForFrame(*graph, 40), 40);
    for (int frame = 41; frame <= 43; ++frame) {
        EXPECT_EQ(graph->StepForward(-1), 0); // the direction is ignored
        EXPECT_EQ(WaitForFrame(*graph, frame), frame);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return std::abs(graph->GetPositionSeconds() - frame / kFps) < 1e-3; }, kWaitMs));
    }
    EXPECT_EQ(graph->GetState(), MediaState::Paused);
    EXPECT_EQ(graph->SetPositionSeconds(std::nan("")), -4);
}

TEST_F(MediaGraphTest, RatesIncludingReverse) {
    ASSERT_EQ(Open("clip.mov"), 0);
    const double table[] = {1, 2, 4, 8, -1, -2, -4, -8};
    for (int index = 0; index < 8; ++index) {
        graph->SetRateIndex(index);
        EXPECT_EQ(graph->GetRate(), table[index]) << index;
    }
    for (int index : {9, -1, 8}) {
        graph->SetRateIndex(5);
        graph->SetRateIndex(index);
        EXPECT_EQ(graph->GetRate(), 1.0) << index;
    }

    graph->SetPositionSeconds(2.8);
    graph->SetRateIndex(5); // -2
    graph->TogglePlayPause();
    double last = 2.8, lowest = 2.8;
    int decreases = 0;
    (void)QTest::qWaitFor(
        [&] {
            const double now = graph->GetPositionSeconds();
            if (now < last - 1e-6)
                ++decreases;
            lowest = std::min(lowest, now);
            last = now;
            return lowest < 1.5 || graph->GetState() != MediaState::Running;
        },
        kWaitMs);
    EXPECT_LT(lowest, 1.5);
    EXPECT_GE(decreases, 2);
}

TEST_F(MediaGraphTest, CaptureMatchesFfmpegDecode) {
    ASSERT_EQ(Open("clip.mov"), 0);
    graph->SetPositionSeconds(30 / kFps);
    ASSERT_EQ(WaitForFrame(*graph, 30), 30);

    const int size = graph->GetCurrentImageSize();
    ASSERT_EQ(size, 40 + 320 * 240 * 4);
    std::vector<unsigned char> dib(size);
    EXPECT_FALSE(graph->GetCurrentImage(dib.data(), size - 1));
    ASSERT_TRUE(graph->GetCurrentImage(dib.data(), size));
    // Bottom-up: the first row in memory is the red bottom of the picture.
    EXPECT_GT(dib[40 + 2], 200);
    EXPECT_LT(dib[40 + 1], 60);

    QTemporaryDir dir;
    const QString jpeg = dir.filePath("frame 30 ü.jpg");
    ASSERT_EQ(graph->SaveFrameAsJpeg(jpeg), 1);
    const QImage saved(jpeg);
    ASSERT_EQ(saved.size(), QSize(320, 240));
    EXPECT_EQ(FrameNumber(saved), 30);

    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin", "-v", "error", "-ss", "1.2", "-i", MediaPath("clip.mov"),
                            "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "bgr0", "-"});
    ASSERT_TRUE(ffmpeg.waitForFinished(kWaitMs));
    const QByteArray raw = ffmpeg.readAllStandardOutput();
    ASSERT_EQ(raw.size(), 320 * 240 * 4);
    const QImage reference(reinterpret_cast<const uchar*>(raw.constData()), 320, 240,
                           QImage::Format_RGB32);
    ASSERT_EQ(FrameNumber(reference), 30);
    double total = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const QColor a = saved.pixelColor(x, y), b = reference.pixelColor(x, y);
            total += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                     std::abs(a.blue() - b.blue());
        }
    EXPECT_LT(total / (320 * 240 * 3), 4.0); // mean difference per channel: JPEG error only

    EXPECT_EQ(graph->SaveFrameAsJpeg(dir.filePath("no/such/folder.jpg")), 0);
}

TEST_F(MediaGraphTest, SecondOpenTearsDownTheFirst) {
    ASSERT_EQ(Open("clip.mov"), 0);
    graph->TogglePlayPause();
    NotifySink second(*graph);
    CVideoHost otherHost;
    otherHost.resize(200, 200);
    ASSERT_EQ(graph->OpenMovie(MediaPath("silent.mov"), &otherHost, &second), 0);
    EXPECT_TRUE(host.frame().isNull());
    EXPECT_EQ(host.videoSize(), QSize());
    EXPECT_EQ(graph->GetState(), MediaState::Paused);
    EXPECT_NEAR(graph->GetDurationSeconds(), 2.0, 0.05);
    EXPECT_EQ(otherHost.videoSize(), QSize(160, 120));
    EXPECT_EQ(FrameNumber(otherHost.frame()), 0);

    const int before = sink->notifications;
    graph->SetRateIndex(1);
    graph->TogglePlayPause();
    ASSERT_TRUE(WaitForState(MediaState::Stopped));
    EXPECT_EQ(sink->notifications, before); // the first window hears nothing more
    EXPECT_GT(second.notifications, 0);
}

TEST_F(MediaGraphTest, PictureMovesBetweenHostsAndFullScreen) {
    QWidget window;
    window.resize(600, 500);
    auto* inside = new CVideoHost(&window);
    inside->setGeometry(10, 20, 320, 240);
    window.show();
    ASSERT_EQ(graph->OpenMovie(MediaPath("clip.mov"), inside, sink.get()), 0);
    EXPECT_EQ(FrameNumber(inside->frame()), 0);

    EXPECT_EQ(graph->AttachVideoHost(&host), 0);
    EXPECT_TRUE(inside->frame().isNull());
    EXPECT_EQ(FrameNumber(host.frame()), 0);
    EXPECT_EQ(graph->AttachVideoHost(inside), 0);
    EXPECT_EQ(FrameNumber(inside->frame()), 0);

    int doubleClicks = 0;
    QObject::connect(inside, &CVideoHost::DoubleClicked, [&] { ++doubleClicks; });
    graph->SetFullScreen(true);
    EXPECT_TRUE(inside->isWindow());
    EXPECT_TRUE(inside->IsFullScreen());
    // Covers the screen also where no window manager acts on the full-screen request.
    EXPECT_EQ(inside->geometry(), inside->screen()->geometry());
    QTest::mouseDClick(inside, Qt::LeftButton);
    EXPECT_EQ(doubleClicks, 1);
    graph->SetFullScreen(false);
    EXPECT_FALSE(inside->isWindow());
    EXPECT_EQ(inside->geometry(), QRect(10, 20, 320, 240));
    EXPECT_EQ(inside->frame().size(), QSize(320, 240));
}

TEST_F(MediaGraphTest, SurvivesTheNotifyWindowGoingAway) {
    auto transient = std::make_unique<NotifySink>(*graph);
    ASSERT_EQ(graph->OpenMovie(MediaPath("silent.mov"), &host, transient.get()), 0);
    transient.reset();
    graph->SetRateIndex(2);
    graph->TogglePlayPause();
    EXPECT_TRUE(WaitForState(MediaState::Stopped)); // the engine drains by itself
}

// libmpv reads "-" as standard input and "name://" as a protocol; a user's relative path that
// looks like either still names a file in the working folder.
TEST_F(MediaGraphTest, RelativePathsOpenAsLocalFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("av:"));
    WorkingFolder inside(dir.path());
    struct Case {
        const char* path;
        const char* movie;
        QSize size;
    };
    for (const Case& c : {Case{"-", "silent.mov", QSize(160, 120)},
                          Case{"av://x.mov", "clip.mov", QSize(320, 240)}}) {
        SCOPED_TRACE(c.path);
        ASSERT_TRUE(QFile::copy(MediaPath(c.movie), c.path));
        ASSERT_EQ(graph->OpenMovie(c.path, &host, sink.get()), 0);
        EXPECT_EQ(host.videoSize(), c.size);
        EXPECT_EQ(FrameNumber(host.frame()), 0);
        EXPECT_TRUE(QFileInfo(graph->FileName()).isAbsolute());
        EXPECT_EQ(QFileInfo(graph->FileName()).canonicalFilePath(),
                  QFileInfo(c.path).canonicalFilePath());
    }
}

// Only the options the engine is built on are essential: any other that libmpv rejects is
// logged and left out.
TEST_F(MediaGraphTest, OnlyARejectedEssentialOptionFailsTheOpen) {
    for (bool required : {false, true}) {
        SCOPED_TRACE(required);
        EngineTraces traces;
        graph->SetExtraOption("no-such-option", "1", required);
        const int rc = Open("clip.mov");
        graph->SetExtraOption(QString(), QString(), false);
        EXPECT_EQ(rc < 0, required);
        EXPECT_EQ(graph->GetState(), required ? MediaState::Stopped : MediaState::Paused);
        EXPECT_EQ(graph->FileName().isEmpty(), required);
        EXPECT_EQ(FrameNumber(host.frame()), required ? -1 : 0); // the earlier movie is gone
        EXPECT_TRUE(traces.Lines().join('\n').contains("no-such-option"));
    }
    EXPECT_EQ(Open("clip.mov"), 0);
}

// Damaged pictures (bits flipped in the H.264 data) at the fastest rates both ways: the
// engine keeps the event loop running, the position moves and the end is handled.
TEST_F(MediaGraphTest, DamagedPicturesPlayToTheEndAtTheFastestRates) {
    struct Case {
        int rateIndex;
        double from;
    };
    for (const Case& c : {Case{3, 0.0}, Case{7, 3.9}}) { // 8x forward, 8x backward
        SCOPED_TRACE(c.rateIndex);
        ASSERT_EQ(Open("flipped.mov"), 0);
        graph->SetPositionSeconds(c.from);
        graph->SetRateIndex(c.rateIndex);
        graph->TogglePlayPause();
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longestGap = 0;
        double farthest = 0;
        const bool ended = QTest::qWaitFor(
            [&] {
                longestGap = std::max(longestGap, clock.elapsed() - last);
                last = clock.elapsed();
                farthest = std::max(farthest, std::abs(graph->GetPositionSeconds() - c.from));
                return graph->GetState() == MediaState::Stopped;
            },
            kWaitMs);
        EXPECT_TRUE(ended) << "still " << int(graph->GetState()) << " at "
                           << graph->GetPositionSeconds() << " s";
        EXPECT_GT(farthest, 1.0);
        EXPECT_LT(longestGap, 2000) << "the event loop stalled";
        EXPECT_EQ(graph->GetPositionSeconds(), 0.0);
    }
}

} // namespace
} // namespace quello
