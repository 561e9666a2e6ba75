#include "end_to_end/history_fixture.h"

#include "history/store/pg_connection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include <sys/stat.h>

#include <unistd.h>

namespace vendrik::test_support {
namespace {

/// The tests that only a PostgreSQL server has: roles, and values its text cannot hold.
class HistoryServer : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("VENDRIK_TEST_POSTGRES")) {
            GTEST_SKIP() << "VENDRIK_TEST_POSTGRES is not set";
        }
    }
};

/// `target` as user `role`.
std::string as(const std::string& target, const std::string& role) {
    std::string url = target;
    return url.replace(url.find("postgres@"), 9, role + "@");
}

// A role that may only select runs every reading command, and its load is refused; a loader
// role loads.
TEST_F(HistoryServer, ReadsWithSelectAloneAndLoadsWithItsRole) {
    HistoryDatabase db("postgresql");
    const std::string suffix = std::to_string(::getpid());
    history::PgConnection owner(db.path);
    for (const char* role : {"reader_", "loader_"}) {
        owner.run(std::string("drop role if exists ") + role + suffix, "drop");
        owner.run(std::string("create role ") + role + suffix + " login", "create");
    }
    owner.run("grant select on all tables in schema public to reader_" + suffix, "grant");
    owner.run("grant select, insert, update, delete on all tables in schema public to loader_" +
                  suffix,
              "grant");
    const std::string reader = as(db.path, "reader_" + suffix);
    const std::string loader = as(db.path, "loader_" + suffix);
    EXPECT_EQ(history({"runs", "--database=" + reader}).status, 0);
    EXPECT_EQ(
        history({"gate", "--database=" + reader, "--platform=TargetA", "--project=Ecu"}).status, 1);
    EXPECT_EQ(
        history({"page", "--database=" + reader, "--output=" + db.scratch.path + "/p.html"}).status,
        0);
    const std::string next =
        script(db.scratch, "TargetA", "Ecu", "fff666", 30, "2026.12.04", "02:00:00");
    const ProgramResult refused = history({"load", "--database=" + reader, next});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.errors.find("permission denied"), std::string::npos) << refused.errors;
    const ProgramResult loaded = history({"load", "--database=" + loader, next});
    EXPECT_EQ(loaded.status, 0) << loaded.errors << loaded.console;
    EXPECT_NE(history({"runs", "--database=" + reader}).console.find("fff666"), std::string::npos);
    owner.run("drop owned by reader_" + suffix + ", loader_" + suffix, "drop");
    owner.run("drop role reader_" + suffix, "drop");
    owner.run("drop role loader_" + suffix, "drop");
}

// A reviewer role records decisions, by default in its own name, and loads nothing.
TEST_F(HistoryServer, AReviewerDecidesButDoesNotLoad) {
    FindingsHistory db("postgresql");
    db.add("aaa111", reportLine("a.c", 10, 3, 2000, "No else"), "2026.12.01");
    db.add("bbb222",
           reportLine("a.c", 10, 3, 2000, "No else") + reportLine("b.c", 5, 5, 2982, "Redundant"),
           "2026.12.02");
    const std::string role = "reviewer_" + std::to_string(::getpid());
    history::PgConnection owner(db.path);
    owner.run("drop role if exists " + role, "drop");
    owner.run("create role " + role + " login", "create");
    owner.run("grant select on all tables in schema public to " + role, "grant");
    owner.run("grant insert on vendrik_history_decisions to " + role, "grant");
    const std::string reviewer = as(db.path, role);
    const ProgramResult set =
        history({"triage", "set", "--database=" + reviewer, "--platform=TargetA", "--project=Ecu",
                 "--file=Src/Src_NV/b.c", "--line=5", "--state=accepted", "--reason=as designed"});
    EXPECT_EQ(set.status, 0) << set.errors;
    const ProgramResult log = history({"triage", "log", "--database=" + reviewer,
                                       "--platform=TargetA", "--project=Ecu", "--format=json"});
    EXPECT_EQ(nlohmann::json::parse(log.console)[0]["decision"]["author"], role);
    const std::string run =
        convertRun(db.scratch, "TargetA", "Ecu", "ccc333",
                   reportLine("a.c", 10, 3, 2000, "No else"), "2026.12.03", "02:00:00");
    const ProgramResult refused = history({"load", "--database=" + reviewer, run + ".sarif"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.errors.find("permission denied"), std::string::npos) << refused.errors;
    owner.run("drop owned by " + role, "drop");
    owner.run("drop role " + role, "drop");
}

// A NUL byte (that the converter writes as || char(0) ||) or bytes that are not UTF-8 refuse
// the file whole, with status 2, and nothing is added.
TEST_F(HistoryServer, RefusesValuesItsTextCannotHold) {
    HistoryDatabase db("postgresql");
    for (const std::string& file : {std::string("a\0b.c", 5), std::string("a\xE4.c")}) {
        const std::string report = db.scratch.path + "/odd.txt";
        writeFile(report, "D:\\w\\Src\\Src_NV\\" + file +
                              " (1) : warning : QAC(Prio3) Msg: 2000(t.) Ref: R\n");
        const std::string sql = db.scratch.path + "/odd.sql";
        ASSERT_EQ(
            runCommand({VENDRIK_PROGRAM, "--platform=P", "--input=" + report, "--output=" + sql,
                        "--typ_name=T", "--typ_var=V", "--sql_config=SQL", "--hash_value=odd1"})
                .status,
            0);
        const ProgramResult refused = history({"load", "--database=" + db.path, sql});
        EXPECT_EQ(refused.status, 2) << file;
        EXPECT_NE(refused.errors.find("refused: a name or text holds bytes that the server's "
                                      "text cannot hold"),
                  std::string::npos)
            << refused.errors;
        EXPECT_EQ(history({"runs", "--database=" + db.path, "--platform=P"}).console.find("odd1"),
                  std::string::npos);
    }
}

} // namespace
} // namespace vendrik::test_support

namespace vendrik::test_support {
namespace {

// No message shows the password, whichever spelling or source carries it, for a server that
// answers (the tests' own, when there is one) and for one that is not there.
TEST(HistoryPasswords, NeverShownInAnyMessage) {
    const ScratchDirectory scratch;
    std::vector<std::string> hosts = {scratch.path + "/no-server"};
    if (const char* url = std::getenv("VENDRIK_TEST_POSTGRES")) {
        const std::string text = url;
        const std::size_t host = text.find("host=") + 5;
        hosts.push_back(text.substr(host, text.find('&', host) - host));
    }
    const std::string services = scratch.path + "/services.conf";
    writeFile(services, "[results]\nhost=HOST\nport=5432\ndbname=no_such_db\nuser=postgres\n"
                        "password=s3cr3t-Pw\n");
    const std::string passwords = scratch.path + "/pgpass";
    writeFile(passwords, "*:*:*:*:s3cr3t-Pw\n");
    ::chmod(passwords.c_str(), 0600);
    // Each target, with HOST for the server's socket folder, and the environment it runs in.
    const std::pair<std::string, std::string> targets[] = {
        {"host=HOST dbname=postgresql://u:s3cr3t-Pw@/postgres", ""},
        {"postgresql://u@/db?host=HOST&%70assword=s3cr3t-Pw", ""},
        {"postgresql://u@/db?host=HOST&password=s3cr3t-Pw%zz", ""},
        {"postgresql://postgres:s3cr3t-Pw@/no_such_db?host=HOST", ""},
        {"postgresql://postgres:s3cr%33t-Pw@/no_such_db?host=HOST", ""},
        {"postgresql://postgres:s3cr3t-Pw@/no_such_db?host=HOST&sslmode=bogus", ""},
        {"postgresql://postgres:s3cr3t-Pw@/postgres?host=HOST&port=5432", ""},
        {"host=HOST user=postgres password=s3cr3t-Pw dbname=no_such_db", ""},
        {"host=HOST password='s3cr3t-Pw and more' dbname=no_such_db", ""},
        {"host=HOST password='s3cr3t-Pw", ""},
        {"host=HOST password=s3cr3t-Pw port=notaport", ""},
        {"host=HOST dbname=no_such_db password=s3cr3t-Pw bogus_key=1", ""},
        {"service=results", "PGSERVICEFILE=" + services},
        {"host=HOST dbname=no_such_db user=postgres", "PGPASSWORD=s3cr3t-Pw"},
        {"host=HOST dbname=no_such_db user=postgres", "PGPASSFILE=" + passwords},
    };
    const std::string log = scratch.path + "/run.sarif";
    writeFile(log, "{}");
    for (const std::string& host : hosts) {
        writeFile(services,
                  std::regex_replace(readFile(services), std::regex("host=.*"), "host=" + host));
        for (const auto& [pattern, environment] : targets) {
            const std::string target = std::regex_replace(pattern, std::regex("HOST"), host);
            for (const std::vector<std::string>& command :
                 {std::vector<std::string>{"runs"},
                  std::vector<std::string>{"gate", "--platform=P", "--project=Q"},
                  std::vector<std::string>{"load", log}}) {
                std::vector<std::string> run = {"env", environment.empty() ? "A=" : environment,
                                                VENDRIK_HISTORY_PROGRAM};
                run.insert(run.end(), command.begin(), command.end());
                run.push_back("--database=" + target);
                const ProgramResult result = runCommand(run);
                const std::string said = result.console + result.errors;
                EXPECT_EQ(said.find("s3cr3t"), std::string::npos)
                    << target << " " << environment << ": " << said;
                EXPECT_EQ(said.find("s3cr%33t"), std::string::npos) << said;
            }
        }
    }
}

} // namespace
} // namespace vendrik::test_support
