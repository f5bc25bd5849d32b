#pragma once

#include "SqlConnection.h"

#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace quello {

// A connection to an SQLite index file, in WAL mode (readers go on while an import writes) and
// with a busy timeout, so that several processes may use one file at once.
// One object per thread (the connection is opened without SQLite's own mutex).
class SqliteConnection final : public SqlConnection {
public:
    SqliteConnection() = default;
    ~SqliteConnection() override;
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    // Opens (creating when missing) the file. False with error() set, and damaged() when the
    // file is not a database or is damaged.
    bool Open(const std::string& path);
    // Closes; with `keepJournal` the journal is left as it is instead of being written back
    // into a file this program should not change (damaged, or a newer program's).
    void Close(bool keepJournal = false);

    Dialect dialect() const override { return Dialect::Sqlite; }
    std::unique_ptr<SqlRows> Query(const std::string& sql,
                                   const std::vector<SqlValue>& params) override;
    bool Exec(const std::string& sql) override;
    bool BeginWrite() override;
    bool InTransaction() const override;
    bool damaged() const override { return m_damaged; }

    // Fails with `what` and SQLite's message for `rc`; marks the file damaged when it says so.
    bool Failed(int rc, const std::string& what);

    // A statement of the connection, and the rows reading it now: rows left behind by a newer
    // use of the statement must not reset it under that use.
    struct Prepared {
        sqlite3_stmt* statement = nullptr;
        const SqlRows* reader = nullptr;
    };

private:
    bool UseWal();

    sqlite3* m_db = nullptr;
    bool m_damaged = false;
    std::unordered_map<std::string, Prepared> m_statements;
};

} // namespace quello
