#include "name_sort.h"

#include "suffix_array.h"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <numeric>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

namespace tarvidon {

namespace {


// Eight bytes of a text's sort key from depth on, packed so that the
// numbers compare as the keys do; a text that ends is padded with 0.
std::uint64_t SortKeyChunk(const SortRanks &ranks, std::string_view text, std::size_t depth)
{
    std::uint64_t chunk = 0;
    for (std::size_t k = depth; k < depth + 8; ++k)
        chunk = chunk << 8 | (k < text.size() ? ranks[static_cast<unsigned char>(text[k])] : 0);
    return chunk;
}

bool EndsIn(std::uint64_t chunk)
{
    return (chunk & 0xFF) == 0;
}

struct Keyed {
    std::uint64_t chunk; // of the key, at the depth its range is sorted on
    std::uint64_t next;  // the eight key bytes after chunk's, where known
    std::uint32_t position;
};

// Stable LSD radix sort on the chunks, a byte a pass; a pass in which every
// item has the same byte changes nothing and is skipped.
void RadixSort(std::span<Keyed> items, LargeVector<Keyed> &scratch)
{
    std::array<std::array<std::size_t, 256>, 8> counts{};
    for (const Keyed &item : items)
        for (std::size_t b = 0; b < 8; ++b)
            ++counts[b][item.chunk >> (8 * b) & 0xFF];
    scratch.resize(items.size());
    std::span<Keyed> from = items;
    std::span<Keyed> to(scratch.data(), items.size());
    for (std::size_t b = 0; b < 8; ++b) {
        std::array<std::size_t, 256> &next = counts[b];
        if (std::find(next.begin(), next.end(), items.size()) != next.end())
            continue;
        std::exclusive_scan(next.begin(), next.end(), next.begin(), std::size_t{0});
        for (const Keyed &item : from)
            to[next[item.chunk >> (8 * b) & 0xFF]++] = item;
        std::swap(from, to);
    }
    if (from.data() != items.data())
        std::copy(from.begin(), from.end(), items.begin());
}

// Most-significant-digit first, eight key bytes a digit: a range of equal
// chunks is sorted again on the next eight, and a small range is finished
// by comparing the rest of its keys. Every step keeps equal keys in
// position order. Sixteen key bytes are read while the texts are visited in
// order, as the second digit is where most names still tie; reading a text
// again later costs a cache miss each. Gives up once it has read more
// chunks than a budget: keys that share long starts make it slow.
class KeySorter {
public:
    KeySorter(std::int64_t count, const TextAt &textAt, const SortRanks &ranks)
        : textAt_(textAt), ranks_(ranks), items_(static_cast<std::size_t>(count))
    {
        for (std::size_t k = 0; k < items_.size(); ++k) {
            const std::string_view text = textAt(static_cast<std::int64_t>(k));
            items_[k] = {SortKeyChunk(ranks, text, 0), SortKeyChunk(ranks, text, 8), static_cast<std::uint32_t>(k)};
        }
    }

    std::optional<LargeVector<std::int64_t>> positions(std::uint64_t budget)
    {
        budget_ = budget;
        std::vector<Range> pending{{0, items_.size(), 0, true}};
        while (!pending.empty()) {
            if (chunksRead_ > budget_)
                return std::nullopt;
            const Range range = pending.back();
            pending.pop_back();
            if (range.end - range.begin <= kSmallRange)
                finish(range);
            else
                sortOnChunk(range, pending);
        }
        if (chunksRead_ > budget_)
            return std::nullopt;
        LargeVector<std::int64_t> positions(items_.size());
        std::transform(items_.begin(), items_.end(), positions.begin(), [](const Keyed &k) { return k.position; });
        return positions;
    }

private:
    static constexpr std::size_t kSmallRange = 32;
    struct Range {
        std::size_t begin, end, depth;
        bool nextKnown;
    };

    std::span<Keyed> itemsOf(std::size_t begin, std::size_t end) { return {items_.data() + begin, end - begin}; }

    void sortOnChunk(const Range &range, std::vector<Range> &pending)
    {
        chunksRead_ += range.end - range.begin;
        RadixSort(itemsOf(range.begin, range.end), scratch_);
        for (std::size_t begin = range.begin, end = begin; begin < range.end; begin = end) {
            while (end < range.end && items_[end].chunk == items_[begin].chunk)
                ++end;
            if (end - begin < 2 || EndsIn(items_[begin].chunk))
                continue;
            for (Keyed &item : itemsOf(begin, end))
                item.chunk = range.nextKnown ? item.next : SortKeyChunk(ranks_, textAt_(item.position), range.depth + 8);
            pending.push_back({begin, end, range.depth + 8, false});
        }
    }

    void finish(const Range &range)
    {
        std::sort(items_.begin() + static_cast<std::ptrdiff_t>(range.begin),
                  items_.begin() + static_cast<std::ptrdiff_t>(range.end), [&](const Keyed &a, const Keyed &b) {
                      if (a.chunk != b.chunk || EndsIn(a.chunk))
                          return a.chunk != b.chunk ? a.chunk < b.chunk : a.position < b.position;
                      if (!range.nextKnown)
                          return restLess(a, b, range.depth + 8);
                      if (a.next != b.next || EndsIn(a.next))
                          return a.next != b.next ? a.next < b.next : a.position < b.position;
                      return restLess(a, b, range.depth + 16);
                  });
    }

    bool restLess(const Keyed &a, const Keyed &b, std::size_t depth)
    {
        const std::string_view textA = textAt_(a.position), textB = textAt_(b.position);
        for (;; depth += 8) {
            if (++chunksRead_ > budget_)
                return a.position < b.position; // the order is given up anyway
            const std::uint64_t chunkA = SortKeyChunk(ranks_, textA, depth), chunkB = SortKeyChunk(ranks_, textB, depth);
            if (chunkA != chunkB)
                return chunkA < chunkB;
            if (EndsIn(chunkA))
                return a.position < b.position;
        }
    }

    const TextAt &textAt_;
    const SortRanks &ranks_;
    LargeVector<Keyed> items_;
    LargeVector<Keyed> scratch_;
    std::uint64_t chunksRead_ = 0;
    std::uint64_t budget_ = 0;
};

// Texts that share their last byte share their bytes: the longest of them
// holds the others as suffixes. Consecutive positions ending alike make a
// group.
struct Group {
    std::int64_t firstPosition;
    const char *begin; // of the longest text
    const char *end;
};

struct Groups {
    std::vector<Group> groups;    // only where asked for: a suffix sort needs them
    std::size_t groupCount = 0;
    std::uint64_t heldBytes = 0;  // what the groups' longest texts hold
    std::uint64_t textBytes = 0;  // the texts' lengths, summed
    std::int64_t startAlike = 0;  // texts that start as the one before in their group
};

// Texts of one group that start alike for this long share far longer
// starts, as where records repeat in a long run.
constexpr std::size_t kAlikeStart = 16;

// Listing the groups of a million texts that are each a group of its own
// costs more than measuring them, which is all that choosing a sort needs.
Groups GroupsOf(std::int64_t count, const TextAt &textAt, bool listed)
{
    Groups result;
    Group group{};
    const auto close = [&] {
        result.heldBytes += static_cast<std::uint64_t>(group.end - group.begin);
        if (listed)
            result.groups.push_back(group);
    };
    std::string_view previous;
    for (std::int64_t position = 0; position < count; ++position) {
        const std::string_view text = textAt(position);
        const char *end = text.data() + text.size();
        if (position == 0 || group.end != end) {
            if (position > 0)
                close();
            group = {position, text.data(), end};
            ++result.groupCount;
        } else if (text.size() >= kAlikeStart && previous.size() >= kAlikeStart
                   && text.substr(0, kAlikeStart) == previous.substr(0, kAlikeStart)) {
            ++result.startAlike;
        }
        group.begin = std::min(group.begin, text.data());
        result.textBytes += text.size();
        previous = text;
    }
    if (count > 0)
        close();
    return result;
}

// Sorting by radix costs about the bytes that tell the keys apart, so
// never more than the texts hold; as suffixes, about what the groups hold,
// some dozen times more a byte than a radix sort's eight-byte chunk. Where
// texts overlap much, the radix sort gets a share of the suffix sort's
// time, and the suffix sort what it does not finish in it.
constexpr std::uint64_t kOverlapWorthSuffixSorting = 32;
constexpr std::uint64_t kChunksATextTakes = 1;
constexpr std::uint64_t kHeldBytesAChunk = 16;

bool SuffixSortable(std::int64_t count, const Groups &groups)
{
    const std::uint64_t text = groups.heldBytes + groups.groupCount;
    return groups.textBytes > kOverlapWorthSuffixSorting * text
        && text + 256 < static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())
        && count < std::numeric_limits<std::int32_t>::max();
}

// The groups' texts one after another, each followed by a terminator that
// sorts before every character: a text that ends sorts first, as its key
// does. The terminators rise with the groups' positions, so that equal
// texts of different groups come out in position order; equal texts of one
// group are one and the same suffix.
template <typename Symbol>
LargeVector<Symbol> SuffixText(const Groups &groups, const SortRanks &ranks)
{
    const auto terminators = static_cast<Symbol>(groups.groups.size());
    LargeVector<Symbol> text(groups.heldBytes + groups.groups.size());
    auto out = text.begin();
    for (std::size_t g = 0; g < groups.groups.size(); ++g) {
        out = std::transform(groups.groups[g].begin, groups.groups[g].end, out, [&](char c) {
            return static_cast<Symbol>(terminators + ranks[static_cast<unsigned char>(c)] - 1);
        });
        *out++ = static_cast<Symbol>(g);
    }
    return text;
}

// Which suffixes of the text are where texts start, and the positions of
// the texts that start at each, ascending.
class TextStarts {
public:
    TextStarts(std::int64_t count, const TextAt &textAt, const Groups &groups)
        : marks_((groups.heldBytes + groups.groups.size()) / 64 + 1) // the suffix text's length

    {
        // In position order the starts rise, as records follow one another
        // in a file; elsewhere they are sorted here.
        std::size_t g = 0;
        std::uint64_t groupStart = 0;
        for (std::int64_t position = 0; position < count; ++position) {
            for (; g + 1 < groups.groups.size() && groups.groups[g + 1].firstPosition <= position; ++g)
                groupStart += static_cast<std::uint64_t>(groups.groups[g].end - groups.groups[g].begin) + 1;
            const std::string_view text = textAt(position);
            starts_.push_back({groupStart + static_cast<std::uint64_t>(text.data() - groups.groups[g].begin),
                               static_cast<std::uint32_t>(position)});
        }
        if (!std::is_sorted(starts_.begin(), starts_.end()))
            std::sort(starts_.begin(), starts_.end());
        for (std::size_t k = 0; k < starts_.size(); ++k) {
            const std::uint64_t at = starts_[k].offset;
            if (k == 0 || at != starts_[k - 1].offset) {
                firstOfEach_.push_back(static_cast<std::uint32_t>(k));
                marks_[at / 64].bits |= std::uint64_t{1} << (at % 64);
            }
        }
        firstOfEach_.push_back(static_cast<std::uint32_t>(starts_.size()));
        std::uint32_t before = 0;
        for (Mark &mark : marks_) {
            mark.before = before;
            before += static_cast<std::uint32_t>(std::popcount(mark.bits));
        }
    }

    // Calls take(position) for each text starting at offset.
    template <typename Take>
    void forEachAt(std::uint64_t offset, Take take) const
    {
        const Mark &mark = marks_[offset / 64];
        const std::uint64_t bit = std::uint64_t{1} << (offset % 64);
        if ((mark.bits & bit) == 0)
            return;
        const std::size_t each = mark.before + static_cast<std::size_t>(std::popcount(mark.bits & (bit - 1)));
        for (std::uint32_t k = firstOfEach_[each]; k < firstOfEach_[each + 1]; ++k)
            take(starts_[k].position);
    }

private:
    struct Start {
        std::uint64_t offset;
        std::uint32_t position;
        bool operator<(const Start &other) const
        {
            return offset != other.offset ? offset < other.offset : position < other.position;
        }
    };
    struct Mark {
        std::uint64_t bits = 0;   // one for each offset where a text starts
        std::uint32_t before = 0; // how many such offsets come before these
    };
    LargeVector<Start> starts_;
    LargeVector<std::uint32_t> firstOfEach_; // into starts_, for each offset with starts
    LargeVector<Mark> marks_;
};

LargeVector<std::int64_t> SortedAsSuffixes(std::int64_t count, const TextAt &textAt, const SortRanks &ranks)
{
    const Groups groups = GroupsOf(count, textAt, true);
    const TextStarts starts(count, textAt, groups);
    const auto alphabet = static_cast<std::int32_t>(groups.groups.size() + 255);
    const LargeVector<std::int32_t> suffixes = alphabet <= 0x7FFF
        ? SuffixArray(SuffixText<std::uint16_t>(groups, ranks), alphabet)
        : SuffixArray(SuffixText<std::int32_t>(groups, ranks), alphabet);
    LargeVector<std::int64_t> positions;
    positions.reserve(static_cast<std::size_t>(count));
    for (const std::int32_t suffix : suffixes)
        starts.forEachAt(static_cast<std::uint64_t>(suffix), [&](std::uint32_t p) { positions.push_back(p); });
    return positions;
}

} // namespace

LargeVector<std::int64_t> SortedByRanks(std::int64_t count, const TextAt &textAt, const SortRanks &ranks)
{
    if (std::find(ranks.begin(), ranks.end(), 0) != ranks.end())
        throw std::invalid_argument("a character ranked as the end of a text");
    if (count < 0 || static_cast<std::uint64_t>(count) > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many texts to sort");
    const Groups groups = GroupsOf(count, textAt, false);
    const bool suffixSortable = SuffixSortable(count, groups);
    if (suffixSortable && groups.startAlike > count / 2)
        return SortedAsSuffixes(count, textAt, ranks); // a radix sort would be slow to give up
    const std::uint64_t budget = suffixSortable
        ? kChunksATextTakes * static_cast<std::uint64_t>(count) + groups.heldBytes / kHeldBytesAChunk
        : std::numeric_limits<std::uint64_t>::max();
    if (auto positions = KeySorter(count, textAt, ranks).positions(budget))
        return std::move(*positions);
    return SortedAsSuffixes(count, textAt, ranks);
}

std::int64_t FirstStartingWith(std::int64_t count, const TextAt &sortedTextAt, std::string_view typed,
                               const SortRanks &ranks)
{
    if (typed.empty())
        return -1;
    const auto rank = [&](char c) { return ranks[static_cast<unsigned char>(c)]; };
    // Whether the text sorts before every text that starts with typed.
    const auto before = [&](std::string_view text) {
        for (std::size_t k = 0; k < typed.size(); ++k) {
            if (k == text.size())
                return true;
            if (rank(text[k]) != rank(typed[k]))
                return rank(text[k]) < rank(typed[k]);
        }
        return false;
    };
    std::int64_t first = 0;
    for (std::int64_t left = count; left > 0;) {
        const std::int64_t half = left / 2;
        if (before(sortedTextAt(first + half))) {
            first += half + 1;
            left -= half + 1;
        } else {
            left = half;
        }
    }
    if (first == count)
        return -1;
    const std::string_view text = sortedTextAt(first);
    const bool starts = text.size() >= typed.size()
        && std::equal(typed.begin(), typed.end(), text.begin(), [&](char a, char b) { return rank(a) == rank(b); });
    return starts ? first : -1;
}

} // namespace tarvidon
