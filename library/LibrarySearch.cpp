#include "LibrarySearch.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>

namespace quello {
namespace {

std::string Normalised(std::string_view text) {
    std::size_t from = 0, to = text.size();
    while (from < to && std::isspace(static_cast<unsigned char>(text[from])))
        ++from;
    while (to > from && std::isspace(static_cast<unsigned char>(text[to - 1])))
        --to;
    std::string out;
    bool blank = false;
    for (std::size_t i = from; i < to; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c)) {
            blank = true;
            continue;
        }
        if (blank && !out.empty())
            out += ' ';
        blank = false;
        out += static_cast<char>(std::tolower(c));
    }
    return out;
}

// A whole number of `digits` digits in [low, high] at text[from...].
bool Field(const std::string& text, std::size_t from, std::size_t digits, int low, int high) {
    if (from + digits > text.size())
        return false;
    int value = 0;
    for (std::size_t i = from; i < from + digits; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return value >= low && value <= high;
}

bool IsDate(const std::string& t) {
    const bool year = Field(t, 0, 4, 1970, 9999);
    if (t.size() == 4)
        return year;
    if (t.size() == 7)
        return year && t[4] == '-' && Field(t, 5, 2, 1, 12);
    if (t.size() == 10)
        return year && t[4] == '-' && Field(t, 5, 2, 1, 12) && t[7] == '-' && Field(t, 8, 2, 1, 31);
    return false;
}

// A plain decimal number, optionally signed: no exponent, no "nan" or "inf".
std::optional<double> Decimal(const std::string& text) {
    std::size_t i = text.empty() || (text[0] != '-' && text[0] != '+') ? 0 : 1;
    bool digit = false, point = false;
    for (; i < text.size(); ++i) {
        if (std::isdigit(static_cast<unsigned char>(text[i])))
            digit = true;
        else if (text[i] == '.' && !point)
            point = true;
        else
            return std::nullopt;
    }
    if (!digit)
        return std::nullopt;
    return std::strtod(text.c_str(), nullptr);
}

std::optional<LibrarySearch> Place(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos)
        return std::nullopt;
    const auto trimmed = [](std::string s) {
        s.erase(0, s.find_first_not_of(' '));
        s.erase(s.find_last_not_of(' ') + 1);
        return s;
    };
    const auto lat = Decimal(trimmed(text.substr(0, comma)));
    const auto lon = Decimal(trimmed(text.substr(comma + 1)));
    if (!lat || !lon || std::abs(*lat) > 90 || std::abs(*lon) > 180)
        return std::nullopt;
    LibrarySearch search;
    search.kind = LibrarySearch::Kind::Place;
    search.latitude = *lat;
    search.longitude = *lon;
    return search;
}

std::optional<LibrarySearch> Events(const std::string& text) {
    LibrarySearch search;
    search.kind = LibrarySearch::Kind::Events;
    if (text == "event" || text == "events")
        return search;
    if (text == "turn" || text == "turns") {
        search.eventKinds = {GForceKind::LeftTurn, GForceKind::RightTurn};
        return search;
    }
    for (GForceKind kind : {GForceKind::Braking, GForceKind::Acceleration, GForceKind::LeftTurn,
                            GForceKind::RightTurn, GForceKind::Impact})
        if (text == GForceKindName(kind)) {
            search.eventKinds = {kind};
            return search;
        }
    return std::nullopt;
}

std::string DayOfMatch(const LibraryMatch& match) {
    std::string day = DayOfLibraryPath(match.recording.path);
    if (day.empty() && match.recording.hasStart) {
        // Not where the import puts recordings; its start tells the day all the same.
        const std::time_t start = static_cast<std::time_t>(match.recording.start);
        std::tm parts{};
        gmtime_r(&start, &parts);
        char text[16];
        std::strftime(text, sizeof text, "%Y-%m-%d", &parts);
        day = text;
    }
    return day;
}

} // namespace

std::optional<LibrarySearch> ParseLibrarySearch(std::string_view raw) {
    const std::string text = Normalised(raw);
    if (text.empty())
        return LibrarySearch{};
    if (IsDate(text)) {
        LibrarySearch search;
        search.kind = LibrarySearch::Kind::Date;
        search.datePrefix = text;
        return search;
    }
    if (text == "protected" || text == "locked") {
        LibrarySearch search;
        search.kind = LibrarySearch::Kind::Protected;
        return search;
    }
    if (auto place = Place(text))
        return place;
    return Events(text);
}

std::string DayOfLibraryPath(const std::string& path) {
    const std::size_t first = path.find('/');
    if (first != 4 || path.size() < 16 || path[15] != '/')
        return {};
    const std::string day = path.substr(5, 10);
    return IsDate(day) && day.compare(0, 4, path, 0, 4) == 0 ? day : std::string();
}

bool FindPassings(LibraryIndex& index, double latitude, double longitude,
                  std::vector<LibraryPassing>& passings, std::string& error) {
    passings.clear();
    LibraryQuery query;
    query.nearLatitude = latitude;
    query.nearLongitude = longitude;
    query.radiusMetres = kPassingRadiusMetres;
    const std::vector<LibraryMatch> matches = index.Find(query);
    if (!index.error().empty()) {
        error = index.error();
        return false;
    }
    // Within 100 m the earth is flat enough to compare squared distances.
    const double scale = std::cos(latitude * M_PI / 180);
    for (const LibraryMatch& match : matches) {
        const std::vector<LibraryFix> fixes = index.Fixes(match.recording.id);
        for (const LibrarySpan& span : match.spans) {
            LibraryPassing passing{match.recording, span.from};
            double nearest = -1;
            for (const LibraryFix& fix : fixes) {
                if (fix.second < span.from || fix.second > span.to)
                    continue;
                const double dy = fix.latitude - latitude;
                const double dx = (fix.longitude - longitude) * scale;
                if (nearest < 0 || dx * dx + dy * dy < nearest) {
                    nearest = dx * dx + dy * dy;
                    passing.second = fix.second;
                }
            }
            passings.push_back(std::move(passing));
        }
    }
    return true;
}

bool ListLibrary(LibraryIndex& index, const LibrarySearch& search, std::vector<LibraryDay>& days,
                 std::string& error) {
    days.clear();
    std::vector<LibraryMatch> matches;
    LibraryQuery query;
    switch (search.kind) {
    case LibrarySearch::Kind::All:
    case LibrarySearch::Kind::Date:
        for (LibraryRecording& recording : index.Recordings())
            matches.push_back({std::move(recording), {}, {}});
        break;
    case LibrarySearch::Kind::Place:
        query.nearLatitude = search.latitude;
        query.nearLongitude = search.longitude;
        query.radiusMetres = kPassingRadiusMetres;
        matches = index.Find(query);
        break;
    case LibrarySearch::Kind::Events:
        query.eventsOnly = true;
        if (search.eventKinds.size() == 1)
            query.eventKind = search.eventKinds.front();
        matches = index.Find(query);
        break;
    case LibrarySearch::Kind::Protected:
        query.protectedOnly = true;
        matches = index.Find(query);
        break;
    }
    // The index reports what failed last; a freshly opened one has nothing to report.
    if (!index.error().empty()) {
        error = index.error();
        return false;
    }

    std::map<std::string, LibraryDay, std::greater<>> byDay;
    std::map<std::string, std::set<std::int64_t>> trips;
    for (LibraryMatch& match : matches) {
        if (search.kind == LibrarySearch::Kind::Events && search.eventKinds.size() > 1) {
            std::erase_if(match.events, [&search](const GForceEvent& e) {
                return std::find(search.eventKinds.begin(), search.eventKinds.end(), e.kind) ==
                       search.eventKinds.end();
            });
            if (match.events.empty())
                continue;
        }
        const std::string day = DayOfMatch(match);
        if (search.kind == LibrarySearch::Kind::Date &&
            day.compare(0, search.datePrefix.size(), search.datePrefix) != 0)
            continue;
        LibraryDay& entry = byDay[day];
        entry.date = day;
        entry.seconds += match.recording.length;
        // A recording outside any trip counts as a drive of its own.
        trips[day].insert(match.recording.tripId != 0 ? match.recording.tripId
                                                      : -match.recording.id);
        entry.recordings.push_back(std::move(match));
    }
    for (auto& [day, entry] : byDay) {
        entry.drives = static_cast<int>(trips[day].size());
        days.push_back(std::move(entry));
    }
    return true;
}

} // namespace quello
