#include "outputs/XmlText.h"

#include <gtest/gtest.h>

namespace quello {
namespace {

struct Utf8Case {
    std::string bytes;
    bool valid;
};

TEST(XmlText, RecognisesWellFormedUtf8Only) {
    const Utf8Case cases[] = {
        {"", true},
        {"N22.5", true},
        {"\xC3\xA9", true},              // é
        {"\xE5\x8C\x97", true},          // a CJK character
        {"\xF0\x9F\x9A\x97", true},      // U+1F697
        {"\xF4\x8F\xBF\xBF", true},      // U+10FFFF
        {"\xE9", false},                 // Latin-1 é
        {"\xC3", false},                 // cut short
        {"\xE5\x8C", false},             // cut short
        {"\xC0\xAF", false},             // overlong '/'
        {"\xE0\x80\xAF", false},         // overlong '/'
        {"\xF0\x80\x80\xAF", false},     // overlong '/'
        {"\xED\xA0\x80", false},         // surrogate
        {"\xF4\x90\x80\x80", false},     // above U+10FFFF
        {"\xF8\x88\x80\x80\x80", false}, // five-byte form
        {"a\x80", false},                // stray continuation
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

TEST(XmlText, ConvertsOnlyInvalidTextAsLatin1) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain", "plain"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},               // already UTF-8: unchanged
        {"caf\xE9", "caf\xC3\xA9"},                   // Latin-1
        {"\xC3\xA9\xFF", "\xC3\x83\xC2\xA9\xC3\xBF"}, // one bad byte: the whole text is Latin-1
        {"\x80\x9F", "\xC2\x80\xC2\x9F"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(ToUtf8(in), out) << testing::PrintToString(in);
        EXPECT_TRUE(IsValidUtf8(ToUtf8(in)));
    }
}

TEST(XmlText, EscapesMarkupAndCharactersXmlCannotCarry) {
    const std::pair<std::string, std::string> cases[] = {
        {"a<b>&c\"d'e", "a&lt;b&gt;&amp;c&quot;d&apos;e"},
        {"]]>", "]]&gt;"},
        {"\t\n", "\t\n"},
        {"\r", "&#13;"},
        {std::string("\0\x01\x1F", 3), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xEF\xBF\xBE\xEF\xBF\xBF", "\xEF\xBF\xBD\xEF\xBF\xBD"}, // U+FFFE, U+FFFF
        {"\xEF\xBF\xBD\xC2\x85\xE5\x8C\x97", "\xEF\xBF\xBD\xC2\x85\xE5\x8C\x97"},
    };
    for (const auto& [in, out] : cases) {
        std::string escaped = "x";
        AppendXmlEscaped(escaped, in);
        EXPECT_EQ(escaped, "x" + out) << testing::PrintToString(in);
    }
}

} // namespace
} // namespace quello
