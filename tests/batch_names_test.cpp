#include "catalogue.h"
#include "code_page.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <span>
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

// What the names of a catalogue's entries must stay, byte for byte: the
// file names of the whole names, each converted whole.
std::vector<std::string> FileNamesOfWholeNames(const Catalogue &catalogue, std::span<const MatchIndex> entries)
{
    std::vector<std::string> names;
    for (const MatchIndex i : entries)
        names.push_back(Cp1251ToUtf8(DefaultOutputName(catalogue, i)));
    return BatchFileNames(names);
}

TEST(BatchFileNames, OfACatalogueAreThoseOfTheWholeNamesThoughOnlyTheirStartsAreRead)
{
    // Names of 70 to 270 characters of one, two and three UTF-8 bytes, so
    // that the cut at 255 bytes falls before, at and after every length and
    // inside characters; each twice, so that numbered names are cut too.
    const std::string_view characters[] = {"A", "\xC6" /* Ж */, "\x85" /* … */};
    test::ImageBuilder builder;
    for (const std::string_view character : characters) {
        for (const std::string_view start : {"", "A"}) {
            for (int count = 70; count <= 270; ++count) {
                std::string name(start);
                for (int k = 0; k < count; ++k)
                    name += character;
                for (int copy = 0; copy < 2; ++copy)
                    builder.bytes("DTHD").zeros(13).bytes(name).zeros(kImageOffset + kImageLength);
            }
        }
    }
    // Dots, refused characters and Latin case; then names that run into
    // one another up to one 0x00.
    for (const std::string_view name : {"v1.5", "a/b:c", "V1.5", "A/B:C"})
        builder.record(name, {0x31, 0x00, 0x04, 0x00});
    for (int k = 0; k < 40; ++k)
        builder.bytes("DTHDABCDEFGHIJKLM");
    builder.zeros(kImageOffset + kImageLength);
    const DataImage image = builder.image();
    const Catalogue catalogue = BuildCatalogue(image);
    std::vector<MatchIndex> entries; // a selection, as a prefix makes one
    for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i) {
        if (i % 7 != 3)
            entries.push_back(i);
    }
    ASSERT_GT(entries.size(), 2000u);

    const std::vector<std::string> expected = FileNamesOfWholeNames(catalogue, entries);
    const std::vector<std::string> names = BatchFileNames(catalogue, entries);

    ASSERT_EQ(names.size(), expected.size());
    for (std::size_t k = 0; k < names.size(); ++k)
        ASSERT_EQ(names[k], expected[k]) << "entry " << entries[k];
}

} // namespace
} // namespace tarvidon
