#include "history/store/pg_connection.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vendrik::history {
namespace {

// Targets are named by the fields libpq parses that are not secret, and every spelling of a
// password they carry is taken out of any message.
TEST(PgConnection, NamesTargetsWithoutTheirPassword) {
    const std::pair<const char*, const char*> targets[] = {
        // libpq ends the password at the first "@".
        {"postgresql://ci:s3cr@t@db.example/results", "host=t@db.example dbname=results user=ci"},
        {"postgres://ci:x@db:5433/r?sslmode=require", "host=db port=5433 dbname=r user=ci"},
        {"postgresql://db/r?user=ci&password=s3cret&port=5", "host=db port=5 dbname=r user=ci"},
        {"host=db dbname=r password=s3cret user=ci", "host=db dbname=r user=ci"},
        {"host=db password = 'se cr\\'et' user=ci", "host=db user=ci"},
        {"service=results", "service=results"},
        {"host=/s dbname=postgresql://u:s3cret@/postgres",
         "host=/s dbname=postgresql://u:***@/postgres"},
        {"postgresql://u@/db?host=/h&%70assword=s3cret", "host=/h dbname=db user=u"},
        {"postgresql://u@/db?host=/h&password=s3cret%zz", "the --database connection string"}};
    for (const auto& [target, shown] : targets) {
        const TargetName name = nameTarget(target);
        EXPECT_EQ(name.shown, shown) << target;
        std::string message = std::string("libpq quoted \"") + target + "\"";
        message = withoutSecrets(message, name.secrets);
        EXPECT_EQ(message.find("s3cr"), std::string::npos) << message;
        EXPECT_EQ(message.find("se cr"), std::string::npos) << message;
    }
    const std::vector<std::string> secret = {"p@ss w%rd"};
    EXPECT_EQ(withoutSecrets("a p@ss w%rd b p%40ss%20w%25rd c p%40ss%20w%25rd", secret),
              "a *** b *** c ***");
    EXPECT_EQ(withoutSecrets("p%40ss%20w%25rd", {"p%40ss%20w%25rd"}), "***");
    EXPECT_EQ(withoutSecrets("as p@ss w%rd", {"p%40ss%20w%25rd"}), "as ***") << "decoded";
}

/// The URL of the tests' server (tests/postgres_server.sh), or nothing.
std::string serverUrl() {
    const char* url = std::getenv("VENDRIK_TEST_POSTGRES");
    return url ? url : "";
}

TEST(PgConnection, RunsQueriesWithTextParameters) {
    if (serverUrl().empty()) {
        GTEST_SKIP() << "VENDRIK_TEST_POSTGRES is not set";
    }
    PgConnection server(serverUrl());
    const PgRows rows = server.run("select $1::text || 'x', $2::bigint + 1, $3::text is null",
                                   {"a\\'b", "41", std::nullopt}, "add");
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.text(0, 0), "a\\'bx");
    EXPECT_EQ(rows.number(0, 1), 42);
    EXPECT_EQ(rows.text(0, 2), "t");
    // Bytes the server's UTF-8 cannot hold are refused by it; a NUL byte before sending.
    for (const std::string& value : {std::string("caf\xe9"), std::string("a\0b", 3)}) {
        try {
            server.run("select $1::text", {value}, "read a name");
            ADD_FAILURE() << value;
        } catch (const PgError& error) {
            EXPECT_EQ(error.code, "22021") << error.what();
        }
    }
}

TEST(PgConnection, NeverShowsThePasswordInAMessage) {
    if (serverUrl().empty()) {
        GTEST_SKIP() << "VENDRIK_TEST_POSTGRES is not set";
    }
    // The server's URL is postgresql://postgres@/postgres?host=FOLDER&port=5432.
    std::string url = serverUrl();
    url.replace(url.find("postgres@/postgres"), 18, "postgres:s3cret@/no_such_database");
    try {
        PgConnection connection(url);
        ADD_FAILURE() << "connected to " << url;
    } catch (const StoreError& error) {
        const std::string message = error.what();
        EXPECT_EQ(message.find("s3cret"), std::string::npos) << message;
        EXPECT_NE(message.find("dbname=no_such_database user=postgres"), std::string::npos)
            << message;
        EXPECT_NE(message.find("no_such_database\" does not exist"), std::string::npos) << message;
    }
    PgConnection server(serverUrl());
    try {
        server.run("select * from no_such_table where x = $1", {"s3cret"}, "read a table");
        ADD_FAILURE();
    } catch (const PgError& error) {
        EXPECT_EQ(error.code, "42P01");
        EXPECT_EQ(std::string(error.what()).find("s3cret"), std::string::npos) << error.what();
    }
}

} // namespace
} // namespace vendrik::history
