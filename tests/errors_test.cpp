#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace tarvidon::test {
namespace {

TEST(IoErrorMessage, MapsEachFailureKindToItsText)
{
    TempDir dir;
    const std::string inExistingFolder = dir.path("absent.dat");
    const std::string inMissingFolder = dir.path("nowhere/absent.dat");
    struct Case {
        int errorNumber;
        std::string path;
        std::string message;
    };
    const Case cases[] = {
        {ENOENT, inExistingFolder, "File not found"},
        {ENOENT, inMissingFolder, "Invalid filename"},
        {ENOENT, "", "Invalid filename"},
        {ENOENT, "relative.dat", "File not found"},
        {ENOTDIR, inExistingFolder, "Invalid filename"},
        {EMFILE, inExistingFolder, "Too many open files"},
        {ENFILE, inExistingFolder, "Too many open files"},
        {EACCES, inExistingFolder, "File access denied"},
        {EPERM, inExistingFolder, "File access denied"},
        {EROFS, inExistingFolder, "File access denied"},
        {ENOSPC, inExistingFolder, "Disk full"},
        {EFBIG, inExistingFolder, "Disk full"},
        {EIO, inExistingFolder, "I/O error 5"},
        {ENXIO, inExistingFolder, "I/O error 6"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IoErrorMessage(c.errorNumber, c.path), c.message) << c.errorNumber << " " << c.path;
}

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
