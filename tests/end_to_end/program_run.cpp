#include "end_to_end/program_run.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace vendrik::test_support {

std::vector<std::string> programCommand() {
    std::vector<std::string> command;
    if (const char* launcher = std::getenv("VENDRIK_TEST_LAUNCHER"); launcher && *launcher) {
        command.emplace_back(launcher);
    }
    const char* program = std::getenv("VENDRIK_TEST_PROGRAM");
    command.emplace_back(program && *program ? program : VENDRIK_PROGRAM);
    return command;
}

ProgramResult runCommand(const std::vector<std::string>& command, bool asUnprivilegedUser) {
    ScratchDirectory capture;
    const std::string consolePath = capture.path + "/console";
    const std::string errorsPath = capture.path + "/errors";
    std::vector<std::string> words = command;
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(consolePath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errorsPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 ||
            dup2(err, 2) < 0) {
            _exit(127);
        }
        if (asUnprivilegedUser && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(126);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int wait = 0;
    if (child < 0 || waitpid(child, &wait, 0) != child) {
        throw std::runtime_error("could not run the program");
    }
    ProgramResult result;
    result.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : 128 + WTERMSIG(wait);
    result.console = readFile(consolePath);
    result.errors = readFile(errorsPath);
    return result;
}

ProgramResult runProgram(const std::vector<std::string>& arguments, bool asUnprivilegedUser) {
    std::vector<std::string> command = programCommand();
    command.insert(command.end(), arguments.begin(), arguments.end());
    ProgramResult result = runCommand(command, asUnprivilegedUser);
    result.console = platformText(result.console);
    static const std::regex bannerStart(R"(^[^\n]* version [0-9]+\.[0-9]+ from [^\n]*\n[^\n]*\n)");
    std::smatch banner;
    if (std::regex_search(result.console, banner, bannerStart)) {
        result.banner = banner.str();
        result.console.erase(0, result.banner.size());
    }
    return result;
}

bool isExpectedBanner(const std::string& banner) {
    const char* name = std::getenv("VENDRIK_TEST_PROGRAM_NAME");
    const std::regex expected(std::string(name && *name ? name : "vendrik") +
                              R"re( version 1\.2 from [A-Z][a-z]{2} [ 123][0-9] [0-9]{4}\n)re"
                              R"re(Copyright \(c\) 2026 The Vendrik developers\n)re");
    return std::regex_match(banner, expected);
}

std::string platformText(const std::string& raw) {
    const char* crlf = std::getenv("VENDRIK_TEST_CRLF");
    if (!crlf || !*crlf) {
        return raw;
    }
    std::string text;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
            continue;
        }
        if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r')) {
            text += "<bare LF>";
        }
        text += raw[i];
    }
    return text;
}

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vendrik-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("could not make a scratch directory");
    }
    path = pattern;
    std::filesystem::permissions(path, std::filesystem::perms::all); // reachable by nobody too
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::permissions(path, std::filesystem::perms::all, ignored);
    std::filesystem::remove_all(path, ignored);
}

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file) {
        throw std::runtime_error("could not write " + path);
    }
}

bool fileExists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::symlink_status(path));
}

} // namespace vendrik::test_support
