// The suite's own PostgreSQL server, reached through libpq with what a DatabaseUrl names: the
// ground the library's server backend is tested on. Where no server can be started the test
// says why, and fails in CI (CI=true) instead of passing silently.
#include "library/DatabaseUrl.h"

#include "tests/support/PgTestServer.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace quello {
namespace {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

Connection Connect(const std::string& text) {
    std::string error;
    const auto url = DatabaseUrl::Parse(text, error);
    if (!url)
        return Connection(nullptr, &PQfinish);
    const auto parameters = url->ConnectionParameters();
    std::vector<const char*> keys, values;
    for (const auto& [key, value] : parameters) {
        keys.push_back(key.c_str());
        values.push_back(value.c_str());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    return Connection(PQconnectdbParams(keys.data(), values.data(), 0), &PQfinish);
}

TEST(PgTestServer, StartsItsOwnServerThatLibpqReachesByUrl) {
    test::PgTestServer server;
    if (!server.ok()) {
        if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true")
            FAIL() << "no PostgreSQL server could be started: " << server.error();
        GTEST_SKIP() << "no PostgreSQL server could be started: " << server.error();
    }
    const Connection connection = Connect(server.Url("postgres"));
    ASSERT_TRUE(connection);
    ASSERT_EQ(PQstatus(connection.get()), CONNECTION_OK) << PQerrorMessage(connection.get());
    // Its one user, on the socket only: no TCP port is open.
    PGresult* result =
        PQexec(connection.get(), "SELECT current_user, inet_server_port() IS NULL, "
                                 "current_setting('server_version_num')::int / 10000");
    ASSERT_EQ(PQresultStatus(result), PGRES_TUPLES_OK) << PQerrorMessage(connection.get());
    EXPECT_STREQ(PQgetvalue(result, 0, 0), "quello");
    EXPECT_STREQ(PQgetvalue(result, 0, 1), "t");
    EXPECT_STREQ(PQgetvalue(result, 0, 2), "15");
    PQclear(result);

    // A database the server lacks is refused by name.
    const Connection missing = Connect(server.Url("nocars"));
    EXPECT_EQ(PQstatus(missing.get()), CONNECTION_BAD);
    EXPECT_NE(std::string(PQerrorMessage(missing.get())).find("\"nocars\" does not exist"),
              std::string::npos)
        << PQerrorMessage(missing.get());
}

} // namespace
} // namespace quello
