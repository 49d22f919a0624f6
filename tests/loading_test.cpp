#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include "file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvidon::test {
namespace {

const std::string kMissing(kMissingFileMessage);

std::string LoadError(EngineState &state, const std::string &path)
{
    try {
        CheckAndLoad(state, path);
    } catch (const EngineError &error) {
        return error.what();
    }
    return "no error";
}

// A state that has loaded and scanned one good file.
struct LoadedState {
    TempDir dir;
    EngineState state;
    Bytes bytes;

    LoadedState()
    {
        ImageBuilder file;
        file.record("GOOD", {1, 2, 3, 4});
        bytes = file.data();
        EXPECT_TRUE(CheckAndLoad(state, dir.write("good.dat", bytes)).empty());
        EXPECT_TRUE(ScanCatalogue(state));
    }

    void expectUnchanged() const
    {
        ASSERT_EQ(state.Image.length(), static_cast<std::int64_t>(bytes.size()));
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), state.Image.data()));
        ASSERT_EQ(state.Catalogue.ModelCount(), 1);
        EXPECT_EQ(state.Catalogue.ModelName(0), "GOOD");
    }
};

TEST(CheckDataFile, MissingFilesFoldersAndEmptyPathsKeepTheOldData)
{
    LoadedState loaded;
    for (const std::string &path : {loaded.dir.path("absent.dat"), loaded.dir.path(""), std::string()}) {
        EXPECT_EQ(CheckAndLoad(loaded.state, path), std::vector<std::string>{kMissing}) << path;
        EXPECT_FALSE(loaded.state.FileFound);
        EXPECT_TRUE(ScanCatalogue(loaded.state)); // the rescan finds the old records again
        loaded.expectUnchanged();
    }
}

TEST(LoadDataFile, ReadsTheWholeFileAndAZeroLengthFileEmptiesTheImage)
{
    LoadedState loaded;
    loaded.expectUnchanged();
    EXPECT_TRUE(loaded.state.FileFound);

    EXPECT_TRUE(CheckAndLoad(loaded.state, loaded.dir.write("empty.dat", {})).empty());
    EXPECT_EQ(loaded.state.Image.length(), 0);
    EXPECT_FALSE(ScanCatalogue(loaded.state));
    EXPECT_EQ(loaded.state.Catalogue.ModelCount(), 1); // stale, refused by ShowImage and SaveImage
}

TEST(LoadDataFile, RefusesWhatIsNotARegularFileWithoutBlocking)
{
    LoadedState loaded;
    const std::string fifo = loaded.dir.path("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(LoadError(loaded.state, fifo), "I/O error 22");
    loaded.expectUnchanged();
    EXPECT_EQ(LoadError(loaded.state, "/dev/zero"), "I/O error 22");
    EXPECT_EQ(LoadError(loaded.state, "/dev/null"), "I/O error 22");
    loaded.expectUnchanged();
}

TEST(LoadDataFile, AFileThatVanishesAfterTheCheckFailsAsNotFound)
{
    LoadedState loaded;
    const std::string path = loaded.dir.write("brief.dat", Bytes(10, 0x41));
    CheckDataFile(loaded.state, path, nullptr);
    ASSERT_TRUE(loaded.state.FileFound);
    std::filesystem::remove(path);
    try {
        LoadDataFile(loaded.state, path);
        FAIL() << "the load should fail";
    } catch (const IoError &error) {
        EXPECT_STREQ(error.what(), "File not found");
    }
    loaded.expectUnchanged();
}

TEST(LoadDataFile, RecordsBeyondTwoGiBKeepTheirOffsets)
{
    // A sparse file: 2 GiB of holes, then one record. Offsets past 2^31
    // must survive the load, the scan, the hex rows and the export.
    TempDir dir;
    ImageBuilder record;
    record.record("FAR", {0xFA, 0x12, 0x34, 0x56}, 0x99);
    const std::int64_t tag = (std::int64_t{1} << 31) + 3;
    const std::string path = dir.path("sparse.dat");
    {
        FileDescriptor file(open(path.c_str(), O_WRONLY | O_CREAT, 0600));
        ASSERT_TRUE(file.valid());
        const Bytes &bytes = record.data();
        ASSERT_EQ(pwrite(file.get(), bytes.data(), bytes.size(), tag), static_cast<ssize_t>(bytes.size()));
        ASSERT_EQ(ftruncate(file.get(), tag + static_cast<std::int64_t>(bytes.size()) + 1), 0);
    }
    EngineState state;
    CheckAndLoad(state, path);
    ASSERT_TRUE(ScanCatalogue(state));
    ASSERT_EQ(state.Catalogue.ModelCount(), 1);
    EXPECT_EQ(state.Catalogue.Entry(0).ImageOffset, tag + kImageOffset);
    EXPECT_EQ(state.Catalogue.Entry(0).ProductNumber, "FA123456");
    EXPECT_EQ(ShowImage(state, 0)[0], "FA 12 34 56 99 99 99 99 99 99 99 99 99 99 99 99 ");
    SaveImage(state, "FAR", dir.path("far.BIN"));
    EXPECT_EQ(ReadFile(dir.path("far.BIN")).size(), 512u);
}

TEST(LoadDataFile, OpensForReadingOnlyAndMapsAccessDenied)
{
    LoadedState loaded;
    std::filesystem::permissions(loaded.dir.path(""), std::filesystem::perms::owner_all
                                     | std::filesystem::perms::others_exec);
    const std::string readable = loaded.dir.write("readonly.dat", loaded.bytes);
    const std::string hidden = loaded.dir.write("hidden.dat", loaded.bytes);
    ASSERT_EQ(chmod(readable.c_str(), 0444), 0);
    ASSERT_EQ(chmod(hidden.c_str(), 0000), 0);

    EXPECT_EQ(RunUnprivileged([&] {
        EngineState state;
        CheckAndLoad(state, readable);
        return state.Image.length() == static_cast<std::int64_t>(loaded.bytes.size());
    }), 0);
    EXPECT_EQ(RunUnprivileged([&] {
        EngineState state;
        return LoadError(state, hidden) == "File access denied";
    }), 0);
}

} // namespace
} // namespace tarvidon::test
