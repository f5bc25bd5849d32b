#include "FuzzScratch.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdlib.h> // mkdtemp

namespace quello::fuzz {

namespace {

std::string& ScratchPath() {
    static std::string path;
    return path;
}

void RemoveScratch() {
    std::error_code ec;
    std::filesystem::remove_all(ScratchPath(), ec);
    if (ec)
        std::fprintf(stderr, "fuzz: cannot remove %s: %s\n", ScratchPath().c_str(),
                     ec.message().c_str());
}

} // namespace

const std::string& ScratchDir() {
    std::string& path = ScratchPath();
    if (path.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/quello-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            Fail("mkdtemp failed for " + pattern);
        path = pattern + "/";
        std::atexit(RemoveScratch);
    }
    return path;
}

std::string WriteScratchFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
    const std::string path = ScratchDir() + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    out.close();
    if (!out)
        Fail("cannot write " + path);
    return path;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Fail(const std::string& what) {
    std::fprintf(stderr, "fuzz: %s\n", what.c_str());
    std::abort();
}

} // namespace quello::fuzz
