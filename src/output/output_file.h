#pragma once

#include <string>
#include <string_view>

namespace vendrik {

/// How an output file gets its new content.
enum class Replacement {
    whole,   ///< a temporary beside the file, renamed over it, where that can serve
    inPlace, ///< the file itself, emptied and written
};

/// An output file opened for one complete write. A regular file with one name (or one still
/// to be created) is written under a temporary name in its own folder (".vendrik-<process>-<n>",
/// short enough for any file system) and renamed over it, so it is replaced whole or not at
/// all. An existing file is first opened for writing as it is, without emptying it: that
/// open decides, as the system's open() does, whether the file may be written and whether a
/// symbolic link may be followed; a link that is followed keeps pointing where it did, and
/// the file it leads to is replaced. The replacement keeps the file's permission bits, and
/// its owner and group where the process may set them.
///
/// Everything else is written in place: a device, a FIFO, a file with more than one name, a
/// link that leads nowhere, a file in a folder that takes no new files (the system refused
/// the temporary for lack of permission), or any file when asked to. Where the rename is
/// refused (a sticky folder, a file another user owns) the complete new content is copied
/// into the file in place. In place, the file is emptied only once its new content is
/// ready, so a run that fails before leaves it as it was. A temporary that cannot be made
/// for any other reason (a full file system, no free inode) is a failure that leaves the
/// file as it was. On Windows the file is in text mode: "\n" is written as CR LF.
struct OutputFile {
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    /// Closes the files and removes the temporary if the file was not replaced.
    ~OutputFile();

    std::string target;      ///< the file that receives the content
    std::string temporary;   ///< beside `target`; empty when written in place
    bool emptyFirst = false; ///< in place, a regular file: emptied before it is written
    bool failed = false;     ///< a write failed
    bool complete = false;   ///< written and closed
    int descriptor = -1;     ///< the temporary, or the file itself in place
    int existing = -1;       ///< with a temporary: the existing file, opened for writing
};

/// Opens `path` for writing as described at OutputFile. Returns false, leaving every file
/// as it was, when neither a temporary nor the file in place can be opened, when an
/// existing file may not be written by this process, or when the temporary is refused for
/// any reason but permission.
bool openOutputFile(OutputFile& file, const std::string& path, Replacement how);

/// Appends `text` to the file's new content (in place, the first write empties the file).
/// Returns false when writing fails (a full disk, a file size limit); the file is then of no
/// further use.
bool writeOutputFile(OutputFile& file, std::string_view text);

/// Flushes and closes the file: its new content is complete. Returns false when closing
/// fails, or a write failed before.
bool closeOutputFile(OutputFile& file);

/// Puts a file that closeOutputFile completed in place: renames the temporary over the
/// target, or, where the rename is refused for permission, copies the content into the
/// target in place (in place from the start, there is nothing left to do). Returns false
/// when the file is not complete or neither serves; the temporary is then removed with the
/// object, and an existing target keeps its previous content, unless a copy in place failed
/// part way.
bool commitOutputFile(OutputFile& file);

/// Opens, writes, closes and commits `path` with `text` as its whole content, replaced whole
/// where it can be: false, leaving an existing file as it was, when any step fails.
bool writeWholeOutputFile(const std::string& path, std::string_view text);

/// Removes the temporaries of the run's open output files when the process is interrupted
/// (SIGINT, SIGTERM), then ends it by the signal as it would have ended. A signal that the
/// process was started with ignored stays ignored.
void removeTemporariesOnInterrupt();

} // namespace vendrik
