#include "recordings/TelemetryParser.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace quello {
namespace {

std::string Repeat(const std::string& line, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += line;
    return out;
}

// The set in one line: counts, up to ten samples, then every fix slot ("-" when empty).
std::string Dump(const TelemetrySet& set) {
    std::string out = "S" + std::to_string(set.sampleCount) + " F" + std::to_string(set.fixCount);
    for (int i = 0; i < set.sampleCount && i < 10; ++i) {
        const GSensorSample& s = set.samples[i];
        out += " (" + std::to_string(s.x) + "," + std::to_string(s.y) + "," + std::to_string(s.z) +
               ")";
    }
    for (int i = 0; i < set.fixCount && i < 10; ++i) {
        const GpsFix& f = set.fixes[i];
        if (f.dateTime[0] == '\0' && f.latitude[0] == '\0' && f.speed == 0 && f.heading == 0) {
            out += " [-]";
            continue;
        }
        EXPECT_EQ(set.speeds[i], f.speed);
        out += std::string(" [") + f.dateTime + "|" + f.latitude + "|" + f.longitude + "|" +
               std::to_string(f.speed) + "|" + std::to_string(f.heading) + "]";
    }
    return out;
}

// Everything past the counts must be zero, whatever the set held before.
bool TailIsZero(const TelemetrySet& set) {
    const auto zero = [](const auto* from, const auto* to) {
        return std::all_of(reinterpret_cast<const char*>(from), reinterpret_cast<const char*>(to),
                           [](char b) { return b == 0; });
    };
    return zero(set.samples + set.sampleCount, set.samples + TelemetrySet::kMaxSamples) &&
           zero(set.fixes + set.fixCount, set.fixes + TelemetrySet::kMaxFixes) &&
           zero(set.speeds + set.fixCount, set.speeds + TelemetrySet::kMaxFixes);
}

const std::string kS = "[S]\t1\t2\t3\n";
const std::string kG = "[G]\t2010/01/02\t03:04:05\tN24.123456\tE121.654321\t80\t270\n";
const std::string kFix = "[2010/01/02 03:04:05|24.123456|121.654321|80|270]";

TEST(ParseTelemetryFile, FollowsTheLineRules) {
    const std::string pad(1023 - 9, ' ');
    const struct {
        const char* name;
        std::string content, dump;
    } cases[] = {
        {"empty file", "", "S0 F0"},
        {"8 characters with line end", "[S]\t1\t2\n", "S0 F0"},
        {"9 characters", "[S]\t1\t2\t3\n", "S1 F0 (1,2,3)"},
        {"CR LF is one line end", "[S]\t1\t2\r\n[S]\t4\t5\t6\r\n", "S1 F0 (4,5,6)"},
        {"8 characters, no line end", "[S]\t7\t8\t", "S0 F0"},
        {"9 characters, no line end", "[S]\t7\t8\t9", "S1 F0 (7,8,9)"},
        {"malformed values", "[S]\tabcd\n[S]\t5\tx\t6\n", "S2 F0 (0,0,0) (5,0,0)"},
        {"scanf-like numbers", "[S]\t 1 2\t\t3\n[S]\t+4-5-6\n", "S2 F0 (1,2,3) (4,-5,-6)"},
        {"numbers saturate", "[S]\t99999999999\t-99999999999\t7\n",
         "S1 F0 (2147483647,-2147483648,7)"},
        {"NUL ends the line early", std::string("[S]\t1\0\t2\t3\n", 11), "S0 F0"},
        {"other prefixes ignored", "[X]\t1\t2\t3\n [S]\t1\t2\t3\n[S] 1\t2\t3\n(S]\t1\t2\t3\n",
         "S0 F0"},
        {"fix", kG, "S0 F1 " + kFix},
        {"south and west", "[G]\t2010/01/02\t03:04:05\tS24.123456\tW121.654321\t-5\t-90\n",
         "S0 F1 [2010/01/02 03:04:05|-24.123456|-121.654321|-5|-90]"},
        {"no hemisphere letter", "[G]\td\tt\t24.5\t121.5\t1\t2\n", "S0 F1 [d t|4.5|21.5|1|2]"},
        {"missing heading resets", kG + "[G]\td\tt\tN1\tE2\t3\n",
         "S0 F2 " + kFix + " [d t|1|2|3|0]"},
        {"over-long tokens are cut",
         "[G]\t" + std::string(30, 'D') + "\tT\tN" + std::string(20, '1') + "\tW" +
             std::string(20, '2') + "\t1\t2\n",
         "S0 F1 [" + std::string(23, 'D') + "|" + std::string(11, '1') + "|-" +
             std::string(10, '2') + "|1|2]"},
        {"date and time share 23 characters",
         "[G]\t" + std::string(20, 'D') + "\tTTTTT\tN1\tE2\t0\t0\n",
         "S0 F1 [" + std::string(20, 'D') + " TT|1|2|0|0]"},
        {"fix after its second's samples", Repeat(kS, 10) + kG,
         "S10 F2 (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) "
         "[-] " +
             kFix},
        {"fix before its second's samples", kG + Repeat(kS, 10),
         "S10 F1 (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) (1,2,3) " +
             kFix},
        {"fixes in a row", kG + kG, "S0 F2 " + kFix + " " + kFix},
        {"samples without fixes", Repeat(kS, 25), "S25 F2 " + Repeat("(1,2,3) ", 10) + "[-] [-]"},
        {"fix count covers samples", kG + kG + kG + Repeat(kS, 45),
         "S45 F4 " + Repeat("(1,2,3) ", 10) + kFix + " " + kFix + " " + kFix + " [-]"},
        {"long line judged in pieces", "[S]\t1\t2\t3" + pad + "[S]\t4\t5\t6\n",
         "S2 F0 (1,2,3) (4,5,6)"},
        {"CR LF across the piece end", "[S]\t1\t2\t3" + pad.substr(1) + "\r\n[S]\t4\t5\t6\n",
         "S2 F0 (1,2,3) (4,5,6)"},
    };
    test::TempDir dir;
    auto set = std::make_unique<TelemetrySet>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::memset(static_cast<void*>(set.get()), 0x5A, sizeof *set);
        ASSERT_TRUE(ParseTelemetryFile(dir.write("t.DAT", c.content), *set));
        EXPECT_EQ(Dump(*set), c.dump);
        EXPECT_TRUE(TailIsZero(*set));
    }
}

// 100 MB of noise, each of its 1 MiB blocks ending in a line with a fix: the whole file is
// read, as nothing in it reaches a limit.
std::string Junk() {
    std::mt19937 random(20260516);
    std::string block(1 << 20, '\0');
    for (char& c : block)
        c = char(random());
    block.replace(block.size() - kG.size() - 1, kG.size() + 1, "\n" + kG);
    return Repeat(block, 100);
}

TEST(ParseTelemetryFile, StopsAtTheLimits) {
    const struct {
        const char* name;
        std::string content;
        int samples;
        int fixes;
        int lastFixSlot; // highest slot holding a fix, -1 for none
    } cases[] = {
        {"3100 sample lines", Repeat(kS, 3100), 3000, 300, -1},
        {"nothing read after 3000 samples", Repeat(kS, 3000) + kG, 3000, 300, -1},
        {"full second before the limit", Repeat(kS, 2999) + kG + kG + kS, 2999, 300, 299},
        {"320 fix lines", Repeat(kG, 320) + kS, 0, 300, 299},
        // The camera's own order puts second s's fix in slot s + 1: the last second is cut.
        {"a camera's five minutes", Repeat(Repeat(kS, 10) + kG, 300), 2990, 300, 299},
        {"100 MB of junk", Junk(), 0, 100, 99},
    };
    test::TempDir dir;
    auto set = std::make_unique<TelemetrySet>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.write("t.DAT", c.content);
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(ParseTelemetryFile(path, *set));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_EQ(set->sampleCount, c.samples);
        EXPECT_EQ(set->fixCount, c.fixes);
        int last = -1;
        for (int i = 0; i < TelemetrySet::kMaxFixes; ++i)
            if (set->fixes[i].speed == 80)
                last = i;
        EXPECT_EQ(last, c.lastFixSlot);
    }
}

TEST(ParseTelemetryFile, RefusesWhatItCannotOpen) {
    test::TempDir dir;
    // A 4-character path is refused even though the file is there.
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    dir.write("a.DA", kS);
    const std::string relative = "a.DA";
    auto set = std::make_unique<TelemetrySet>();
    for (const std::string& path :
         {relative, std::string(), dir.file("missing.DAT"), dir.makeDir("folder.DAT")}) {
        SCOPED_TRACE(path);
        std::memset(static_cast<void*>(set.get()), 0x5A, sizeof *set);
        EXPECT_FALSE(ParseTelemetryFile(path, *set));
        EXPECT_EQ(Dump(*set), "S0 F0");
        EXPECT_TRUE(TailIsZero(*set));
    }
    std::filesystem::current_path(previous);
}

} // namespace
} // namespace quello
