// The sweep of copies left by a killed import: it must never take a copy that a live import
// (this one or another beside it) is still making.
#include "library/VerifiedCopy.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quello {
namespace {

TEST(VerifiedCopy, TheSweepTakesOnlyCopiesNoImportHolds) {
    const test::TempDir dir;
    const struct {
        std::string name;
        bool locked;    // a live copy holds it
        int ageSeconds; // since it was last written
        bool removed;
    } files[] = {
        {".quello-part-A.MOV.aaaaaa", false, 0, true},  // left by a killed import
        {".quello-part-B.MOV.bbbbbb", true, 0, false},  // being copied
        {".quello-new-C.MOV.cccccc", false, 0, false},  // just made, not locked yet
        {".quello-new-D.MOV.dddddd", false, 600, true}, // killed before its lock
        {".quello-new-E.MOV.eeeeee", true, 600, false},
        {"094100_FILE0001.MOV", false, 600, false}, // a stored file
    };
    std::vector<int> held;
    for (const auto& f : files) {
        const std::string path = dir.write(f.name, "bytes");
        const struct timespec times[2] = {{time(nullptr) - f.ageSeconds, 0},
                                          {time(nullptr) - f.ageSeconds, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        if (f.locked) {
            held.push_back(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            ASSERT_EQ(::flock(held.back(), LOCK_EX), 0);
        }
    }
    VerifiedCopy::RemoveStale(dir.path());
    for (const auto& f : files)
        EXPECT_EQ(::access(dir.file(f.name).c_str(), F_OK) != 0, f.removed) << f.name;
    for (int fd : held)
        ::close(fd);
}

} // namespace
} // namespace quello
