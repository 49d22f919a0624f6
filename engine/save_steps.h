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

/// Starts saving bytes to path: a temporary file beside its target, written
/// and still open, to flush and move into place. Nothing where the bytes
/// go straight to their place (a device or pipe, written as it is; a folder
/// that takes no new file, written in place), which happens after first()
/// has run. Without replace a device there throws FileExistsError; a file
/// there does so when the temporary one moves.
[[nodiscard]] FileBatch::PendingFile StartSave(const std::filesystem::path &path,
                                              std::span<const std::uint8_t> bytes, bool replace,
                                              const std::function<void()> &first);

/// Flushes files to disk, all at once where the system can, and closes them.
void FlushAndClose(const std::vector<FileBatch::PendingFile> &files);

/// Moves file into place; returns its folder.
std::filesystem::path MoveIntoPlace(FileBatch::Pending &file, bool replace);

/// Flushes a folder's entries to disk where the system keeps them apart,
/// so that a file moved into it keeps its name through a power cut.
void FlushFolder(const std::filesystem::path &folder);

} // namespace tarvidon
