// The line of the car's own signals over the gauges, on a car's front-camera clip from
// make-teslacam, whose drive model gives second s: left blinker s % 4 == 1, right s % 4 == 2,
// brake s % 5 == 2, assistance s % 4, steering -10 + 2 s, pedal 20 + s, gear drive.
#include "PlayerWindow.h"

#include "cameras/SeiTelemetry.h"
#include "views/CCarSignalsBar.h"

namespace quello {
namespace {

using namespace test;

TEST_F(PlayerWindow, TheCarsSignalsOfTheSecondOnScreenShowOnlyForACarsClip) {
    SeiTelemetry::Register(); // as the program does at start
    const QString tesla = dir.filePath("tesla");
    ASSERT_EQ(QProcess::execute(MAKE_TESLACAM, {tesla, "--clip-seconds", "3", "--size", "64x48",
                                                "--fps", "30", "--cameras", "front"}),
              0);
    for (const QString& movie :
         {tesla + "/TeslaCam/RecentClips/2024-05-01/2024-05-01_10-00-00-front.mp4",
          Recording("s/M")})
        ASSERT_TRUE(window->AddRecording(movie));
    auto* bar = window->findChild<CCarSignalsBar*>(QStringLiteral("carSignals"));
    ASSERT_TRUE(bar);
    ClickRow(0);
    ASSERT_TRUE(WaitFor([&] { return window->telemetry().fixCount == 3; }));
    const Act home = [&] { QTest::keyClick(window.get(), Qt::Key_Home); };
    const Act play = [&] { Click(kIdPlay); };
    // Exactly one frame (1/30 s) a press.
    auto frames = [&](Qt::Key key, int count) {
        return [this, key, count] {
            for (int i = 0; i < count; ++i)
                QTest::keyClick(window.get(), key);
        };
    };
    const QString second0 = "D  steer −10°  pedal 20 %";
    const QString second1 = "◀  D  steer −8°  pedal 21 %  self-driving";
    const QString second2 = "▶  D  BRAKE  steer −6°  pedal 22 %  autosteer";
    // What is done, then the line it leads to.
    const std::pair<Act, QString> cases[] = {
        {[&] { ClickWaveformAt(25); }, second2},
        {home, second0},
        {[&] { ClickWaveformAt(19); }, second1},
        {frames(Qt::Key_Right, 3), second2}, // 2.0 s
        {frames(Qt::Key_Left, 1), second1},  // 1.97 s
        {play, second2},                     // and on through the sync tick
    };
    for (const auto& [act, line] : cases) {
        SCOPED_TRACE(line.toStdString());
        act();
        EXPECT_TRUE(WaitFor([&] { return bar->isVisible() && bar->text() == line; }))
            << bar->text().toStdString() << " at " << Position();
    }
    // A camera's own recording leaves the panel as it always was.
    DoubleClickRow(1);
    ASSERT_TRUE(WaitFor([&] { return State() == Running; }));
    ClickWaveformAt(15);
    EXPECT_TRUE(WaitFor([&] { return Waveform()->cursorIndex() >= 15; }));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(bar->text(), "");
}

} // namespace
} // namespace quello
