#pragma once

#include <QString>

class QJsonArray;

namespace quello {

// The script that calls the map page's function `function` with `arguments`: the name is one
// of ours, the arguments go in as one compact JSON array literal, so no text from a telemetry
// file can ever become script. Pure function; safe on any thread.
QString MapCallScript(const char* function, const QJsonArray& arguments);

} // namespace quello
