// The engine on the movies of tests/support/make-test-media, each frame showing its number.
#include "playback/CMediaGraph.h"

#include "playback/CVideoHost.h"

#include "FrameNumber.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
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
    explicit NotifySink(CMediaGraph& graph) : m_graph(graph) {}
    int notifications = 0;
    bool event(QEvent* event) override {
        if (event->type() != CMediaGraph::kGraphNotifyEvent)
            return QObject::event(event);
        ++notifications;
        m_graph.DrainGraphEvents();
        return true;
    }

private:
    CMediaGraph& m_graph;
};

// Collects the engine's trace lines while it lives.
struct EngineTraces {
    static inline QStringList lines;
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { lines << text; });
    EngineTraces() { QLoggingCategory::setFilterRules("quello.engine.debug=true"); }
    ~EngineTraces() {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules("quello.engine.debug=false");
    }
};

// The frame on screen, from the engine's capture (a bottom-up 32-bit DIB).
QImage Capture(CMediaGraph& graph) {
    const int size = graph.GetCurrentImageSize();
    std::vector<unsigned char> dib(std::max(size, 0));
    if (size <= 40 || !graph.GetCurrentImage(dib.data(), size))
        return {};
    std::int32_t sides[2];
    std::memcpy(sides, &dib[4], sizeof sides);
    return QImage(&dib[40], sides[0], sides[1], QImage::Format_RGB32).mirrored();
}

// Waits until the frame on screen is `frame`; returns the frame last seen.
int WaitForFrame(CMediaGraph& graph, int frame) {
    int seen = -1;
    (void)QTest::qWaitFor([&] { return (seen = FrameNumber(Capture(graph))) == frame; }, kWaitMs);
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
    bool WaitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, kWaitMs); }
    bool WaitForState(MediaState state) {
        return WaitFor([&] { return graph->GetState() == state; });
    }

    CVideoHost host;
    std::unique_ptr<CMediaGraph> graph;
    std::unique_ptr<NotifySink> sink;
};

// Names libmpv would read as standard input or a protocol open as plain files; what is no
// movie, or an essential option libmpv rejects, fails the open with a trace and leaves nothing
// open; any other rejected option is logged and left out.
TEST_F(MediaGraphTest, OpenOutcomeForEachInput) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("av:"));
    const auto restore =
        qScopeGuard([previous = QDir::currentPath()] { QDir::setCurrent(previous); });
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ASSERT_TRUE(QFile::copy(MediaPath("silent.mov"), "-"));
    ASSERT_TRUE(QFile::copy(MediaPath("clip.mov"), "av://x.mov"));
    enum Option { kNone, kOptional, kEssential };
    const struct {
        QString path;
        Option option;
        QSize size; // invalid: the open fails
    } cases[] = {{"-", kNone, {160, 120}},
                 {"av://x.mov", kNone, {320, 240}},
                 {MediaPath("missing.mov"), kNone, {}},
                 {MediaPath("text.txt"), kNone, {}},
                 {MediaPath("random.bin"), kNone, {}},
                 {MediaPath("empty.mov"), kNone, {}},
                 {MediaPath("nomoov.mov"), kNone, {}},
                 {MediaPath("clip.mov"), kOptional, {320, 240}},
                 {MediaPath("clip.mov"), kEssential, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString() + " option " + std::to_string(c.option));
        EngineTraces traces;
        EngineTraces::lines.clear();
        graph->SetExtraOption(c.option == kNone ? QString() : "no-such-option", "1",
                              c.option == kEssential);
        const int rc = graph->OpenMovie(c.path, &host, sink.get());
        graph->SetExtraOption(QString(), QString(), false);
        const bool opens = c.size.isValid();
        EXPECT_EQ(rc < 0, !opens);
        EXPECT_EQ(graph->GetState(), opens ? MediaState::Paused : MediaState::Stopped);
        EXPECT_EQ(host.videoSize(), c.size);
        EXPECT_EQ(FrameNumber(host.frame()), opens ? 0 : -1); // a failed open leaves nothing
        EXPECT_EQ(graph->GetDurationSeconds() > 0, opens);
        EXPECT_EQ(QFileInfo(graph->FileName()).canonicalFilePath(),
                  opens ? QFileInfo(c.path).canonicalFilePath() : QString());
        EXPECT_TRUE(graph->FileName().isEmpty() || QFileInfo(graph->FileName()).isAbsolute());
        const QStringList& lines = EngineTraces::lines;
        const QString last = lines.value(lines.size() - 1);
        EXPECT_TRUE(opens || last.startsWith("FAILED(hr=0x")) << last.toStdString();
        EXPECT_TRUE(opens || c.option != kNone || last.contains("loadfile")) << last.toStdString();
        EXPECT_EQ(lines.join('\n').contains("no-such-option"), c.option != kNone);
    }
    // A null path changes nothing: the open movie keeps playing.
    ASSERT_EQ(Open("clip.mov"), 0);
    graph->TogglePlayPause();
    EXPECT_EQ(graph->OpenMovie(QString(), &host, sink.get()), CMediaGraph::kEPointer);
    EXPECT_EQ(graph->GetState(), MediaState::Running);
    EXPECT_EQ(graph->FileName(), MediaPath("clip.mov"));
}

// The news of the video track and its size can reach the engine after the first picture;
// every open must still end paused on that picture at the movie's own size. Repeated opens
// give that ordering a chance to occur.
TEST_F(MediaGraphTest, EveryOpenEndsOnTheFirstFrameAtItsSize) {
    const std::pair<const char*, QSize> movies[] = {
        {"silent.mov", {160, 120}}, {"audio.m4a", {}}, {"clip.mov", {320, 240}}};
    for (int round = 0; round < 4; ++round) {
        for (const auto& [name, size] : movies) {
            SCOPED_TRACE(std::string(name) + " round " + std::to_string(round));
            ASSERT_EQ(Open(name), 0);
            EXPECT_EQ(graph->GetState(), MediaState::Paused);
            EXPECT_EQ(host.videoSize(), size);
            const int expected = size.isValid() ? 0 : -1;
            EXPECT_EQ(FrameNumber(host.frame()), expected);
            EXPECT_EQ(FrameNumber(Capture(*graph)), expected);
            if (!size.isValid()) { // audio only: nothing to show, step or save
                EXPECT_EQ(graph->StepForward(1), 0);
                EXPECT_EQ(graph->SaveFrameAsJpeg(QDir::tempPath() + "/quello-audio.jpg"), 0);
            }
        }
    }
    EXPECT_EQ(graph->GetPositionSeconds(), 0.0);
    EXPECT_NEAR(graph->GetDurationSeconds(), 3.0, 0.05);
    EXPECT_EQ(graph->GetVolumeLevel(), 10); // a fresh movie plays at full volume
    EXPECT_EQ(host.videoRect(), QRect(0, 0, 400, 300));
    EXPECT_EQ(host.frame().size(), QSize(400, 300));
    host.resize(400, 200); // the picture is redrawn into the new letterbox
    EXPECT_EQ(host.videoRect(), QRect(67, 0, 266, 200));
    EXPECT_EQ(host.frame().size(), QSize(266, 200));
    EXPECT_EQ(FrameNumber(host.frame()), 0);
}

// Each step from the state before: a running movie moves on, a paused one stands still once
// the pause call returns, a stopped one is back on frame 0.
TEST_F(MediaGraphTest, FollowsTheStateTable) {
    // Without a movie, before the first open and after closing, every operation does nothing.
    const auto expectInert = [&](MediaState state) {
        graph->TogglePlayPause();
        graph->StopAndRewind();
        graph->SetRateIndex(2);
        graph->SetVolumeLevel(3);
        graph->SetFullScreen(true);
        for (int rc : {graph->Pause(), graph->DrainGraphEvents(), graph->StepForward(1),
                       graph->SetPositionSeconds(1.0), graph->GetVolumeLevel(),
                       graph->InitVideoWindow(), graph->AttachVideoHost(&host),
                       graph->GetCurrentImageSize(), graph->SaveFrameAsJpeg("/tmp/never.jpg")})
            EXPECT_EQ(rc, 0);
        for (double value :
             {graph->GetPositionSeconds(), graph->GetDurationSeconds(), graph->GetRate()})
            EXPECT_EQ(value, 0.0);
        unsigned char buffer[64];
        EXPECT_FALSE(graph->GetCurrentImage(buffer, sizeof buffer));
        EXPECT_EQ(graph->GetState(), state);
        EXPECT_FALSE(host.IsFullScreen());
        EXPECT_TRUE(host.frame().isNull());
    };
    expectInert(MediaState::Stopped);
    ASSERT_EQ(Open("clip.mov"), 0);
    const auto toggle = [&] { graph->TogglePlayPause(); };
    const auto pause = [&] { EXPECT_EQ(graph->Pause(), 0); };
    const auto stop = [&] { graph->StopAndRewind(); };
    const struct {
        const char* what;
        std::function<void()> act;
        MediaState state;
    } steps[] = {
        {"play", toggle, MediaState::Running},
        {"toggle pauses", toggle, MediaState::Paused},
        {"play on", toggle, MediaState::Running},
        {"pause", pause, MediaState::Paused},
        {"stop rewinds", stop, MediaState::Stopped},
        {"stop while stopped", stop, MediaState::Stopped},
        {"pause while stopped", pause, MediaState::Paused},
        {"stop from paused", stop, MediaState::Stopped},
        {"play from the start", toggle, MediaState::Running},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(graph->GetState(), s.state);
        const double at = graph->GetPositionSeconds();
        if (s.state == MediaState::Running) {
            EXPECT_TRUE(WaitFor([&] { return graph->GetPositionSeconds() > at + 0.2; }));
        } else if (s.state == MediaState::Paused) {
            const int frame = FrameNumber(Capture(*graph));
            QTest::qWait(200);
            EXPECT_EQ(graph->GetPositionSeconds(), at);
            EXPECT_EQ(FrameNumber(Capture(*graph)), frame);
        } else {
            EXPECT_EQ(at, 0.0);
            EXPECT_EQ(WaitForFrame(*graph, 0), 0);
        }
    }
    EXPECT_EQ(graph->StepForward(0), 0); // stepping pauses a running movie
    EXPECT_EQ(graph->GetState(), MediaState::Paused);
    graph->CloseMovie();
    expectInert(MediaState::Closed);
}

// The pause of a running movie waits until libmpv has taken it: from the moment Pause returns
// the position stands still, on the frame the pause kept. Without the wait a frame or two may
// still follow, so the pause is tried several times.
TEST_F(MediaGraphTest, PauseOfARunningMovieWaitsUntilTaken) {
    ASSERT_EQ(Open("clip.mov"), 0);
    for (int cycle = 0; cycle < 12; ++cycle) {
        graph->TogglePlayPause();
        QTest::qWait(120);
        EXPECT_EQ(graph->Pause(), 0);
        const double at = graph->GetPositionSeconds();
        QTest::qWait(200);
        EXPECT_EQ(graph->GetPositionSeconds(), at) << cycle;
        EXPECT_EQ(FrameNumber(Capture(*graph)), std::lround(at * kFps)) << cycle;
    }
}

// The end rewinds to frame 0, stopped, and the next play starts over, in either direction and
// on damaged pictures (bits flipped in the H.264 data) at the fastest rates without stalling
// the event loop. With no notify window, or one destroyed while the movie plays, the engine
// drains by itself.
TEST_F(MediaGraphTest, EndOfMovieRewindsToFirstFrameStopped) {
    enum class Notify { kWindow, kNone, kGone };
    const struct {
        const char* name;
        int rateIndex; // 0..3: 1x..8x, 4..7: backward
        double seekTo;
        Notify notify;
    } cases[] = {{"clip.mov", 1, 2.0, Notify::kWindow},   {"silent.mov", 0, 1.0, Notify::kNone},
                 {"silent.mov", 2, 0.0, Notify::kGone},   {"audio.m4a", 1, 0.0, Notify::kWindow},
                 {"clip.mov", 5, 2.5, Notify::kWindow},   {"flipped.mov", 3, 0.0, Notify::kWindow},
                 {"flipped.mov", 7, 3.9, Notify::kWindow}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " rate index " + std::to_string(c.rateIndex));
        auto transient = std::make_unique<NotifySink>(*graph);
        QObject* notify = c.notify == Notify::kWindow ? sink.get()
                          : c.notify == Notify::kGone ? transient.get()
                                                      : nullptr;
        ASSERT_EQ(graph->OpenMovie(MediaPath(c.name), &host, notify), 0);
        transient.reset();
        const int notifications = sink->notifications;
        graph->SetRateIndex(c.rateIndex);
        graph->SetPositionSeconds(c.seekTo);
        graph->TogglePlayPause();
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longestGap = 0;
        double previous = c.seekTo, farthest = 0;
        int moves = 0; // position reports in the direction of play
        ASSERT_TRUE(WaitFor([&] {
            longestGap = std::max(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
            if (graph->GetState() != MediaState::Running)
                return true;
            const double now = graph->GetPositionSeconds();
            moves += (c.rateIndex < 4 ? now - previous : previous - now) > 1e-6;
            previous = now;
            farthest = std::max(farthest, std::abs(now - c.seekTo));
            return false;
        }));
        EXPECT_EQ(graph->GetState(), MediaState::Stopped);
        EXPECT_GT(farthest, 0.5) << "the position moved before the end";
        const bool numbered = QByteArray("clip.mov silent.mov").contains(c.name);
        // Damaged pictures report seldom, and a starved sanitizer build as seldom as once.
        EXPECT_TRUE(moves >= 1 || !numbered) << moves;
        EXPECT_LT(longestGap, 2000) << "the event loop stalled";
        EXPECT_EQ(graph->GetPositionSeconds(), 0.0);
        EXPECT_EQ(sink->notifications > notifications, c.notify == Notify::kWindow);
        if (numbered) {
            EXPECT_EQ(WaitForFrame(*graph, 0), 0);
        }
        graph->TogglePlayPause();
        EXPECT_EQ(graph->GetState(), MediaState::Running);
    }
}

// The end reached by playing is handled by the drain also when a pause came first; an end
// reached by stepping while paused waits for the next play.
TEST_F(MediaGraphTest, EndReachedBeforeAPauseIsHandledByTheDrain) {
    enum How { kPause, kToggle, kStep };
    const struct {
        How how;
        MediaState state;
        double position;
    } cases[] = {{kPause, MediaState::Stopped, 0.0},
                 {kToggle, MediaState::Stopped, 0.0},
                 {kStep, MediaState::Paused, 1.9}};
    for (const auto& c : cases) {
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
        ASSERT_TRUE(WaitFor([&] { return graph->GetPositionSeconds() > 1.85; }));
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
    // Keyframes every 10 frames: most targets need decoding from an earlier keyframe, and a
    // capture right after the seek already shows the frame sought.
    for (int frame : {25, 38, 3, 74, 61, 40}) {
        EXPECT_EQ(graph->SetPositionSeconds(frame / kFps), 0);
        EXPECT_DOUBLE_EQ(graph->GetPositionSeconds(), frame / kFps);
        EXPECT_EQ(FrameNumber(Capture(*graph)), frame);
        EXPECT_EQ(FrameNumber(host.frame()), frame);
    }
    for (int frame = 41; frame <= 43; ++frame) {
        EXPECT_EQ(graph->StepForward(-1), 0); // the direction is ignored
        EXPECT_EQ(WaitForFrame(*graph, frame), frame);
        EXPECT_TRUE(
            WaitFor([&] { return std::abs(graph->GetPositionSeconds() - frame / kFps) < 1e-3; }));
    }
    EXPECT_EQ(graph->GetState(), MediaState::Paused);
    EXPECT_EQ(graph->SetPositionSeconds(std::nan("")), -4);
}

TEST_F(MediaGraphTest, RatesIncludingReverse) {
    ASSERT_EQ(Open("clip.mov"), 0);
    const double rates[] = {1, 2, 4, 8, -1, -2, -4, -8};
    for (int index = 0; index < 8; ++index) {
        graph->SetRateIndex(index);
        EXPECT_EQ(graph->GetRate(), rates[index]) << index;
    }
    for (int index : {9, -1, 8}) { // out of the table: back to 1x
        graph->SetRateIndex(5);
        graph->SetRateIndex(index);
        EXPECT_EQ(graph->GetRate(), 1.0) << index;
    }
}

// The capture (read by WaitForFrame, so the right way up) saved as JPEG is the frame ffmpeg
// decodes, in the same colours.
TEST_F(MediaGraphTest, CaptureMatchesFfmpegDecode) {
    ASSERT_EQ(Open("clip.mov"), 0);
    graph->SetPositionSeconds(30 / kFps);
    ASSERT_EQ(WaitForFrame(*graph, 30), 30);
    const int size = graph->GetCurrentImageSize();
    ASSERT_EQ(size, 40 + 320 * 240 * 4);
    std::vector<unsigned char> dib(size);
    EXPECT_FALSE(graph->GetCurrentImage(dib.data(), size - 1));

    QTemporaryDir dir;
    const QString jpeg = dir.filePath("frame 30 ü.jpg");
    ASSERT_EQ(graph->SaveFrameAsJpeg(jpeg), 1);
    EXPECT_EQ(graph->SaveFrameAsJpeg(dir.filePath("no/such/folder.jpg")), 0);
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-nostdin", "-v", "error", "-ss", "1.2", "-i", MediaPath("clip.mov"),
                            "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "bgr0", "-"});
    ASSERT_TRUE(ffmpeg.waitForFinished(kWaitMs));
    const QByteArray raw = ffmpeg.readAllStandardOutput();
    ASSERT_EQ(raw.size(), 320 * 240 * 4);
    const QImage reference(reinterpret_cast<const uchar*>(raw.constData()), 320, 240,
                           QImage::Format_RGB32);
    ASSERT_EQ(FrameNumber(reference), 30);
    const QImage saved(jpeg);
    ASSERT_EQ(saved.size(), QSize(320, 240));
    EXPECT_EQ(FrameNumber(saved), 30);
    double total = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const QRgb a = saved.pixel(x, y), b = reference.pixel(x, y);
            total += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                     std::abs(qBlue(a) - qBlue(b));
        }
    EXPECT_LT(total / (320 * 240 * 3), 4.0); // mean difference per channel: JPEG error only
}

// An open on another host takes the picture from the first, AttachVideoHost moves it, and full
// screen covers the screen (also where no window manager acts on the request) and comes back.
TEST_F(MediaGraphTest, PictureMovesBetweenHostsAndFullScreen) {
    QWidget window;
    window.resize(600, 500);
    auto* inside = new CVideoHost(&window);
    inside->setGeometry(10, 20, 320, 240);
    window.show();
    ASSERT_EQ(Open("clip.mov"), 0);
    graph->TogglePlayPause();
    ASSERT_EQ(graph->OpenMovie(MediaPath("silent.mov"), inside, sink.get()), 0);
    EXPECT_EQ(graph->GetState(), MediaState::Paused);
    EXPECT_TRUE(host.frame().isNull());
    EXPECT_EQ(host.videoSize(), QSize());
    EXPECT_EQ(FrameNumber(inside->frame()), 0);
    EXPECT_EQ(graph->AttachVideoHost(&host), 0);
    EXPECT_TRUE(inside->frame().isNull());
    EXPECT_EQ(FrameNumber(host.frame()), 0);
    EXPECT_EQ(graph->AttachVideoHost(inside), 0);
    graph->SetFullScreen(true);
    EXPECT_TRUE(inside->isWindow() && inside->IsFullScreen());
    EXPECT_EQ(inside->geometry(), inside->screen()->geometry());
    graph->SetFullScreen(false);
    EXPECT_FALSE(inside->isWindow());
    EXPECT_EQ(inside->geometry(), QRect(10, 20, 320, 240));
    EXPECT_EQ(FrameNumber(inside->frame()), 0);
}

// Exact steps go one frame each way, also across key frames (every 10th frame) and after the
// buttons' steps left the engine playing backward; a seek just before the end shows the last
// frame and keeps the movie paused there.
TEST_F(MediaGraphTest, ExactStepsBothWaysAcrossKeyFrames) {
    ASSERT_EQ(Open("clip.mov"), 0);
    graph->SetPositionSeconds(23 / kFps);
    ASSERT_EQ(WaitForFrame(*graph, 23), 23);
    int frame = 23;
    const std::pair<int, std::vector<int>> runs[] = {{5, {+1, +1, -1, -1, -1, -1}},
                                                     {0, {-1, -1, -1, -1, +1}}};
    for (const auto& [rateIndex, steps] : runs) {
        graph->SetRateIndex(rateIndex);
        for (int step : steps) {
            ASSERT_EQ(graph->StepFrameExact(step), 0);
            frame += step;
            ASSERT_EQ(WaitForFrame(*graph, frame), frame) << rateIndex << ": a step of " << step;
        }
    }
    graph->SetPositionSeconds(graph->GetDurationSeconds() - 0.001);
    EXPECT_EQ(WaitForFrame(*graph, 74), 74);
    QTest::qWait(300);
    EXPECT_EQ(graph->GetState(), MediaState::Paused);
}

} // namespace
} // namespace quello
