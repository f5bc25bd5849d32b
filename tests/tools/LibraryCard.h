// The library tests' camera card, written by the test, and what they look at in a library.
#pragma once

#include "tests/support/MovieBytes.h"
#include "tests/support/ProgramRun.h"
#include "tests/support/SetupCfg.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace quello::test {

namespace fs = std::filesystem;

constexpr std::int64_t kStart = 1778924460; // 2026-05-16 09:41:00 on the camera clock

// A movie whose header says when it started, padded with bytes of its own, so that each
// seed gives other content.
inline std::string Movie(std::int64_t start, int seconds, int seed, std::size_t bytes = 200000) {
    std::string payload(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i)
        payload[i] = char((i * 131 + std::size_t(seed) * 7919) >> 3);
    return CameraMovie(std::uint64_t(start) + kSecondsFrom1904To1970, 1000,
                       std::uint64_t(seconds) * 1000) +
           Box("mdat", payload);
}

// The camera's telemetry: ten samples and a fix a second, the car going north from `lat`; a
// hard braking at second 5 when `braking`.
inline std::string Dat(int seconds, double lat, bool braking) {
    std::string text;
    for (int s = 0; s < seconds; ++s) {
        for (int k = 0; k < 10; ++k)
            text += std::string("[S]\t") + (braking && s == 5 && k < 3 ? "-700" : "10") +
                    "\t0\t1000\r\n";
        char line[128];
        std::snprintf(line, sizeof line,
                      "[G]\t2026/05/16\t09:41:%02d\tN%.6f\tE114.050000\t50\t0\r\n", s % 60,
                      lat + s * 0.0001);
        text += line;
    }
    return text;
}

inline void SetTime(const std::string& path, std::int64_t time) {
    const struct timespec times[2] = {{time, 0}, {time, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// A camera card: FILE0001 (telemetry in DCIM/INFO, a braking), FILE0002 (locked by the
// camera, telemetry beside it), a GPS log and the settings file.
inline std::string MakeCard(const TempDir& dir, const std::string& name) {
    dir.write(name + "/setup.cfg", SetupCfg());
    const std::string media = name + "/DCIM/100MEDIA/";
    SetTime(dir.write(media + "FILE0001.MOV", Movie(kStart, 60, 1)), kStart + 60);
    SetTime(dir.write(name + "/DCIM/INFO/FILE0001.DAT", Dat(60, 22.6, true)), kStart + 60);
    SetTime(dir.write(media + "FILE0002.MOV", Movie(kStart + 60, 60, 2)), kStart + 120);
    SetTime(dir.write(media + "FILE0002.DAT", Dat(60, 22.606, false)), kStart + 120);
    ::chmod(dir.file(media + "FILE0002.MOV").c_str(), 0444);
    dir.write(name + "/GPSLOG/20260516.log",
              "$GPRMC,094100,A,2236.0,N,11403.0,E,27,0,160526,,*00\n");
    return dir.file(name);
}

// Every file below a folder with its size, time, mode and content: what "unchanged" means.
inline std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> tree;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        std::string facts = std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) +
                            " " + std::to_string(st.st_mode);
        if (e.is_regular_file())
            facts += " " + TempDir::read(e.path());
        tree[fs::relative(e.path(), root).string()] = facts;
    }
    return tree;
}

inline std::vector<std::string> Stored(const std::string& library, const char* ending) {
    std::vector<std::string> found;
    if (!fs::exists(library))
        return found;
    for (const auto& e : fs::recursive_directory_iterator(library)) {
        const std::string rel = fs::relative(e.path(), library).string();
        if (rel.size() >= std::strlen(ending) &&
            rel.compare(rel.size() - std::strlen(ending), std::string::npos, ending) == 0)
            found.push_back(rel);
    }
    std::sort(found.begin(), found.end());
    return found;
}

inline std::vector<std::string> Leftovers(const std::string& library) {
    std::vector<std::string> found;
    if (fs::exists(library))
        for (const auto& e : fs::recursive_directory_iterator(library))
            if (e.path().filename().string().rfind(".quello-part-", 0) == 0)
                found.push_back(e.path().string());
    return found;
}

// `quello` with the fault library preloaded and `env` set.
inline ProgramResult RunFaulty(const std::vector<std::string>& env, std::vector<std::string> args) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::vector<std::string> argv = {"/usr/bin/env", std::string("LD_PRELOAD=") + IMPORT_FAULTS_LIB,
                                     std::string("ASAN_OPTIONS=") + (asan ? asan : "") +
                                         ":verify_asan_link_order=0"};
    argv.insert(argv.end(), env.begin(), env.end());
    argv.push_back(QUELLO_BIN);
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv);
}

inline nlohmann::json Find(const std::string& library, std::vector<std::string> args) {
    args.insert(args.begin(), {"find", library});
    const ProgramResult r = RunQuello(args);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return nlohmann::json::parse(r.out, nullptr, false);
}

inline std::vector<std::string> Paths(const nlohmann::json& matches) {
    std::vector<std::string> paths;
    if (!matches.is_array())
        return {"(not a JSON array)"};
    for (const auto& m : matches)
        paths.push_back(m.value("path", ""));
    return paths;
}

} // namespace quello::test
