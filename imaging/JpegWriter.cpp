#include "JpegWriter.h"

#include "imaging/ExifBlock.h"
#include "recordings/base/AtomicFile.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>
#include <vector>

namespace quello {

namespace {

constexpr int kQuality = 80;
// The largest dimension the JPEG format and libjpeg accept.
constexpr int kMaxDimension = 65500;

struct ErrorManager {
    jpeg_error_mgr base; // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
};

// libjpeg's default error exit ends the program; unwind to the writer instead.
[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

// The failure is reported through the result; libjpeg's own messages would only go to stderr.
void OutputMessage(j_common_ptr) {}

std::size_t RowStride(int width, int bitsPerPixel) {
    const auto w = static_cast<std::size_t>(width);
    return bitsPerPixel == 32 ? w * 4 : (w * 3 + 3) & ~std::size_t{3};
}

// Runs the whole compression. The longjmp from ErrorExit only leaves libjpeg's frames, which
// hold no C++ objects; cinfo and err live in the caller so that nothing local to this frame is
// changed between setjmp and longjmp.
bool Compress(jpeg_compress_struct& cinfo, ErrorManager& err, std::FILE* out,
              const unsigned char* pixels, int width, int height, int bitsPerPixel,
              unsigned char* row, const std::vector<unsigned char>& exif) {
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = ErrorExit;
    err.base.output_message = OutputMessage;
    if (setjmp(err.jump) != 0) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);

    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, kQuality, TRUE);
    cinfo.write_JFIF_header = FALSE;
    jpeg_start_compress(&cinfo, TRUE); // writes SOI
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), static_cast<unsigned int>(exif.size()));

    const std::size_t stride = RowStride(width, bitsPerPixel);
    const std::size_t bytesPerPixel = static_cast<std::size_t>(bitsPerPixel / 8);
    const auto w = static_cast<std::size_t>(width);
    while (cinfo.next_scanline < cinfo.image_height) {
        // Rows are stored bottom-up; the picture is written top row first.
        const unsigned char* src =
            pixels +
            static_cast<std::size_t>(height - 1 - static_cast<int>(cinfo.next_scanline)) * stride;
        for (std::size_t i = 0; i < w; ++i, src += bytesPerPixel) {
            row[3 * i] = src[2];
            row[3 * i + 1] = src[1];
            row[3 * i + 2] = src[0];
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

} // namespace

int WriteJpeg(const unsigned char* pixels, int width, int height, const std::string& path,
              int bitsPerPixel, const SnapshotFacts& facts) {
    if (pixels == nullptr || width <= 0 || height <= 0 || width > kMaxDimension ||
        height > kMaxDimension || (bitsPerPixel != 32 && bitsPerPixel != 24))
        return 0;
    // libexif's blocks of these few tags stay far below a segment's 65533 bytes.
    const std::vector<unsigned char> exif = BuildExifBlock(facts, width, height);
    if (exif.empty())
        return 0;

    auto* row = static_cast<unsigned char*>(std::malloc(static_cast<std::size_t>(width) * 3));
    if (row == nullptr)
        return 0;
    AtomicFile file;
    bool ok = file.Open(path);
    jpeg_compress_struct cinfo{};
    ErrorManager err{};
    ok = ok && Compress(cinfo, err, file.stream(), pixels, width, height, bitsPerPixel, row, exif);
    std::free(row);
    ok = ok && file.Commit();
    return ok ? 1 : 0;
}

} // namespace quello
