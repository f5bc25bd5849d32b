#include "outputs/JpegWriter.h"

#include "OutputsTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace quello {
namespace {

using test::OutputsTempDir;
using test::readBytes;
using test::runCommand;
using test::shellQuote;
using test::writeBytes;

struct Rgb {
    int r, g, b;
};

// A frame in the writer's input layout, built from a top-down colour function.
struct Frame {
    int width = 0, height = 0, bpp = 32;
    std::vector<unsigned char> bytes;

    template <typename ColourAt> static Frame make(int w, int h, int bpp, ColourAt colourAt) {
        Frame f{w, h, bpp, {}};
        const std::size_t px = static_cast<std::size_t>(bpp / 8);
        const std::size_t stride = bpp == 32 ? w * 4u : (w * 3u + 3u) & ~3u;
        // Padding and the fourth byte carry junk that must never reach the picture.
        f.bytes.assign(stride * h, 0xEE);
        for (int y = 0; y < h; ++y) {
            unsigned char* row = f.bytes.data() + stride * (h - 1 - y); // bottom-up
            for (int x = 0; x < w; ++x) {
                const Rgb c = colourAt(x, y);
                row[x * px] = static_cast<unsigned char>(c.b);
                row[x * px + 1] = static_cast<unsigned char>(c.g);
                row[x * px + 2] = static_cast<unsigned char>(c.r);
            }
        }
        return f;
    }
};

struct Decoded {
    bool ok = false;
    int width = 0, height = 0;
    bool progressive = true;
    std::vector<unsigned char> rgb;
    std::vector<unsigned> lumaQuant, chromaQuant; // natural order

    Rgb at(int x, int y) const {
        const unsigned char* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
        return {p[0], p[1], p[2]};
    }
};

struct DecodeError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void decodeErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<DecodeError*>(cinfo->err)->jump, 1);
}

bool decodeInto(jpeg_decompress_struct& cinfo, DecodeError& err, std::FILE* in, Decoded& out) {
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = decodeErrorExit;
    if (setjmp(err.jump) != 0) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, in);
    jpeg_read_header(&cinfo, TRUE);
    out.progressive = cinfo.progressive_mode;
    for (int i = 0; i < DCTSIZE2; ++i) {
        out.lumaQuant.push_back(cinfo.quant_tbl_ptrs[0]->quantval[i]);
        out.chromaQuant.push_back(cinfo.quant_tbl_ptrs[1]->quantval[i]);
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    out.width = static_cast<int>(cinfo.output_width);
    out.height = static_cast<int>(cinfo.output_height);
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row =
            out.rgb.data() + static_cast<std::size_t>(cinfo.output_scanline) * out.width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

Decoded decode(const std::string& path) {
    Decoded out;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr)
        return out;
    jpeg_decompress_struct cinfo{};
    DecodeError err{};
    out.ok = decodeInto(cinfo, err, in, out);
    std::fclose(in);
    return out;
}

// Markers before the scan data, walking the segment structure.
std::vector<int> headerMarkers(const std::string& jpeg) {
    std::vector<int> markers;
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size() && static_cast<unsigned char>(jpeg[pos]) == 0xFF) {
        const int marker = static_cast<unsigned char>(jpeg[pos + 1]);
        markers.push_back(marker);
        if (marker == 0xDA)
            break;
        const std::size_t len = static_cast<unsigned char>(jpeg[pos + 2]) * 256u +
                                static_cast<unsigned char>(jpeg[pos + 3]);
        pos += 2 + len;
    }
    return markers;
}

struct SizeCase {
    int width, height, bpp;
};

class JpegFrames : public testing::TestWithParam<SizeCase> {};

TEST_P(JpegFrames, DecodesCloseToTheSourceTopRowFirst) {
    const auto [w, h, bpp] = GetParam();
    OutputsTempDir dir;
    // Smooth colour changes, which JPEG keeps well at any size.
    const auto colourAt = [](int x, int y) {
        return Rgb{static_cast<int>(128 + 100 * std::sin(x / 7.0)),
                   static_cast<int>(128 + 100 * std::cos(y / 5.0)), 96};
    };
    const Frame f = Frame::make(w, h, bpp, colourAt);
    const std::string path = dir.file("frame.jpg");
    ASSERT_EQ(WriteJpeg(f.bytes.data(), w, h, path, bpp), 1);
    EXPECT_EQ(dir.entries(), std::set<std::string>{"frame.jpg"});

    const Decoded d = decode(path);
    ASSERT_TRUE(d.ok);
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

INSTANTIATE_TEST_SUITE_P(All, JpegFrames,
                         testing::Values(SizeCase{64, 48, 32}, SizeCase{64, 48, 24},
                                         SizeCase{33, 17, 32}, SizeCase{33, 17, 24},
                                         SizeCase{5, 3, 24}, SizeCase{1, 1, 32}, SizeCase{1, 1, 24},
                                         SizeCase{1920, 1080, 32}));

TEST(JpegWriter, LastMemoryRowIsTheTopOfThePicture) {
    OutputsTempDir dir;
    for (const int bpp : {32, 24}) {
        // Bottom-up: the top half of the picture (last memory rows) green, the bottom blue.
        const Frame f = Frame::make(64, 48, bpp, [](int, int y) {
            return y < 24 ? Rgb{0, 255, 0} : Rgb{0, 0, 255};
        });
        ASSERT_EQ(f.bytes[2], 0); // first memory row: blue
        ASSERT_EQ(f.bytes[0], 255);
        const std::string path = dir.file("orientation.jpg");
        ASSERT_EQ(WriteJpeg(f.bytes.data(), 64, 48, path, bpp), 1);
        const Decoded d = decode(path);
        ASSERT_TRUE(d.ok);
        for (const auto& [y, want] :
             {std::pair{4, Rgb{0, 255, 0}}, std::pair{43, Rgb{0, 0, 255}}}) {
            const Rgb got = d.at(32, y);
            EXPECT_NEAR(got.r, want.r, 16) << "bpp " << bpp << " row " << y;
            EXPECT_NEAR(got.g, want.g, 16) << "bpp " << bpp << " row " << y;
            EXPECT_NEAR(got.b, want.b, 16) << "bpp " << bpp << " row " << y;
        }
    }
}

// The standard tables at quality 80 (scale 40 %), natural order.
std::vector<unsigned> scaledTable(const unsigned (&base)[64]) {
    std::vector<unsigned> t;
    for (const unsigned q : base)
        t.push_back(std::clamp((q * 40 + 50) / 100, 1u, 255u));
    return t;
}

TEST(JpegWriter, BaselineAtQuality80) {
    static const unsigned kLuma[64] = {
        16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
        14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
        18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
        49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    static const unsigned kChroma[64] = {
        17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
        99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
        99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
    OutputsTempDir dir;
    const Frame f = Frame::make(40, 30, 32, [](int x, int y) { return Rgb{x * 6, y * 8, 50}; });
    const std::string path = dir.file("q.jpg");
    ASSERT_EQ(WriteJpeg(f.bytes.data(), 40, 30, path), 1);

    const Decoded d = decode(path);
    ASSERT_TRUE(d.ok);
    EXPECT_FALSE(d.progressive);
    EXPECT_EQ(d.lumaQuant, scaledTable(kLuma));
    EXPECT_EQ(d.chromaQuant, scaledTable(kChroma));

    const auto markers = headerMarkers(readBytes(path));
    EXPECT_EQ(markers.front(), 0xE0) << "JFIF header first";
    EXPECT_NE(std::find(markers.begin(), markers.end(), 0xC0), markers.end()) << "baseline SOF0";
    for (const int sof : {0xC1, 0xC2, 0xC9, 0xCA})
        EXPECT_EQ(std::find(markers.begin(), markers.end(), sof), markers.end()) << sof;

    const auto r = runCommand("identify -verbose " + shellQuote(path));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Quality: 80"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Interlace: None"), std::string::npos);
}

TEST(JpegWriter, ReplacesAnExistingFile) {
    OutputsTempDir dir;
    const std::string path = dir.file("snap.jpg");
    writeBytes(path, std::string(300000, 'o'));
    const Frame f = Frame::make(16, 16, 32, [](int, int) { return Rgb{200, 10, 10}; });
    ASSERT_EQ(WriteJpeg(f.bytes.data(), 16, 16, path), 1);
    const std::string bytes = readBytes(path);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\xFF\xD9");
    EXPECT_EQ(dir.entries(), std::set<std::string>{"snap.jpg"});
}

struct RefusalCase {
    const char* name;
    bool nullPixels;
    int width, height, bpp;
    const char* target; // relative to the temporary folder, "" for an empty path
};

class JpegRefusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(JpegRefusals, ReturnZeroAndLeaveNothing) {
    const RefusalCase& rc = GetParam();
    OutputsTempDir dir;
    std::filesystem::create_directories(dir.file("sub"));
    const std::vector<unsigned char> pixels(64 * 64 * 4, 0x80);
    std::string path;
    if (std::string(rc.target) == "/proc")
        path = "/proc/snap.jpg";
    else if (*rc.target != '\0')
        path = dir.file(rc.target);
    const auto before = dir.entries();
    EXPECT_EQ(WriteJpeg(rc.nullPixels ? nullptr : pixels.data(), rc.width, rc.height, path, rc.bpp),
              0);
    EXPECT_EQ(dir.entries(), before);
    EXPECT_TRUE(OutputsTempDir::entriesOf(dir.file("sub")).empty());
}

INSTANTIATE_TEST_SUITE_P(
    All, JpegRefusals,
    testing::Values(RefusalCase{"NullPixels", true, 8, 8, 32, "a.jpg"},
                    RefusalCase{"ZeroWidth", false, 0, 8, 32, "a.jpg"},
                    RefusalCase{"NegativeHeight", false, 8, -1, 32, "a.jpg"},
                    RefusalCase{"WiderThanJpegAllows", false, 65501, 1, 32, "a.jpg"},
                    RefusalCase{"TallerThanJpegAllows", false, 1, 65501, 32, "a.jpg"},
                    RefusalCase{"SixteenBitFrame", false, 8, 8, 16, "a.jpg"},
                    RefusalCase{"MissingFolder", false, 8, 8, 32, "missing/a.jpg"},
                    RefusalCase{"PathIsAFolder", false, 8, 8, 32, "sub"},
                    RefusalCase{"PathEndsInSlash", false, 8, 8, 32, "sub/"},
                    RefusalCase{"EmptyPath", false, 8, 8, 32, ""},
                    RefusalCase{"UnwritableFolder", false, 8, 8, 32, "/proc"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

TEST(JpegWriter, FullDiskLeavesTheOldFileAndNoPartialOne) {
    OutputsTempDir dir;
    const std::string path = dir.file("snap.jpg");
    writeBytes(path, "old");
    // Noise compresses badly, so the file outgrows the limit well before the end.
    std::srand(7);
    const Frame f = Frame::make(512, 512, 32, [](int, int) {
        return Rgb{std::rand() % 256, std::rand() % 256, std::rand() % 256};
    });
    {
        test::FileSizeLimit limit(32 * 1024);
        EXPECT_EQ(WriteJpeg(f.bytes.data(), 512, 512, path), 0);
    }
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_EQ(dir.entries(), std::set<std::string>{"snap.jpg"});
    // The writer recovers completely: the next call succeeds.
    EXPECT_EQ(WriteJpeg(f.bytes.data(), 512, 512, path), 1);
}

} // namespace
} // namespace quello
