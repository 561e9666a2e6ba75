#include "driver/run_options.h"

#include <gtest/gtest.h>

namespace vendrik {
namespace {

RunOptions parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "vendrik");
    RunOptions options;
    parseRunOptions(options, arguments);
    return options;
}

TEST(RunOptions, TakesValuesAfterTheNameAndOneCharacter) {
    const struct {
        std::vector<std::string> arguments;
        bool inputGiven;
        std::string input;
    } rows[] = {
        {{"--input=report.txt"}, true, "report.txt"},
        {{"--input="}, true, ""},
        {{"--input"}, true, ""},
        {{"--input", "report.txt"}, true, ""},
        {{"--inputXreport.txt"}, true, "report.txt"},
        {{"x--input=a.txt"}, true, "=a.txt"},
        {{"--input=a b=c --output=d"}, true, "a b=c --output=d"},
        {{"--INPUT=a"}, false, ""},
        {{"report.txt"}, false, ""},
        {{"--input=first", "--input=second"}, true, "first"},
    };
    for (const auto& row : rows) {
        const RunOptions options = parse(row.arguments);
        const std::string shown = row.arguments.front();
        EXPECT_EQ(options.inputGiven, row.inputGiven) << shown;
        EXPECT_EQ(options.input, row.input) << shown;
    }
}

TEST(RunOptions, ReadsEveryOption) {
    const RunOptions options = parse(
        {"--platform=TargetA", "--input=qac_report.txt", "--output=result.sql",
         "--typ_name=ProjectB", "--typ_var=Variant1", "--sql_config=SQL", "--hash_value=4f1c2e9"});
    EXPECT_EQ(options.platform, "TargetA");
    EXPECT_EQ(options.input, "qac_report.txt");
    EXPECT_EQ(options.output, "result.sql");
    EXPECT_EQ(options.typName, "ProjectB");
    EXPECT_EQ(options.typVar, "Variant1");
    EXPECT_EQ(options.sqlConfig, "SQL");
    EXPECT_EQ(options.hashValue, "4f1c2e9");
    EXPECT_TRUE(options.platformGiven && options.inputGiven && options.outputGiven &&
                options.typNameGiven && options.typVarGiven && options.sqlConfigGiven &&
                options.hashValueGiven);
    EXPECT_FALSE(options.helpGiven);
    EXPECT_FALSE(options.sarifOutputGiven || options.codequalityOutputGiven);
}

TEST(RunOptions, ReadsTheExportsApartFromTheOutput) {
    const RunOptions options = parse({"--sarif_output=a b.sarif", "--codequality_output=q=.json",
                                      "--output=o.txt", "--sarif_output=second.sarif"});
    EXPECT_EQ(options.sarifOutput, "a b.sarif");
    EXPECT_EQ(options.codequalityOutput, "q=.json");
    EXPECT_EQ(options.output, "o.txt");
    EXPECT_TRUE(options.sarifOutputGiven && options.codequalityOutputGiven);
    EXPECT_TRUE(parse({"--sarif_output"}).sarifOutputGiven);
    EXPECT_EQ(parse({"--sarif_output"}).sarifOutput, "");
}

TEST(RunOptions, ReadsTheReviewOptionsAndTheirCap) {
    const RunOptions options =
        parse({"--review_category=ecu/core", "--repository_uri=https://g.example/r.git",
               "--branch=feature/x", "--review_max_findings=25000", "--branch=other"});
    EXPECT_EQ(options.reviewCategory, "ecu/core");
    EXPECT_EQ(options.repositoryUri, "https://g.example/r.git");
    EXPECT_EQ(options.branch, "feature/x") << "the first match counts";
    EXPECT_EQ(reviewCap(options), 25000u);
    // A cap that is not a whole number of at most nine digits is no cap: all findings.
    const struct {
        const char* argument;
        std::optional<std::size_t> cap;
    } caps[] = {{"--review_max_findings=0", 0u},
                {"--review_max_findings=007", 7u},
                {"--review_max_findings=", std::nullopt},
                {"--review_max_findings=25k", std::nullopt},
                {"--review_max_findings=-1", std::nullopt},
                {"--review_max_findings=1234567890", std::nullopt},
                {"--output=o.txt", std::nullopt}};
    for (const auto& [argument, cap] : caps) {
        EXPECT_EQ(reviewCap(parse({argument})), cap) << argument;
    }
}

TEST(RunOptions, RecognisesHelpOnlyAsAWholeArgument) {
    EXPECT_TRUE(parse({"--help"}).helpGiven);
    EXPECT_FALSE(parse({"--HELP"}).helpGiven);
    EXPECT_FALSE(parse({"--help=yes"}).helpGiven);
    EXPECT_EQ(parse({"--help", "--sql_config=sql"}).sqlConfig, "sql");
}

TEST(RunOptions, SearchesTheProgramPathToo) {
    RunOptions options;
    parseRunOptions(options, {"/opt/--output/vendrik", "--output=b.sql"});
    EXPECT_TRUE(options.outputGiven);
    EXPECT_EQ(options.output, "tput/vendrik"); // value after the first 9 characters
}

TEST(RunOptions, SelectsSqlModeOnlyForExactlySqlWithAHash) {
    const struct {
        std::string sqlConfig;
        std::string hash;
        bool selected;
    } rows[] = {{"SQL", "4f2a9c1", true}, {"SQL", "", false},     {"sql", "1", false},
                {"SQL ", "1", false},     {"SQLite", "1", false}, {"", "1", false}};
    for (const auto& row : rows) {
        RunOptions options;
        options.sqlConfig = row.sqlConfig;
        options.hashValue = row.hash;
        EXPECT_EQ(sqlModeSelected(options), row.selected) << row.sqlConfig << "/" << row.hash;
    }
}

} // namespace
} // namespace vendrik
