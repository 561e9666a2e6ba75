#include "driver/run_main.h"

#include <gtest/gtest.h>

#include <sstream>

namespace vendrik {
namespace {

struct Ran {
    int status;
    std::string console;
};

Ran runWith(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "vendrik");
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    std::ostringstream console;
    const int status = runMain(static_cast<int>(argv.size()), argv.data(), console);
    std::string text = console.str();
    text.erase(0, text.find("Vendrik error") == std::string::npos ? 0 : text.find("Vendrik error"));
    return {status, text};
}

// The count rule looks at the number of arguments only: four after the program name are
// enough, whatever they are; three are not, whatever they name.
TEST(RunMain, NeedsFourArgumentsAfterTheProgramName) {
    const struct {
        std::vector<std::string> arguments;
        int status;
        const char* line;
    } cases[] = {
        {{}, tooFewArguments, "Vendrik error: Not enough command line arguments\n"},
        {{"--input=/dev/null", "--output=/dev/null", "--platform=P"},
         tooFewArguments,
         "Vendrik error: Not enough command line arguments\n"},
        {{"a", "b", "c", "d"}, inputNotOpened, "Vendrik error: Could not open input file\n"},
    };
    for (const auto& [arguments, status, line] : cases) {
        const Ran ran = runWith(arguments);
        EXPECT_EQ(ran.status, status) << arguments.size() << " arguments";
        EXPECT_EQ(ran.console, line) << arguments.size() << " arguments";
    }
}

} // namespace
} // namespace vendrik
