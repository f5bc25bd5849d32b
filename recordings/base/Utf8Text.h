#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quello {

// UTF-8 text helpers. Pure functions, reentrant.

// Length of the well-formed UTF-8 sequence that starts text (no overlong forms, no surrogates,
// at most U+10FFFF), or 0 when text is empty or does not start with one.
std::size_t Utf8SequenceLength(std::string_view text);

// True when all of bytes is well-formed UTF-8 as Utf8SequenceLength() judges it.
bool IsValidUtf8(std::string_view bytes);

// bytes as UTF-8: unchanged when already valid UTF-8, otherwise read as Latin-1 (the camera
// writes a single-byte code page), so the result is always valid UTF-8.
std::string ToUtf8(std::string_view bytes);

// Path rules count characters, not bytes: a UTF-8 path is measured in code points. Lenient on
// purpose, so that any byte string has a length: a lead byte with its continuation bytes is
// one character, and every byte that belongs to no such sequence counts one on its own.
std::size_t Utf8Length(std::string_view text);

// Byte offset where the last `count` characters of `text` (as Utf8Length() counts them) begin;
// 0 when it has fewer.
std::size_t Utf8OffsetOfLast(std::string_view text, std::size_t count);

} // namespace quello
