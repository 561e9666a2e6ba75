#pragma once

#include <ostream>

namespace vendrik {

/// Exit statuses of a run.
enum RunStatus : int {
    runCompleted = 0,
    tooFewArguments = -1,  ///< "Vendrik error: Not enough command line arguments"
    inputNotOpened = -2,   ///< "Vendrik error: Could not open input file"
    outputNotOpened = -3,  ///< "Vendrik error: Could not open output file"
    outputNotWritten = -4, ///< "Vendrik error: Could not write output file"
};

/// Runs the converter for the command line `argv` (program path first): banner, options,
/// report, grouping, time stamp, summary or SQL script, output file and its echo on
/// `console`. Every failure prints one "Vendrik error: ..." line on `console` and returns
/// its status; nothing is thrown for bad input.
int runMain(int argc, const char* const argv[], std::ostream& console);

} // namespace vendrik
