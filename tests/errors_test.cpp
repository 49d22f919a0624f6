#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace tarvidon::test {
namespace {

TEST(EngineErrors, CarryTheirExactTexts)
{
    EXPECT_STREQ(ListIndexError(0).what(), "List index out of bounds (0)");
    EXPECT_STREQ(ListIndexError(4096).what(), "List index out of bounds (4096)");
    EXPECT_STREQ(OutOfMemoryError().what(), "Out of memory");
    EXPECT_STREQ(ReadBeyondEndError().what(), "Read beyond end of file");
    EXPECT_EQ(MakeIoError(EIO, "x").errorNumber(), EIO);
}

TEST(DataImage, SizesBeyondMemoryFailAsOutOfMemory)
{
    // Sizes past what can be addressed must fail cleanly, never wrap.
    EXPECT_THROW((void)DataImage::Allocate(std::numeric_limits<std::int64_t>::max()), OutOfMemoryError);
    EXPECT_EQ(DataImage::Allocate(0).length(), 0);
    const std::int64_t overTwoGiB = (std::int64_t{1} << 31) + 5;
    EXPECT_EQ(DataImage::Allocate(overTwoGiB).length(), overTwoGiB); // untouched pages cost nothing
}

} // namespace
// Shared by the window's error box and the command line.
TEST(WithFullStop, AddsAFullStopOnlyAfterBytesBeyondTheDot)
{
    EXPECT_EQ(WithFullStop("File not found"), "File not found.");
    EXPECT_EQ(WithFullStop("I/O error 5"), "I/O error 5.");
    EXPECT_EQ(WithFullStop("List index out of bounds (3)"), "List index out of bounds (3)");
    EXPECT_EQ(WithFullStop(kMissingFileMessage), kMissingFileMessage);
    EXPECT_EQ(WithFullStop("Done."), "Done.");
    EXPECT_EQ(WithFullStop("Ошибка"), "Ошибка.");        // UTF-8
    EXPECT_EQ(WithFullStop("\xCE\xF8"), "\xCE\xF8."); // Windows-1251
    EXPECT_EQ(WithFullStop("a-"), "a-");
    EXPECT_EQ(WithFullStop(""), "");
}

} // namespace tarvidon::test
