// The suite's own PostgreSQL server, reached through PgConnection with what a DatabaseUrl
// names: the ground the library's server backend is tested on, and the values that cross the
// connection in the server's binary form. Where no server can be started the test says why,
// and fails in CI (CI=true) instead of passing silently.
#include "library/PgConnection.h"

#include "tests/support/PgTestServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>

namespace quello {
namespace {

std::optional<DatabaseUrl> Url(const std::string& text) {
    std::string error;
    return DatabaseUrl::Parse(text, error);
}

TEST(PgTestServer, StartsItsOwnServerThatPgConnectionReachesByUrl) {
    test::PgTestServer server;
    if (!server.ok()) {
        if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true")
            FAIL() << "no PostgreSQL server could be started: " << server.error();
        GTEST_SKIP() << "no PostgreSQL server could be started: " << server.error();
    }
    PgConnection db;
    ASSERT_TRUE(db.Open(*Url(server.Url("postgres")))) << db.error();
    // Its one user, on the socket only: no TCP port is open.
    auto rows = db.Query("SELECT current_user::text, inet_server_port() IS NULL, "
                         "current_setting('server_version_num')::int / 10000",
                         {});
    ASSERT_TRUE(rows->Next()) << db.error();
    EXPECT_EQ(rows->Text(0), "quello");
    EXPECT_EQ(rows->Int(1), 1);
    EXPECT_EQ(rows->Int(2), 15);

    // Values there and back: parameters by '?' (not inside quotes), numbers exact.
    const double kTiny = std::numeric_limits<double>::denorm_min();
    const struct {
        SqlValue value;
        const char* cast;
        std::int64_t asInt;
        double asReal;
        std::string asText;
    } values[] = {
        {std::int64_t(-9223372036854775807 - 1), "bigint", -9223372036854775807 - 1,
         -9.223372036854775808e18, ""},
        {std::int64_t(42), "integer", 42, 42, ""},
        {0.1 + 0.2, "double precision", 0, 0.1 + 0.2, ""},
        {kTiny, "double precision", 0, kTiny, ""},
        {std::string("it's ? \"quoted\" ü"), "text", 0, 0, "it's ? \"quoted\" ü"},
        {nullptr, "text", 0, 0, ""},
    };
    for (const auto& v : values) {
        auto row = db.Query(std::string("SELECT '?' AS mark, ?::") + v.cast, {v.value});
        ASSERT_TRUE(row->Next()) << v.cast << ": " << db.error();
        EXPECT_EQ(row->Text(0), "?");
        EXPECT_EQ(row->Int(1), v.asInt) << v.cast;
        EXPECT_EQ(row->Real(1), v.asReal) << v.cast;
        if (std::string(v.cast) == "text") {
            EXPECT_EQ(row->Text(1), v.asText);
        }
    }
    auto array = db.Query("SELECT ARRAY[1.5, -2, 0.1]::float8[], ARRAY[3, 4]::int[]", {});
    ASSERT_TRUE(array->Next());
    EXPECT_EQ(array->Numbers(0), (std::vector<double>{1.5, -2, 0.1}));
    EXPECT_EQ(array->Numbers(1), (std::vector<double>{3, 4}));

    // An error of the server's is no lost connection; a database the server lacks is refused
    // by name.
    EXPECT_FALSE(db.Query("SELECT * FROM no_such_table", {})->Next());
    EXPECT_EQ(db.sqlState(), "42P01");
    EXPECT_FALSE(db.lost());
    PgConnection missing;
    EXPECT_FALSE(missing.Open(*Url(server.Url("nocars"))));
    EXPECT_NE(missing.error().find("\"nocars\" does not exist"), std::string::npos)
        << missing.error();
}

} // namespace
} // namespace quello
