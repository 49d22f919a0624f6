// Identifying a dump among the catalogue's images, and comparing two
// versions of a catalogue.

#include "comparison.h"

#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace tarvidon {

namespace {

// The comparisons keep a few words for every entry; a catalogue too large
// for that fails as loading it would.
template <typename Action>
auto OrOutOfMemory(Action action)
{
    try {
        return action();
    } catch (const std::bad_alloc &) {
        throw OutOfMemoryError();
    }
}

ImageView ImageOfEntry(const EngineState &state, MatchIndex i)
{
    return ImageView(FirmwareImage(state, i), ImageView::extent);
}

// A record's key for pairing: its name and which record of that name it is.
struct NameOccurrence {
    std::string_view name;
    std::int64_t occurrence;
    bool operator==(const NameOccurrence &) const = default;
};

struct NameOccurrenceHash {
    std::size_t operator()(const NameOccurrence &key) const
    {
        return std::hash<std::string_view>()(key.name) ^ (static_cast<std::size_t>(key.occurrence) * 0x9E3779B9u);
    }
};

// Each entry's occurrence among the entries of its name, 1 for the first.
std::vector<std::int64_t> Occurrences(const Catalogue &catalogue)
{
    std::unordered_map<std::string_view, std::int64_t> seen;
    seen.reserve(static_cast<std::size_t>(catalogue.ModelCount()));
    std::vector<std::int64_t> occurrences(static_cast<std::size_t>(catalogue.ModelCount()));
    for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i)
        occurrences[static_cast<std::size_t>(i)] = ++seen[catalogue.ModelName(i)];
    return occurrences;
}

std::vector<ImageMatch> EqualImages(const EngineState &state, ImageView image)
{
    std::vector<ImageMatch> matches;
    for (MatchIndex i = 0; i < state.Catalogue.ModelCount(); ++i) {
        const ImageView entry = ImageOfEntry(state, i);
        if (std::equal(entry.begin(), entry.end(), image.begin()))
            matches.push_back({i, {}});
    }
    return matches;
}

std::vector<ImageMatch> RankByDifferingBytes(const EngineState &state, ImageView image, std::int64_t count)
{
    // (differing bytes, index): ordered by the count, then in file order.
    std::vector<std::pair<int, MatchIndex>> ranked;
    ranked.reserve(static_cast<std::size_t>(state.Catalogue.ModelCount()));
    for (MatchIndex i = 0; i < state.Catalogue.ModelCount(); ++i)
        ranked.emplace_back(CountDifferingBytes(ImageOfEntry(state, i), image), i);
    const auto kept = static_cast<std::ptrdiff_t>(std::clamp<std::int64_t>(count, 0, state.Catalogue.ModelCount()));
    std::partial_sort(ranked.begin(), ranked.begin() + kept, ranked.end());

    std::vector<ImageMatch> matches;
    matches.reserve(static_cast<std::size_t>(kept));
    for (auto it = ranked.begin(); it != ranked.begin() + kept; ++it)
        matches.push_back({it->second, DifferingOffsets(ImageOfEntry(state, it->second), image)});
    return matches;
}

CatalogueChanges PairAndCompare(const EngineState &before, const EngineState &after)
{
    const Catalogue &oldCatalogue = before.Catalogue, &newCatalogue = after.Catalogue;
    const std::vector<std::int64_t> oldOccurrences = Occurrences(oldCatalogue);
    const std::vector<std::int64_t> newOccurrences = Occurrences(newCatalogue);
    std::unordered_map<NameOccurrence, MatchIndex, NameOccurrenceHash> newByKey;
    newByKey.reserve(newOccurrences.size());
    for (MatchIndex j = 0; j < newCatalogue.ModelCount(); ++j)
        newByKey.emplace(NameOccurrence{newCatalogue.ModelName(j), newOccurrences[static_cast<std::size_t>(j)]}, j);

    CatalogueChanges changes;
    std::vector<bool> paired(newOccurrences.size(), false);
    for (MatchIndex i = 0; i < oldCatalogue.ModelCount(); ++i) {
        const std::int64_t occurrence = oldOccurrences[static_cast<std::size_t>(i)];
        const auto partner = newByKey.find({oldCatalogue.ModelName(i), occurrence});
        if (partner == newByKey.end()) {
            changes.removed.push_back({occurrence, i, kNoMatch, 0});
            continue;
        }
        const MatchIndex j = partner->second;
        paired[static_cast<std::size_t>(j)] = true;
        const int differing = CountDifferingBytes(ImageOfEntry(before, i), ImageOfEntry(after, j));
        if (differing > 0)
            changes.changed.push_back({occurrence, i, j, differing});
    }
    for (MatchIndex j = 0; j < newCatalogue.ModelCount(); ++j) {
        if (!paired[static_cast<std::size_t>(j)])
            changes.added.push_back({newOccurrences[static_cast<std::size_t>(j)], kNoMatch, j, 0});
    }
    return changes;
}

} // namespace

DumpSizeError::DumpSizeError(std::int64_t size)
    : EngineError("Size is " + std::to_string(size) + " bytes; a dump is an image of "
                  + std::to_string(kImageLength) + " bytes or an export file of " + std::to_string(kExportSize)
                  + " bytes")
{
}

ImageView ImageOfDump(std::span<const std::uint8_t> dump)
{
    if (dump.size() == static_cast<std::size_t>(kImageLength))
        return ImageView(dump.data(), ImageView::extent);
    if (dump.size() == static_cast<std::size_t>(kExportSize))
        return ImageView(dump.data() + kExportPadding, ImageView::extent);
    throw DumpSizeError(static_cast<std::int64_t>(dump.size()));
}

int CountDifferingBytes(ImageView a, ImageView b)
{
    int count = 0;
    for (std::size_t k = 0; k < a.size(); ++k)
        count += a[k] != b[k] ? 1 : 0;
    return count;
}

std::vector<int> DifferingOffsets(ImageView a, ImageView b)
{
    std::vector<int> offsets;
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (a[k] != b[k])
            offsets.push_back(static_cast<int>(k));
    }
    return offsets;
}

std::vector<ImageMatch> FindEqualImages(const EngineState &state, ImageView image)
{
    return OrOutOfMemory([&] { return EqualImages(state, image); });
}

std::vector<ImageMatch> FindNearestImages(const EngineState &state, ImageView image, std::int64_t count)
{
    return OrOutOfMemory([&] { return RankByDifferingBytes(state, image, count); });
}

CatalogueChanges CompareCatalogues(const EngineState &before, const EngineState &after)
{
    return OrOutOfMemory([&] { return PairAndCompare(before, after); });
}

} // namespace tarvidon
