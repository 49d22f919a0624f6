#pragma once

// Comparing firmware images: which catalogue entries a dump read back from
// a device holds, or comes closest to, and what changed between two
// versions of a catalogue.
// The searches throw OutOfMemoryError when their bookkeeping (a few words an
// entry) does not fit.

#include "catalogue.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace tarvidon {

/// The 256 bytes of one firmware image.
using ImageView = std::span<const std::uint8_t, static_cast<std::size_t>(kImageLength)>;

/// A dump whose size is neither an image's nor an export file's.
class DumpSizeError : public EngineError {
public:
    explicit DumpSizeError(std::int64_t size);
    [[nodiscard]] std::int64_t size() const { return size_; }

private:
    std::int64_t size_;
};

/// The image a dump holds: all of a 256-byte dump, or the last 256 bytes of
/// a 512-byte one (the export layout, whatever its first half holds).
/// Throws DumpSizeError for any other size.
[[nodiscard]] ImageView ImageOfDump(std::span<const std::uint8_t> dump);

/// The image of the dump in the file at path, as ImageOfDump finds it. A
/// larger file than an export file is refused by its size: no more than one
/// byte past an export file is read. Throws DumpSizeError, or IoError as
/// loading a data file does.
[[nodiscard]] std::array<std::uint8_t, ImageView::extent> ReadDumpImage(const std::filesystem::path &path);

/// The number of offsets at which a and b differ.
[[nodiscard]] int CountDifferingBytes(ImageView a, ImageView b);

/// The offsets 0-255 at which a and b differ, ascending.
[[nodiscard]] std::vector<int> DifferingOffsets(ImageView a, ImageView b);

/// Offsets first to last, each one more than the one before.
struct OffsetRun {
    int first = 0;
    int last = 0;
    bool operator==(const OffsetRun &) const = default;
};

/// Ascending offsets as runs of consecutive ones.
[[nodiscard]] std::vector<OffsetRun> RunsOf(const std::vector<int> &offsets);

/// A catalogue entry and where its image differs from the one looked for.
struct ImageMatch {
    MatchIndex index = kNoMatch;
    std::vector<int> differingOffsets; // empty when the images are equal
    bool operator==(const ImageMatch &) const = default;
};

/// Every entry whose image equals image, in file order.
[[nodiscard]] std::vector<ImageMatch> FindEqualImages(const EngineState &state, ImageView image);

/// The count entries (count >= 1) whose images differ from image in the
/// fewest bytes, fewest first, ties in file order.
[[nodiscard]] std::vector<ImageMatch> FindNearestImages(const EngineState &state, ImageView image,
                                                        std::int64_t count);

/// One record that differs between two versions of a catalogue. Records pair
/// up by model name and occurrence: the first record named X in the old file
/// with the first named X in the new one, the second with the second...
struct RecordChange {
    std::int64_t occurrence = 0;    // 1 for the first record of its name in its file
    MatchIndex oldIndex = kNoMatch; // none for an added record
    MatchIndex newIndex = kNoMatch; // none for a removed record
    int differingBytes = 0;         // between the two images of a changed record
    bool operator==(const RecordChange &) const = default;
};

struct CatalogueChanges {
    std::vector<RecordChange> added;   // no partner in the old file; new file order
    std::vector<RecordChange> removed; // no partner in the new file; old file order
    std::vector<RecordChange> changed; // the partners' images differ; old file order
    [[nodiscard]] bool empty() const { return added.empty() && removed.empty() && changed.empty(); }
};

/// What changed from before to after.
[[nodiscard]] CatalogueChanges CompareCatalogues(const EngineState &before, const EngineState &after);

} // namespace tarvidon
