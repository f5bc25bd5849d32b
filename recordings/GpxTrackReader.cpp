#include "GpxTrackReader.h"

#include "TelemetryRoute.h"
#include "base/OpenRegular.h"

#include <libxml/xmlreader.h>

#include <cstring>
#include <unistd.h>

namespace quello {

namespace {

constexpr double kMetresPerSecondToKmh = 3.6;

bool Digits(const std::string& text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// What one <trkpt> has collected so far.
struct PendingPoint {
    bool open = false;
    bool valid = false;
    bool hasTime = false;
    TrackPoint point;
};

std::string Attribute(xmlTextReaderPtr reader, const char* name) {
    xmlChar* value = xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr)
        return {};
    std::string text = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return text;
}

void TakeChild(const std::string& name, const std::string& text, PendingPoint& pending) {
    const std::string value = Trimmed(text);
    if (name == "time") {
        pending.hasTime = ParseXmlTime(value, pending.point.utc);
    } else if (name == "speed") {
        if (const auto speed = ParsePlainDecimal(value, 1e6); speed && *speed >= 0)
            pending.point.speedKmh = *speed * kMetresPerSecondToKmh;
    } else if (name == "course") {
        if (const auto course = ParsePlainDecimal(value, 1e6); course && *course >= 0)
            pending.point.course = *course;
    }
}

// Silences libxml2's default error printing: a bad file is reported by the return value.
void IgnoreError(void*, const char*, xmlParserSeverities, xmlTextReaderLocatorPtr) {}

bool ReadAll(xmlTextReaderPtr reader, std::vector<TrackPoint>& points) {
    PendingPoint pending;
    std::string child, text;
    int result;
    while ((result = xmlTextReaderRead(reader)) == 1) {
        const int type = xmlTextReaderNodeType(reader);
        const char* local = reinterpret_cast<const char*>(xmlTextReaderConstLocalName(reader));
        const std::string name = local ? local : "";
        if (type == XML_READER_TYPE_ELEMENT && name == "trkpt") {
            pending = PendingPoint{};
            const auto latitude = ParsePlainDecimal(Attribute(reader, "lat"), 90);
            const auto longitude = ParsePlainDecimal(Attribute(reader, "lon"), 180);
            pending.valid = latitude && longitude;
            pending.point.latitude = latitude.value_or(0);
            pending.point.longitude = longitude.value_or(0);
            pending.open = !xmlTextReaderIsEmptyElement(reader);
        } else if (pending.open && type == XML_READER_TYPE_ELEMENT) {
            child = name;
            text.clear();
        } else if (pending.open &&
                   (type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA)) {
            if (const xmlChar* value = xmlTextReaderConstValue(reader))
                text += reinterpret_cast<const char*>(value);
        } else if (pending.open && type == XML_READER_TYPE_END_ELEMENT && name == "trkpt") {
            if (pending.valid && pending.hasTime)
                points.push_back(pending.point);
            pending.open = false;
        } else if (pending.open && type == XML_READER_TYPE_END_ELEMENT && name == child) {
            TakeChild(child, text, pending);
            child.clear();
        }
    }
    return result == 0;
}

} // namespace

bool ParseXmlTime(const std::string& text, double& utc) {
    int year, month, day, hour, minute, second;
    if (text.size() < 19 || !Digits(text, 0, 4, year) || text[4] != '-' ||
        !Digits(text, 5, 2, month) || text[7] != '-' || !Digits(text, 8, 2, day) ||
        text[10] != 'T' || !Digits(text, 11, 2, hour) || text[13] != ':' ||
        !Digits(text, 14, 2, minute) || text[16] != ':' || !Digits(text, 17, 2, second))
        return false;
    std::size_t at = 19;
    double fraction = 0;
    if (at < text.size() && text[at] == '.') {
        double scale = 0.1;
        const std::size_t first = ++at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
            fraction += (text[at] - '0') * scale;
        if (at == first)
            return false;
    }
    int zone = 0;
    if (at < text.size() && text[at] == 'Z') {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        int zoneHours, zoneMinutes;
        if (!Digits(text, at + 1, 2, zoneHours) || at + 3 >= text.size() || text[at + 3] != ':' ||
            !Digits(text, at + 4, 2, zoneMinutes) || zoneHours > 14 || zoneMinutes > 59)
            return false;
        zone = (text[at] == '-' ? -1 : 1) * (zoneHours * 3600 + zoneMinutes * 60);
        at += 6;
    }
    if (at != text.size() || !IsCalendarTime(year, month, day, hour, minute, second))
        return false;
    utc = UtcSecondsOf(year, month, day, hour, minute, second + fraction) - zone;
    return true;
}

bool ReadGpxTrack(const std::string& path, std::vector<TrackPoint>& points) {
    points.clear();
    const int fd = OpenRegular(path);
    if (fd < 0)
        return false;
    xmlTextReaderPtr reader = xmlReaderForFd(fd, nullptr, nullptr,
                                             XML_PARSE_NONET | XML_PARSE_NOERROR |
                                                 XML_PARSE_NOWARNING | XML_PARSE_NOCDATA);
    bool ok = false;
    if (reader != nullptr) {
        xmlTextReaderSetErrorHandler(reader, IgnoreError, nullptr);
        ok = ReadAll(reader, points);
        xmlFreeTextReader(reader);
    }
    ::close(fd);
    if (!ok)
        points.clear();
    return ok;
}

} // namespace quello
