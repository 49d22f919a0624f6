// The combo boxes' order: by radix on the case-insensitive keys, or for
// texts that overlap as records running into one another do, as suffixes.

#include "catalogue.h"
#include "catalogue_list_model.h"
#include "name_sort.h"
#include "qt_printing.h"
#include "suffix_array.h"
#include "text.h"

#include <QCompleter>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace tarvidon {
namespace {

// What every sort must give: positions stably sorted by their texts' keys.
std::vector<std::int64_t> SortedByKeys(const std::vector<std::string_view> &texts)
{
    std::vector<std::string> keys(texts.size());
    for (std::size_t k = 0; k < texts.size(); ++k)
        AppendCaseInsensitiveSortKey(keys[k], texts[k]);
    std::vector<std::int64_t> order(texts.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::int64_t a, std::int64_t b) { return keys[a] < keys[b]; });
    return order;
}

std::vector<std::int64_t> Sorted(const std::vector<std::string_view> &texts)
{
    const auto sorted = SortedByRanks(static_cast<std::int64_t>(texts.size()),
                                      [&](std::int64_t k) { return texts[static_cast<std::size_t>(k)]; },
                                      CaseInsensitiveRanks());
    return {sorted.begin(), sorted.end()};
}

TEST(SortedByRanks, OrdersAsTheSortKeysWithEqualTextsInPositionOrder)
{
    // The combo boxes' order, built by radix sort, must be exactly that of
    // sorting the keys: for lists small and large, and for texts that tie
    // on the first eight or sixteen bytes (a second and third pass) or
    // end there.
    struct Case {
        std::size_t count, sharedPrefix;
    };
    const Case cases[] = {{0, 0}, {1, 0}, {32, 3}, {32, 20}, {33, 3}, {3000, 0}, {3000, 7}, {3000, 8},
                          {3000, 15}, {3000, 16}, {3000, 17}, {3000, 40}};
    std::mt19937 random(5);
    const std::string alphabet = "aAbB \xC0\xE0\xA8\xB8";
    for (const Case &c : cases) {
        std::vector<std::string> texts(c.count);
        for (std::string &text : texts) {
            text = std::string(c.sharedPrefix, 'p').substr(0, random() % (c.sharedPrefix + 2));
            for (std::size_t k = random() % 4; k > 0; --k)
                text += alphabet[random() % alphabet.size()];
        }
        const std::vector<std::string_view> views(texts.begin(), texts.end());
        EXPECT_EQ(Sorted(views), SortedByKeys(views)) << c.count << " texts sharing " << c.sharedPrefix << " bytes";
    }
}

TEST(SortedByRanks, NamesOfRecordsRunningIntoOneAnotherSortAsTheirKeys)
{
    // Names that run to the same 0x00 are suffixes of one another. Runs
    // that repeat, runs repeated whole (equal names in file order), runs
    // whose names share long starts and ones that share none, in both
    // cases of Latin and Cyrillic letters.
    std::mt19937 random(7);
    const auto letters = [&](std::size_t count, std::string_view alphabet) {
        std::string text(count, ' ');
        for (char &c : text)
            c = alphabet[random() % alphabet.size()];
        return text;
    };
    const auto tagged = [&](std::string text, std::size_t tags) {
        for (std::size_t k = 0; k < tags; ++k)
            text.replace(random() % (text.size() - 4), 4, "DTHD");
        return text + '\0';
    };
    std::string period = "DTHD";
    period += letters(12, "aA\xE0\xC0");
    std::string repeated;
    for (int k = 0; k < 300; ++k)
        repeated += period;
    repeated += '\0';
    std::string sharedStarts;
    for (int k = 0; k < 200; ++k)
        sharedStarts += "DTHD" + std::string(random() % 40, 'x') + letters(3, "yY");
    sharedStarts += '\0';
    const std::string mixed = tagged(letters(6000, "abcABC \xE0\xC0\xB8\xA8"), 300);
    // Each of these names is a group of its own: the suffix text holds a
    // terminator for each besides their bytes.
    std::string ownNames;
    for (int k = 0; k < 300; ++k)
        ownNames += "DTHD" + letters(13, "abcABC") + letters(1 + random() % 8, "xyz") + '\0' + letters(364, "q");
    struct Case {
        const char *what;
        std::string bytes;
    };
    const Case cases[] = {
        {"one run repeating a record", repeated + letters(400, "z")},
        {"a run repeated whole", repeated + repeated + letters(400, "z")},
        {"records sharing long starts", sharedStarts + letters(400, "z")},
        {"records at random places in one run", mixed + letters(400, "z")},
        {"a run after many records of names of their own", ownNames + repeated + letters(400, "z")},
        {"all of them", repeated + mixed + sharedStarts + repeated + letters(400, "z")},
    };
    for (const Case &c : cases) {
        const DataImage image =
            DataImage::FromBytes({reinterpret_cast<const std::uint8_t *>(c.bytes.data()), c.bytes.size()});
        const Catalogue catalogue = BuildCatalogue(image);
        ASSERT_GT(catalogue.ModelCount(), 50) << c.what;
        std::vector<std::string_view> names;
        for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i)
            names.push_back(catalogue.ModelName(i));
        EXPECT_EQ(Sorted(names), SortedByKeys(names)) << c.what;
    }
}

TEST(SuffixArray, OrdersEverySuffixOfTextsSmallAndRepetitive)
{
    // Small alphabets repeat most and send the sort deepest into itself.
    std::mt19937 random(3);
    for (const int alphabet : {1, 2, 3, 4, 256, 40000}) {
        for (int round = 0; round < 60; ++round) {
            std::vector<std::int32_t> text(random() % 300);
            for (std::int32_t &symbol : text)
                symbol = static_cast<std::int32_t>(random() % static_cast<unsigned>(alphabet));
            std::vector<std::int32_t> expected(text.size());
            std::iota(expected.begin(), expected.end(), 0);
            std::sort(expected.begin(), expected.end(), [&](std::int32_t a, std::int32_t b) {
                return std::lexicographical_compare(text.begin() + a, text.end(), text.begin() + b, text.end());
            });
            const auto wide = SuffixArray(LargeVector<std::int32_t>(text.begin(), text.end()), alphabet);
            EXPECT_EQ(std::vector<std::int32_t>(wide.begin(), wide.end()), expected) << alphabet << " " << round;
            if (alphabet <= 0x7FFF) {
                const auto narrow = SuffixArray(LargeVector<std::uint16_t>(text.begin(), text.end()), alphabet);
                EXPECT_EQ(std::vector<std::int32_t>(narrow.begin(), narrow.end()), expected) << alphabet << " " << round;
            }
        }
    }
}

TEST(CatalogueListModel, FindsTheFirstCompletionAndExactTextsAsQtDoes)
{
    // The list's own searches stand in for a completer's and a combo box's,
    // which would decode every row they compare, whole.
    CatalogueListModel items(CatalogueListModel::Field::ModelName, CatalogueListModel::Order::Sorted);
    items.setTexts({"ab", "AB", "abc", "Abd", "b", "\u0451\u043B\u043A\u0430", "\u0401\u041B\u041A\u0410 3", "z"});
    QCompleter completer(&items);
    completer.setCaseSensitivity(Qt::CaseInsensitive);
    completer.setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    for (const QString typed : {"a", "A", "ab", "aBc", "abd", "abe", "b", "\u0451", "\u0401\u043B", "c", "zz", ""}) {
        completer.setCompletionPrefix(typed);
        const int row = items.firstRowStartingWith(ToEngineText(typed));
        EXPECT_EQ(row < 0 ? QString() : items.index(row).data().toString(), typed.isEmpty() ? QString() : completer.currentCompletion())
            << typed.toStdString();
    }
    for (const QString text : {"ab", "AB", "Abd", "abd", "z", "\u0401\u041B\u041A\u0410 3", "none"}) {
        const auto flags = Qt::MatchFixedString | Qt::MatchCaseSensitive;
        EXPECT_EQ(items.match(items.index(0), Qt::DisplayRole, text, 1, flags),
                  items.QAbstractListModel::match(items.index(0), Qt::DisplayRole, text, 1, flags))
            << text.toStdString();
    }
}

} // namespace
} // namespace tarvidon
