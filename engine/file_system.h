#pragma once

// The few file operations the engine and the command line need, one
// implementation per platform. Every failure throws IoError with the
// platform's error number (errno, or GetLastError() on Windows).

#include "catalogue.h"

#include <cstdint>
#include <filesystem>
#include <span>

// windows.h makes ReplaceFile a macro for its own call of that name; ours
// is a function in this namespace. Include windows.h first where both are
// needed.
#ifdef ReplaceFile
#undef ReplaceFile
#endif

namespace tarvidon {

/// True when path names an existing entry that is not a folder. Names with
/// the wildcards * or ? never name a file on Windows and are refused there.
[[nodiscard]] bool IsExistingNonFolder(const std::filesystem::path &path);

/// The whole regular file, all or nothing. Pipes and devices are refused
/// without blocking.
[[nodiscard]] DataImage ReadWholeFile(const std::filesystem::path &path);

/// Writes bytes to path, whole or not at all. A regular file (or a new one)
/// is written to a temporary file in its folder, flushed to disk and moved
/// over it, keeping the old file's permissions; on failure the old file
/// stays as it was. A symbolic link keeps pointing to the file it names,
/// which is replaced. Devices and pipes are written in place without
/// blocking on a pipe with no reader. A folder that takes no new file but
/// holds a writable one gets it truncated and written in place, removed on
/// failure. An empty path is an error.
void WriteWholeFile(const std::filesystem::path &path, std::span<const std::uint8_t> bytes);

/// Renames from over to, replacing to.
void ReplaceFile(const std::filesystem::path &from, const std::filesystem::path &to);

/// Removes a file, ignoring failure (for clean-up paths).
void RemoveFileQuietly(const std::filesystem::path &path) noexcept;

} // namespace tarvidon
