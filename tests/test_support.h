#pragma once

#include "catalogue.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvidon::test {

using Bytes = std::vector<std::uint8_t>;

/// Builds data file bytes record by record.
class ImageBuilder {
public:
    /// Appends a whole record: tag, name with its 0x00 at offset 17, and a
    /// 256-byte image whose first four bytes are productNumber and whose
    /// other bytes are fill. Returns the record's tag offset.
    std::int64_t record(std::string_view name, std::array<std::uint8_t, 4> productNumber, std::uint8_t fill = 0xEE);
    ImageBuilder &bytes(std::string_view raw);
    ImageBuilder &zeros(std::size_t count);

    [[nodiscard]] const Bytes &data() const { return data_; }
    [[nodiscard]] DataImage image() const { return DataImage::FromBytes(data_); }

private:
    Bytes data_;
};

/// A fresh folder removed with everything in it when the test ends.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    [[nodiscard]] std::string path(std::string_view name) const;
    /// The path of a name given in UTF-8, Cyrillic included, as the system
    /// takes it (on Windows narrow paths are not UTF-8).
    [[nodiscard]] std::filesystem::path nativePath(std::string_view utf8Name) const;
    std::string write(std::string_view name, const Bytes &bytes) const;
    /// The folder itself, for names that narrow text cannot carry everywhere.
    [[nodiscard]] const std::filesystem::path &root() const { return root_; }

private:
    std::filesystem::path root_;
};

[[nodiscard]] Bytes ReadFile(const std::filesystem::path &path);

/// The names in a folder given in UTF-8, in UTF-8 and sorted.
[[nodiscard]] std::vector<std::string> FilesIn(std::string_view utf8Folder);

/// What the export file of entry i holds: 256 zero bytes, then its image.
[[nodiscard]] Bytes ExpectedExport(const EngineState &state, MatchIndex i);

/// Runs the check and load as the main window does, collecting messages.
std::vector<std::string> CheckAndLoad(EngineState &state, const std::filesystem::path &path);

/// Writes bytes at offset into a new file of length bytes whose other bytes
/// are holes; false when the file system cannot leave holes.
[[nodiscard]] bool WriteSparseFile(const std::filesystem::path &path, std::int64_t offset, const Bytes &bytes,
                                   std::int64_t length);

/// A data file that exists but fails to load while this object lives (a
/// FIFO on POSIX, a file another handle holds without sharing on Windows),
/// and the error that its load raises.
class UnloadableFile {
public:
    explicit UnloadableFile(const TempDir &dir);
    ~UnloadableFile();
    UnloadableFile(const UnloadableFile &) = delete;
    UnloadableFile &operator=(const UnloadableFile &) = delete;

    std::string path;
    std::string error;

private:
    void *handle_ = nullptr;
};

#ifndef _WIN32
/// Runs check in a child without root's privileges (tests run as root in
/// CI, where permissions deny nothing); returns the child's exit code, 0
/// when check returned true.
int RunUnprivileged(const std::function<bool()> &check);
#endif

} // namespace tarvidon::test
