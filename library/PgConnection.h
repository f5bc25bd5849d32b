#pragma once

#include "DatabaseUrl.h"
#include "SqlConnection.h"

#include <string>
#include <unordered_map>

struct pg_conn;

namespace quello {

// A connection to a library's index on a PostgreSQL server, through libpq. The password, if the
// server asks for one, comes from ~/.pgpass or PGPASSWORD (libpq reads them); sslmode is the
// URL's. Statements are prepared on the server once per connection.
// One object per thread.
class PgConnection final : public SqlConnection {
public:
    PgConnection() = default;
    ~PgConnection() override;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects; false with error() naming the server and saying why not.
    bool Open(const DatabaseUrl& url);
    void Close();

    Dialect dialect() const override { return Dialect::Postgres; }
    std::unique_ptr<SqlRows> Query(const std::string& sql,
                                   const std::vector<SqlValue>& params) override;
    bool Exec(const std::string& sql) override;
    bool BeginWrite() override;
    bool InTransaction() const override;
    bool lost() const override;

    // Fails with `what` and the server's message; the SQLSTATE of the last failed statement.
    bool Failed(const std::string& what, const char* detail);
    const std::string& sqlState() const { return m_sqlState; }

private:
    pg_conn* m_conn = nullptr;
    std::string m_url;
    std::string m_sqlState;
    bool m_lost = false;
    std::unordered_map<std::string, std::string> m_statements; // SQL -> prepared name
};

// '?' placeholders as the server wants them ($1, $2 ...); quoted text is left alone.
std::string NumberedParameters(const std::string& sql);

} // namespace quello
