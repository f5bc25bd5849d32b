#include "NmeaTrackReader.h"

#include "TelemetryRoute.h"
#include "base/SplitFields.h"
#include "base/WholeFile.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quello {

namespace {

constexpr std::size_t kMaxLogBytes = 64u << 20;
constexpr double kKnotsToKmh = 1.852;
constexpr double kDay = 86400;

// One time of day of the log, merged from its sentences.
struct Epoch {
    double timeOfDay = 0;       // seconds since midnight UTC
    std::optional<double> date; // UTC seconds of that day's midnight, from RMC or ZDA
    bool hasPosition = false;
    TrackPoint point;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The sentence between '$' and '*' when the line holds one whose checksum matches.
std::optional<std::string_view> CheckedBody(std::string_view line) {
    const std::size_t dollar = line.find('$');
    if (dollar == std::string_view::npos)
        return std::nullopt;
    line.remove_prefix(dollar + 1);
    const std::size_t star = line.find('*');
    if (star == std::string_view::npos || star + 3 > line.size())
        return std::nullopt;
    const int high = HexDigit(line[star + 1]), low = HexDigit(line[star + 2]);
    unsigned sum = 0;
    for (char c : line.substr(0, star))
        sum ^= static_cast<unsigned char>(c);
    if (high < 0 || low < 0 || sum != unsigned(high * 16 + low))
        return std::nullopt;
    return line.substr(0, star);
}

bool TwoDigits(std::string_view text, std::size_t at, int& value) {
    if (at + 2 > text.size() || text[at] < '0' || text[at] > '9' || text[at + 1] < '0' ||
        text[at + 1] > '9')
        return false;
    value = (text[at] - '0') * 10 + (text[at + 1] - '0');
    return true;
}

// "hhmmss" with an optional fraction.
std::optional<double> TimeOfDay(std::string_view text) {
    int hour, minute;
    if (!TwoDigits(text, 0, hour) || !TwoDigits(text, 2, minute) || hour > 23 || minute > 59)
        return std::nullopt;
    const auto seconds = ParsePlainDecimal(text.substr(4), 60.999);
    if (!seconds || *seconds < 0 || text.size() < 6 || text[4] == '-' || text[4] == '+')
        return std::nullopt;
    return hour * 3600 + minute * 60 + *seconds;
}

// "ddmmyy", years 1980..2079 as receivers roll them over.
std::optional<double> Date(std::string_view text) {
    int day, month, year;
    if (text.size() != 6 || !TwoDigits(text, 0, day) || !TwoDigits(text, 2, month) ||
        !TwoDigits(text, 4, year))
        return std::nullopt;
    year += year >= 80 ? 1900 : 2000;
    if (!IsCalendarTime(year, month, day, 0, 0, 0))
        return std::nullopt;
    return UtcSecondsOf(year, month, day, 0, 0, 0);
}

// ZDA's "dd", "mm" and "yyyy" fields.
std::optional<double> ZdaDate(std::string_view dayText, std::string_view monthText,
                              std::string_view yearText) {
    int day, month, century, year;
    if (dayText.size() != 2 || monthText.size() != 2 || yearText.size() != 4 ||
        !TwoDigits(dayText, 0, day) || !TwoDigits(monthText, 0, month) ||
        !TwoDigits(yearText, 0, century) || !TwoDigits(yearText, 2, year))
        return std::nullopt;
    year += century * 100;
    if (!IsCalendarTime(year, month, day, 0, 0, 0))
        return std::nullopt;
    return UtcSecondsOf(year, month, day, 0, 0, 0);
}

// "ddmm.mmmm" (or "dddmm.mmmm") and its hemisphere letter.
std::optional<double> Degrees(std::string_view text, std::string_view hemisphere, char negative,
                              char positive, double limit) {
    const auto value = ParsePlainDecimal(text, limit * 100);
    if (!value || *value < 0 || hemisphere.size() != 1 ||
        (hemisphere[0] != negative && hemisphere[0] != positive))
        return std::nullopt;
    const double degrees = std::floor(*value / 100);
    const double minutes = *value - degrees * 100;
    if (minutes >= 60 || degrees + minutes / 60 > limit)
        return std::nullopt;
    return (hemisphere[0] == negative ? -1 : 1) * (degrees + minutes / 60);
}

class LogReader {
public:
    explicit LogReader(NmeaTrack& track) : m_track(track) {}

    void Take(std::string_view body) {
        const std::vector<std::string_view> f = SplitFields(body, ',');
        // A talker and a sentence type; 'P' starts a maker's own sentence, none of ours.
        if (f[0].size() != 5 || f[0][0] < 'A' || f[0][0] > 'Z' || f[0][0] == 'P')
            return;
        const std::string_view kind = f[0].substr(2);
        // VTG carries no time: it belongs to the fix just before it, and to none after a
        // position sentence that was refused.
        if (kind == "RMC")
            m_motionTarget =
                f.size() >= 10 && f[2] == "A" && (f.size() < 13 || f[12] != "N") && TakeRmc(f);
        else if (kind == "GGA")
            m_motionTarget = f.size() >= 7 && !f[6].empty() && f[6] != "0" &&
                             TakePosition(f[1], f[2], f[3], f[4], f[5]);
        else if (kind == "VTG" && f.size() >= 9 && m_motionTarget)
            TakeVtg(f);
        else if (kind == "ZDA" && f.size() >= 5)
            m_motionTarget = TakeZda(f) && m_motionTarget;
    }

    // Dates every epoch from its nearest dated neighbour, then hands out the usable ones; by
    // time of day alone when nothing in the log was dated.
    void Finish() {
        Close();
        m_track.dated = std::any_of(m_epochs.begin(), m_epochs.end(),
                                    [](const Epoch& e) { return e.date.has_value(); });
        std::optional<double> date;
        double lastTime = 0;
        for (Epoch& e : m_epochs)
            Carry(e, date, lastTime, +1);
        date.reset();
        for (auto it = m_epochs.rbegin(); it != m_epochs.rend(); ++it)
            Carry(*it, date, lastTime, -1);
        for (Epoch& e : m_epochs) {
            if (!e.hasPosition)
                continue;
            e.point.utc = e.date.value_or(0) + e.timeOfDay;
            m_track.points.push_back(e.point);
        }
    }

private:
    bool TakeRmc(const std::vector<std::string_view>& f) {
        if (!TakePosition(f[1], f[3], f[4], f[5], f[6]))
            return false;
        Dates(Date(f[9]));
        if (const auto knots = ParsePlainDecimal(f[7], 1e5); knots && *knots >= 0)
            m_current->point.speedKmh = *knots * kKnotsToKmh;
        if (const auto course = ParsePlainDecimal(f[8], 1e5); course && *course >= 0)
            m_current->point.course = *course;
        return true;
    }

    // Dates the epoch of the ZDA's time of day, opening one without a position when the time
    // is new. Returns whether the current epoch is still the one before the ZDA.
    bool TakeZda(const std::vector<std::string_view>& f) {
        const auto timeOfDay = TimeOfDay(f[1]);
        const auto date = ZdaDate(f[2], f[3], f[4]);
        if (!timeOfDay || !date)
            return true;
        const bool same = m_current && m_current->timeOfDay == *timeOfDay;
        if (!same)
            Open(*timeOfDay);
        Dates(date);
        return same;
    }

    void Dates(std::optional<double> date) {
        if (!m_current->date)
            m_current->date = date;
    }

    void TakeVtg(const std::vector<std::string_view>& f) {
        if (f[2] == "T" && std::isnan(m_current->point.course))
            if (const auto course = ParsePlainDecimal(f[1], 1e5); course && *course >= 0)
                m_current->point.course = *course;
        if (f[8] == "K" && std::isnan(m_current->point.speedKmh))
            if (const auto speed = ParsePlainDecimal(f[7], 1e6); speed && *speed >= 0)
                m_current->point.speedKmh = *speed;
    }

    bool TakePosition(std::string_view time, std::string_view latitude, std::string_view north,
                      std::string_view longitude, std::string_view east) {
        const auto timeOfDay = TimeOfDay(time);
        const auto lat = Degrees(latitude, north, 'S', 'N', 90);
        const auto lon = Degrees(longitude, east, 'W', 'E', 180);
        if (!timeOfDay || !lat || !lon)
            return false;
        if (!m_current || m_current->timeOfDay != *timeOfDay)
            Open(*timeOfDay);
        m_current->hasPosition = true;
        m_current->point.latitude = *lat;
        m_current->point.longitude = *lon;
        return true;
    }

    void Open(double timeOfDay) {
        Close();
        m_current = Epoch{};
        m_current->timeOfDay = timeOfDay;
    }

    void Close() {
        if (m_current)
            m_epochs.push_back(*m_current);
        m_current.reset();
    }

    // Gives an undated epoch the date carried from its neighbour in `direction`, a day on when
    // the time of day wrapped past midnight; a dated epoch hands its date on.
    static void Carry(Epoch& e, std::optional<double>& date, double& lastTime, int direction) {
        if (e.date) {
            date = e.date;
        } else if (date) {
            if ((e.timeOfDay - lastTime) * direction < -kDay / 2)
                *date += direction * kDay;
            e.date = date;
        }
        lastTime = e.timeOfDay;
    }

    NmeaTrack& m_track;
    std::vector<Epoch> m_epochs;
    std::optional<Epoch> m_current;
    bool m_motionTarget = false;
};

} // namespace

bool ReadNmeaTrack(const std::string& path, NmeaTrack& track) {
    track = NmeaTrack{};
    std::string log;
    if (!ReadWholeFile(path, kMaxLogBytes, log))
        return false;
    LogReader reader(track);
    std::string_view rest = log;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        if (const auto body = CheckedBody(rest.substr(0, end)))
            reader.Take(*body);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    reader.Finish();
    return true;
}

} // namespace quello
