#pragma once

// The catalogue engine: reads a data file into memory, finds its records by
// their "DTHD" tag, looks records up and exports their firmware images.
// Names are kept as the file's own single-byte (Windows-1251) text; nothing
// here converts text or shows anything.

#include "errors.h"
#include "large_buffer.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvidon {

// Record layout, as offsets from the first byte of a record's tag.
inline constexpr std::string_view kRecordTag = "DTHD";
inline constexpr std::int64_t kTagLength = 4;
inline constexpr std::int64_t kNameOffset = 17;
inline constexpr std::int64_t kImageOffset = 108;
inline constexpr std::int64_t kImageLength = 256;
inline constexpr std::int64_t kProductNumberBytes = 4;
inline constexpr std::uint8_t kNameSpaceByte = 0x14; // stands for " " in names

// Hex rows and the export file.
inline constexpr int kHexRowCount = 16;
inline constexpr int kBytesPerHexRow = 16;
inline constexpr std::int64_t kExportPadding = 256;
inline constexpr std::int64_t kExportSize = kExportPadding + kImageLength;

/// A catalogue index; kNoMatch when a lookup found nothing.
using MatchIndex = std::int64_t;
inline constexpr MatchIndex kNoMatch = -1;

/// Shown through the message callback when the data file is not there.
inline constexpr std::string_view kMissingFileMessage = "Не могу открыть указанный файл!";

/// The whole data file as bytes in memory.
class DataImage {
public:
    DataImage() = default;
    DataImage(DataImage &&other) noexcept;
    DataImage &operator=(DataImage &&other) noexcept;

    /// An image of length bytes, contents unset. Throws OutOfMemoryError.
    [[nodiscard]] static DataImage Allocate(std::int64_t length);
    /// An image holding a copy of bytes (tests, tools).
    [[nodiscard]] static DataImage FromBytes(std::span<const std::uint8_t> bytes);

    [[nodiscard]] std::int64_t length() const { return length_; }
    [[nodiscard]] const std::uint8_t *data() const { return bytes_.get(); }
    [[nodiscard]] std::uint8_t *data() { return bytes_.get(); }

private:
    struct Release {
        void operator()(std::uint8_t *bytes) const;
    };
    std::unique_ptr<std::uint8_t[], Release> bytes_;
    std::int64_t length_ = 0;
};

class Catalogue;
/// Every whole, named record of image, in file order.
[[nodiscard]] Catalogue BuildCatalogue(const DataImage &image);

/// One listed record. The views point into the Catalogue that made it.
struct CatalogueEntry {
    std::string_view ModelName;     // 0x14 already turned into " "; never empty
    std::int64_t ImageOffset = 0;   // offset of the FirmwareImage in the DataImage
    std::string_view ProductNumber; // eight hex digits of the image's first four bytes
};

/// The records found by the last scan, in file order.
class Catalogue {
public:
    [[nodiscard]] std::int64_t ModelCount() const { return static_cast<std::int64_t>(entries_.size()); }
    /// Entry i; throws ListIndexError(i) outside 0..ModelCount-1.
    [[nodiscard]] CatalogueEntry Entry(MatchIndex i) const;
    [[nodiscard]] std::string_view ModelName(MatchIndex i) const { return Entry(i).ModelName; }
    [[nodiscard]] std::string_view ProductNumber(MatchIndex i) const { return Entry(i).ProductNumber; }

private:
    friend Catalogue BuildCatalogue(const DataImage &image);

    struct Stored {
        std::size_t nameBegin;
        std::size_t nameLength;
        std::int64_t imageOffset;
        std::array<char, 8> productNumber;
    };
    LargeString names_; // all names; overlapping records share their tails
    LargeVector<Stored> entries_;
};

/// Everything the main window keeps between actions.
struct EngineState {
    bool FileFound = false;
    tarvidon::DataImage Image;
    tarvidon::Catalogue Catalogue;
};

/// Shows a plain message to the user; supplied by the user interface.
using ShowMessageFn = std::function<void(std::string_view)>;

// --- Loading ---

/// Sets FileFound: true when path names an existing entry that is not a
/// folder. Otherwise reports kMissingFileMessage through showMessage.
void CheckDataFile(EngineState &state, const std::filesystem::path &path, const ShowMessageFn &showMessage);

/// Reads the whole file into state.Image when FileFound is set. All or
/// nothing: on any error the previous image stays. Only regular files load.
void LoadDataFile(EngineState &state, const std::filesystem::path &path);

// --- Scanning ---

/// Offset of the first tag at or after start, searching up to length - 5.
[[nodiscard]] std::optional<std::int64_t> FindTag(const DataImage &image, std::int64_t start);

/// The decoded name of the record at tag, possibly empty; nullopt when no
/// 0x00 ends it inside the image.
[[nodiscard]] std::optional<std::string> ReadModelName(const DataImage &image, std::int64_t tag);

/// Rebuilds state.Catalogue from state.Image; returns false, changing
/// nothing, when the image is empty.
bool ScanCatalogue(EngineState &state);

/// LoadDataFile, then ScanCatalogue, as one: a load or a scan that fails
/// leaves the image and the catalogue as they were, both describing the
/// same file. Returns whether the scan ran.
bool LoadAndScan(EngineState &state, const std::filesystem::path &path);

// --- Lookup ---

/// c with only the 26 Latin letters upper-cased: the case that lookups and
/// file names ignore. Cyrillic bytes stay as they are.
[[nodiscard]] inline char LatinUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

/// True when typed is a non-empty prefix of candidate, Latin letters
/// compared without case.
[[nodiscard]] bool MatchesPrefix(std::string_view typed, std::string_view candidate);

/// The last entry whose name (or product number) starts with typed.
[[nodiscard]] MatchIndex FindByModel(const Catalogue &catalogue, std::string_view typed);
[[nodiscard]] MatchIndex FindByProductNumber(const Catalogue &catalogue, std::string_view typed);

/// Every entry whose name (or product number) starts with typed, in file
/// order.
[[nodiscard]] std::vector<MatchIndex> FindAllByModel(const Catalogue &catalogue, std::string_view typed);
[[nodiscard]] std::vector<MatchIndex> FindAllByProductNumber(const Catalogue &catalogue, std::string_view typed);

/// The first entry named exactly text; throws ListIndexError(ModelCount).
[[nodiscard]] MatchIndex FindExactModel(const Catalogue &catalogue, std::string_view text);

// --- Hex rows and export ---

/// Two upper-case hex digits, high four bits first. Inline: the scan makes
/// four for every record.
[[nodiscard]] inline std::string ByteToHex(std::uint8_t byte)
{
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

/// The 256 bytes of entry i's firmware image in state.Image. Throws
/// EngineError when a stale catalogue places them outside the bytes loaded.
[[nodiscard]] const std::uint8_t *FirmwareImage(const EngineState &state, MatchIndex i);

/// The 16 hex rows of entry i's firmware image.
[[nodiscard]] std::array<std::string, kHexRowCount> ShowImage(const EngineState &state, MatchIndex i);

/// ProductNumber + "_" + ModelName + ".BIN".
[[nodiscard]] std::string DefaultOutputName(const Catalogue &catalogue, MatchIndex i);
/// The same from the two fields' texts, or from only the start of the name.
[[nodiscard]] std::string DefaultOutputName(std::string_view productNumber, std::string_view modelName);

/// The export file of entry i: 256 zero bytes, then its firmware image.
[[nodiscard]] std::array<std::uint8_t, kExportSize> ExportFile(const EngineState &state, MatchIndex i);

/// Writes 256 zero bytes and the firmware image of the entry named exactly
/// modelText to path. selected, when it is named modelText, is the entry
/// written; otherwise the first entry of that name. A failed write leaves
/// the file that was at path as it was (see WriteWholeFile).
void SaveImage(const EngineState &state, std::string_view modelText, const std::filesystem::path &path,
               std::optional<MatchIndex> selected = std::nullopt);

// --- Many exports into one folder ---

/// name with every character that a file system refuses ("/", NUL, control
/// characters and <>:"\|?* of Windows) turned into "_".
[[nodiscard]] std::string SafeFileName(std::string_view name);

/// File names for writing names[0], names[1], ... into one folder: each made
/// safe, and each that equals an earlier one, Latin case ignored, given
/// " (2)", " (3)", ... before its extension. The first keeps the name. A
/// name too long for a file system (over 255 bytes) is cut short before
/// its extension, never inside a UTF-8 character.
[[nodiscard]] std::vector<std::string> BatchFileNames(std::span<const std::string> names);

/// BatchFileNames of the entries' default output names, in UTF-8. Only the
/// start of each name that a file name can hold is read, so that names that
/// run into one another cost what their file names do, not their lengths.
[[nodiscard]] std::vector<std::string> BatchFileNames(const Catalogue &catalogue, std::span<const MatchIndex> entries);

} // namespace tarvidon
