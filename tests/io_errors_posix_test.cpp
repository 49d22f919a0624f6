// errno values and the texts the user sees for them.

#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <map>

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
        {EISDIR, inExistingFolder, "File access denied"},
        {ENOSPC, inExistingFolder, "Disk full"},
        {EDQUOT, inExistingFolder, "Disk full"},
        {EFBIG, inExistingFolder, "Disk full"},
        {EIO, inExistingFolder, "I/O error 5"},
        {ENXIO, inExistingFolder, "I/O error 6"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IoErrorMessage(c.errorNumber, c.path), c.message) << c.errorNumber << " " << c.path;
}

TEST(IoErrorTexts, ThePosixTableHoldsExactlyTheseRows)
{
    // Every errno that has a text of its own; a row added, lost or changed
    // in the engine's table shows here.
    const std::map<int, std::string> expected = {
        {ENOENT, "File not found"},   {ENOTDIR, "Invalid filename"},   {EMFILE, "Too many open files"},
        {ENFILE, "Too many open files"}, {EACCES, "File access denied"}, {EPERM, "File access denied"},
        {EROFS, "File access denied"}, {EISDIR, "File access denied"}, {ENOSPC, "Disk full"},
        {EDQUOT, "Disk full"},        {EFBIG, "Disk full"},
    };
    std::map<int, std::string> table;
    for (const IoErrorText &row : IoErrorTexts())
        EXPECT_TRUE(table.emplace(row.errorNumber, row.message).second) << "twice: " << row.errorNumber;
    EXPECT_EQ(table, expected);
    EXPECT_EQ(DiskFullError().errorNumber(), ENOSPC);
    EXPECT_STREQ(DiskFullError().what(), "Disk full");
}

} // namespace
} // namespace tarvidon::test
