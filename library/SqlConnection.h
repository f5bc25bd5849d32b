#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace quello {

// A statement's parameter: NULL, an integer, a real or a text.
using SqlValue = std::variant<std::nullptr_t, std::int64_t, double, std::string>;

// The rows of one statement, read front to back. Reading a column past the last row or of a
// NULL gives 0 or "". Owned by the caller; valid while its connection lives, and only until
// the connection runs the same statement again.
class SqlRows {
public:
    virtual ~SqlRows() = default;
    // Moves to the next row: false at the end, or on an error (then failed() is true and the
    // connection's error() says why).
    virtual bool Next() = 0;
    virtual bool failed() const = 0;
    virtual std::int64_t Int(int column) const = 0;
    virtual double Real(int column) const = 0;
    virtual std::string Text(int column) const = 0;
    // An array of numbers (the server's only; SQLite has no arrays and gives none).
    virtual std::vector<double> Numbers(int /*column*/) const { return {}; }
};

// One connection to a library's index, on SQLite or a PostgreSQL server. Statements are written
// once for both, with '?' for each parameter; what differs between the two (the schema's
// column types, the spatial index, the version's place) is asked of dialect().
//
// One object per thread; not copyable. Errors are returned, never thrown; error() says what
// went wrong last, in one line.
class SqlConnection {
public:
    enum class Dialect { Sqlite, Postgres };

    virtual ~SqlConnection() = default;
    virtual Dialect dialect() const = 0;

    // Runs one statement with its parameters, kept prepared for the connection's life. The
    // rows returned hold the statement's result: never null; a failed statement gives rows
    // whose Next() is false and failed() true.
    virtual std::unique_ptr<SqlRows> Query(const std::string& sql,
                                           const std::vector<SqlValue>& params) = 0;
    // Runs statements without parameters (and without rows).
    virtual bool Exec(const std::string& sql) = 0;

    // A write transaction that no other writer of the same index runs beside: SQLite takes
    // its write lock at once; the server takes a lock of the index's own (an advisory lock,
    // no privilege needed) until the transaction ends.
    virtual bool BeginWrite() = 0;
    virtual bool InTransaction() const = 0;

    // Whether the store was found damaged (SQLite: not a database, or corrupt pages).
    virtual bool damaged() const { return false; }
    // Whether the server has gone away (stopped, the network cut): every later statement
    // fails, and whether the last commit was taken is unknown.
    virtual bool lost() const { return false; }

    const std::string& error() const { return m_error; }

protected:
    bool Fail(std::string error) {
        m_error = std::move(error);
        return false;
    }

private:
    std::string m_error;
};

} // namespace quello
