#include "FuzzXml.h"

#include "FuzzScratch.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <cstring>

namespace quello::fuzz {

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
