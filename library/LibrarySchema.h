#pragma once

#include "SqlConnection.h"

#include <string>
#include <vector>

namespace quello {

// The index's tables, the same on SQLite and on a server but for the column types that differ
// (ids, byte-ordered text) and the spatial index of the fixes: an R*Tree on SQLite, a GiST index
// over boxes on PostgreSQL (plain PostgreSQL, no extension needed).
namespace LibrarySchema {

// The schema version this program writes.
constexpr int kVersion = 1;

// The statements that turn schema version `from` into `from + 1`.
std::vector<std::string> Migration(int from, SqlConnection::Dialect dialect);

} // namespace LibrarySchema
} // namespace quello
