#include "imaging/JpegWriter.h"

#include "tests/support/ProgramRun.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace quello {
namespace {

using test::RunProgram;
using test::TempDir;

// Smooth colours, which JPEG keeps well at any size; green changes from top to bottom.
std::array<int, 3> ColourAt(int x, int y) {
    return {int(128 + 100 * std::sin(x / 7.0)), int(128 + 100 * std::cos(y / 5.0)), 96};
}

// A frame as the writer takes it: bottom-up BGR rows, junk in the padding and fourth bytes.
std::vector<unsigned char> MakeFrame(int w, int h, int bpp) {
    const std::size_t px = bpp / 8u, stride = bpp == 32 ? w * 4u : (w * 3u + 3u) & ~3u;
    std::vector<unsigned char> bytes(stride * h, 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                bytes[stride * (h - 1 - y) + x * px + c] = (unsigned char)ColourAt(x, y)[2 - c];
    return bytes;
}

// What follows SOI and the application segments (APP0..APP15): the frame itself.
std::string AfterAppSegments(const std::string& jpeg) {
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == '\xFF' && (jpeg[at + 1] & 0xF0) == 0xE0)
        at += 2 + ((unsigned char)jpeg[at + 2] << 8 | (unsigned char)jpeg[at + 3]);
    return at < jpeg.size() ? jpeg.substr(at) : "";
}

// Every size down to one pixel, both input layouts: decoded by djpeg, close to the source.
TEST(JpegWriter, DecodesCloseToTheSourceTopRowFirst) {
    const std::array<int, 3> sizes[] = {{64, 48, 32}, {33, 17, 32}, {33, 17, 24},    {5, 3, 24},
                                        {1, 1, 32},   {1, 1, 24},   {1920, 1080, 32}};
    for (const auto [w, h, bpp] : sizes) {
        SCOPED_TRACE(testing::Message() << w << "x" << h << "x" << bpp);
        TempDir dir;
        const std::string path = dir.file("frame.jpg");
        ASSERT_EQ(WriteJpeg(MakeFrame(w, h, bpp).data(), w, h, path, bpp), 1);
        const auto r = RunProgram({"djpeg", "-pnm", path});
        const std::string header = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        ASSERT_EQ(r.out.substr(0, header.size()), header);
        const std::string rgb = r.out.substr(header.size());
        ASSERT_EQ(rgb.size(), std::size_t(w) * h * 3);
        long long total = 0;
        int worst = 0;
        for (int i = 0; i < w * h * 3; ++i) { // rgb holds the pixels row by row
            const int diff =
                std::abs(ColourAt(i / 3 % w, i / 3 / w)[i % 3] - (unsigned char)rgb[i]);
            total += diff;
            worst = std::max(worst, diff);
        }
        EXPECT_LT(double(total) / (3.0 * w * h), 4.0);
        EXPECT_LT(worst, 40);
    }
}

// The file opens with the Exif block in the one APP1 segment right after SOI, and from there on
// is byte for byte what cjpeg writes at quality 80 (baseline) for the same pixels: the Exif
// block, with or without GPS, changes nothing in the image data.
TEST(JpegWriter, ImageDataAreCjpegsAtQuality80WhateverTheExif) {
    SnapshotFacts gps;
    gps.fix = SnapshotFacts::Fix{-33.86882, 151.209296, 57, 90};
    const struct {
        int w, h, bpp;
        SnapshotFacts facts;
    } cases[] = {{64, 48, 32, {}}, {33, 17, 24, gps}, {1920, 1080, 32, gps}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << "x" << c.bpp);
        TempDir dir;
        std::string ppm = "P6\n" + std::to_string(c.w) + " " + std::to_string(c.h) + "\n255\n";
        for (int i = 0; i < c.w * c.h * 3; ++i)
            ppm += char(ColourAt(i / 3 % c.w, i / 3 / c.w)[i % 3]);
        const auto reference = RunProgram({"cjpeg", "-quality", "80", dir.write("frame.ppm", ppm)});
        ASSERT_EQ(WriteJpeg(MakeFrame(c.w, c.h, c.bpp).data(), c.w, c.h, dir.file("frame.jpg"),
                            c.bpp, c.facts),
                  1);
        const std::string ours = TempDir::read(dir.file("frame.jpg"));
        EXPECT_EQ(ours.substr(0, 4), "\xFF\xD8\xFF\xE1");
        EXPECT_EQ(ours.substr(6, 6), std::string("Exif\0\0", 6));
        EXPECT_EQ(AfterAppSegments(ours), AfterAppSegments(reference.out));
    }
}

TEST(JpegWriter, RefusalsReturnZeroAndLeaveNothing) {
    const std::vector<unsigned char> pixels(64 * 64 * 4, 0x80);
    TempDir dir;
    const std::string path = dir.file("a.jpg");
    // Sides out of 1..65500 (the most JPEG allows) and depths other than 24 and 32 bits.
    for (const auto& [w, h, bpp] :
         {std::array{0, 8, 32}, {8, -1, 32}, {65501, 1, 32}, {1, 65501, 32}, {8, 8, 16}})
        EXPECT_EQ(WriteJpeg(pixels.data(), w, h, path, bpp), 0) << w << "x" << h << "x" << bpp;
    EXPECT_EQ(WriteJpeg(nullptr, 8, 8, path), 0);
    EXPECT_TRUE(dir.entries().empty());
}

} // namespace
} // namespace quello
