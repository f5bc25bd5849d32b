// Times the KML converter against gpsbabel writing KML from the same points, and the JPEG
// writer against cjpeg compressing the same pixels, in one run, and prints the ratios.
//
//   outputs_bench [work-folder]     (default: a new folder under the system temp folder)

#include "imaging/JpegWriter.h"
#include "outputs/KmlConverter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double cpuMsOfThisProcess() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double cpuMsOfChildren() {
    rusage ru{};
    ::getrusage(RUSAGE_CHILDREN, &ru);
    const auto ms = [](const timeval& tv) { return tv.tv_sec * 1e3 + tv.tv_usec / 1e3; };
    return ms(ru.ru_utime) + ms(ru.ru_stime);
}

struct Timing {
    double wallMs, cpuMs; // medians
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs ours and the external command alternately, so that load from other processes on the
// machine falls on both alike; returns the medians of wall time and CPU time of each.
std::pair<Timing, Timing> compare(int rounds, const std::function<bool()>& ours,
                                  const std::string& command) {
    std::vector<double> oursWall, oursCpu, theirsWall, theirsCpu;
    for (int i = 0; i < rounds; ++i) {
        auto t0 = Clock::now();
        double c0 = cpuMsOfThisProcess();
        if (!ours()) {
            std::fprintf(stderr, "benchmark call failed\n");
            std::exit(1);
        }
        oursCpu.push_back(cpuMsOfThisProcess() - c0);
        oursWall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());

        t0 = Clock::now();
        c0 = cpuMsOfChildren();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            std::exit(1);
        }
        theirsCpu.push_back(cpuMsOfChildren() - c0);
        theirsWall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return {{median(oursWall), median(oursCpu)}, {median(theirsWall), median(theirsCpu)}};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

void benchKml(const std::string& dir) {
    constexpr int kLines = 100000;
    std::string log, csv = "Latitude,Longitude\n";
    char line[160];
    for (int i = 0; i < kLines; ++i) {
        const double lat = 22.543210 + i * 1e-5, lon = 114.057800 + i * 1.3e-5;
        std::snprintf(line, sizeof line, "2026/12/06 %02d:%02d:%02d\tN%.6f\tE%.6f\t%d\t%d\r\n",
                      (i / 3600) % 24, (i / 60) % 60, i % 60, lat, lon, 40 + i % 50, i % 360);
        log += line;
        std::snprintf(line, sizeof line, "%.6f,%.6f\n", lat, lon);
        csv += line;
    }
    writeFile(dir + "/drive.log", log);
    writeFile(dir + "/pts.csv", csv);

    std::string kmlPath;
    // The same points as one track, so gpsbabel also writes a single line string.
    const std::string babel = "gpsbabel -i unicsv -f " + dir +
                              "/pts.csv -x transform,trk=wpt,del -o kml -F " + dir + "/babel.kml";
    const auto [ours, theirs] = compare(
        5,
        [&] {
            return quello::ConvertLogToKml(dir + "/drive.log", "GPS Log data.", dir, kmlPath) == 0;
        },
        babel);
    std::printf("KML of a %d-line log (goal: gpsbabel/ours >= 10)\n"
                "  wall: ConvertLogToKml %7.1f ms, gpsbabel %7.1f ms, gpsbabel/ours = %.1f\n"
                "  cpu:  ConvertLogToKml %7.1f ms, gpsbabel %7.1f ms, gpsbabel/ours = %.1f\n",
                kLines, ours.wallMs, theirs.wallMs, theirs.wallMs / ours.wallMs, ours.cpuMs,
                theirs.cpuMs, theirs.cpuMs / ours.cpuMs);
}

void benchJpeg(const std::string& dir) {
    constexpr int w = 1920, h = 1080;
    // A frame with smooth areas and detail, like a road scene rather than flat colour.
    std::vector<unsigned char> bgrx(std::size_t(w) * h * 4);
    std::string ppm = "P6\n1920 1080\n255\n";
    ppm.resize(ppm.size() + std::size_t(w) * h * 3);
    std::size_t p = ppm.size() - std::size_t(w) * h * 3;
    unsigned seed = 1;
    for (int y = 0; y < h; ++y) {
        unsigned char* row = bgrx.data() + std::size_t(h - 1 - y) * w * 4; // bottom-up
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int noise = int(seed >> 28);
            const unsigned char r = static_cast<unsigned char>((x * 255 / w + noise) & 255);
            const unsigned char g =
                static_cast<unsigned char>((y * 255 / h + ((x / 16 + y / 16) % 2) * 40) & 255);
            const unsigned char b = static_cast<unsigned char>((96 + noise * 4) & 255);
            row[x * 4] = b;
            row[x * 4 + 1] = g;
            row[x * 4 + 2] = r;
            ppm[p++] = char(r);
            ppm[p++] = char(g);
            ppm[p++] = char(b);
        }
    }
    writeFile(dir + "/frame.ppm", ppm);

    const std::string cjpeg =
        "cjpeg -quality 80 -outfile " + dir + "/cjpeg.jpg " + dir + "/frame.ppm";
    const auto [ours, theirs] = compare(
        21, [&] { return quello::WriteJpeg(bgrx.data(), w, h, dir + "/ours.jpg") == 1; }, cjpeg);
    std::printf("JPEG of a 1920x1080 frame (goal: ours/cjpeg <= 1.2)\n"
                "  wall: WriteJpeg %7.1f ms, cjpeg -quality 80 %7.1f ms, ours/cjpeg = %.2f\n"
                "  cpu:  WriteJpeg %7.1f ms, cjpeg -quality 80 %7.1f ms, ours/cjpeg = %.2f\n",
                ours.wallMs, theirs.wallMs, ours.wallMs / theirs.wallMs, ours.cpuMs, theirs.cpuMs,
                ours.cpuMs / theirs.cpuMs);
}

} // namespace

int main(int argc, char** argv) {
    std::string dir;
    if (argc > 1) {
        dir = argv[1];
        std::filesystem::create_directories(dir);
    } else {
        std::string templ =
            (std::filesystem::temp_directory_path() / "quello-bench-XXXXXX").string();
        if (::mkdtemp(templ.data()) == nullptr)
            return 1;
        dir = templ;
    }
    std::printf("work folder: %s\n", dir.c_str());
    benchKml(dir);
    benchJpeg(dir);
    if (argc <= 1)
        std::filesystem::remove_all(dir);
    return 0;
}
