#pragma once

#include <string>
#include <vector>

namespace vendrik::test_support {

/// What one run of the program left behind. Console text is given with the program's line
/// ends turned into "\n" (see platformText).
struct ProgramResult {
    int status = -1;     ///< exit status as the shell sees it (0 to 255)
    std::string banner;  ///< the two banner lines, when the console starts with them
    std::string console; ///< everything else written to standard output
    std::string errors;  ///< everything written to standard error
};

/// The banner the program under test must print: its file name (VENDRIK_TEST_PROGRAM_NAME,
/// "vendrik" by default), the version and the build date, then the legal notice.
bool isExpectedBanner(const std::string& banner);

/// `raw` text written by the program with its line ends turned into "\n". When
/// VENDRIK_TEST_CRLF is set, as for the Windows program, every line must end in CR LF; a
/// bare LF is marked in the result so that comparisons fail.
std::string platformText(const std::string& raw);

/// The command that starts the program under test: the build's own program, or the one
/// named by VENDRIK_TEST_PROGRAM, started through VENDRIK_TEST_LAUNCHER (for example wine)
/// when that is set.
std::vector<std::string> programCommand();

/// Runs `command` (program path first), standard input empty, and keeps what it wrote; the
/// banner is not looked for.
ProgramResult runCommand(const std::vector<std::string>& command, bool asUnprivilegedUser = false);

/// Runs the program with `arguments` (after the program path), standard input empty.
/// With `asUnprivilegedUser`, the program runs as user and group 65534 (nobody), so that
/// file permissions apply even when the tests run as root.
ProgramResult runProgram(const std::vector<std::string>& arguments,
                         bool asUnprivilegedUser = false);

/// A fresh empty directory, removed with everything in it when the object goes.
struct ScratchDirectory {
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    std::string path;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
bool fileExists(const std::string& path);

} // namespace vendrik::test_support
