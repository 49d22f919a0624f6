// The file layer's calls that the command line uses directly.

#include "file_system.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tarvidon::test {
namespace {

std::string WriteError(const std::filesystem::path &path, const Bytes &bytes)
{
    try {
        WriteWholeFile(path, bytes);
    } catch (const IoError &error) {
        return error.what();
    }
    return "no error";
}

TEST(WriteWholeFile, CreatesOrTruncatesAndRefusesAnEmptyPath)
{
    TempDir dir;
    const std::string path = dir.write("out.bin", Bytes(1000, 0x11));
    WriteWholeFile(path, Bytes{1, 2, 3});
    EXPECT_EQ(ReadFile(path), (Bytes{1, 2, 3}));
    WriteWholeFile(path, {});
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(ReadFile(path), Bytes{});
    EXPECT_EQ(WriteError("", Bytes{1}), "Invalid filename");
    EXPECT_EQ(WriteError(dir.path("missing/out.bin"), Bytes{1}), "Invalid filename");
    EXPECT_FALSE(std::filesystem::exists(dir.path("missing")));
}

TEST(ReplaceFile, MovesOverTheTargetAndReportsAMissingSource)
{
    TempDir dir;
    const std::string from = dir.write("from.tmp", Bytes{7, 7});
    const std::string to = dir.write("to.BIN", Bytes(600, 0x01));
    ReplaceFile(from, to);
    EXPECT_EQ(ReadFile(to), (Bytes{7, 7}));
    EXPECT_FALSE(std::filesystem::exists(from));
    try {
        ReplaceFile(from, to);
        FAIL() << "a missing source was moved";
    } catch (const IoError &error) {
        EXPECT_STREQ(error.what(), "File not found");
    }
    EXPECT_EQ(ReadFile(to), (Bytes{7, 7}));
}

TEST(RemoveFileQuietly, RemovesAFileAndIgnoresWhatIsNotThere)
{
    TempDir dir;
    const std::string path = dir.write("gone.tmp", Bytes{1});
    RemoveFileQuietly(path);
    EXPECT_FALSE(std::filesystem::exists(path));
    RemoveFileQuietly(path);
    RemoveFileQuietly(dir.path("missing/gone.tmp"));
    RemoveFileQuietly("");
}

TEST(IsExistingNonFolder, FilesCountFoldersAndMissingNamesDoNot)
{
    TempDir dir;
    EXPECT_TRUE(IsExistingNonFolder(dir.write("file.dat", {})));
    EXPECT_FALSE(IsExistingNonFolder(dir.root()));
    EXPECT_FALSE(IsExistingNonFolder(dir.path("absent.dat")));
    EXPECT_FALSE(IsExistingNonFolder(""));
}

} // namespace
} // namespace tarvidon::test
