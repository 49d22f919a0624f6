#include "file_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarvidon::test {
namespace {

TEST(ByteToHex, EveryByteGivesTwoUpperCaseDigitsThatReadBack)
{
    for (int b = 0; b < 256; ++b) {
        const std::string hex = ByteToHex(static_cast<std::uint8_t>(b));
        ASSERT_EQ(hex.size(), 2u);
        EXPECT_EQ(std::stoi(hex, nullptr, 16), b);
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << hex;
    }
    EXPECT_EQ(ByteToHex(0x0A), "0A");
}

TEST(ShowImage, SixteenRowsOfSixteenBytesWithTrailingSpaces)
{
    const EngineState state = StateWithCountingImage();
    const auto rows = ShowImage(state, 0);
    EXPECT_EQ(rows[0], "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(rows[1], "10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ");
    EXPECT_EQ(rows[15], "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF ");
    for (const std::string &row : rows)
        EXPECT_EQ(row.size(), 48u);
    EXPECT_THROW((void)ShowImage(state, 1), ListIndexError);
}

TEST(DefaultOutputName, JoinsProductNumberAndName)
{
    ImageBuilder file;
    file.record("A", {0x31, 0x00, 0x04, 0x00});
    file.record("X\x14Y/Z", {0xDE, 0xAD, 0xBE, 0xEF});
    const Catalogue catalogue = BuildCatalogue(file.image());
    EXPECT_EQ(DefaultOutputName(catalogue, 0), "31000400_A.BIN");
    EXPECT_EQ(DefaultOutputName(catalogue, 1), "DEADBEEF_X Y/Z.BIN"); // kept as it is
}

TEST(SaveImage, WritesPaddingThenImageAndReplacesAnEarlierFile)
{
    const EngineState state = StateWithCountingImage();
    TempDir dir;
    const std::string out = dir.path("31000400_A.BIN");
    dir.write("31000400_A.BIN", Bytes(5000, 0x77));
    SaveImage(state, "A", out);
    SaveImage(state, "A", out);
    const Bytes written = ReadFile(out);
    ASSERT_EQ(written.size(), 512u);
    EXPECT_EQ(written, ExpectedExport(state, 0));
    EXPECT_EQ(written[256], 0x00);
    EXPECT_EQ(written[511], 0xFF);
}

TEST(SaveImage, WritesTheSelectedDuplicateOrElseTheFirst)
{
    ImageBuilder file;
    file.record("TWIN", {1, 1, 1, 1}, 0x11);
    file.record("TWIN", {2, 2, 2, 2}, 0x22);
    file.record("OTHER", {3, 3, 3, 3}, 0x33);
    EngineState state;
    state.Image = file.image();
    ASSERT_TRUE(ScanCatalogue(state));
    TempDir dir;
    const std::string out = dir.path("out.BIN");

    SaveImage(state, "TWIN", out, 1);
    EXPECT_EQ(ReadFile(out), ExpectedExport(state, 1));
    SaveImage(state, "TWIN", out);
    EXPECT_EQ(ReadFile(out), ExpectedExport(state, 0));
    // A selection the model text no longer names does not count.
    SaveImage(state, "TWIN", out, 2);
    EXPECT_EQ(ReadFile(out), ExpectedExport(state, 0));
    SaveImage(state, "OTHER", out, 0);
    EXPECT_EQ(ReadFile(out), ExpectedExport(state, 2));
}

TEST(SaveImage, RefusalsTouchNoFile)
{
    EngineState state = StateWithCountingImage();
    TempDir dir;
    const std::string out = dir.path("never.BIN");
    EXPECT_EQ(SaveError(state, "a", out), "List index out of bounds (1)");
    EXPECT_EQ(SaveError(EngineState(), "A", out), "List index out of bounds (0)");
    EXPECT_EQ(SaveError(state, "A", ""), "Invalid filename");
    EXPECT_FALSE(std::filesystem::exists(out));

    // A zero-length file loaded over the data leaves the catalogue stale.
    state.Image = DataImage();
    EXPECT_FALSE(ScanCatalogue(state));
    EXPECT_EQ(SaveError(state, "A", out), "The entry lies outside the loaded data; open the data file again");
    EXPECT_THROW((void)ShowImage(state, 0), EngineError);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(SaveImage, ReportsTheFailureKindOfTheOutputPath)
{
    ImageBuilder file;
    file.record("A/B", {1, 2, 3, 4});
    file.record("A", {1, 2, 3, 4});
    EngineState state;
    state.Image = file.image();
    ASSERT_TRUE(ScanCatalogue(state));
    TempDir dir;
    EXPECT_EQ(SaveError(state, "A", dir.path("missing/out.BIN")), "Invalid filename");
    EXPECT_EQ(SaveError(state, "A", dir.path("")), "File access denied"); // the folder itself
    EXPECT_EQ(SaveError(state, "A/B", dir.path(DefaultOutputName(state.Catalogue, 0))), "Invalid filename");
}

} // namespace
} // namespace tarvidon::test
