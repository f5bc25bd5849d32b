// Times `quello evidence` on a one-minute 1080p recording (movie and telemetry) against a plain
// `cp` of the same two files, and `cp` followed by `sync` of the copies (the pack syncs what it
// writes), alternating in one run so that load from other processes falls on all alike; prints
// the medians and the ratios.
//
//   outputs_evidence_bench [work-folder]   (default: a new folder under the system temp folder)
#include "bench/app/BenchRecording.h"

#include <QCoreApplication>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
constexpr int kRounds = 5;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double RunMs(const std::string& command) {
    const auto t0 = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string dir =
        argc > 1 ? argv[1] : (fs::temp_directory_path() / "quello-evidence-bench").string();
    fs::create_directories(dir);
    const std::string movie = dir + "/FILE0001.MOV", dat = dir + "/FILE0001.DAT";
    if (!fs::exists(movie) && !quello::bench::MakeBenchMovie(QString::fromStdString(movie), 60)) {
        std::fprintf(stderr, "ffmpeg could not make %s\n", movie.c_str());
        return 1;
    }
    if (!quello::bench::MakeBenchTelemetry(QString::fromStdString(dat)))
        return 1;

    std::vector<double> evidence, copy, copySync;
    for (int i = 0; i < kRounds; ++i) {
        const std::string pack = dir + "/pack", plain = dir + "/cp", synced = dir + "/cp-sync";
        for (const auto& out : {pack, plain, synced})
            fs::remove_all(out);
        fs::create_directory(plain);
        fs::create_directory(synced);
        evidence.push_back(RunMs(std::string(QUELLO_BIN) + " evidence " + movie + " --at 30 -o " +
                                 pack + " >/dev/null"));
        copy.push_back(RunMs("cp " + movie + " " + dat + " " + plain));
        copySync.push_back(RunMs("cp " + movie + " " + dat + " " + synced + " && sync " + synced +
                                 "/FILE0001.MOV " + synced + "/FILE0001.DAT"));
    }
    const double e = Median(evidence), c = Median(copy), s = Median(copySync);
    std::printf("evidence pack of a 60 s 1080p recording (%.1f MB movie + %.1f KB telemetry), "
                "median of %d\n"
                "  quello evidence %8.1f ms\n"
                "  cp              %8.1f ms   evidence/cp      = %.1f\n"
                "  cp + sync       %8.1f ms   evidence/cp+sync = %.1f\n",
                double(fs::file_size(movie)) / 1e6, double(fs::file_size(dat)) / 1e3, kRounds, e, c,
                e / c, s, e / s);
    return 0;
}
