#include "outputs/JpegWriter.h"

#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

namespace quello {
namespace {

using test::RunProgram;
using test::TempDir;

// Smooth colour changes, which JPEG keeps well at any size; green falls from top to bottom, so
// a picture written bottom row first cannot pass.
std::array<int, 3> ColourAt(int x, int y) {
    return {int(128 + 100 * std::sin(x / 7.0)), int(128 + 100 * std::cos(y / 5.0)), 96};
}

// A frame in the writer's input layout: bottom-up BGR rows; padding and the fourth byte carry
// junk that must never reach the picture.
std::vector<unsigned char> MakeFrame(int w, int h, int bpp) {
    const std::size_t px = bpp / 8u, stride = bpp == 32 ? w * 4u : (w * 3u + 3u) & ~3u;
    std::vector<unsigned char> bytes(stride * h, 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                bytes[stride * (h - 1 - y) + x * px + c] = (unsigned char)ColourAt(x, y)[2 - c];
    return bytes;
}

// Every size down to one pixel, both input layouts: the picture decoded by djpeg is close to
// the source, top row first, and replaced the file that was there; a baseline JPEG at quality 80.
TEST(JpegWriter, DecodesCloseToTheSourceTopRowFirst) {
    const struct {
        int w, h, bpp;
    } sizes[] = {{64, 48, 32}, {33, 17, 32}, {33, 17, 24},    {5, 3, 24},
                 {1, 1, 32},   {1, 1, 24},   {1920, 1080, 32}};
    for (const auto [w, h, bpp] : sizes) {
        SCOPED_TRACE(testing::Message() << w << "x" << h << "x" << bpp);
        TempDir dir;
        const std::string path = dir.write("frame.jpg", std::string(300000, 'o'));
        const auto frame = MakeFrame(w, h, bpp);
        ASSERT_EQ(bpp == 32 ? WriteJpeg(frame.data(), w, h, path)
                            : WriteJpeg(frame.data(), w, h, path, bpp),
                  1);
        EXPECT_EQ(dir.entries(), std::set<std::string>{"frame.jpg"});

        const auto r = RunProgram({"djpeg", "-pnm", path});
        std::istringstream ppm(r.out);
        std::string magic;
        int width = 0, height = 0, maxValue = 0;
        ppm >> magic >> width >> height >> maxValue;
        ppm.get();
        ASSERT_EQ(magic + " " + std::to_string(width) + "x" + std::to_string(height) + " " +
                      std::to_string(maxValue),
                  "P6 " + std::to_string(w) + "x" + std::to_string(h) + " 255");
        const std::string rgb = r.out.substr(std::size_t(ppm.tellg()));
        ASSERT_EQ(rgb.size(), std::size_t(w) * h * 3);
        long long total = 0;
        int worst = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int diff =
                        std::abs(ColourAt(x, y)[c] - (unsigned char)rgb[(y * w + x) * 3 + c]);
                    total += diff;
                    worst = std::max(worst, diff);
                }
        EXPECT_LT(double(total) / (3.0 * w * h), 4.0);
        EXPECT_LT(worst, 40);
        if (w == 64) {
            // FF C0 starts a baseline frame, FF C2 a progressive one.
            const std::string bytes = TempDir::read(path);
            EXPECT_NE(bytes.find("\xFF\xC0"), std::string::npos);
            EXPECT_EQ(bytes.find("\xFF\xC2"), std::string::npos);
            const auto id = RunProgram({"identify", "-verbose", path});
            EXPECT_NE(id.out.find("Quality: 80"), std::string::npos) << id.out << id.err;
        }
    }
}

TEST(JpegWriter, RefusalsReturnZeroAndLeaveNothing) {
    const struct {
        const char* name;
        bool nullPixels;
        int width, height, bpp;
        const char* target; // relative to the temporary folder unless absolute
    } cases[] = {
        {"NullPixels", true, 8, 8, 32, "a.jpg"},
        {"ZeroWidth", false, 0, 8, 32, "a.jpg"},
        {"NegativeHeight", false, 8, -1, 32, "a.jpg"},
        {"WiderThanJpegAllows", false, 65501, 1, 32, "a.jpg"},
        {"TallerThanJpegAllows", false, 1, 65501, 32, "a.jpg"},
        {"SixteenBitFrame", false, 8, 8, 16, "a.jpg"},
        {"MissingFolder", false, 8, 8, 32, "missing/a.jpg"},
        {"PathIsAFolder", false, 8, 8, 32, "sub"},
        {"PathEndsInSlash", false, 8, 8, 32, "sub/"},
        {"EmptyPath", false, 8, 8, 32, ""},
        {"UnwritableFolder", false, 8, 8, 32, "/proc/snap.jpg"},
    };
    const std::vector<unsigned char> pixels(64 * 64 * 4, 0x80);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.makeDir("sub");
        const std::string path = *c.target == '/' || !*c.target ? c.target : dir.file(c.target);
        EXPECT_EQ(WriteJpeg(c.nullPixels ? nullptr : pixels.data(), c.width, c.height, path, c.bpp),
                  0);
        EXPECT_EQ(dir.entries(), std::set<std::string>{"sub"});
        EXPECT_TRUE(TempDir::entries(dir.file("sub")).empty());
    }
}

} // namespace
} // namespace quello
