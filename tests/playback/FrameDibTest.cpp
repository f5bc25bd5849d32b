#include "playback/FrameDib.h"

#include "FrameNumber.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace quello {
namespace {

// A top-down 4 x 3 frame: row 0 blue, row 1 red, row 2 green; padding bytes 0xAA.
std::vector<unsigned char> TopDownFrame(std::size_t stride) {
    const unsigned char rows[3][4] = {{255, 0, 0, 0xAA}, {0, 0, 255, 0xAA}, {0, 255, 0, 0xAA}};
    std::vector<unsigned char> frame(stride * 3, 0xEE);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            std::memcpy(&frame[stride * y + 4 * x], rows[y], 4);
    return frame;
}

TEST(FrameDibTest, PacksBottomUpWithHeader) {
    for (std::size_t stride : {16u, 64u}) {
        const auto frame = TopDownFrame(stride);
        std::vector<unsigned char> dib(PackedDibSize(4, 3));
        ASSERT_EQ(dib.size(), 40u + 4 * 3 * 4);
        ASSERT_TRUE(PackDib(frame.data(), 4, 3, stride, dib.data(), int(dib.size())));

        std::int32_t header[10];
        std::memcpy(header, dib.data(), 40);
        EXPECT_EQ(header[0], 40);             // biSize
        EXPECT_EQ(header[1], 4);              // biWidth
        EXPECT_EQ(header[2], 3);              // biHeight, positive: bottom-up
        EXPECT_EQ(header[3], 1 | (32 << 16)); // biPlanes 1, biBitCount 32
        EXPECT_EQ(header[4], 0);              // BI_RGB
        EXPECT_EQ(header[5], 48);             // biSizeImage
        // First row in memory is the picture's bottom (green), the last its top (blue).
        const unsigned char green[4] = {0, 255, 0, 0}, blue[4] = {255, 0, 0, 0};
        EXPECT_EQ(std::memcmp(&dib[40], green, 4), 0);
        EXPECT_EQ(std::memcmp(&dib[40 + 2 * 16 + 12], blue, 4), 0);
    }
}

TEST(FrameDibTest, RefusesWhatDoesNotFit) {
    const auto frame = TopDownFrame(16);
    std::vector<unsigned char> dib(200);
    EXPECT_FALSE(PackDib(frame.data(), 4, 3, 16, dib.data(), PackedDibSize(4, 3) - 1));
    EXPECT_FALSE(PackDib(frame.data(), 4, 3, 12, dib.data(), 200)); // stride too short
    EXPECT_FALSE(PackDib(frame.data(), 0, 3, 16, dib.data(), 200));
    EXPECT_EQ(PackedDibSize(-1, 3), 0);
    EXPECT_EQ(PackedDibSize(100000, 100000), 0); // more than an int holds
}

std::vector<unsigned char> Dib(int width, int height, int bits, int pixelBytes) {
    std::vector<unsigned char> dib(40 + pixelBytes, 0);
    const std::int32_t fields[3] = {40, width, height};
    std::memcpy(dib.data(), fields, 12);
    dib[12] = 1;
    dib[14] = std::uint8_t(bits);
    return dib;
}

TEST(FrameDibTest, WritesOnlyFramesTheWriterTakes) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        std::vector<unsigned char> dib;
        int expected;
    } cases[] = {
        {"32-bit", Dib(8, 4, 32, 8 * 4 * 4), 1},
        {"24-bit, rows need no padding", Dib(8, 4, 24, 8 * 3 * 4), 1},
        // 3 pixels * 3 bytes = 9: DIB rows are padded to 12, so the size check fails
        {"24-bit, padded rows", Dib(3, 4, 24, 12 * 4), 0},
        {"16-bit", Dib(8, 4, 16, 8 * 2 * 4), 0},
        {"size one byte short", Dib(8, 4, 32, 8 * 4 * 4 - 1), 0},
        {"negative sides", Dib(-8, -4, 32, 8 * 4 * 4), 0},
        {"header only", Dib(0, 0, 32, 0), 0},
    };
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString::fromUtf8(c.name) + ".jpg");
        EXPECT_EQ(
            WriteDibAsJpeg(c.dib.data(), int(c.dib.size()), QFile::encodeName(path).toStdString()),
            c.expected)
            << c.name;
        EXPECT_EQ(QFile::exists(path), c.expected == 1) << c.name;
    }
    EXPECT_EQ(WriteDibAsJpeg(nullptr, 100, dir.filePath("null.jpg").toStdString()), 0);
}

TEST(FrameDibTest, LastMemoryRowBecomesTopOfPicture) {
    // 16 x 16: the first 8 rows in memory blue, the last 8 green.
    std::vector<unsigned char> dib = Dib(16, 16, 32, 16 * 16 * 4);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            unsigned char* p = &dib[40 + (y * 16 + x) * 4];
            p[0] = y < 8 ? 255 : 0;
            p[1] = y < 8 ? 0 : 255;
        }
    QTemporaryDir dir;
    const QString path = dir.filePath("rows.jpg");
    ASSERT_EQ(WriteDibAsJpeg(dib.data(), int(dib.size()), path.toStdString()), 1);
    const QImage jpeg(path);
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_GT(jpeg.pixelColor(8, 2).green(), 200);
    EXPECT_LT(jpeg.pixelColor(8, 2).blue(), 60);
    EXPECT_GT(jpeg.pixelColor(8, 13).blue(), 200);
    EXPECT_LT(jpeg.pixelColor(8, 13).green(), 60);
}

} // namespace
} // namespace quello
