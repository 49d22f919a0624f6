#include "catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvidon {
namespace {

TEST(SafeFileName, TurnsEveryCharacterSomeFileSystemRefusesIntoAnUnderscore)
{
    for (int c = 0; c < 256; ++c) {
        const std::string name = std::string("a") + static_cast<char>(c) + "b.BIN";
        const bool refused = c < 0x20 || std::string_view(R"(/<>:"\|?*)").find(static_cast<char>(c)) != std::string_view::npos;
        EXPECT_EQ(SafeFileName(name), refused ? "a_b.BIN" : name) << "byte " << c;
    }
    EXPECT_EQ(SafeFileName("31000400_Рубин 55М.BIN"), "31000400_Рубин 55М.BIN");
}

TEST(BatchFileNames, TheFirstKeepsItsNameAndLaterCollisionsAreNumbered)
{
    struct Case {
        const char *why;
        std::vector<std::string> names;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"distinct names stay", {"1_A.BIN", "2_A.BIN"}, {"1_A.BIN", "2_A.BIN"}},
        {"same name and number", {"1_A.BIN", "1_A.BIN", "1_A.BIN"}, {"1_A.BIN", "1_A (2).BIN", "1_A (3).BIN"}},
        {"Latin case only", {"1_Abc.BIN", "1_ABC.BIN", "1_abc.BIN"}, {"1_Abc.BIN", "1_ABC (2).BIN", "1_abc (3).BIN"}},
        {"Cyrillic case differs", {"1_\xC0.BIN", "1_\xE0.BIN"}, {"1_\xC0.BIN", "1_\xE0.BIN"}},
        {"equal once made safe", {"1_a/b.BIN", "1_a_b.BIN", "1_a:b.BIN"}, {"1_a_b.BIN", "1_a_b (2).BIN", "1_a_b (3).BIN"}},
        {"a real name like a numbered one", {"1_A.BIN", "1_A (2).BIN", "1_A.BIN"}, {"1_A.BIN", "1_A (2).BIN", "1_A (3).BIN"}},
        {"numbered after the last dot", {"1_v1.5.BIN", "1_v1.5.BIN"}, {"1_v1.5.BIN", "1_v1.5 (2).BIN"}},
        {"no dot at all", {"x", "X"}, {"x", "X (2)"}},
        {"interleaved", {"A", "B", "a", "b", "A"}, {"A", "B", "a (2)", "b (2)", "A (3)"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BatchFileNames(c.names), c.expected) << c.why;
}

TEST(BatchFileNames, ManyDuplicatesGetConsecutiveNumbers)
{
    const std::vector<std::string> names(1000, "1_A.BIN");
    const std::vector<std::string> result = BatchFileNames(names);
    ASSERT_EQ(result.size(), names.size());
    EXPECT_EQ(result[0], "1_A.BIN");
    for (std::size_t k = 1; k < result.size(); ++k)
        EXPECT_EQ(result[k], "1_A (" + std::to_string(k + 1) + ").BIN");
}

TEST(BatchFileNames, NamesTooLongForAFileSystemAreCutBeforeTheExtension)
{
    const std::string latin = "00000001_" + std::string(300, 'A') + ".BIN";
    std::string cyrillic = "0000002_"; // leaves an odd number of bytes for the letters
    for (int k = 0; k < 200; ++k)
        cyrillic += "Ж"; // two bytes each, so an odd limit would split one
    cyrillic += ".BIN";
    const std::vector<std::string> names = {latin, cyrillic, latin, "3_short.BIN"};

    const std::vector<std::string> result = BatchFileNames(names);

    ASSERT_EQ(result.size(), names.size());
    EXPECT_EQ(result[0], latin.substr(0, 251) + ".BIN");
    const std::string stem = cyrillic.substr(0, 8) + [] {
        std::string s;
        for (int k = 0; k < 121; ++k)
            s += "Ж";
        return s;
    }();
    EXPECT_EQ(result[1], stem + ".BIN") << "cut at the last whole character that fits";
    EXPECT_EQ(result[2], latin.substr(0, 247) + " (2).BIN") << "the number still fits";
    EXPECT_EQ(result[3], "3_short.BIN");
    for (const std::string &name : result)
        EXPECT_LE(name.size(), 255U);
}

} // namespace
} // namespace tarvidon
