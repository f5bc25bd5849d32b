// The KML converter dialog's whole "Convert to KML" run over 100 camera GPS logs of 3000 lines
// each, through the real button. Time is the wall time of one run, CPU the GUI thread's (the
// run is synchronous on it). Argument 1 runs with the dialog shown, so the per-row repaint is
// included; 0 with it hidden, which leaves the conversions alone.
//
//   outputs_dialog_bench [--benchmark_* options]

#include "outputs/CDlgKMLConv.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

constexpr int kLogs = 100;
constexpr int kLinesPerLog = 3000;

// One fix a second as the camera logs it: time, latitude, longitude, km/h, heading, date.
std::string MakeLog(int index) {
    std::string log;
    char line[128];
    for (int i = 0; i < kLinesPerLog; ++i) {
        const int t = 8 * 3600 + 15 * 60 + i;
        std::snprintf(line, sizeof line, "%02d%02d%02d\tN%.6f\tW%.6f\t%.1f\t%d\t20260516\r\n",
                      t / 3600 % 24, t / 60 % 60, t % 60, 40.758012 + index * 1e-3 + i * 2.1e-5,
                      73.985512 + i * 1.7e-5, 30.0 + i % 25 * 0.8, (208 + i / 60) % 360);
        log += line;
    }
    return log;
}

void BM_ConvertRun(benchmark::State& state) {
    namespace fs = std::filesystem;
    std::string dir = (fs::temp_directory_path() / "quello-kml-bench-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        state.SkipWithError("cannot create a work folder");
        return;
    }
    fs::create_directories(dir + "/logs");
    fs::create_directories(dir + "/kml");

    quello::CDlgKMLConv dialog;
    if (state.range(0) != 0) {
        dialog.show();
        QApplication::processEvents();
    }
    for (int i = 0; i < kLogs; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/logs/%04d.LOG", i + 1);
        const std::string bytes = MakeLog(i);
        std::ofstream(dir + name, std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
        dialog.AddLogFile(QString::fromUtf8(dir + name));
    }
    dialog.findChild<QLineEdit*>(QStringLiteral("ctl1046"))
        ->setText(QString::fromUtf8(dir + "/kml"));
    auto* convert = dialog.findChild<QPushButton*>(QStringLiteral("ctl1048"));
    auto* list = dialog.findChild<QTableWidget*>(QStringLiteral("ctl1021"));

    for (auto _ : state)
        convert->click();

    for (int row = 0; row < list->rowCount(); ++row) {
        if (list->item(row, 1)->text() != QStringLiteral("OK")) {
            state.SkipWithError("a log failed to convert");
            break;
        }
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_ConvertRun)->ArgName("shown")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

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
