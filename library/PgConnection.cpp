#include "PgConnection.h"

#include <libpq-fe.h>

#include <bit>
#include <charconv>
#include <cstdio>

namespace quello {
namespace {

// Every writer of one library's index takes this lock (per database) for its transaction:
// writes are serialised as SQLite serialises them, so that a file is moved into place and
// indexed by one importer at a time. Any role may take an advisory lock.
constexpr char kWriteLock[] = "SELECT pg_advisory_xact_lock(8317220466213641)";

std::string ValueText(const SqlValue& value) {
    if (const auto* n = std::get_if<std::int64_t>(&value))
        return std::to_string(*n);
    if (const auto* d = std::get_if<double>(&value)) {
        // Shortest text that reads back as the same double.
        char text[32];
        const auto end = std::to_chars(text, text + sizeof text, *d).ptr;
        return std::string(text, end);
    }
    if (const auto* t = std::get_if<std::string>(&value))
        return *t;
    return {};
}

// Type ids of the server's built-in types (pg_type.oid), as results in binary name them.
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kFloat4 = 700, kFloat8 = 701;

std::uint64_t BigEndian(const char* bytes, int size) {
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

// One value of a binary result, of the built-in numeric types.
double NumberOf(Oid type, const char* bytes, int size) {
    switch (type) {
    case kFloat8:
        return size == 8 ? std::bit_cast<double>(BigEndian(bytes, 8)) : 0.0;
    case kFloat4:
        return size == 4 ? std::bit_cast<float>(std::uint32_t(BigEndian(bytes, 4))) : 0.0;
    case kInt8:
        return size == 8 ? double(std::int64_t(BigEndian(bytes, 8))) : 0.0;
    case kInt4:
        return size == 4 ? double(std::int32_t(BigEndian(bytes, 4))) : 0.0;
    case kInt2:
        return size == 2 ? double(std::int16_t(BigEndian(bytes, 2))) : 0.0;
    case kBool:
        return size == 1 && bytes[0] ? 1.0 : 0.0;
    default:
        return 0.0;
    }
}

// Rows in the server's binary form: numbers as they are stored, no text made and read back
// (formatting doubles costs the server more than finding them).
class PgRows final : public SqlRows {
public:
    explicit PgRows(PGresult* result) : m_result(result), m_rows(result ? PQntuples(result) : 0) {}
    ~PgRows() override { PQclear(m_result); }
    bool Next() override { return !m_failed && ++m_row < m_rows; }
    bool failed() const override { return m_failed; }
    std::int64_t Int(int column) const override {
        if (!Has(column))
            return 0;
        const Oid type = PQftype(m_result, column);
        const char* bytes = PQgetvalue(m_result, m_row, column);
        const int size = PQgetlength(m_result, m_row, column);
        if (type == kInt8 && size == 8)
            return std::int64_t(BigEndian(bytes, 8));
        return std::int64_t(NumberOf(type, bytes, size));
    }
    double Real(int column) const override {
        return Has(column)
                   ? NumberOf(PQftype(m_result, column), PQgetvalue(m_result, m_row, column),
                              PQgetlength(m_result, m_row, column))
                   : 0.0;
    }
    std::string Text(int column) const override {
        if (!Has(column))
            return {};
        return std::string(PQgetvalue(m_result, m_row, column),
                           std::size_t(PQgetlength(m_result, m_row, column)));
    }
    // A one-dimensional array: its header (dimensions, flags, element type, length, lower
    // bound), then each element's length and bytes.
    std::vector<double> Numbers(int column) const override {
        std::vector<double> values;
        if (!Has(column))
            return values;
        const char* p = PQgetvalue(m_result, m_row, column);
        const char* end = p + PQgetlength(m_result, m_row, column);
        if (end - p < 12 || BigEndian(p, 4) != 1)
            return values;
        const Oid element = Oid(BigEndian(p + 8, 4));
        if (end - p < 20)
            return values;
        const std::uint64_t count = BigEndian(p + 12, 4);
        p += 20;
        for (std::uint64_t i = 0; i < count && end - p >= 4; ++i) {
            const std::int32_t size = std::int32_t(BigEndian(p, 4));
            p += 4;
            if (size < 0 || end - p < size)
                break;
            values.push_back(NumberOf(element, p, size));
            p += size;
        }
        return values;
    }
    void SetFailed() { m_failed = true; }

private:
    bool Has(int column) const {
        return m_row >= 0 && m_row < m_rows && column < PQnfields(m_result) &&
               !PQgetisnull(m_result, m_row, column);
    }
    PGresult* m_result;
    int m_rows;
    int m_row = -1;
    bool m_failed = false;
};

} // namespace

std::string NumberedParameters(const std::string& sql) {
    std::string out;
    int n = 0;
    char quote = 0;
    for (char c : sql) {
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            out += '$' + std::to_string(++n);
            continue;
        }
        out += c;
    }
    return out;
}

PgConnection::~PgConnection() {
    Close();
}

void PgConnection::Close() {
    if (m_conn)
        PQfinish(m_conn);
    m_conn = nullptr;
    m_lost = false;
    m_statements.clear();
}

bool PgConnection::Open(const DatabaseUrl& url) {
    Close();
    m_url = url.ToString();
    auto parameters = url.ConnectionParameters();
    // A network cut sends nothing back: without these a read would wait for the server for
    // ever. Over TCP an unanswered connection, send or idle link is given up within some 30 s
    // (a local socket needs none of them).
    for (const auto& [key, value] : {std::pair{"connect_timeout", "15"},
                                     {"keepalives", "1"},
                                     {"keepalives_idle", "15"},
                                     {"keepalives_interval", "5"},
                                     {"keepalives_count", "3"},
                                     {"tcp_user_timeout", "30000"}})
        parameters.emplace_back(key, value);
    std::vector<const char*> keys, values;
    for (const auto& [key, value] : parameters) {
        keys.push_back(key.c_str());
        values.push_back(value.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    m_conn = PQconnectdbParams(keys.data(), values.data(), 0);
    if (!m_conn)
        return Fail("cannot reach the library's database " + m_url + ": out of memory");
    if (PQstatus(m_conn) != CONNECTION_OK) {
        std::string detail = PQerrorMessage(m_conn);
        while (!detail.empty() && (detail.back() == '\n' || detail.back() == ' '))
            detail.pop_back();
        Close();
        return Fail("cannot reach the library's database " + m_url + ": " + detail);
    }
    // Messages in one language whatever the server's, and nothing printed by notices.
    PQsetNoticeProcessor(
        m_conn, [](void*, const char*) {}, nullptr);
    // The index's statements are short lookups whose plan does not depend on the values asked
    // for: planned once, not again at every run (planning costs the server more than running),
    // and never compiled (the server's JIT takes a hundred times as long as the lookup).
    return Exec("SET client_min_messages = warning") &&
           Exec("SET plan_cache_mode = force_generic_plan") && Exec("SET jit = off");
}

bool PgConnection::Failed(const std::string& what, const char* detail) {
    // The server answers every error of its own with a SQLSTATE; a failure without one is the
    // connection's (libpq may not have marked the connection bad yet).
    if (m_sqlState.empty())
        m_lost = true;
    std::string text = detail ? detail : "";
    // libpq's messages end in a newline and may run on over several lines.
    if (const auto cut = text.find('\n'); cut != std::string::npos)
        text.resize(cut);
    if (text.rfind("ERROR:  ", 0) == 0)
        text.erase(0, 8);
    if (lost())
        return Fail("lost the connection to the library's database " + m_url + " (" + text + ")");
    return Fail(what + ": " + text);
}

bool PgConnection::lost() const {
    return m_lost || !m_conn || PQstatus(m_conn) == CONNECTION_BAD;
}

std::unique_ptr<SqlRows> PgConnection::Query(const std::string& sql,
                                             const std::vector<SqlValue>& params) {
    m_sqlState.clear();
    if (lost()) {
        auto rows = std::make_unique<PgRows>(nullptr);
        rows->SetFailed();
        Failed("the library's index cannot be read", "not connected");
        return rows;
    }
    auto found = m_statements.find(sql);
    if (found == m_statements.end()) {
        const std::string name = "q" + std::to_string(m_statements.size() + 1);
        PGresult* prepared =
            PQprepare(m_conn, name.c_str(), NumberedParameters(sql).c_str(), 0, nullptr);
        const bool ok = PQresultStatus(prepared) == PGRES_COMMAND_OK;
        if (!ok) {
            const char* state = PQresultErrorField(prepared, PG_DIAG_SQLSTATE);
            m_sqlState = state ? state : "";
            Failed("the library's index cannot be read", PQerrorMessage(m_conn));
        }
        PQclear(prepared);
        if (!ok) {
            auto rows = std::make_unique<PgRows>(nullptr);
            rows->SetFailed();
            return rows;
        }
        found = m_statements.emplace(sql, name).first;
    }
    std::vector<std::string> texts;
    std::vector<const char*> values;
    texts.reserve(params.size());
    for (const SqlValue& value : params) {
        texts.push_back(ValueText(value));
        values.push_back(std::holds_alternative<std::nullptr_t>(value) ? nullptr
                                                                       : texts.back().c_str());
    }
    PGresult* result = PQexecPrepared(m_conn, found->second.c_str(), int(values.size()),
                                      values.data(), nullptr, nullptr, 1);
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_TUPLES_OK || status == PGRES_COMMAND_OK)
        return std::make_unique<PgRows>(result);
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    m_sqlState = state ? state : "";
    Failed("the library's index cannot be used", PQerrorMessage(m_conn));
    auto rows = std::make_unique<PgRows>(result);
    rows->SetFailed();
    return rows;
}

bool PgConnection::Exec(const std::string& sql) {
    m_sqlState.clear();
    if (lost())
        return Failed("the library's index failed", "not connected");
    PGresult* result = PQexec(m_conn, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok) {
        const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
        m_sqlState = state ? state : "";
        Failed("the library's index failed (" + sql + ")", PQerrorMessage(m_conn));
    }
    PQclear(result);
    return ok;
}

bool PgConnection::BeginWrite() {
    if (!Exec("BEGIN"))
        return false;
    if (Exec(kWriteLock))
        return true;
    if (!lost())
        Exec("ROLLBACK");
    return false;
}

bool PgConnection::InTransaction() const {
    return m_conn && PQtransactionStatus(m_conn) != PQTRANS_IDLE &&
           PQtransactionStatus(m_conn) != PQTRANS_UNKNOWN;
}

} // namespace quello
