#include "text.h"

#include "code_page.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <numeric>
#include <span>
#include <stdexcept>

namespace tarvidon {

namespace {

// The rank of every byte's case-folded character among all folded forms,
// counted from 1: 0 is left free to stand for "the text has ended", which
// sorts before every character.
struct CodePage {
    std::array<std::uint8_t, 256> foldedRank{};

    CodePage()
    {
        std::array<char16_t, 256> folded{};
        for (int b = 0; b < 256; ++b)
            folded[b] = QChar(Cp1251ToUnicode(static_cast<unsigned char>(b))).toCaseFolded().unicode();
        std::array<char16_t, 256> order = folded;
        std::sort(order.begin(), order.end());
        for (int b = 0; b < 256; ++b) {
            // Folding merges case pairs, so fewer than 255 distinct forms remain.
            const auto rank = std::lower_bound(order.begin(), order.end(), folded[b]) - order.begin() + 1;
            foldedRank[b] = static_cast<std::uint8_t>(rank);
        }
    }
};

const CodePage &Table()
{
    static const CodePage table;
    return table;
}

} // namespace

QString FromEngineText(std::string_view bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    std::transform(bytes.begin(), bytes.end(), text.begin(),
                   [](char byte) { return QChar(Cp1251ToUnicode(static_cast<unsigned char>(byte))); });
    return text;
}

std::string ToEngineText(const QString &text)
{
    std::string result;
    result.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) {
        const std::optional<char> byte = UnicodeToCp1251(c.unicode());
        if (!byte) {
            result.insert(result.begin(), '\0');
            break;
        }
        result += *byte;
    }
    return result;
}

std::filesystem::path FilePath(const QString &name)
{
#ifdef _WIN32
    return name.toStdWString();
#else
    const QByteArray bytes = QFile::encodeName(name);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
#endif
}

QString FileName(const std::filesystem::path &path)
{
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

void AppendCaseInsensitiveSortKey(std::string &key, std::string_view text)
{
    const CodePage &table = Table();
    for (const char byte : text)
        key += static_cast<char>(table.foldedRank[static_cast<unsigned char>(byte)]);
}

namespace {

// Eight bytes of a text's sort key from depth on, packed so that the
// numbers compare as the keys do; a text that ends is padded with 0.
std::uint64_t SortKeyChunk(std::string_view text, std::size_t depth)
{
    const CodePage &table = Table();
    std::uint64_t chunk = 0;
    for (std::size_t k = depth; k < depth + 8; ++k)
        chunk = chunk << 8 | (k < text.size() ? table.foldedRank[static_cast<unsigned char>(text[k])] : 0);
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
// again later costs a cache miss each.
class KeySorter {
public:
    KeySorter(std::int64_t count, const TextAt &textAt) : textAt_(textAt), items_(static_cast<std::size_t>(count))
    {
        for (std::size_t k = 0; k < items_.size(); ++k) {
            const std::string_view text = textAt(static_cast<std::int64_t>(k));
            items_[k] = {SortKeyChunk(text, 0), SortKeyChunk(text, 8), static_cast<std::uint32_t>(k)};
        }
    }

    LargeVector<std::int64_t> positions()
    {
        std::vector<Range> pending{{0, items_.size(), 0, true}};
        while (!pending.empty()) {
            const Range range = pending.back();
            pending.pop_back();
            if (range.end - range.begin <= kSmallRange)
                finish(range);
            else
                sortOnChunk(range, pending);
        }
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
        RadixSort(itemsOf(range.begin, range.end), scratch_);
        for (std::size_t begin = range.begin, end = begin; begin < range.end; begin = end) {
            while (end < range.end && items_[end].chunk == items_[begin].chunk)
                ++end;
            if (end - begin < 2 || EndsIn(items_[begin].chunk))
                continue;
            for (Keyed &item : itemsOf(begin, end))
                item.chunk = range.nextKnown ? item.next : SortKeyChunk(textAt_(item.position), range.depth + 8);
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

    bool restLess(const Keyed &a, const Keyed &b, std::size_t depth) const
    {
        const std::string_view textA = textAt_(a.position), textB = textAt_(b.position);
        for (;; depth += 8) {
            const std::uint64_t chunkA = SortKeyChunk(textA, depth), chunkB = SortKeyChunk(textB, depth);
            if (chunkA != chunkB)
                return chunkA < chunkB;
            if (EndsIn(chunkA))
                return a.position < b.position;
        }
    }

    const TextAt &textAt_;
    LargeVector<Keyed> items_;
    LargeVector<Keyed> scratch_;
};

} // namespace

LargeVector<std::int64_t> SortedByCaseInsensitiveKey(std::int64_t count, const TextAt &textAt)
{
    if (count < 0 || static_cast<std::uint64_t>(count) > std::numeric_limits<std::uint32_t>::max())
        throw std::length_error("too many texts to sort");
    return KeySorter(count, textAt).positions();
}

} // namespace tarvidon
