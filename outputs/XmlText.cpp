#include "XmlText.h"

#include "recordings/base/Utf8Text.h"

namespace quello {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

} // namespace

void AppendXmlEscaped(std::string& out, std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            out += "&amp;";
            continue;
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        case '"':
            out += "&quot;";
            continue;
        case '\'':
            out += "&apos;";
            continue;
        case '\r':
            out += "&#13;";
            continue;
        case '\t':
        case '\n':
            out += c;
            continue;
        default:
            break;
        }
        if (b < 0x20) {
            out += kReplacement;
        } else if (b == 0xEF && i + 2 < utf8.size() && utf8[i + 1] == '\xBF' &&
                   (utf8[i + 2] == '\xBE' || utf8[i + 2] == '\xBF')) {
            out += kReplacement; // U+FFFE, U+FFFF
            i += 2;
        } else {
            out += c;
        }
    }
}

void AppendXmlText(std::string& out, std::string_view bytes) {
    AppendXmlEscaped(out, ToUtf8(bytes));
}

} // namespace quello
