#include "FuzzSupport.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace quello::fuzz {

namespace {

std::string g_scratch;

void RemoveScratch() {
    std::error_code ec;
    std::filesystem::remove_all(g_scratch, ec);
    if (ec)
        std::fprintf(stderr, "fuzz: cannot remove %s: %s\n", g_scratch.c_str(),
                     ec.message().c_str());
}

} // namespace

const std::string& ScratchDir() {
    if (g_scratch.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/quello-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            Fail("mkdtemp failed for " + pattern);
        g_scratch = pattern + "/";
        std::atexit(RemoveScratch);
    }
    return g_scratch;
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

void CheckWellFormedXml(const std::string& document, const char* rootName) {
    xmlResetLastError();
    xmlDocPtr doc = xmlReadMemory(document.data(), int(document.size()), "fuzz.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc == nullptr) {
        const xmlError* error = xmlGetLastError();
        Fail(std::string("not well-formed XML: ") +
             (error && error->message ? error->message : "(no message)") + "\n" + document);
    }
    const xmlNode* root = xmlDocGetRootElement(doc);
    const bool rightRoot =
        root != nullptr && std::strcmp(reinterpret_cast<const char*>(root->name), rootName) == 0;
    xmlFreeDoc(doc);
    if (!rightRoot)
        Fail(std::string("root element is not <") + rootName + ">\n" + document);
}

} // namespace quello::fuzz
