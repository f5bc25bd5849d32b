#include "SqliteConnection.h"

#include <sqlite3.h>

#include <chrono>
#include <thread>

namespace quello {
namespace {

// Long enough for another importer's whole write (a movie's rows) to end first.
constexpr int kBusyTimeoutMs = 10000;

bool IsDamage(int rc) {
    const int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

class SqliteRows final : public SqlRows {
public:
    SqliteRows(SqliteConnection& connection, SqliteConnection::Prepared* prepared)
        : m_connection(connection), m_prepared(prepared),
          m_statement(prepared ? prepared->statement : nullptr) {
        if (prepared)
            prepared->reader = this;
    }
    // An unfinished read holds SQLite's read lock until the statement is reset.
    ~SqliteRows() override {
        if (m_prepared && m_prepared->reader == this) {
            sqlite3_reset(m_statement);
            m_prepared->reader = nullptr;
        }
    }
    bool Next() override {
        if (!m_statement || m_done)
            return false;
        const int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_ROW)
            return true;
        m_done = true;
        if (rc != SQLITE_DONE)
            m_failed = !m_connection.Failed(rc, "the library's index cannot be read");
        sqlite3_reset(m_statement);
        return false;
    }
    bool failed() const override { return m_failed; }
    std::int64_t Int(int column) const override {
        return sqlite3_column_int64(m_statement, column);
    }
    double Real(int column) const override { return sqlite3_column_double(m_statement, column); }
    std::string Text(int column) const override {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return text ? std::string(
                          text, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                    : std::string();
    }
    void SetFailed() {
        m_failed = true;
        m_done = true;
    }

private:
    SqliteConnection& m_connection;
    SqliteConnection::Prepared* m_prepared;
    sqlite3_stmt* m_statement;
    bool m_done = false;
    bool m_failed = false;
};

void Bind(sqlite3_stmt* s, int i, const SqlValue& value) {
    if (const auto* n = std::get_if<std::int64_t>(&value))
        sqlite3_bind_int64(s, i, *n);
    else if (const auto* d = std::get_if<double>(&value))
        sqlite3_bind_double(s, i, *d);
    else if (const auto* t = std::get_if<std::string>(&value))
        sqlite3_bind_text(s, i, t->data(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
    else
        sqlite3_bind_null(s, i);
}

} // namespace

SqliteConnection::~SqliteConnection() {
    Close();
}

void SqliteConnection::Close(bool keepJournal) {
    for (auto& entry : m_statements)
        sqlite3_finalize(entry.second.statement);
    m_statements.clear();
    if (m_db && keepJournal)
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool SqliteConnection::Failed(int rc, const std::string& what) {
    if (IsDamage(rc))
        m_damaged = true;
    return Fail(what + ": " + (m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc)));
}

bool SqliteConnection::Open(const std::string& path) {
    Close();
    m_damaged = false;
    const int rc =
        sqlite3_open_v2(path.c_str(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        return Failed(rc, "cannot open " + path);
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    // Every table's root is read at opening (sqlite_master): a damaged file shows here instead
    // of in the middle of an import.
    const bool read = Query("SELECT COUNT(*) FROM sqlite_master", {})->Next();
    return (read || Failed(SQLITE_ERROR, "cannot read " + path)) &&
           Exec("PRAGMA foreign_keys = ON") && UseWal();
}

// WAL lets `quello find` read while an import writes; the mode is kept in the file. The switch
// needs the file to itself and gets SQLITE_BUSY at once, without the busy handler, when a
// second program opens a new library at the same moment: it is tried again.
bool SqliteConnection::UseWal() {
    for (int waited = 0;; waited += 20) {
        char* mode = nullptr;
        const int rc = sqlite3_exec(
            m_db, "PRAGMA journal_mode = WAL",
            [](void* out, int, char** values, char**) {
                *static_cast<char**>(out) = values[0] ? sqlite3_mprintf("%s", values[0]) : nullptr;
                return 0;
            },
            &mode, nullptr);
        const bool wal = rc == SQLITE_OK && mode && std::string(mode) == "wal";
        sqlite3_free(mode);
        if (wal)
            return true;
        const bool busy =
            rc == SQLITE_OK || (rc & 0xff) == SQLITE_BUSY || (rc & 0xff) == SQLITE_LOCKED;
        if (!busy || waited >= kBusyTimeoutMs)
            return Exec("PRAGMA journal_mode = WAL");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::unique_ptr<SqlRows> SqliteConnection::Query(const std::string& sql,
                                                 const std::vector<SqlValue>& params) {
    sqlite3_stmt* s = nullptr;
    Prepared* prepared = nullptr;
    if (const auto found = m_statements.find(sql); found != m_statements.end()) {
        prepared = &found->second;
        s = prepared->statement;
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    } else if (!m_db) {
        Fail("the library's index is not open");
    } else if (const int rc = sqlite3_prepare_v3(m_db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT,
                                                 &s, nullptr);
               rc != SQLITE_OK) {
        Failed(rc, "the library's index cannot be read");
        s = nullptr;
    } else {
        prepared = &m_statements.emplace(sql, Prepared{s, nullptr}).first->second;
    }
    auto rows = std::make_unique<SqliteRows>(*this, prepared);
    if (!s) {
        rows->SetFailed();
        return rows;
    }
    for (std::size_t i = 0; i < params.size(); ++i)
        Bind(s, static_cast<int>(i + 1), params[i]);
    return rows;
}

bool SqliteConnection::Exec(const std::string& sql) {
    if (!m_db)
        return Fail("the library's index is not open");
    const int rc = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
    return rc == SQLITE_OK || Failed(rc, "the library's index failed (" + sql + ")");
}

bool SqliteConnection::BeginWrite() {
    return Exec("BEGIN IMMEDIATE");
}

bool SqliteConnection::InTransaction() const {
    return m_db && !sqlite3_get_autocommit(m_db);
}

} // namespace quello
