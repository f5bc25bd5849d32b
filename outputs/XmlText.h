#pragma once

#include <string>
#include <string_view>

namespace quello {

// Text of documents written as UTF-8 XML. Pure functions, reentrant.

// Appends valid UTF-8 text escaped for XML element content and attribute values. Characters
// XML 1.0 cannot carry at all (C0 controls other than tab, LF and CR; U+FFFE; U+FFFF) become
// U+FFFD; CR becomes a character reference so that parsers keep it.
void AppendXmlEscaped(std::string& out, std::string_view utf8);

// Appends any bytes as XML text: made UTF-8 first (bytes that are not UTF-8 read as Latin-1,
// see ToUtf8()), then escaped as AppendXmlEscaped() does, so that no text can break the
// document.
void AppendXmlText(std::string& out, std::string_view bytes);

} // namespace quello
