// The map page's call script on arbitrary texts: the arguments must come out as one JSON
// array literal holding exactly the texts given, so no text can become script.
// Input: the first byte picks how the texts are read (bit 0: Latin-1 as the telemetry's fix
// texts are, else UTF-8) and whether a number follows them (bit 1); the rest, split at NUL
// bytes, are the texts.

#include "FuzzSupport.h"

#include "views/MapCallScript.h"

#include <nlohmann/json.hpp>

#include <QJsonArray>
#include <QString>

#include <string_view>

using namespace quello;

namespace {

constexpr std::string_view kPrefix =
    "(function (f, a) { if (typeof f === 'function') f.apply(null, a); })(window['SetLgtLat'], ";
constexpr std::string_view kSuffix = ");";

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool latin1 = data[0] & 1;
    const bool withNumber = data[0] & 2;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    QJsonArray arguments;
    std::vector<std::string> expected; // each argument as UTF-8
    for (std::size_t start = 0; start <= rest.size();) {
        const std::size_t end = std::min(rest.find('\0', start), rest.size());
        const std::string_view piece = rest.substr(start, end - start);
        const QString text = latin1 ? QString::fromLatin1(piece.data(), qsizetype(piece.size()))
                                    : QString::fromUtf8(piece.data(), qsizetype(piece.size()));
        arguments.append(text);
        expected.push_back(text.toStdString());
        start = end + 1;
    }
    if (withNumber)
        arguments.append(int(rest.size()) - 1000);

    const std::string script = MapCallScript("SetLgtLat", arguments).toStdString();
    if (script.size() < kPrefix.size() + kSuffix.size() || !script.starts_with(kPrefix) ||
        !script.ends_with(kSuffix))
        fuzz::Fail("script is not the page call:\n" + script);
    const std::string literal =
        script.substr(kPrefix.size(), script.size() - kPrefix.size() - kSuffix.size());
    const auto parsed = nlohmann::json::parse(literal, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_array())
        fuzz::Fail("arguments are not one JSON array literal:\n" + literal);
    if (parsed.size() != expected.size() + (withNumber ? 1 : 0))
        fuzz::Fail("argument count changed:\n" + literal);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (!parsed[i].is_string() || parsed[i].get<std::string>() != expected[i])
            fuzz::Fail("argument " + std::to_string(i) + " changed:\n" + literal);
    }
    if (withNumber && parsed.back() != int(rest.size()) - 1000)
        fuzz::Fail("number argument changed:\n" + literal);
    return 0;
}
