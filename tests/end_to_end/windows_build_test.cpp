// The Windows program's own behaviour, run under wine: the banner read from its version
// resource, CR LF line ends, exit statuses as Windows delivers them, and the two test
// builds (no version information; a string table for another language).

#include "end_to_end/program_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

namespace vendrik::test_support {
namespace {

const std::string windowsBuild = std::getenv("VENDRIK_TEST_WINDOWS_BUILD");
const std::string report = std::string(VENDRIK_TEST_DATA) + "/reports/worked_example.txt";

/// Runs a Windows program under wine; its console text comes back raw and whole, banner
/// included.
ProgramResult runWindows(const std::string& program, const std::vector<std::string>& arguments) {
    setenv("VENDRIK_TEST_PROGRAM", (windowsBuild + "/" + program).c_str(), 1);
    unsetenv("VENDRIK_TEST_CRLF");
    ProgramResult result = runProgram(arguments);
    result.console.insert(0, result.banner);
    return result;
}

std::vector<std::string> arguments(const std::string& input, const std::string& output) {
    return {"--platform=HostPC", "--input=" + input, "--output=" + output, "--typ_name=Demo"};
}

const std::regex datePattern("[A-Z][a-z]{2} [ 123][0-9] [0-9]{4}");

TEST(WindowsBuild, ReadsTheBannerFromItsVersionResource) {
    const ProgramResult result = runWindows("Vendrik.exe", {});
    const std::regex banner("Vendrik\\.exe version 1\\.2 from [A-Z][a-z]{2} [ 123][0-9] "
                            "[0-9]{4}\r\nCopyright \\(c\\) 2026 The Vendrik developers\r\n"
                            "Vendrik error: Not enough command line arguments\r\n");
    EXPECT_TRUE(std::regex_match(result.console, banner)) << result.console;
    EXPECT_EQ(result.status, 255);
}

TEST(WindowsBuild, EndsEveryLineWithCrLf) {
    const ScratchDirectory scratch;
    const std::string lfReport = scratch.path + "/lf.txt";
    writeFile(lfReport, readFile(report));
    const ProgramResult result =
        runWindows("Vendrik.exe", arguments(lfReport, scratch.path + "/out"));
    ASSERT_EQ(result.status, 0);
    const std::string written = readFile(scratch.path + "/out");
    EXPECT_TRUE(written.starts_with("[files]\r\n")) << written;
    EXPECT_TRUE(written.ends_with("Tool_______: QAC 8.1.2.R\r\n\r\n")) << written;
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 13);
    EXPECT_EQ(std::count(written.begin(), written.end(), '\r'), 13);
    EXPECT_TRUE(result.console.ends_with(written));
}

TEST(WindowsBuild, DeliversEveryExitStatus) {
    const ScratchDirectory scratch;
    EXPECT_EQ(runWindows("Vendrik.exe", {"a", "b", "c"}).status, 255);
    EXPECT_EQ(
        runWindows("Vendrik.exe", arguments(scratch.path + "/none", scratch.path + "/o")).status,
        254);
    EXPECT_EQ(runWindows("Vendrik.exe", arguments(report, scratch.path + "/no/o")).status, 253);
    EXPECT_EQ(runWindows("Vendrik.exe", arguments(report, "/dev/full")).status, 252);
    EXPECT_EQ(runWindows("Vendrik.exe", arguments(report, scratch.path + "/o")).status, 0);
}

TEST(WindowsBuild, WithoutVersionInformationPrintsNoBanner) {
    const ScratchDirectory scratch;
    const ProgramResult result =
        runWindows("test-builds/VendrikNoVersion.exe", arguments(report, scratch.path + "/out"));
    ASSERT_EQ(result.status, 0);
    EXPECT_TRUE(result.console.starts_with("[files]\r\n")) << result.console;
    EXPECT_EQ(result.console, readFile(scratch.path + "/out"));
}

TEST(WindowsBuild, WithAnotherLanguagesStringTableLeavesTheTextsEmpty) {
    const ScratchDirectory scratch;
    const ProgramResult result =
        runWindows("test-builds/VendrikGerman.exe", arguments(report, scratch.path + "/out"));
    ASSERT_EQ(result.status, 0);
    const std::regex banner(" version 1\\.2 from [A-Z][a-z]{2} [ 123][0-9] [0-9]{4}\r\n\r\n");
    const std::size_t bannerEnd = result.console.find("[files]");
    ASSERT_NE(bannerEnd, std::string::npos);
    EXPECT_TRUE(std::regex_match(result.console.substr(0, bannerEnd), banner)) << result.console;
    EXPECT_EQ(result.console.substr(bannerEnd), readFile(scratch.path + "/out"));
}

// Any name Windows can create names the report and every output, and the file written is the
// file named; other values keep their ANSI bytes, as they always did.
TEST(WindowsBuild, NamesFilesAsWindowsHoldsThem) {
    const ScratchDirectory scratch;
    for (const std::string name : {"ausgabe_äöü", "o_€", "出力", "名前 with blanks"}) {
        const std::string base = scratch.path + "/" + name;
        writeFile(base + ".in", readFile(report));
        ProgramResult result = runWindows(
            "Vendrik.exe",
            {"--platform=Zürich", "--input=" + base + ".in", "--output=" + base, "--typ_name=Demo",
             "--sarif_output=" + base + ".sarif", "--codequality_output=" + base + ".json"});
        EXPECT_EQ(result.status, 0) << name << "\n" << result.console;
        EXPECT_NE(readFile(base).find("Platform___: Z\xFCrich\r\n"), std::string::npos) << name;
        EXPECT_NE(readFile(base + ".sarif").find("\"runs\""), std::string::npos) << name;
        EXPECT_NE(readFile(base + ".json").find("\"fingerprint\""), std::string::npos) << name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(scratch.path),
                            std::filesystem::directory_iterator()),
              16);
}

// A link keeps pointing where it did, and the file it leads to is replaced; hard links keep
// sharing the file.
TEST(WindowsBuild, TreatsLinksAsOnLinux) {
    const ScratchDirectory scratch;
    const std::string target = scratch.path + "/target.txt";
    writeFile(target, "previous\n");
    std::filesystem::create_symlink(target, scratch.path + "/link.txt");
    writeFile(scratch.path + "/first.txt", "previous\n");
    std::filesystem::create_hard_link(scratch.path + "/first.txt", scratch.path + "/second.txt");
    for (const char* output : {"/link.txt", "/first.txt"}) {
        EXPECT_EQ(runWindows("Vendrik.exe", arguments(report, scratch.path + output)).status, 0);
    }
    EXPECT_TRUE(std::filesystem::is_symlink(scratch.path + "/link.txt"));
    EXPECT_TRUE(readFile(target).starts_with("[files]\r\n")) << readFile(target);
    EXPECT_EQ(std::filesystem::hard_link_count(scratch.path + "/second.txt"), 2u);
    EXPECT_TRUE(readFile(scratch.path + "/second.txt").starts_with("[files]\r\n"));
}

} // namespace
} // namespace vendrik::test_support
