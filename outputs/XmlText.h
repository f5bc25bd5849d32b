#pragma once

#include <string>
#include <string_view>

namespace quello {

// Text helpers for documents written as UTF-8 XML. Pure functions, reentrant.

// True when bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// bytes as UTF-8: unchanged when already valid UTF-8, otherwise read as Latin-1 (the camera
// writes a single-byte code page), so the result is always valid UTF-8.
std::string ToUtf8(std::string_view bytes);

// Appends valid UTF-8 text escaped for XML element content and attribute values. Characters
// XML 1.0 cannot carry at all (C0 controls other than tab, LF and CR; U+FFFE; U+FFFF) become
// U+FFFD; CR becomes a character reference so that parsers keep it.
void AppendXmlEscaped(std::string& out, std::string_view utf8);

} // namespace quello
