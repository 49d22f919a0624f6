// GetLastError() values and the texts the user sees for them.

#include "test_support.h"

#include <gtest/gtest.h>

#include <map>

namespace tarvidon::test {
namespace {

TEST(IoErrorTexts, TheWindowsTableHoldsExactlyTheseRows)
{
    // The numbers as Windows documents them, written out rather than taken
    // from windows.h, so that a wrong constant shows too.
    const std::map<int, std::string> expected = {
        {2, "File not found"},       {3, "Invalid filename"},   {4, "Too many open files"},
        {5, "File access denied"},   {32, "File access denied"}, {38, "Read beyond end of file"},
        {39, "Disk full"},           {112, "Disk full"},
    };
    std::map<int, std::string> table;
    for (const IoErrorText &row : IoErrorTexts())
        EXPECT_TRUE(table.emplace(row.errorNumber, row.message).second) << "twice: " << row.errorNumber;
    EXPECT_EQ(table, expected);

    TempDir dir;
    for (const auto &[number, message] : expected) {
        // No folder rule here: Windows itself tells a missing folder (3)
        // from a missing file (2).
        EXPECT_EQ(IoErrorMessage(number, dir.path("nowhere/absent.dat")), message) << number;
        EXPECT_EQ(MakeIoError(number, "x").errorNumber(), number);
    }
    EXPECT_EQ(IoErrorMessage(0, "x"), "I/O error 0");
    EXPECT_EQ(IoErrorMessage(1, "x"), "I/O error 1");
    EXPECT_EQ(IoErrorMessage(87, "x"), "I/O error 87");
    EXPECT_EQ(IoErrorMessage(1392, "x"), "I/O error 1392");
    EXPECT_EQ(DiskFullError().errorNumber(), 112);
    EXPECT_EQ(ReadBeyondEndError().errorNumber(), 38);
}

} // namespace
} // namespace tarvidon::test
