#pragma once

#include <string>

namespace quello::fuzz {

// Parses `document` with libxml2 (no network, no entity expansion) and aborts through Fail()
// with libxml2's message unless it is well-formed XML whose root element is `rootName`.
void CheckWellFormedXml(const std::string& document, const char* rootName);

} // namespace quello::fuzz
