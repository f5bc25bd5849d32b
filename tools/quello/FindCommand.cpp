#include "FindCommand.h"

#include "CommandLine.h"
#include "DatabaseArgument.h"
#include "InputFile.h"
#include "JsonOutput.h"

#include "library/LibraryIndex.h"
#include "library/LibraryLocation.h"
#include "recordings/TelemetryRoute.h"

#include <ctime>
#include <filesystem>
#include <ostream>

namespace quello {

namespace {

constexpr GForceKind kKinds[] = {GForceKind::Braking, GForceKind::Acceleration,
                                 GForceKind::LeftTurn, GForceKind::RightTurn, GForceKind::Impact};

// "left turn" as the events are named, or "left-turn" as a shell word.
std::optional<GForceKind> KindNamed(std::string text) {
    for (char& c : text)
        if (c == '-' || c == '_')
            c = ' ';
    for (GForceKind kind : kKinds)
        if (text == GForceKindName(kind))
            return kind;
    return std::nullopt;
}

// CommandLine gives every option a value; here --protected takes none and --events an optional
// kind, taken only when the next word names one (else it is the library, or another option).
// Both are turned into "--name=VALUE" before parsing; an empty value stands for none.
std::vector<std::string> WithFlagValues(const std::vector<std::string>& args) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") {
            out.insert(out.end(), args.begin() + std::ptrdiff_t(i), args.end());
            break;
        }
        if (args[i] == "--protected") {
            out.push_back("--protected=");
        } else if (args[i] == "--events") {
            const bool kindFollows = i + 1 < args.size() && KindNamed(args[i + 1]);
            out.push_back("--events=" + (kindFollows ? args[++i] : std::string()));
        } else {
            out.push_back(args[i]);
        }
    }
    return out;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" or with 'T' between, on the camera clock: seconds
// since 1970 with no zone, as the index stores starts. A date alone is its first second, or
// with `endOfDay` its last.
std::optional<std::int64_t> ParseDateTime(const std::string& text, bool endOfDay) {
    const auto number = [&](std::size_t at, std::size_t digits) -> std::optional<int> {
        if (at + digits > text.size())
            return std::nullopt;
        return ParseInt(text.substr(at, digits), 0, 9999);
    };
    if (text.size() != 10 && text.size() != 16 && text.size() != 19)
        return std::nullopt;
    const auto year = number(0, 4), month = number(5, 2), day = number(8, 2);
    if (!year || !month || !day || text[4] != '-' || text[7] != '-' || *month < 1 || *month > 12 ||
        *day < 1 || *day > DaysInMonth(*year, *month))
        return std::nullopt;
    int hour = endOfDay ? 23 : 0, minute = endOfDay ? 59 : 0, second = endOfDay ? 59 : 0;
    if (text.size() > 10) {
        const auto h = number(11, 2), m = number(14, 2);
        if ((text[10] != ' ' && text[10] != 'T') || text[13] != ':' || !h || !m || *h > 23 ||
            *m > 59)
            return std::nullopt;
        hour = *h;
        minute = *m;
        second = 0;
        if (text.size() == 19) {
            const auto s = number(17, 2);
            if (text[16] != ':' || !s || *s > 59)
                return std::nullopt;
            second = *s;
        }
    }
    return DaysFromCivil(*year, *month, *day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::string CameraTime(std::int64_t seconds) {
    // The camera clock is stored as if it were UTC: no zone is applied.
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

constexpr char kUsage[] = "usage: quello find LIBRARY [--near LAT,LON [--radius METRES]] "
                          "[--from DATETIME] [--to DATETIME] [--events [KIND]] [--protected] "
                          "[--db URL]";

} // namespace

const char* FindCommand::summary() const {
    return "find the recordings of an imported library by place, time and events";
}

std::string FindCommand::help() const {
    return std::string(kUsage) +
           "\n\n"
           "Searches the index of LIBRARY (its library.sqlite or its server) and prints the "
           "recordings that\n"
           "match every condition given, in the order of their start, as one JSON array:\n"
           "{\"path\" (in the library), \"start\" (\"YYYY-MM-DD HH:MM:SS\" on the camera's\n"
           "clock, null when unknown), \"length\" (seconds), \"protected\"}.\n\n"
           "  --near LAT,LON   passed within METRES (default 100) of the place, in decimal\n"
           "                   degrees; adds \"seconds\": [{\"from\", \"to\"}], the seconds of\n"
           "                   the recording spent there\n"
           "  --from, --to     overlaps the time from/to DATETIME: YYYY-MM-DD, YYYY-MM-DD HH:MM\n"
           "                   or YYYY-MM-DD HH:MM:SS ('T' may stand for the blank), on the\n"
           "                   camera's clock; a date alone for --to means the end of that day\n"
           "  --events [KIND]  has G-force events, of KIND when given (braking, acceleration,\n"
           "                   left-turn, right-turn, impact); adds \"events\": [{\"start\",\n"
           "                   \"peak\", \"end\", \"kind\", \"peakG\"}], as quello events prints\n"
           "  --protected      was locked by the camera\n"
           "  --db URL         the index on a PostgreSQL server, postgresql://USER@HOST[:PORT]/\n"
           "                   DBNAME, instead of the one LIBRARY/library.conf names (or\n"
           "                   library.sqlite)\n\n"
           "The exit code is 1, with one line on stderr, when LIBRARY has no index or its index\n"
           "is damaged (rebuild it with 'quello index LIBRARY'); 2 for a wrong command line.\n";
}

int FindCommand::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CommandLine line(WithFlagValues(args),
                           {"near", "radius", "from", "to", "events", "protected", "db"});
    const auto usage = [&](const std::string& problem) {
        err << "quello find: " << problem << " (" << kUsage << ")\n";
        return kExitUsage;
    };
    if (!line.ok())
        return usage(line.error());
    if (line.positional().size() != 1)
        return usage("give exactly one library folder");
    std::optional<DatabaseUrl> database;
    if (!DatabaseArgument("find", line, database, err))
        return kExitUsage;
    LibraryQuery query;
    if (const auto near = line.option("near")) {
        const std::size_t comma = near->find(',');
        const auto lat = comma == std::string::npos
                             ? std::nullopt
                             : ParsePlainDecimal(std::string_view(*near).substr(0, comma), 90);
        const auto lon =
            lat ? ParsePlainDecimal(std::string_view(*near).substr(comma + 1), 180) : std::nullopt;
        if (!lat || !lon)
            return usage("--near takes LAT,LON in decimal degrees, not '" + *near + "'");
        query.nearLatitude = lat;
        query.nearLongitude = lon;
    }
    if (const auto radius = line.option("radius")) {
        const auto metres = ParsePlainDecimal(*radius, 20037509); // half the globe's girth
        if (!query.nearLatitude)
            return usage("--radius goes with --near");
        if (!metres || *metres <= 0)
            return usage("--radius takes metres above 0, not '" + *radius + "'");
        query.radiusMetres = *metres;
    }
    for (const char* bound : {"from", "to"}) {
        const auto text = line.option(bound);
        if (!text)
            continue;
        const bool isTo = bound[0] == 't';
        const auto time = ParseDateTime(*text, isTo);
        if (!time)
            return usage(std::string("--") + bound + " takes YYYY-MM-DD[ HH:MM[:SS]], not '" +
                         *text + "'");
        (isTo ? query.to : query.from) = time;
    }
    if (query.from && query.to && *query.from > *query.to)
        return usage("--from is after --to");
    if (const auto events = line.option("events")) {
        query.eventsOnly = true;
        if (!events->empty()) {
            query.eventKind = KindNamed(*events);
            if (!query.eventKind)
                return usage("unknown event kind '" + *events + "'");
        }
    }
    if (const auto flag = line.option("protected")) {
        if (!flag->empty())
            return usage("--protected takes no value");
        query.protectedOnly = true;
    }

    const std::string& library = line.positional().front();
    const std::string problem = DirectoryProblem(library);
    if (!problem.empty()) {
        err << "quello find: " << library << ": " << problem << "\n";
        return kExitFailed;
    }
    const std::string damaged =
        "quello find: " + library +
        ": the library's index is damaged; rebuild it with 'quello index LIBRARY'\n";
    if (!database && !IsLibrary(library)) {
        err << "quello find: " << library
            << ": the library has no index; import a card into it or rebuild it with 'quello "
               "index LIBRARY'\n";
        return kExitFailed;
    }
    LibraryIndex index;
    switch (index.Open(library, database)) {
    case LibraryIndex::OpenResult::Ok:
        break;
    case LibraryIndex::OpenResult::Malformed:
        err << damaged;
        return kExitFailed;
    case LibraryIndex::OpenResult::Newer:
        err << "quello find: " << library
            << ": the library's index was made by a newer Quello Player\n";
        return kExitFailed;
    case LibraryIndex::OpenResult::Failed:
        err << "quello find: " << index.error() << "\n";
        return kExitFailed;
    }
    const std::vector<LibraryMatch> matches = index.Find(query);
    if (index.malformed()) {
        err << damaged;
        return kExitFailed;
    }
    if (!index.error().empty()) {
        err << "quello find: " << index.error() << "\n";
        return kExitFailed;
    }

    nlohmann::ordered_json found = nlohmann::ordered_json::array();
    for (const LibraryMatch& match : matches) {
        const LibraryRecording& r = match.recording;
        nlohmann::ordered_json item = {
            {"path", r.path},
            {"start", r.hasStart ? nlohmann::ordered_json(CameraTime(r.start)) : nullptr},
            {"length", r.length},
            {"protected", r.isProtected}};
        if (query.nearLatitude) {
            item["seconds"] = nlohmann::ordered_json::array();
            for (const LibrarySpan& span : match.spans)
                item["seconds"].push_back({{"from", span.from}, {"to", span.to}});
        }
        if (query.eventsOnly) {
            item["events"] = nlohmann::ordered_json::array();
            for (const GForceEvent& e : match.events)
                item["events"].push_back({{"start", e.start},
                                          {"peak", e.peak},
                                          {"end", e.end},
                                          {"kind", GForceKindName(e.kind)},
                                          {"peakG", e.peakG}});
        }
        found.push_back(std::move(item));
    }
    WriteJson(out, found);
    return kExitOk;
}

} // namespace quello
