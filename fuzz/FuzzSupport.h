#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Helpers shared by the fuzz targets. libFuzzer runs one input at a time on one thread; so do
// these functions.
namespace quello::fuzz {

// A private folder of this process under $TMPDIR (or /tmp), created on first use and removed
// with its content when the process exits normally. Always ends with '/'.
const std::string& ScratchDir();

// Writes the input to ScratchDir() + name, replacing the previous one; returns the path.
std::string WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size);

// The whole content of a file the code under test wrote.
std::string ReadWholeFile(const std::string& path);

// Reports a broken invariant and aborts, so that libFuzzer keeps the input as a crash.
[[noreturn]] void Fail(const std::string& what);

// Fails with libxml2's message unless `document` is well-formed XML (parsed with no network
// and no entity expansion) whose root element is `rootName`.
void CheckWellFormedXml(const std::string& document, const char* rootName);

} // namespace quello::fuzz
