// Hex rows, the default output name and the export file.

#include "catalogue.h"
#include "file_descriptor.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvidon {

namespace {

// The firmware image of entry i, refusing an entry that a stale catalogue
// places outside the bytes now loaded.
const std::uint8_t *FirmwareImage(const EngineState &state, MatchIndex i)
{
    const std::int64_t offset = state.Catalogue.Entry(i).ImageOffset;
    if (offset < 0 || offset + kImageLength > state.Image.length())
        throw EngineError("The entry lies outside the loaded data; open the data file again");
    return state.Image.data() + offset;
}

MatchIndex EntryToSave(const Catalogue &catalogue, std::string_view modelText, std::optional<MatchIndex> selected)
{
    if (selected && *selected >= 0 && *selected < catalogue.ModelCount()
        && catalogue.ModelName(*selected) == modelText)
        return *selected;
    return FindExactModel(catalogue, modelText);
}

void WriteAll(int fd, const std::uint8_t *bytes, std::size_t count, const std::string &path)
{
    while (count > 0) {
        const ssize_t written = write(fd, bytes, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            throw MakeIoError(errno, path);
        }
        if (written == 0)
            throw DiskFullError();
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
}

void WriteExportFile(int fd, const std::uint8_t *image, const std::string &path)
{
    // One write call: exports come by the thousand in a batch.
    std::array<std::uint8_t, kExportSize> file{};
    std::copy(image, image + kImageLength, file.begin() + kExportPadding);
    WriteAll(fd, file.data(), file.size(), path);
}

} // namespace

std::string ByteToHex(std::uint8_t byte)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

std::array<std::string, kHexRowCount> ShowImage(const EngineState &state, MatchIndex i)
{
    const std::uint8_t *image = FirmwareImage(state, i);
    std::array<std::string, kHexRowCount> rows;
    for (int r = 0; r < kHexRowCount; ++r) {
        rows[r].reserve(3 * kBytesPerHexRow);
        for (int c = 0; c < kBytesPerHexRow; ++c)
            rows[r] += ByteToHex(image[r * kBytesPerHexRow + c]) + ' ';
    }
    return rows;
}

std::string DefaultOutputName(const Catalogue &catalogue, MatchIndex i)
{
    const CatalogueEntry entry = catalogue.Entry(i);
    return std::string(entry.ProductNumber) + "_" + std::string(entry.ModelName) + ".BIN";
}

void SaveImage(const EngineState &state, std::string_view modelText, const std::string &path,
               std::optional<MatchIndex> selected)
{
    const MatchIndex entry = EntryToSave(state.Catalogue, modelText, selected);
    const std::uint8_t *image = FirmwareImage(state, entry);
    if (path.empty())
        throw MakeIoError(ENOENT, path);

    // Non-blocking, so that a FIFO with no reader fails (ENXIO) instead of
    // hanging the program; then blocking again, so that devices and pipes
    // with a reader take the whole export as usual.
    FileDescriptor file(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666));
    if (!file.valid())
        throw MakeIoError(errno, path);
    const int flags = fcntl(file.get(), F_GETFL);
    if (flags < 0 || fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        throw MakeIoError(errno, path);
    struct stat info {};
    const bool regular = fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode);
    try {
        WriteExportFile(file.get(), image, path);
        if (file.close() != 0)
            throw MakeIoError(errno, path);
    } catch (const EngineError &) {
        // A short export is worse than none; devices and pipes are not ours
        // to remove.
        if (regular)
            unlink(path.c_str());
        throw;
    }
}

} // namespace tarvidon
