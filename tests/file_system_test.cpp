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

TEST(FileBatch, PutsEveryFileInPlaceOrKeepsAFileThatAppearedAndLeavesNothingTemporary)
{
    TempDir dir;
    const auto add = [&](FileBatch &batch, const char *name, std::uint8_t byte) { batch.add(dir.path(name), Bytes{byte}); };
    {
        // A file that appears at a target after the check that found none
        // stays, and the batch ends there, the files before it in place.
        FileBatch batch(false);
        add(batch, "a.BIN", 1);
        add(batch, "b.BIN", 2);
        add(batch, "c.BIN", 3);
        dir.write("b.BIN", Bytes{9});
        EXPECT_THROW(batch.commit(), FileExistsError);
        EXPECT_EQ(batch.written(), 1u);
    }
    EXPECT_EQ(FilesIn(dir.path("")), (std::vector<std::string>{"a.BIN", "b.BIN"}));
    EXPECT_EQ(ReadFile(dir.path("b.BIN")), Bytes{9});
    {
        FileBatch batch(true);
        add(batch, "b.BIN", 2);
        add(batch, "c.BIN", 3);
        batch.commit();
        EXPECT_EQ(batch.written(), 2u);
        add(batch, "never.BIN", 4); // never committed
    }
    EXPECT_EQ(FilesIn(dir.path("")), (std::vector<std::string>{"a.BIN", "b.BIN", "c.BIN"}));
    EXPECT_EQ(ReadFile(dir.path("b.BIN")), Bytes{2});
    EXPECT_EQ(ReadFile(dir.path("c.BIN")), Bytes{3});
}

TEST(RenameFile, ReplacesOnlyWhenToldAndReportsAMissingSource)
{
    TempDir dir;
    const std::string from = dir.write("from.tmp", Bytes{7, 7});
    const std::string to = dir.write("to.BIN", Bytes(600, 0x01));
    // A file already at the target stays, whatever the rename can do.
    EXPECT_THROW(RenameFile(from, to, false), FileExistsError);
    EXPECT_EQ(ReadFile(to), Bytes(600, 0x01));
    EXPECT_EQ(ReadFile(from), (Bytes{7, 7}));
    RenameFile(from, to, true);
    EXPECT_EQ(ReadFile(to), (Bytes{7, 7}));
    EXPECT_FALSE(std::filesystem::exists(from));
    try {
        RenameFile(from, to, true);
        FAIL() << "a missing source was moved";
    } catch (const IoError &error) {
        EXPECT_STREQ(error.what(), "File not found");
    }
    EXPECT_EQ(ReadFile(to), (Bytes{7, 7}));
    const std::string free = dir.path("free.BIN");
    RenameFile(to, free, false);
    EXPECT_EQ(ReadFile(free), (Bytes{7, 7}));
    EXPECT_FALSE(std::filesystem::exists(to));
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
