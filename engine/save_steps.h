#pragma once

// The steps of a save that each platform's file layer takes its own way
// (file_system_posix.cpp, file_system_win32.cpp); saving.cpp builds every
// save on them.

#include "file_system.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace tarvidon {

/// The first step of a save: bytes written to a temporary file beside the
/// file that path names, still open, to flush and move into place. Where
/// nothing replaces what is there (a device or pipe) or the folder takes no
/// new file, nothing is written yet: how the bytes go to path instead
/// comes back, to run in its turn (while bytes still live). Without
/// replace, a new file in place takes no file's name, nor does the
/// temporary one when it moves.
struct SaveStart {
    FileBatch::PendingFile file;
    std::function<void()> writeInPlace;
    bool device = false; // what writeInPlace writes was there before
};
[[nodiscard]] SaveStart BeginSave(const std::filesystem::path &path, std::span<const std::uint8_t> bytes,
                                  bool replace);

/// The error for a file found at path where nothing was to be replaced.
[[nodiscard]] FileExistsError FileExists(const std::filesystem::path &path);

/// Flushes files to disk, all at once where the system can, and closes them.
void FlushAndClose(const std::vector<FileBatch::PendingFile> &files);

/// Moves file into place; returns its folder.
std::filesystem::path MoveIntoPlace(FileBatch::Pending &file, bool replace);

/// Flushes a folder's entries to disk where the system keeps them apart,
/// so that a file moved into it keeps its name through a power cut.
void FlushFolder(const std::filesystem::path &folder);

} // namespace tarvidon
