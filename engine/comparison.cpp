// Identifying a dump among the catalogue's images, and comparing two
// versions of a catalogue.

#include "comparison.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <new>
#include <random>
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

// An entry in the order that pairs records: by name, cheaply by the name's
// hash and length first, then in file order.
struct Keyed {
    std::uint64_t hash;
    MatchIndex index;
};

// A polynomial hash of a name, the same for equal names of any catalogue:
// two of them, modulo two primes below 2^31, so that each step fits in 64
// bits. The bases are drawn afresh each run, so that no file can be made
// for names to collide.
class NameHash {
public:
    NameHash()
    {
        std::random_device random;
        for (std::size_t k = 0; k < parts_.size(); ++k)
            parts_[k] = {kPrimes[k], 2 + random() % (kPrimes[k] - 2)};
    }

    // Every entry with its name's hash. Names that end together are
    // suffixes of the longest, whose hash is built from its end a byte at a
    // time: each name's comes out on the way, so that names running into one
    // another cost what the longest holds, not the sum of their lengths.
    std::vector<Keyed> of(const Catalogue &catalogue) const
    {
        std::vector<Keyed> hashes(static_cast<std::size_t>(catalogue.ModelCount()));
        for (MatchIndex last = catalogue.ModelCount() - 1; last >= 0;) {
            const std::string_view shortest = catalogue.ModelName(last);
            std::array<std::uint64_t, 2> h{};
            const char *at = shortest.data() + shortest.size();
            MatchIndex i = last;
            for (; i >= 0; --i) {
                const std::string_view name = catalogue.ModelName(i);
                if (name.data() + name.size() != shortest.data() + shortest.size())
                    break;
                for (; at != name.data(); --at) {
                    for (std::size_t k = 0; k < parts_.size(); ++k)
                        h[k] = (static_cast<unsigned char>(at[-1]) + parts_[k].base * h[k]) % parts_[k].prime;
                }
                hashes[static_cast<std::size_t>(i)] = {h[0] << 32 | h[1], i};
            }
            last = i;
        }
        return hashes;
    }

private:
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
    // Hashes that collide often, so that names are told apart by their bytes.
    static constexpr std::array<std::uint64_t, 2> kPrimes{7, 5};
#else
    static constexpr std::array<std::uint64_t, 2> kPrimes{2147483647, 2147483629};
#endif
    struct Part {
        std::uint64_t prime = 0;
        std::uint64_t base = 0;
    };
    std::array<Part, 2> parts_;
};

// Names of one hash and one length, ordered by their bytes: <0, 0 or >0.
// Equal names cost a comparison of every byte, and names that end together
// are suffixes of one text: once two such texts are known to end alike for
// a length, every pair of their names within it is known equal, so that a
// run compared with itself reads each byte about once. What is known is
// kept for a bounded number of pairs of texts, each known by where it ends.
class NameBytes {
public:
    int compare(std::string_view a, std::string_view b)
    {
        if (a.size() < kWorthKnowing)
            return a.compare(b);
        if (endAlike_.size() >= kMostKnown)
            endAlike_.clear();
        std::size_t &alike = endAlike_[{a.data() + a.size(), b.data() + b.size()}];
        if (alike >= a.size())
            return 0;
        const int order = a.substr(0, a.size() - alike).compare(b.substr(0, b.size() - alike));
        if (order == 0)
            alike = a.size();
        return order;
    }

private:
    static constexpr std::size_t kWorthKnowing = 256;
    static constexpr std::size_t kMostKnown = 1 << 16;
    using Ends = std::pair<const char *, const char *>;
    struct HashEnds {
        std::size_t operator()(const Ends &ends) const
        {
            return std::hash<const char *>()(ends.first) * 31 + std::hash<const char *>()(ends.second);
        }
    };
    std::unordered_map<Ends, std::size_t, HashEnds> endAlike_;
};

// Names ordered by hash, then length, then bytes, across two catalogues.
int CompareNames(const Keyed &a, const Catalogue &aCatalogue, const Keyed &b, const Catalogue &bCatalogue,
                 NameBytes &bytes)
{
    if (a.hash != b.hash)
        return a.hash < b.hash ? -1 : 1;
    const std::string_view aName = aCatalogue.ModelName(a.index), bName = bCatalogue.ModelName(b.index);
    if (aName.size() != bName.size())
        return aName.size() < bName.size() ? -1 : 1;
    return bytes.compare(aName, bName);
}

// Sorting a million names by their text costs a cache miss a comparison;
// hashes sort fast and the names are compared only where the hashes agree.
// occurrence counts each entry's name so far in file order, 1 for the first.
std::vector<Keyed> ByNameAndOccurrence(const Catalogue &catalogue, const NameHash &nameHash, NameBytes &bytes,
                                       std::vector<std::int64_t> &occurrence)
{
    std::vector<Keyed> keyed = nameHash.of(catalogue);
    const auto byName = [&](const Keyed &a, const Keyed &b) { return CompareNames(a, catalogue, b, catalogue, bytes); };
    std::sort(keyed.begin(), keyed.end(), [&](const Keyed &a, const Keyed &b) {
        const int order = byName(a, b);
        return order != 0 ? order < 0 : a.index < b.index;
    });
    occurrence.assign(keyed.size(), 1);
    for (std::size_t k = 1; k < keyed.size(); ++k) {
        if (byName(keyed[k - 1], keyed[k]) == 0)
            occurrence[static_cast<std::size_t>(keyed[k].index)] = occurrence[static_cast<std::size_t>(keyed[k - 1].index)] + 1;
    }
    return keyed;
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
    // (differing bytes, index), ordered by the count, then in file order:
    // the nearest so far, the farthest of them on top, so that a catalogue
    // of millions costs no more memory than the answer.
    const auto kept = static_cast<std::size_t>(std::clamp<std::int64_t>(count, 0, state.Catalogue.ModelCount()));
    std::vector<std::pair<int, MatchIndex>> nearest;
    nearest.reserve(kept);
    for (MatchIndex i = 0; i < state.Catalogue.ModelCount() && kept > 0; ++i) {
        const std::pair<int, MatchIndex> ranked(CountDifferingBytes(ImageOfEntry(state, i), image), i);
        if (nearest.size() == kept) {
            if (!(ranked < nearest.front()))
                continue;
            std::pop_heap(nearest.begin(), nearest.end());
            nearest.back() = ranked;
        } else {
            nearest.push_back(ranked);
        }
        std::push_heap(nearest.begin(), nearest.end());
    }
    std::sort_heap(nearest.begin(), nearest.end());

    std::vector<ImageMatch> matches;
    matches.reserve(kept);
    for (const auto &[differing, index] : nearest)
        matches.push_back({index, DifferingOffsets(ImageOfEntry(state, index), image)});
    return matches;
}

CatalogueChanges PairAndCompare(const EngineState &before, const EngineState &after)
{
    const Catalogue &oldCatalogue = before.Catalogue, &newCatalogue = after.Catalogue;
    const NameHash nameHash;
    NameBytes bytes;
    std::vector<std::int64_t> oldOccurrence, newOccurrence;
    const std::vector<Keyed> oldKeyed = ByNameAndOccurrence(oldCatalogue, nameHash, bytes, oldOccurrence);
    const std::vector<Keyed> newKeyed = ByNameAndOccurrence(newCatalogue, nameHash, bytes, newOccurrence);

    // Both in that order at once: among equal names the k-th of the old file
    // meets the k-th of the new one, its partner. The results are then
    // gathered in file order.
    std::vector<MatchIndex> partner(oldKeyed.size(), kNoMatch);
    std::vector<bool> paired(newKeyed.size(), false);
    auto o = oldKeyed.begin(), n = newKeyed.begin();
    while (o != oldKeyed.end() || n != newKeyed.end()) {
        const int order = o == oldKeyed.end()   ? 1
                          : n == newKeyed.end() ? -1
                                                : CompareNames(*o, oldCatalogue, *n, newCatalogue, bytes);
        if (order <= 0) {
            if (order == 0)
                partner[static_cast<std::size_t>(o->index)] = n->index;
            ++o;
        }
        if (order >= 0) {
            paired[static_cast<std::size_t>(n->index)] = order == 0;
            ++n;
        }
    }

    CatalogueChanges changes;
    for (MatchIndex i = 0; i < oldCatalogue.ModelCount(); ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (partner[k] == kNoMatch) {
            changes.removed.push_back({oldOccurrence[k], i, kNoMatch, 0});
            continue;
        }
        const int differing = CountDifferingBytes(ImageOfEntry(before, i), ImageOfEntry(after, partner[k]));
        if (differing > 0)
            changes.changed.push_back({oldOccurrence[k], i, partner[k], differing});
    }
    for (MatchIndex j = 0; j < newCatalogue.ModelCount(); ++j) {
        if (!paired[static_cast<std::size_t>(j)])
            changes.added.push_back({newOccurrence[static_cast<std::size_t>(j)], kNoMatch, j, 0});
    }
    return changes;
}

} // namespace

DumpSizeError::DumpSizeError(std::int64_t size)
    : EngineError("Size is " + std::to_string(size) + " bytes; a dump is an image of "
                  + std::to_string(kImageLength) + " bytes or an export file of " + std::to_string(kExportSize)
                  + " bytes"),
      size_(size)
{
}

std::vector<OffsetRun> RunsOf(const std::vector<int> &offsets)
{
    std::vector<OffsetRun> runs;
    for (const int offset : offsets) {
        if (!runs.empty() && offset == runs.back().last + 1)
            runs.back().last = offset;
        else
            runs.push_back({offset, offset});
    }
    return runs;
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
    // Eight bytes at a time: each differing byte leaves a bit of its own
    // once its bits are folded onto its lowest.
    constexpr std::uint64_t kLowBits = 0x0101010101010101;
    int count = 0;
    for (std::size_t k = 0; k < a.size(); k += 8) {
        std::uint64_t x = 0, y = 0;
        std::memcpy(&x, a.data() + k, 8);
        std::memcpy(&y, b.data() + k, 8);
        std::uint64_t differ = x ^ y;
        differ |= differ >> 4;
        differ |= differ >> 2;
        differ |= differ >> 1;
        count += std::popcount(differ & kLowBits);
    }
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
