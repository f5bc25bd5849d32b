#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

namespace quello {

// One point of a GPS track from a source other than the camera's telemetry file: when it was
// taken (UTC) and where, with what the source said about speed, course and acceleration. A
// plain value; readers hand out tracks as std::vector<TrackPoint> in the source's order.
struct TrackPoint {
    double utc = 0;        // seconds since 1970-01-01 UTC, fraction kept
    double latitude = 0;   // decimal degrees, south negative
    double longitude = 0;  // decimal degrees, west negative
    double speedKmh = NAN; // NAN when the source gave none
    double course = NAN;   // degrees clockwise from north; NAN when the source gave none
    bool hasAcceleration = false;
    double acceleration[3] = {}; // x, y, z in g, when hasAcceleration
};

// Seconds since 1970 of a UTC calendar time; the date is not checked beyond what the caller
// parsed (days-from-civil, valid for any proleptic Gregorian date).
inline double UtcSecondsOf(int year, int month, int day, int hour, int minute, double second) {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = era * 146097 + dayOfEra - 719468;
    return double(days * 86400 + hour * 3600 + minute * 60) + second;
}

// Whether a calendar time's fields are in their ranges (the day checked against its month).
inline bool IsCalendarTime(int year, int month, int day, int hour, int minute, double second) {
    static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return year >= 1970 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= kDays[month - 1] && (month != 2 || day <= 28 || leap) && hour >= 0 &&
           hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second < 61;
}

} // namespace quello
