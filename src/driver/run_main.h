#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vendrik {

/// Exit statuses of a run.
enum RunStatus : int {
    runCompleted = 0,
    tooFewArguments = -1,  ///< "Vendrik error: Not enough command line arguments"
    inputNotOpened = -2,   ///< "Vendrik error: Could not open input file", or "... read ..."
    outputNotOpened = -3,  ///< "Vendrik error: Could not open output file"
    outputNotWritten = -4, ///< "Vendrik error: Could not write output file"
    outOfMemory = -5,      ///< "Vendrik error: Not enough memory"
};

/// Runs the converter for the command line `argv` (program path first): banner, options,
/// report, grouping, time stamp, summary or SQL script, output file and its echo on
/// `console` (left out when the output is the console's own file). Every failure prints one
/// "Vendrik error: ..." line on `console` and returns its status, and leaves an existing
/// output file as it was; nothing is thrown. On POSIX systems a file size limit makes
/// writes fail instead of ending the process. `systemArguments`, when it holds as many
/// arguments as `argv`, is the command line as the system holds it (wideArguments): the
/// names of the report and of the files written are taken from it.
int runMain(int argc, const char* const argv[], std::ostream& console,
            const std::vector<std::string>& systemArguments = {});

} // namespace vendrik
