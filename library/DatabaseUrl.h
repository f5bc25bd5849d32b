#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quello {

// Where a library's index lives on a database server, as a user names it:
// `postgresql://USER@HOST[:PORT]/DBNAME[?sslmode=MODE]` (also `postgres://`). The host may be a
// name, an IPv4 address or a bracketed IPv6 one; a host left empty (`postgresql://USER@/DB`)
// means the server's local socket, as may `?host=/run/postgresql`. Parts may be %-escaped.
//
// A password is never taken from the URL (nor from library.conf, which holds one): it would end
// up in shell histories, process lists and a shared folder. libpq reads it from ~/.pgpass or
// PGPASSWORD itself. A plain value; safe on any thread.
struct DatabaseUrl {
    std::string user;
    std::string host; // empty: the local socket; a path starting with '/': that socket folder
    int port = 0;     // 0: the server's default (5432)
    std::string database;
    std::string sslmode; // empty: libpq's default (prefer)

    // The URL read, or nullopt with `error` saying what is wrong in the user's terms.
    static std::optional<DatabaseUrl> Parse(const std::string& text, std::string& error);

    // libpq's keywords and values for PQconnectdbParams, in a fixed order, only those set.
    std::vector<std::pair<std::string, std::string>> ConnectionParameters() const;
    // The URL again, %-escaped where needed; what messages and library.conf show.
    std::string ToString() const;
};

// The database a library folder's `library.conf` names (`database = postgresql://...`; blank
// lines and lines starting with '#' are skipped): nullopt with `error` empty when the folder
// has no library.conf or it names no database (the library's own SQLite index), with `error`
// set when the file can't be read or holds something else.
std::optional<DatabaseUrl> ReadLibraryConf(const std::string& libraryFolder, std::string& error);

} // namespace quello
