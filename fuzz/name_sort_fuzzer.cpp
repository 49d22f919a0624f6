// Treats its input as a data file and sorts its model names and product
// numbers as the window's lists do, under a rank table the input picks;
// then looks up the first listed text starting with texts taken from the
// input, as completion does. Each result is checked against
// std::stable_sort with the same key and a walk of the whole sorted list.

#include "catalogue.h"
#include "check.h"
#include "name_sort.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace tarvidon;
using tarvidon::fuzz::Check;

// Latin letters folded, as lookups fold them, and every byte turned by
// turn places: orders that merge some bytes and keep others apart, each
// rank from 1 to 255 (255 and 0 merge to make room).
SortRanks RanksTurnedBy(std::uint8_t turn)
{
    SortRanks ranks{};
    for (int b = 0; b < 256; ++b)
        ranks[static_cast<std::size_t>(b)] =
            static_cast<std::uint8_t>(1 + (static_cast<unsigned char>(LatinUpper(static_cast<char>(b))) + turn) % 255);
    return ranks;
}

// A text's ranks as bytes: keys that compare as the texts should.
std::string KeyOf(const SortRanks &ranks, std::string_view text)
{
    std::string key(text.size(), '\0');
    std::transform(text.begin(), text.end(), key.begin(),
                   [&](char c) { return static_cast<char>(ranks[static_cast<unsigned char>(c)]); });
    return key;
}

void CheckList(const std::vector<std::string_view> &texts, const SortRanks &ranks,
               const std::vector<std::string_view> &typedTexts)
{
    const auto count = static_cast<std::int64_t>(texts.size());
    const LargeVector<std::int64_t> sorted =
        SortedByRanks(count, [&](std::int64_t k) { return texts[static_cast<std::size_t>(k)]; }, ranks);
    std::vector<std::string> keys;
    for (const std::string_view text : texts)
        keys.push_back(KeyOf(ranks, text));
    std::vector<std::int64_t> expected(texts.size());
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(), [&](std::int64_t a, std::int64_t b) {
        return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
    });
    Check(std::equal(sorted.begin(), sorted.end(), expected.begin(), expected.end()), "sorted order");

    const auto sortedText = [&](std::int64_t row) { return texts[static_cast<std::size_t>(expected[static_cast<std::size_t>(row)])]; };
    for (const std::string_view typed : typedTexts) {
        const std::string typedKey = KeyOf(ranks, typed);
        std::int64_t first = -1;
        for (std::int64_t row = 0; row < count && first < 0 && !typed.empty(); ++row) {
            if (keys[static_cast<std::size_t>(expected[static_cast<std::size_t>(row)])].starts_with(typedKey))
                first = row;
        }
        Check(FirstStartingWith(count, sortedText, typed, ranks) == first, "first row starting with");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const Catalogue catalogue = BuildCatalogue(DataImage::FromBytes({data, size}));
    const SortRanks ranks = RanksTurnedBy(data[0]);
    std::vector<std::string_view> names, numbers;
    for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i) {
        names.push_back(catalogue.ModelName(i));
        numbers.push_back(catalogue.ProductNumber(i));
    }
    // Typed text: the input's own start, and a name and a product number
    // of the middle entry, whole and cut short.
    std::vector<std::string_view> typed{{reinterpret_cast<const char *>(data), std::min<std::size_t>(size, 4)}};
    if (!names.empty()) {
        const std::size_t middle = names.size() / 2;
        typed.insert(typed.end(), {names[middle], names[middle].substr(0, names[middle].size() / 2),
                                   numbers[middle].substr(0, 3)});
    }
    CheckList(names, ranks, typed);
    CheckList(numbers, ranks, typed);
    return 0;
}
