#pragma once

#include <QUrl>

namespace quello {

// Address of the map page inside the program's resources. The page, its style, its script and
// the Leaflet library it runs on are all built into the map_res library.
QUrl MapPageUrl();

} // namespace quello
