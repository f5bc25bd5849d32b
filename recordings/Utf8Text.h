#pragma once

#include <cstddef>
#include <string_view>

namespace quello {

// Path rules count characters, not bytes: a UTF-8 path is measured in code points.
// Pure functions; bytes that are not valid UTF-8 count one each.
std::size_t Utf8Length(std::string_view text);

// Byte offset where the last `count` code points of `text` begin (0 when it has fewer).
std::size_t Utf8OffsetOfLast(std::string_view text, std::size_t count);

} // namespace quello
