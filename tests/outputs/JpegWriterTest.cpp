#include "outputs/JpegWriter.h"

#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace quello {
namespace {

using test::RunProgram;
using test::TempDir;

struct Rgb {
    int r, g, b;
};

// A frame in the writer's input layout (bottom-up rows) from a top-down colour function.
template <typename ColourAt>
std::vector<unsigned char> makeFrame(int w, int h, int bpp, ColourAt colourAt) {
    const std::size_t px = bpp / 8u, stride = bpp == 32 ? w * 4u : (w * 3u + 3u) & ~3u;
    // Padding and the fourth byte carry junk that must never reach the picture.
    std::vector<unsigned char> bytes(stride * h, 0xEE);
    for (int y = 0; y < h; ++y) {
        unsigned char* row = bytes.data() + stride * (h - 1 - y);
        for (int x = 0; x < w; ++x) {
            const Rgb c = colourAt(x, y);
            row[x * px] = static_cast<unsigned char>(c.b);
            row[x * px + 1] = static_cast<unsigned char>(c.g);
            row[x * px + 2] = static_cast<unsigned char>(c.r);
        }
    }
    return bytes;
}

// The picture decoded by libjpeg's djpeg, as top-down RGB.
struct Decoded {
    int width = 0, height = 0;
    std::string rgb;

    Rgb at(int x, int y) const {
        const auto* p = reinterpret_cast<const unsigned char*>(rgb.data()) + (y * width + x) * 3;
        return {p[0], p[1], p[2]};
    }
};

Decoded decode(const std::string& path) {
    Decoded d;
    const auto r = RunProgram({"djpeg", "-pnm", path});
    std::istringstream ppm(r.out);
    std::string magic;
    int maxValue = 0;
    ppm >> magic >> d.width >> d.height >> maxValue;
    ppm.get();
    if (r.exitCode != 0 || magic != "P6" || maxValue != 255)
        return {};
    d.rgb = r.out.substr(static_cast<std::size_t>(ppm.tellg()));
    EXPECT_EQ(d.rgb.size(), static_cast<std::size_t>(d.width) * d.height * 3);
    return d;
}

// Every size down to one pixel, both input layouts: the picture decodes close to the source,
// top row first, and replaces the file that was there.
TEST(JpegWriter, DecodesCloseToTheSourceTopRowFirst) {
    const struct {
        int w, h, bpp;
    } sizes[] = {{64, 48, 32}, {64, 48, 24}, {33, 17, 32}, {33, 17, 24},
                 {5, 3, 24},   {1, 1, 32},   {1, 1, 24},   {1920, 1080, 32}};
    for (const auto [w, h, bpp] : sizes) {
        SCOPED_TRACE(testing::Message() << w << "x" << h << "x" << bpp);
        TempDir dir;
        // Smooth colour changes, which JPEG keeps well at any size; green falls from top to bottom,
        // so a picture written bottom row first cannot pass.
        const auto colourAt = [](int x, int y) {
            return Rgb{static_cast<int>(128 + 100 * std::sin(x / 7.0)),
                       static_cast<int>(128 + 100 * std::cos(y / 5.0)), 96};
        };
        const auto frame = makeFrame(w, h, bpp, colourAt);
        const std::string path = dir.file("frame.jpg");
        dir.write("frame.jpg", std::string(300000, 'o')); // replaced, not appended to or merged
        ASSERT_EQ(WriteJpeg(frame.data(), w, h, path, bpp), 1);
        EXPECT_EQ(dir.entries(), std::set<std::string>{"frame.jpg"});

        const Decoded d = decode(path);
        ASSERT_EQ(d.width, w);
        ASSERT_EQ(d.height, h);
        long long total = 0;
        int worst = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const Rgb want = colourAt(x, y), got = d.at(x, y);
                for (const int diff : {want.r - got.r, want.g - got.g, want.b - got.b}) {
                    total += std::abs(diff);
                    worst = std::max(worst, std::abs(diff));
                }
            }
        EXPECT_LT(static_cast<double>(total) / (3.0 * w * h), 4.0);
        EXPECT_LT(worst, 40);
    }
}

TEST(JpegWriter, BaselineAtQuality80) {
    TempDir dir;
    const auto frame = makeFrame(40, 30, 32, [](int x, int y) { return Rgb{x * 6, y * 8, 50}; });
    const std::string path = dir.file("q.jpg");
    ASSERT_EQ(WriteJpeg(frame.data(), 40, 30, path), 1);

    // Markers: FF C0 starts a baseline frame, FF C2 a progressive one (scan data never holds
    // an unstuffed FF).
    const std::string bytes = TempDir::read(path);
    EXPECT_NE(bytes.find("\xFF\xC0"), std::string::npos);
    EXPECT_EQ(bytes.find("\xFF\xC2"), std::string::npos);

    const auto r = RunProgram({"identify", "-verbose", path});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("Quality: 80"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Interlace: None"), std::string::npos);
}

TEST(JpegWriter, RefusalsReturnZeroAndLeaveNothing) {
    const struct {
        const char* name;
        bool nullPixels;
        int width, height, bpp;
        const char* target; // relative to the temporary folder, "" for an empty path
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
        {"UnwritableFolder", false, 8, 8, 32, "/proc"},
    };
    for (const auto& rc : cases) {
        SCOPED_TRACE(rc.name);
        TempDir dir;
        dir.makeDir("sub");
        const std::vector<unsigned char> pixels(64 * 64 * 4, 0x80);
        std::string path;
        if (std::string(rc.target) == "/proc")
            path = "/proc/snap.jpg";
        else if (*rc.target != '\0')
            path = dir.file(rc.target);
        const auto before = dir.entries();
        EXPECT_EQ(
            WriteJpeg(rc.nullPixels ? nullptr : pixels.data(), rc.width, rc.height, path, rc.bpp),
            0);
        EXPECT_EQ(dir.entries(), before);
        EXPECT_TRUE(TempDir::entries(dir.file("sub")).empty());
    }
}

} // namespace
} // namespace quello
