#include "GoToTime.h"

#include "TelemetryRoute.h"

#include <string>
#include <vector>

namespace quello {

namespace {

constexpr int kDaySeconds = 24 * 3600;

// A field of whole digits only.
std::optional<int> WholeField(std::string_view text, int max) {
    if (text.empty() || text.size() > 2)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value <= max ? std::optional<int>(value) : std::nullopt;
}

} // namespace

std::optional<double> ParseGoToTime(std::string_view text, int clockStartSecond,
                                    double durationSeconds) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    std::vector<std::string_view> fields;
    for (std::size_t colon; (colon = text.find(':')) != std::string_view::npos;) {
        fields.push_back(text.substr(0, colon));
        text.remove_prefix(colon + 1);
    }
    fields.push_back(text);

    std::optional<double> at;
    if (fields.size() == 3) {
        const auto h = WholeField(fields[0], 23), m = WholeField(fields[1], 59),
                   s = WholeField(fields[2], 59);
        if (h && m && s) {
            int offset = *h * 3600 + *m * 60 + *s - clockStartSecond;
            if (offset < 0)
                offset += kDaySeconds;
            at = offset;
        }
    } else if (fields.size() == 2) {
        const auto seconds = ParsePlainDecimal(fields[1], 59.999);
        if (!fields[0].empty() && fields[0].find_first_not_of("0123456789") == std::string::npos &&
            fields[0].size() <= 4 && seconds && *seconds >= 0 &&
            fields[1].find_first_of("+-") == std::string::npos)
            at = std::stoi(std::string(fields[0])) * 60 + *seconds;
    } else if (fields.size() == 1) {
        const auto seconds = ParsePlainDecimal(fields[0], 1e7);
        if (seconds && fields[0].find('-') == std::string::npos)
            at = *seconds;
    }
    if (!at || *at > durationSeconds)
        return std::nullopt;
    return at;
}

} // namespace quello
