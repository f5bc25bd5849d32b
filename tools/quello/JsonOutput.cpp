#include "JsonOutput.h"

#include <ostream>

namespace quello {

void WriteJson(std::ostream& out, const nlohmann::ordered_json& document, int indent) {
    out << document.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
        << '\n';
}

} // namespace quello
