#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarvidon::test {
namespace {

Catalogue CatalogueOf(std::initializer_list<std::pair<std::string_view, std::array<std::uint8_t, 4>>> records)
{
    ImageBuilder file;
    for (const auto &[name, productNumber] : records)
        file.record(name, productNumber);
    return BuildCatalogue(file.image());
}

TEST(MatchesPrefix, FoldsOnlyLatinLetters)
{
    struct Case {
        std::string_view typed, candidate;
        bool matches;
    };
    const Case cases[] = {
        {"", "ABC", false},          // empty text never matches
        {"ab", "ABC", true},         // Latin case ignored
        {"AB", "abc", true},         // both ways
        {"ABC", "ABC", true},        // whole name
        {"ABCD", "ABC", false},      // longer than the candidate
        {"abd", "ABC", false},       // differs inside
        {"\xE0", "\xC0", false},     // Cyrillic а is not А
        {"\xC0\xE1", "\xC0\xE1\xE2", true},
        {"[", "{", false},           // only a..z move; brackets stay apart
        {" ", " X", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(MatchesPrefix(c.typed, c.candidate), c.matches) << c.typed << " / " << c.candidate;
}

TEST(FindByModel, TheLastMatchInFileOrderWins)
{
    const Catalogue catalogue = CatalogueOf({{"ABC", {1, 0, 0, 0}}, {"ABD", {2, 0, 0, 0}}});
    EXPECT_EQ(FindByModel(catalogue, "ab"), 1);
    EXPECT_EQ(FindByModel(catalogue, "abc"), 0);
    EXPECT_EQ(FindByModel(catalogue, ""), kNoMatch);
    EXPECT_EQ(FindByModel(catalogue, "X"), kNoMatch);

    const Catalogue nested = CatalogueOf({{"AB", {1, 0, 0, 0}}, {"ABC", {2, 0, 0, 0}}});
    EXPECT_EQ(FindByModel(nested, "ABC"), 1);
    EXPECT_EQ(FindByModel(nested, "A"), 1);
    EXPECT_EQ(FindByModel(Catalogue(), "A"), kNoMatch);
}

TEST(FindByProductNumber, TheLastMatchInFileOrderWins)
{
    const Catalogue catalogue = CatalogueOf({{"X", {0x31, 0x00, 0x03, 0x00}}, {"Y", {0x31, 0x00, 0x04, 0x00}}});
    EXPECT_EQ(FindByProductNumber(catalogue, "3100"), 1);
    EXPECT_EQ(FindByProductNumber(catalogue, "310003"), 0);
    EXPECT_EQ(FindByProductNumber(catalogue, "4"), kNoMatch);
    EXPECT_EQ(FindByProductNumber(catalogue, ""), kNoMatch);
}

TEST(FindExactModel, FirstEqualNameOrTheListIndexError)
{
    const Catalogue catalogue = CatalogueOf({{"ABC", {1, 0, 0, 0}}, {"ABC", {2, 0, 0, 0}}, {"Q", {3, 0, 0, 0}}});
    EXPECT_EQ(FindExactModel(catalogue, "ABC"), 0);
    EXPECT_EQ(FindExactModel(catalogue, "Q"), 2);

    const auto messageFor = [](const Catalogue &c, std::string_view text) -> std::string {
        try {
            (void)FindExactModel(c, text);
        } catch (const ListIndexError &error) {
            return error.what();
        }
        return "no error";
    };
    EXPECT_EQ(messageFor(CatalogueOf({{"ABC", {1, 0, 0, 0}}}), "abc"), "List index out of bounds (1)");
    EXPECT_EQ(messageFor(catalogue, "AB"), "List index out of bounds (3)");
    EXPECT_EQ(messageFor(Catalogue(), ""), "List index out of bounds (0)");
}

TEST(FindByModel, LongTypedTextsAmongNamesThatRunIntoOneAnotherFindTheLastAndEveryMatch)
{
    // Two runs of one record repeating, the second with another last byte:
    // every name of the second starts much like a long name of the first
    // and matches none of it, as names of real files never do. The lookup
    // must still give the last match as comparing every name would.
    std::string run;
    for (int k = 0; k < 3000; ++k)
        run += "DTHDabcdefghijkl";
    const Catalogue catalogue = BuildCatalogue(ImageBuilder().bytes(run).bytes("Q").zeros(1).bytes(run).bytes("R").zeros(1).image());
    const MatchIndex count = catalogue.ModelCount();
    ASSERT_GT(count, 5000);
    const auto naive = [&](std::string_view typed) {
        std::vector<MatchIndex> all;
        for (MatchIndex i = 0; i < count; ++i)
            if (MatchesPrefix(typed, catalogue.ModelName(i)))
                all.push_back(i);
        return all;
    };
    for (const MatchIndex picked : {MatchIndex{0}, MatchIndex{700}, count / 2 - 1, count / 2, count - 2}) {
        const std::string typed(catalogue.ModelName(picked));
        const std::string folded = [&] {
            std::string upper = typed;
            std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; });
            return upper;
        }();
        const std::vector<MatchIndex> all = naive(typed);
        ASSERT_FALSE(all.empty());
        EXPECT_EQ(FindByModel(catalogue, typed), all.back()) << picked;
        EXPECT_EQ(FindByModel(catalogue, folded), all.back()) << picked;
        EXPECT_EQ(FindAllByModel(catalogue, folded), all) << picked;
    }
}

} // namespace
} // namespace tarvidon::test
