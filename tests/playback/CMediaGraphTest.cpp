// The engine on the movies of tests/support/make-test-media, each frame showing its number.
// The window's tests drive it through buttons and keys; these hold the engine's own rules.
#include "playback/CMediaGraph.h"

#include "playback/CVideoHost.h"

#include "FrameNumber.h"
#include "tests/support/ProgramRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

namespace quello {
namespace {

using test::FrameNumber;
using test::MediaPath;
using enum MediaState;

constexpr int kWaitMs = 30000; // generous: the suite also runs under sanitizers on 2 cores
constexpr double kFps = 25.0;  // clip.mov

// Stands in for the main window: drains the engine on each notification.
struct NotifySink : QObject {
    explicit NotifySink(CMediaGraph& engine) : graph(engine) {}
    bool event(QEvent* event) override {
        if (event->type() != CMediaGraph::kGraphNotifyEvent)
            return QObject::event(event);
        ++notifications;
        graph.DrainGraphEvents();
        return true;
    }
    CMediaGraph& graph;
    int notifications = 0;
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
        graph.SetAudioOutput("null");
    }
    int Open(const char* name) { return graph.OpenMovie(MediaPath(name), &host, &sink); }
    bool WaitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, kWaitMs); }

    CVideoHost host;
    CMediaGraph graph;
    NotifySink sink{graph};
};

// Names libmpv would read as standard input or a protocol open as plain files; what is no
// movie fails the open and leaves nothing open. The news of the video track and its size can
// reach the engine after the first picture: every open still ends paused on that picture at the
// movie's own size, and the rounds give that ordering a chance to occur.
TEST_F(MediaGraphTest, OpenOutcomeForEachInput) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("av:"));
    const auto restore =
        qScopeGuard([previous = QDir::currentPath()] { QDir::setCurrent(previous); });
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    ASSERT_TRUE(QFile::copy(MediaPath("silent.mov"), "-"));
    ASSERT_TRUE(QFile::copy(MediaPath("clip.mov"), "av://x.mov"));
    // The movie (in the working folder, else in the media folder), whether it opens, the video
    // size then.
    const std::tuple<const char*, bool, QSize> cases[] = {
        {"-", true, {160, 120}},    {"av://x.mov", true, {320, 240}}, {"audio.m4a", true, {}},
        {"missing.mov", false, {}}, {"random.bin", false, {}},        {"empty.mov", false, {}},
        {"nomoov.mov", false, {}},  {"clip.mov", true, {320, 240}},
    };
    for (int round = 0; round < 3; ++round) {
        for (const auto& [name, opens, size] : cases) {
            SCOPED_TRACE(name);
            const QString path = QFile::exists(name) ? QString(name) : MediaPath(name);
            EXPECT_EQ(graph.OpenMovie(path, &host, &sink) < 0, !opens);
            EXPECT_EQ(graph.GetState(), opens ? Paused : Stopped);
            EXPECT_EQ(host.videoSize(), size);
            const int frame = size.isValid() ? 0 : -1; // a failed open leaves nothing
            EXPECT_EQ(FrameNumber(host.frame()), frame);
            EXPECT_EQ(FrameNumber(Capture(graph)), frame);
            EXPECT_EQ(graph.GetDurationSeconds() > 0, opens);
            EXPECT_EQ(QFileInfo(graph.FileName()).canonicalFilePath(),
                      opens ? QFileInfo(path).canonicalFilePath() : QString());
            EXPECT_TRUE(graph.FileName().isEmpty() || QFileInfo(graph.FileName()).isAbsolute());
            if (opens && !size.isValid()) { // audio only: nothing to step or save
                EXPECT_EQ(graph.StepForward(1), 0);
                EXPECT_EQ(graph.SaveFrameAsJpeg(dir.filePath("audio.jpg")), 0);
            }
        }
    }
    // An option this libmpv rejects fails the open only when the engine cannot work without it.
    for (const bool essential : {false, true}) {
        graph.SetExtraOption("no-such-option", "1", essential);
        EXPECT_EQ(Open("clip.mov") < 0, essential);
        graph.SetExtraOption(QString(), QString(), false);
    }
    ASSERT_EQ(Open("clip.mov"), 0);
    EXPECT_EQ(std::tuple(graph.GetPositionSeconds(), graph.GetRate()), std::tuple(0.0, 1.0));
    host.resize(400, 200); // the picture is redrawn into the new letterbox
    EXPECT_EQ(host.videoRect(), QRect(67, 0, 266, 200));
    EXPECT_EQ(host.frame().size(), QSize(266, 200));
    EXPECT_EQ(FrameNumber(host.frame()), 0);
    // A null path changes nothing: the open movie keeps playing.
    graph.TogglePlayPause();
    EXPECT_EQ(graph.OpenMovie(QString(), &host, &sink), CMediaGraph::kEPointer);
    EXPECT_EQ(graph.GetState(), Running);
    EXPECT_EQ(graph.FileName(), MediaPath("clip.mov"));
    EXPECT_FALSE(QFile::exists(dir.filePath("audio.jpg")));
}

// Each step from the state before: a running movie moves on, a stopped one is back on frame 0.
// Without a movie, before the first open and after closing, every operation does nothing.
TEST_F(MediaGraphTest, FollowsTheStateTable) {
    const auto expectInert = [&](MediaState state) {
        graph.TogglePlayPause();
        graph.StopAndRewind();
        graph.SetRateIndex(2);
        graph.SetVolumeLevel(3);
        graph.SetFullScreen(true);
        for (int rc : {graph.Pause(), graph.DrainGraphEvents(), graph.StepForward(1),
                       graph.SetPositionSeconds(1.0), graph.GetVolumeLevel(),
                       graph.InitVideoWindow(), graph.AttachVideoHost(&host),
                       graph.GetCurrentImageSize(), graph.SaveFrameAsJpeg("/tmp/never.jpg")})
            EXPECT_EQ(rc, 0);
        for (double value :
             {graph.GetPositionSeconds(), graph.GetDurationSeconds(), graph.GetRate()})
            EXPECT_EQ(value, 0.0);
        unsigned char buffer[64];
        EXPECT_FALSE(graph.GetCurrentImage(buffer, sizeof buffer));
        EXPECT_EQ(graph.GetState(), state);
        EXPECT_FALSE(host.IsFullScreen());
        EXPECT_TRUE(host.frame().isNull());
    };
    expectInert(Stopped);
    ASSERT_EQ(Open("clip.mov"), 0);
    // The toggle, Stop or Pause, then the state: play, stop (rewinds), stop again, pause while
    // stopped, stop from paused, play from the start. The toggle and Pause of a running movie
    // have a test of their own below.
    const std::pair<char, MediaState> steps[] = {{'t', Running}, {'s', Stopped}, {'s', Stopped},
                                                 {'p', Paused},  {'s', Stopped}, {'t', Running}};
    int step = 0;
    for (const auto& [act, state] : steps) {
        SCOPED_TRACE(++step);
        act == 't'   ? graph.TogglePlayPause()
        : act == 's' ? graph.StopAndRewind()
                     : (void)graph.Pause();
        EXPECT_EQ(graph.GetState(), state);
        const double at = graph.GetPositionSeconds();
        if (state == Running) {
            EXPECT_TRUE(WaitFor([&] { return graph.GetPositionSeconds() > at + 0.2; }));
        } else if (state == Stopped) {
            EXPECT_EQ(at, 0.0);
            EXPECT_EQ(WaitForFrame(graph, 0), 0);
        }
    }
    EXPECT_EQ(graph.StepForward(0), 0); // stepping pauses a running movie
    EXPECT_EQ(graph.GetState(), Paused);
    graph.CloseMovie();
    expectInert(Closed);
}

// A pause of a running movie, by Pause or by the toggle, waits until libmpv has taken it: from
// the moment it returns the position stands still, on the frame the pause kept. Without the
// wait a frame or two may still follow, so the pause is tried several times.
TEST_F(MediaGraphTest, PauseOfARunningMovieWaitsUntilTaken) {
    ASSERT_EQ(Open("clip.mov"), 0);
    for (int cycle = 0; cycle < 12; ++cycle) {
        graph.TogglePlayPause();
        QTest::qWait(120);
        if (cycle % 2)
            graph.TogglePlayPause();
        else
            EXPECT_EQ(graph.Pause(), 0);
        const double at = graph.GetPositionSeconds();
        QTest::qWait(200);
        EXPECT_EQ(graph.GetPositionSeconds(), at) << cycle;
        EXPECT_EQ(FrameNumber(Capture(graph)), std::lround(at * kFps)) << cycle;
    }
}

// The end rewinds to frame 0, stopped, and the next play starts over, in either direction and
// on damaged pictures (bits flipped in the H.264 data) at the fastest rates; the position is
// reported on the way. With no notify window, or one destroyed while the movie plays, the
// engine drains by itself. (That the event loop keeps running on damaged data the window's
// test of a card pulled while playing measures.)
TEST_F(MediaGraphTest, EndOfMovieRewindsToFirstFrameStopped) {
    enum Notify { kWindow, kNone, kGone };
    const struct {
        const char* name;
        int rateIndex; // 0..3: 1x..8x, 4..7: backward
        double seekTo;
        Notify notify;
    } cases[] = {{"clip.mov", 1, 2.0, kWindow},   {"silent.mov", 0, 1.0, kNone},
                 {"silent.mov", 2, 0.0, kGone},   {"audio.m4a", 1, 0.0, kWindow},
                 {"clip.mov", 5, 2.5, kWindow},   {"flipped.mov", 3, 0.0, kWindow},
                 {"flipped.mov", 7, 3.9, kWindow}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " rate index " + std::to_string(c.rateIndex));
        auto gone = std::make_unique<NotifySink>(graph);
        QObject* notify[] = {&sink, nullptr, gone.get()};
        ASSERT_EQ(graph.OpenMovie(MediaPath(c.name), &host, notify[c.notify]), 0);
        gone.reset();
        const int notifications = sink.notifications;
        graph.SetRateIndex(c.rateIndex);
        graph.SetPositionSeconds(c.seekTo);
        graph.TogglePlayPause();
        double previous = c.seekTo, farthest = 0;
        int moves = 0; // position reports in the direction of play
        ASSERT_TRUE(WaitFor([&] {
            if (graph.GetState() != Running)
                return true;
            const double now = graph.GetPositionSeconds();
            moves += (c.rateIndex < 4 ? now - previous : previous - now) > 1e-6;
            previous = now;
            farthest = std::max(farthest, std::abs(now - c.seekTo));
            return false;
        }));
        EXPECT_EQ(graph.GetState(), Stopped);
        EXPECT_GT(farthest, 0.5) << "the position moved before the end";
        const bool numbered = QByteArray("clip.mov silent.mov").contains(c.name);
        // Damaged pictures report seldom, and a starved sanitizer build as seldom as once.
        EXPECT_TRUE(moves >= 1 || !numbered) << moves;
        EXPECT_EQ(graph.GetPositionSeconds(), 0.0);
        EXPECT_EQ(sink.notifications > notifications, c.notify == kWindow);
        EXPECT_TRUE(!numbered || WaitForFrame(graph, 0) == 0);
        graph.TogglePlayPause();
        EXPECT_EQ(graph.GetState(), Running);
    }
}

// The end reached by playing is handled by the drain also when a pause came first; an end
// reached by stepping while paused waits for the next play.
TEST_F(MediaGraphTest, EndReachedBeforeAPauseIsHandledByTheDrain) {
    enum How { kPause, kToggle, kStep };
    // How the end is met, then the state and position the drain leaves.
    const std::tuple<How, MediaState, double> cases[] = {
        {kPause, Stopped, 0.0}, {kToggle, Stopped, 0.0}, {kStep, Paused, 1.9}};
    for (const auto& [how, state, position] : cases) {
        SCOPED_TRACE(int(how));
        QObject quiet; // hears the notifications, drains nothing
        ASSERT_EQ(graph.OpenMovie(MediaPath("silent.mov"), &host, &quiet), 0);
        graph.SetPositionSeconds(1.8);
        ASSERT_EQ(WaitForFrame(graph, 18), 18);
        if (how == kStep) {
            graph.StepForward(0); // the last frame
            graph.StepForward(0); // past it: the end
        } else {
            graph.TogglePlayPause();
        }
        ASSERT_TRUE(WaitFor([&] { return graph.GetPositionSeconds() > 1.85; }));
        QTest::qWait(500); // the end comes one frame (0.1 s) after the last frame's start
        if (how == kPause)
            graph.Pause();
        else if (how == kToggle)
            graph.TogglePlayPause();
        EXPECT_EQ(graph.GetState(), Paused);
        graph.DrainGraphEvents();
        EXPECT_EQ(graph.GetState(), state);
        EXPECT_NEAR(graph.GetPositionSeconds(), position, 1e-3);
    }
}

TEST_F(MediaGraphTest, SeeksExactlyStepsOneFrameAndTakesEachRate) {
    ASSERT_EQ(Open("clip.mov"), 0);
    // Keyframes every 10 frames: most targets need decoding from an earlier keyframe, and a
    // capture right after the seek already shows the frame sought.
    for (int frame : {25, 38, 3, 74, 61, 40}) {
        EXPECT_EQ(graph.SetPositionSeconds(frame / kFps), 0);
        EXPECT_DOUBLE_EQ(graph.GetPositionSeconds(), frame / kFps);
        EXPECT_EQ(FrameNumber(Capture(graph)), frame);
        EXPECT_EQ(FrameNumber(host.frame()), frame);
    }
    for (int frame = 41; frame <= 43; ++frame) {
        EXPECT_EQ(graph.StepForward(-1), 0); // the direction is ignored
        EXPECT_EQ(WaitForFrame(graph, frame), frame);
        EXPECT_TRUE(
            WaitFor([&] { return std::abs(graph.GetPositionSeconds() - frame / kFps) < 1e-3; }));
    }
    EXPECT_EQ(graph.GetState(), Paused);
    EXPECT_EQ(graph.SetPositionSeconds(std::nan("")), -4);
    const double rates[] = {1, 2, 4, 8, -1, -2, -4, -8, 1}; // out of the table: back to 1x
    for (int index : {0, 1, 2, 3, 4, 5, 6, 7, 8, 5, -1, 5, 9}) {
        graph.SetRateIndex(index);
        EXPECT_EQ(graph.GetRate(), rates[index >= 0 && index < 8 ? index : 8]) << index;
    }
}

// The capture (read by WaitForFrame, so the right way up) saved as JPEG is the frame ffmpeg
// decodes, in the same colours.
TEST_F(MediaGraphTest, CaptureMatchesFfmpegDecode) {
    ASSERT_EQ(Open("clip.mov"), 0);
    graph.SetPositionSeconds(30 / kFps);
    ASSERT_EQ(WaitForFrame(graph, 30), 30);
    const int size = graph.GetCurrentImageSize();
    ASSERT_EQ(size, 40 + 320 * 240 * 4);
    std::vector<unsigned char> dib(size);
    EXPECT_FALSE(graph.GetCurrentImage(dib.data(), size - 1));
    QTemporaryDir dir;
    const QString jpeg = dir.filePath("frame 30 ü.jpg");
    ASSERT_EQ(graph.SaveFrameAsJpeg(jpeg), 1);
    const auto ffmpeg = test::RunProgram({"ffmpeg", "-nostdin", "-v", "error", "-ss", "1.2", "-i",
                                          MediaPath("clip.mov").toStdString(), "-frames:v", "1",
                                          "-sws_flags", "accurate_rnd+full_chroma_int", "-f",
                                          "rawvideo", "-pix_fmt", "bgr0", "-"});
    ASSERT_EQ(ffmpeg.out.size(), 320u * 240 * 4) << ffmpeg.err;
    const auto* raw = reinterpret_cast<const uchar*>(ffmpeg.out.data());
    // Mean difference per channel of blue, green and red; the fourth byte is no colour.
    const auto difference = [raw](const QImage& image) {
        double total = 0;
        for (int i = 0; i < 320 * 240 * 4; ++i)
            total += i % 4 == 3 ? 0 : std::abs(image.constBits()[i] - raw[i]);
        return total / (320 * 240 * 3);
    };
    // The capture goes through the accurate conversion (0.14 here), not the screen's fast
    // one (0.35).
    EXPECT_LT(difference(Capture(graph)), 0.25);
    const QImage saved = QImage(jpeg).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(saved.size(), QSize(320, 240));
    EXPECT_EQ(FrameNumber(saved), 30);
    EXPECT_LT(difference(saved), 4.0); // JPEG error only
}

// Exact steps go one frame each way, also across key frames (every 10th frame) and after the
// buttons' steps left the engine playing backward; a seek just before the end shows the last
// frame and keeps the movie paused there.
TEST_F(MediaGraphTest, ExactStepsBothWaysAcrossKeyFrames) {
    ASSERT_EQ(Open("clip.mov"), 0);
    graph.SetPositionSeconds(23 / kFps);
    ASSERT_EQ(WaitForFrame(graph, 23), 23);
    int frame = 23;
    const std::pair<int, std::vector<int>> runs[] = {{5, {+1, +1, -1, -1, -1, -1}},
                                                     {0, {-1, -1, -1, -1, +1}}};
    for (const auto& [rateIndex, steps] : runs) {
        graph.SetRateIndex(rateIndex);
        for (int step : steps) {
            ASSERT_EQ(graph.StepFrameExact(step), 0);
            frame += step;
            ASSERT_EQ(WaitForFrame(graph, frame), frame) << rateIndex << ": a step of " << step;
        }
    }
    graph.SetPositionSeconds(graph.GetDurationSeconds() - 0.001);
    EXPECT_EQ(WaitForFrame(graph, 74), 74);
    QTest::qWait(300);
    EXPECT_EQ(graph.GetState(), Paused);
}

} // namespace
} // namespace quello
