#include "Utf8Text.h"

namespace quello {

namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Start of the code point that ends just before `end`: a lead byte followed by at most three
// continuation bytes; stray continuation bytes count on their own.
std::size_t PreviousStart(std::string_view text, std::size_t end) {
    std::size_t start = end - 1;
    std::size_t continuations = 0;
    while (start > 0 && IsContinuation(text[start]) && continuations < 3) {
        --start;
        ++continuations;
    }
    const unsigned char lead = static_cast<unsigned char>(text[start]);
    const std::size_t expected = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (continuations == 0 || (!IsContinuation(text[start]) && expected == continuations))
        return start;
    return end - 1;
}

} // namespace

std::size_t Utf8Length(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t end = text.size(); end > 0; end = PreviousStart(text, end))
        ++count;
    return count;
}

std::size_t Utf8OffsetOfLast(std::string_view text, std::size_t count) {
    std::size_t end = text.size();
    while (count > 0 && end > 0) {
        end = PreviousStart(text, end);
        --count;
    }
    return end;
}

} // namespace quello
