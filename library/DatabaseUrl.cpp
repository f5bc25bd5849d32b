#include "library/DatabaseUrl.h"

#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

namespace quello {

namespace {

constexpr std::string_view kSchemes[] = {"postgresql://", "postgres://"};
constexpr std::string_view kSslModes[] = {"disable", "allow",     "prefer",
                                          "require", "verify-ca", "verify-full"};

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = char(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// %-decoding; nullopt for a broken escape or an escaped NUL (libpq's strings end there).
std::optional<std::string> Decode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        out += char(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string Encode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<DatabaseUrl> DatabaseUrl::Parse(const std::string& text, std::string& error) {
    const auto fail = [&](std::string why) {
        error = "'" + text + "' is no database URL: " + std::move(why);
        return std::nullopt;
    };
    std::string_view rest = text;
    bool known = false;
    for (const std::string_view scheme : kSchemes) {
        if (rest.substr(0, scheme.size()) == scheme) {
            rest.remove_prefix(scheme.size());
            known = true;
            break;
        }
    }
    if (!known)
        return fail("it must start with postgresql://");

    DatabaseUrl url;
    std::string_view query;
    if (const auto mark = rest.find('?'); mark != std::string_view::npos) {
        query = rest.substr(mark + 1);
        rest = rest.substr(0, mark);
    }
    const auto slash = rest.find('/');
    if (slash == std::string_view::npos)
        return fail("it names no database (…/DBNAME)");
    const std::string_view authority = rest.substr(0, slash);
    const auto database = Decode(rest.substr(slash + 1));
    if (!database || database->empty() || database->find('/') != std::string::npos)
        return fail("the database name after the host is missing or not one name");
    url.database = *database;

    std::string_view hostPort = authority;
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        const std::string_view user = authority.substr(0, at);
        if (user.find(':') != std::string_view::npos)
            return fail("a password does not belong in it; put it in ~/.pgpass or PGPASSWORD");
        const auto decoded = Decode(user);
        if (!decoded || decoded->empty())
            return fail("the user name before '@' is empty or badly escaped");
        url.user = *decoded;
        hostPort = authority.substr(at + 1);
    }

    std::string_view port;
    if (!hostPort.empty() && hostPort.front() == '[') {
        const auto close = hostPort.find(']');
        if (close == std::string_view::npos)
            return fail("an IPv6 host needs its closing ']'");
        url.host = std::string(hostPort.substr(1, close - 1));
        const std::string_view after = hostPort.substr(close + 1);
        if (!after.empty() && after.front() != ':')
            return fail("only ':PORT' may follow an IPv6 host");
        port = after.empty() ? after : after.substr(1);
        if (!after.empty() && port.empty())
            return fail("the port after ':' is missing");
    } else {
        const auto colon = hostPort.rfind(':');
        const auto host = Decode(hostPort.substr(0, colon));
        if (!host)
            return fail("the host is badly escaped");
        url.host = *host;
        if (colon != std::string_view::npos) {
            port = hostPort.substr(colon + 1);
            if (port.empty())
                return fail("the port after ':' is missing");
        }
    }
    if (!port.empty()) {
        int value = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (ec != std::errc() || end != port.data() + port.size() || value < 1 || value > 65535)
            return fail("the port must be a number from 1 to 65535");
        url.port = value;
    }

    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
        const auto equals = pair.find('=');
        const std::string_view key = pair.substr(0, equals);
        const auto value =
            Decode(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
        if (!value)
            return fail("the value of '" + std::string(key) + "' is badly escaped");
        if (key == "sslmode") {
            bool valid = false;
            for (const std::string_view mode : kSslModes)
                valid = valid || *value == mode;
            if (!valid)
                return fail("sslmode must be disable, allow, prefer, require, verify-ca or "
                            "verify-full");
            url.sslmode = *value;
        } else if (key == "host" && url.host.empty() && !value->empty() && value->front() == '/') {
            url.host = *value;
        } else if (key == "password") {
            return fail("a password does not belong in it; put it in ~/.pgpass or PGPASSWORD");
        } else {
            return fail("'" + std::string(key) +
                        "' is not understood (only sslmode and a "
                        "socket folder as host)");
        }
    }
    error.clear();
    return url;
}

std::vector<std::pair<std::string, std::string>> DatabaseUrl::ConnectionParameters() const {
    std::vector<std::pair<std::string, std::string>> parameters;
    if (!host.empty())
        parameters.emplace_back("host", host);
    if (port != 0)
        parameters.emplace_back("port", std::to_string(port));
    if (!user.empty())
        parameters.emplace_back("user", user);
    parameters.emplace_back("dbname", database);
    if (!sslmode.empty())
        parameters.emplace_back("sslmode", sslmode);
    parameters.emplace_back("application_name", "quello");
    return parameters;
}

std::string DatabaseUrl::ToString() const {
    std::string text = "postgresql://";
    if (!user.empty())
        text += Encode(user) + "@";
    const bool socket = !host.empty() && host.front() == '/';
    if (!socket)
        text += host.find(':') != std::string::npos ? "[" + host + "]" : Encode(host);
    if (port != 0)
        text += ":" + std::to_string(port);
    text += "/" + Encode(database);
    std::string query;
    if (socket)
        query += "host=" + Encode(host);
    if (!sslmode.empty())
        query += (query.empty() ? "" : "&") + std::string("sslmode=") + sslmode;
    return query.empty() ? text : text + "?" + query;
}

std::optional<DatabaseUrl> ReadLibraryConf(const std::string& libraryFolder, std::string& error) {
    error.clear();
    const std::string path = libraryFolder + "/library.conf";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec)
        return std::nullopt;
    std::ifstream file(path);
    if (ec || !file) {
        error = path + " cannot be read";
        return std::nullopt;
    }
    std::optional<DatabaseUrl> found;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const std::string_view text = Trim(line);
        if (text.empty() || text.front() == '#')
            continue;
        const auto equals = text.find('=');
        const std::string_view key = Trim(text.substr(0, equals));
        if (equals == std::string_view::npos || key != "database" || found) {
            error =
                path + ", line " + std::to_string(number) +
                (found && key == "database" ? ": a second database"
                                            : ": only 'database = postgresql://…' belongs here");
            return std::nullopt;
        }
        std::string why;
        found = DatabaseUrl::Parse(std::string(Trim(text.substr(equals + 1))), why);
        if (!found) {
            error = path + ", line " + std::to_string(number) + ": " + why;
            return std::nullopt;
        }
    }
    if (file.bad()) {
        error = path + " cannot be read";
        return std::nullopt;
    }
    return found;
}

} // namespace quello
