// Saving files whole or not at all, one or many at once, on the steps that
// each platform takes its own way.

#include "file_system.h"
#include "save_steps.h"

#include <algorithm>

namespace tarvidon {

void WriteWholeFile(const std::filesystem::path &path, std::span<const std::uint8_t> bytes)
{
    SaveStart start = BeginSave(path, bytes, true);
    if (!start.file) {
        start.writeInPlace();
        return;
    }
    std::vector<FileBatch::PendingFile> file;
    file.push_back(std::move(start.file));
    FlushAndClose(file);
    FlushFolder(MoveIntoPlace(*file.front(), true));
}

FileBatch::FileBatch(bool replace) : replace_(replace) {}

FileBatch::~FileBatch() = default;

void FileBatch::add(const std::filesystem::path &path, std::span<const std::uint8_t> bytes)
{
    SaveStart start = BeginSave(path, bytes, replace_);
    if (start.file) {
        pending_.push_back(std::move(start.file));
        return;
    }
    commit(); // what goes straight to its place goes after the files before it
    if (start.device && !replace_)
        throw FileExists(path);
    start.writeInPlace();
    ++written_;
}

void FileBatch::commit()
{
    std::vector<std::filesystem::path> folders; // of the files moved, flushed once each
    const auto flushFolders = [&] {
        for (const std::filesystem::path &folder : folders)
            FlushFolder(folder);
    };
    try {
        FlushAndClose(pending_);
        for (const auto &file : pending_) {
            const std::filesystem::path folder = MoveIntoPlace(*file, replace_);
            ++written_;
            if (std::find(folders.begin(), folders.end(), folder) == folders.end())
                folders.push_back(folder);
        }
    } catch (const EngineError &) {
        pending_.clear(); // removes the files not moved
        try {
            flushFolders();
        } catch (const EngineError &) {
            // the first error is the one to report
        }
        throw;
    }
    pending_.clear();
    flushFolders();
}

} // namespace tarvidon
