#include "imaging/ExifBlock.h"

#include "quello/Version.h"

#include <libexif/exif-data.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

namespace quello {

namespace {

constexpr ExifByteOrder kOrder = EXIF_BYTE_ORDER_INTEL;
// Degrees are stored as whole degrees, whole minutes and seconds in these parts: a
// ten-thousandth of an arc second is under 3e-8 degrees, well inside six decimals.
constexpr std::int64_t kSecondParts = 10000;

// The entries of one block, all in one libexif allocator; `ok` turns false for good when
// memory runs out, and the block is then not written at all.
struct Block {
    ExifMem* mem = nullptr;
    ExifData* data = nullptr;
    bool ok = true;

    // A new entry of `count` zeroed values in `ifd`; null once memory has run out.
    unsigned char* Add(ExifIfd ifd, int tag, ExifFormat format, std::size_t count) {
        ExifEntry* entry = ok ? exif_entry_new_mem(mem) : nullptr;
        const std::size_t size = exif_format_get_size(format) * count;
        auto* bytes =
            entry ? static_cast<unsigned char*>(exif_mem_alloc(mem, ExifLong(size))) : nullptr;
        if (bytes == nullptr) {
            if (entry)
                exif_entry_unref(entry);
            ok = false;
            return nullptr;
        }
        entry->tag = ExifTag(tag);
        entry->format = format;
        entry->components = count;
        entry->size = static_cast<unsigned int>(size);
        entry->data = bytes;
        exif_content_add_entry(data->ifd[ifd], entry);
        const bool held = entry->parent == data->ifd[ifd]; // refused: out of memory
        exif_entry_unref(entry);                           // the IFD holds it now, if at all
        ok = ok && held;
        return held ? bytes : nullptr;
    }

    void Text(ExifIfd ifd, int tag, const std::string& text) {
        if (unsigned char* at = Add(ifd, tag, EXIF_FORMAT_ASCII, text.size() + 1))
            std::memcpy(at, text.c_str(), text.size() + 1);
    }

    void Raw(ExifIfd ifd, int tag, ExifFormat format, std::initializer_list<unsigned char> bytes) {
        if (unsigned char* at = Add(ifd, tag, format, bytes.size()))
            std::memcpy(at, bytes.begin(), bytes.size());
    }

    void Short(ExifIfd ifd, int tag, int value) {
        if (unsigned char* at = Add(ifd, tag, EXIF_FORMAT_SHORT, 1))
            exif_set_short(at, kOrder, ExifShort(value));
    }

    void Long(ExifIfd ifd, int tag, int value) {
        if (unsigned char* at = Add(ifd, tag, EXIF_FORMAT_LONG, 1))
            exif_set_long(at, kOrder, ExifLong(value));
    }

    void Rationals(ExifIfd ifd, int tag, std::initializer_list<ExifRational> values) {
        unsigned char* at = Add(ifd, tag, EXIF_FORMAT_RATIONAL, values.size());
        for (std::size_t i = 0; at != nullptr && i < values.size(); ++i)
            exif_set_rational(at + 8 * i, kOrder, values.begin()[i]);
    }

    // An angle's magnitude as degrees, minutes and seconds (GPSLatitude, GPSLongitude).
    void Degrees(int tag, double degrees) {
        const std::int64_t parts = std::llround(std::fabs(degrees) * 3600 * kSecondParts);
        const std::int64_t perMinute = 60 * kSecondParts;
        Rationals(EXIF_IFD_GPS, tag,
                  {{ExifLong(parts / (60 * perMinute)), 1},
                   {ExifLong(parts / perMinute % 60), 1},
                   {ExifLong(parts % perMinute), ExifLong(kSecondParts)}});
    }
};

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

void AddClock(Block& block, const SnapshotFacts::Clock& c) {
    if (!InRange(c.year, 1, 9999) || !InRange(c.month, 1, 12) || !InRange(c.day, 1, 31) ||
        !InRange(c.hour, 0, 23) || !InRange(c.minute, 0, 59) || !InRange(c.second, 0, 59) ||
        !InRange(c.millisecond, 0, 999))
        return;
    char text[32];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second);
    block.Text(EXIF_IFD_0, EXIF_TAG_DATE_TIME, text);
    block.Text(EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, text);
    std::snprintf(text, sizeof text, "%03d", c.millisecond);
    block.Text(EXIF_IFD_EXIF, EXIF_TAG_SUB_SEC_TIME_ORIGINAL, text);
}

void AddFix(Block& block, const SnapshotFacts::Fix& fix) {
    // Also false for NaN: a position that is no position is left out.
    if (!(std::fabs(fix.latitude) <= 90 && std::fabs(fix.longitude) <= 180))
        return;
    block.Raw(EXIF_IFD_GPS, EXIF_TAG_GPS_VERSION_ID, EXIF_FORMAT_BYTE, {2, 3, 0, 0});
    block.Text(EXIF_IFD_GPS, EXIF_TAG_GPS_LATITUDE_REF, fix.latitude < 0 ? "S" : "N");
    block.Degrees(EXIF_TAG_GPS_LATITUDE, fix.latitude);
    block.Text(EXIF_IFD_GPS, EXIF_TAG_GPS_LONGITUDE_REF, fix.longitude < 0 ? "W" : "E");
    block.Degrees(EXIF_TAG_GPS_LONGITUDE, fix.longitude);
    if (fix.speedKmh >= 0) {
        block.Text(EXIF_IFD_GPS, EXIF_TAG_GPS_SPEED_REF, "K");
        block.Rationals(EXIF_IFD_GPS, EXIF_TAG_GPS_SPEED, {{ExifLong(fix.speedKmh), 1}});
    }
    block.Text(EXIF_IFD_GPS, EXIF_TAG_GPS_IMG_DIRECTION_REF, "T");
    const int heading = (fix.heading % 360 + 360) % 360;
    block.Rationals(EXIF_IFD_GPS, EXIF_TAG_GPS_IMG_DIRECTION, {{ExifLong(heading), 1}});
}

} // namespace

std::vector<unsigned char> BuildExifBlock(const SnapshotFacts& facts, int width, int height) {
    Block block;
    block.mem = exif_mem_new_default();
    block.data = block.mem ? exif_data_new_mem(block.mem) : nullptr;
    std::vector<unsigned char> payload;
    if (block.data != nullptr) {
        exif_data_set_byte_order(block.data, kOrder);
        block.Short(EXIF_IFD_0, EXIF_TAG_ORIENTATION, 1); // rows top to bottom, as stored
        block.Rationals(EXIF_IFD_0, EXIF_TAG_X_RESOLUTION, {{72, 1}});
        block.Rationals(EXIF_IFD_0, EXIF_TAG_Y_RESOLUTION, {{72, 1}});
        block.Short(EXIF_IFD_0, EXIF_TAG_RESOLUTION_UNIT, 2); // inches
        block.Text(EXIF_IFD_0, EXIF_TAG_SOFTWARE, std::string("Quello Player ") + kVersion);
        block.Short(EXIF_IFD_0, EXIF_TAG_YCBCR_POSITIONING, 1); // libjpeg's centred chroma
        block.Raw(EXIF_IFD_EXIF, EXIF_TAG_EXIF_VERSION, EXIF_FORMAT_UNDEFINED,
                  {'0', '2', '3', '0'});
        block.Raw(EXIF_IFD_EXIF, EXIF_TAG_COMPONENTS_CONFIGURATION, EXIF_FORMAT_UNDEFINED,
                  {1, 2, 3, 0}); // Y, Cb, Cr
        block.Raw(EXIF_IFD_EXIF, EXIF_TAG_FLASH_PIX_VERSION, EXIF_FORMAT_UNDEFINED,
                  {'0', '1', '0', '0'});
        block.Short(EXIF_IFD_EXIF, EXIF_TAG_COLOR_SPACE, 1); // sRGB
        block.Long(EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, width);
        block.Long(EXIF_IFD_EXIF, EXIF_TAG_PIXEL_Y_DIMENSION, height);
        if (facts.taken)
            AddClock(block, *facts.taken);
        if (facts.fix)
            AddFix(block, *facts.fix);

        unsigned char* saved = nullptr;
        unsigned int size = 0;
        if (block.ok)
            exif_data_save_data(block.data, &saved, &size);
        if (saved != nullptr)
            payload.assign(saved, saved + size);
        exif_mem_free(block.mem, saved);
        exif_data_unref(block.data);
    }
    exif_mem_unref(block.mem);
    return payload;
}

} // namespace quello
