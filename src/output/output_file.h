#pragma once

#include <string>
#include <string_view>

namespace vendrik {

/// How an output file gets its new content.
enum class Replacement {
    whole,   ///< a temporary beside the file, renamed over it, where that can serve
    inPlace, ///< the file itself, emptied and written
};

/// An output file opened for one complete write. A regular file (or one still to be
/// created) is written under a temporary name in its own folder and renamed over it, so it
/// is replaced whole or not at all; a symbolic link is followed, and the file it leads to is
/// replaced. Everything else is written in place: a device, a FIFO, a file with more than one
/// name, a file in a folder that takes no new files, or any file when asked to. In place,
/// the file is only emptied once its new content is ready, so a run that fails before
/// leaves it as it was. On Windows the file is in text mode: "\n" is written as CR LF.
struct OutputFile {
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    /// Closes the file and removes the temporary if the file was not replaced.
    ~OutputFile();

    std::string target;      ///< the file that receives the content
    std::string temporary;   ///< beside `target`; empty when written in place
    bool emptyFirst = false; ///< in place, a regular file: emptied before it is written
    bool failed = false;     ///< a write failed
    bool complete = false;   ///< written and closed
    int descriptor = -1;
};

/// Opens `path` for writing as described at OutputFile: creates the temporary (with the
/// target's permission bits when the target exists), or opens the file in place. Returns
/// false, leaving every file as it was, when neither can be opened, or when an existing
/// file may not be written by this process.
bool openOutputFile(OutputFile& file, const std::string& path, Replacement how);

/// Appends `text` to the file's new content (in place, the first write empties the file).
/// Returns false when writing fails (a full disk, a file size limit); the file is then of no
/// further use.
bool writeOutputFile(OutputFile& file, std::string_view text);

/// Flushes and closes the file: its new content is complete. Returns false when closing
/// fails, or a write failed before.
bool closeOutputFile(OutputFile& file);

/// Puts a file that closeOutputFile completed in place: renames the temporary over the
/// target (in place, there is nothing left to do). Returns false when the file is not
/// complete or the rename fails; the temporary is then removed with the object, and an
/// existing target keeps its previous content (in place, the content is lost once writing
/// has begun).
bool commitOutputFile(OutputFile& file);

} // namespace vendrik
