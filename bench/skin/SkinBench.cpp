// Gauge drawing at real size: the compass turn alone, and a full gauge update (turn the
// compass, move the needle, repaint both instruments' boxes of the 1024 x 247 panel), which is
// what a sync tick costs when speed and heading change. Budget: waveform paint + gauges
// <= 2 ms of the 100 ms tick.
#include "skin/CDashPanel.h"
#include "skin/GaugeGeometry.h"
#include "skin/SkinBitmaps.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <benchmark/benchmark.h>

namespace {

using namespace quello;

void BM_CompassTurn(benchmark::State& state) {
    const QImage needle = SkinBitmaps::Load(kBmpCompassNeedle);
    int heading = 0;
    for (auto _ : state) {
        QImage canvas = RotateCompassNeedle(needle, heading);
        benchmark::DoNotOptimize(canvas.constBits());
        heading = (heading + 7) % 360;
    }
}
BENCHMARK(BM_CompassTurn)->Unit(benchmark::kMicrosecond);

void BM_GaugesUpdateAndRepaint(benchmark::State& state) {
    QWidget window;
    window.resize(1024, 768);
    auto* panel = new CDashPanel(&window);
    panel->move(0, 521);
    QImage target(panel->size(), QImage::Format_RGB32);
    // The boxes the two instruments repaint: the compass square's box and the needle's box.
    const QRegion boxes = QRegion(881, 40, 143, 160) + QRegion(712, 610 - 521 - 55, 110, 110);
    int step = 0;
    for (auto _ : state) {
        panel->DrawHeadingDial(step * 7 % 360);
        panel->DrawSpeedNeedle(step * 3 % 261);
        panel->render(&target, boxes.boundingRect().topLeft(), boxes,
                      QWidget::RenderFlags(QWidget::DrawChildren));
        benchmark::DoNotOptimize(target.constBits());
        ++step;
    }
}
BENCHMARK(BM_GaugesUpdateAndRepaint)->Unit(benchmark::kMicrosecond);

void BM_WholePanelRepaint(benchmark::State& state) {
    QWidget window;
    window.resize(1024, 768);
    auto* panel = new CDashPanel(&window);
    panel->move(0, 521);
    panel->DrawSpeedNeedle(120);
    panel->DrawHeadingDial(45);
    QImage target(panel->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        panel->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}
BENCHMARK(BM_WholePanelRepaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
