#include "recordings/TelemetryParser.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <sstream>
#include <string>

namespace quello {
namespace {

std::string Repeat(const std::string& line, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += line;
    return out;
}

bool IsEmpty(const GpsFix& f) {
    return !f.dateTime[0] && !f.latitude[0] && f.speed == 0 && f.heading == 0;
}

// The set in one line: counts, up to ten samples, up to ten fix slots ("-" when empty), and
// past ten slots the last one holding a fix (-1: none).
std::string Dump(const TelemetrySet& set) {
    std::ostringstream out;
    out << "S" << set.sampleCount << " F" << set.fixCount;
    for (const GSensorSample& s : std::span(set.samples, std::min(set.sampleCount, 10)))
        out << " (" << s.x << "," << s.y << "," << s.z << ")";
    for (int i = 0; i < std::min(set.fixCount, 10); ++i) {
        const GpsFix& f = set.fixes[i];
        EXPECT_EQ(set.speeds[i], f.speed);
        if (IsEmpty(f))
            out << " [-]";
        else
            out << " [" << f.dateTime << "|" << f.latitude << "|" << f.longitude << "|" << f.speed
                << "|" << f.heading << "]";
    }
    int last = -1;
    for (int i = 0; i < TelemetrySet::kMaxFixes; ++i)
        last = IsEmpty(set.fixes[i]) ? last : i;
    if (set.fixCount > 10)
        out << " last " << last;
    return out.str();
}

const std::string kS = "[S]\t1\t2\t3\n";
const std::string kG = "[G]\t2010/01/02\t03:04:05\tN24.123456\tE121.654321\t80\t270\n";
const std::string kFix = "[2010/01/02 03:04:05|24.123456|121.654321|80|270]";
const std::string kTenSamples = Repeat("(1,2,3) ", 10);

TEST(ParseTelemetryFile, FollowsTheLineRulesUpToItsLimits) {
    const std::string pad(1023 - 9, ' ');
    const struct {
        const char* name;
        std::string content, dump;
    } cases[] = {
        {"empty file", "", "S0 F0"},
        {"8 characters with line end", "[S]\t1\t2\n", "S0 F0"},
        {"CR LF is one line end", "[S]\t1\t2\r\n[S]\t4\t5\t6\r\n", "S1 F0 (4,5,6)"},
        {"9 characters, no line end", "[S]\t7\t8\t9", "S1 F0 (7,8,9)"},
        {"malformed values", "[S]\tabcd\n[S]\t5\tx\t6\n", "S2 F0 (0,0,0) (5,0,0)"},
        {"scanf-like numbers", "[S]\t 1 2\t\t3\n[S]\t+4-5-6\n", "S2 F0 (1,2,3) (4,-5,-6)"},
        {"numbers saturate", "[S]\t99999999999\t-99999999999\t7\n",
         "S1 F0 (2147483647,-2147483648,7)"},
        {"NUL ends the line early", std::string("[S]\t1\0\t2\t3\n", 11) + kS, "S1 F0 (1,2,3)"},
        {"other prefixes ignored", "[X]\t1\t2\t3\n [S]\t1\t2\t3\n[S] 1\t2\t3\n(S]\t1\t2\t3\n",
         "S0 F0"},
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
         "S10 F2 " + kTenSamples + "[-] " + kFix},
        {"fix before its second's samples", kG + Repeat(kS, 10), "S10 F1 " + kTenSamples + kFix},
        {"fix count covers samples", kG + kG + kG + Repeat(kS, 45),
         "S45 F4 " + kTenSamples + kFix + " " + kFix + " " + kFix + " [-]"},
        {"long line judged in pieces", "[S]\t1\t2\t3" + pad + "[S]\t4\t5\t6\n",
         "S2 F0 (1,2,3) (4,5,6)"},
        {"CR LF across the piece end", "[S]\t1\t2\t3" + pad.substr(1) + "\r\n[S]\t4\t5\t6\n",
         "S2 F0 (1,2,3) (4,5,6)"},
        {"CR alone at the piece end", "[S]\t1\t2\t3" + pad.substr(1) + "\r[S]\t4\t5\t6\n",
         "S2 F0 (1,2,3) (4,5,6)"},
        // Reading stops at 3000 samples or 300 fix slots.
        {"nothing read after 3000 samples", Repeat(kS, 3000) + kG,
         "S3000 F300 " + kTenSamples + Repeat("[-] ", 10) + "last -1"},
        {"full second before the limit", Repeat(kS, 2999) + kG + kG + kS,
         "S2999 F300 " + kTenSamples + Repeat("[-] ", 10) + "last 299"},
        {"320 fix lines", Repeat(kG, 320) + kS, "S0 F300 " + Repeat(kFix + " ", 10) + "last 299"},
        // The camera's own order puts second s's fix in slot s + 1: the last second is cut.
        {"a camera's five minutes", Repeat(Repeat(kS, 10) + kG, 300),
         "S2990 F300 " + kTenSamples + "[-] " + Repeat(kFix + " ", 9) + "last 299"},
    };
    test::TempDir dir;
    auto set = std::make_unique<TelemetrySet>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ParseTelemetryFile(dir.write("t.DAT", c.content), *set));
        EXPECT_EQ(Dump(*set), c.dump);
    }
}

// Refused paths, a 4-character one even though its file is there, leave an empty set. (That
// a parse clears what the set held before, the fuzz target checks.)
TEST(ParseTelemetryFile, RefusesWhatItCannotOpen) {
    test::TempDir dir;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    auto set = std::make_unique<TelemetrySet>();
    for (const std::string& path :
         {dir.write("a.DA", kS).substr(dir.path().size() + 1), std::string(),
          dir.file("missing.DAT"), dir.makeDir("folder.DAT")}) {
        std::memset(static_cast<void*>(set.get()), 0x5A, sizeof *set);
        EXPECT_FALSE(ParseTelemetryFile(path, *set)) << path;
        EXPECT_EQ(Dump(*set), "S0 F0") << path;
    }
    EXPECT_TRUE(ParseTelemetryFile(dir.write("a.DAT", kS).substr(dir.path().size() + 1), *set))
        << "five characters are enough";
    std::filesystem::current_path(previous);
}

} // namespace
} // namespace quello
