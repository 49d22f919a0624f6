#include "comparison.h"
#include "file_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>

#ifndef _WIN32
#include <fstream>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarvidon::test {
namespace {

const std::string kMissing(kMissingFileMessage);

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

TEST(LoadDataFile, ALargeFileReadInPartsHasEveryByteInPlace)
{
    // Large files are read in parts at once; each part must land at its
    // own offset, with none left out or written twice.
    Bytes bytes((std::size_t{64} << 20) + 4097);
    for (std::size_t k = 0; k < bytes.size(); ++k)
        bytes[k] = static_cast<std::uint8_t>(k ^ k >> 9 ^ k >> 19); // no two parts alike
    TempDir dir;
    const std::string path = dir.write("large.dat", bytes);
    const auto loadsWhole = [&] {
        EngineState state;
        CheckAndLoad(state, path);
        return state.Image.length() == static_cast<std::int64_t>(bytes.size())
            && std::equal(bytes.begin(), bytes.end(), state.Image.data());
    };
    EXPECT_TRUE(loadsWhole());
#ifndef _WIN32
    // Where no second thread can be had, both parts are read on this one.
    ASSERT_EQ(chmod(dir.path("").c_str(), 0755), 0); // let an unprivileged child in
    EXPECT_EQ(RunUnprivileged([&] {
                  const rlimit oneProcess{1, 1};
                  return setrlimit(RLIMIT_NPROC, &oneProcess) == 0 && loadsWhole();
              }),
              0);
#endif
}

TEST(DataImage, AMovedFromImageIsEmpty)
{
    DataImage image = ImageBuilder().bytes("DTHD").image();
    const DataImage taken = std::move(image);
    EXPECT_EQ(taken.length(), 4);
    EXPECT_EQ(image.length(), 0); // NOLINT(bugprone-use-after-move): what is left must say it is empty
    EXPECT_EQ(image.data(), nullptr);
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__) // the sanitizer's shadow memory takes no address-space limit
TEST(LoadAndScan, AScanThatRunsOutOfMemoryLeavesTheImageAndTheCatalogueOfTheFileBefore)
{
    // Records every 16 bytes in one long run: the catalogue takes more
    // memory than the image, so that the load succeeds and the scan does not.
    LoadedState loaded;
    std::string run;
    while (run.size() < (std::size_t{8} << 20))
        run += "DTHDAAAAAAAAAAAA";
    const std::string path = loaded.dir.write("run.dat", ImageBuilder().bytes(run).zeros(1).data());
    CheckDataFile(loaded.state, path, nullptr);
    ASSERT_TRUE(loaded.state.FileFound);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t room = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (rlim_t{20} << 20);
        const rlimit limit{room, room};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(2);
        try {
            LoadAndScan(loaded.state, path);
            _exit(3);
        } catch (const OutOfMemoryError &) {
        }
        _exit(loaded.state.Image.length() == static_cast<std::int64_t>(loaded.bytes.size())
                      && loaded.state.Catalogue.ModelCount() == 1 && loaded.state.Catalogue.ModelName(0) == "GOOD"
                  ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

TEST(LargeBufferAllocator, ASizeThatOverflowsOrCannotBeHadThrowsInsteadOfReturningTooLittle)
{
    LargeBufferAllocator<std::uint64_t> allocator;
    EXPECT_THROW((void)allocator.allocate(std::numeric_limits<std::size_t>::max() / 4), std::bad_array_new_length);
    EXPECT_THROW((void)allocator.allocate(std::numeric_limits<std::size_t>::max() / 16), std::bad_alloc);
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
    if (!WriteSparseFile(path, tag, record.data(), tag + static_cast<std::int64_t>(record.data().size()) + 1))
        GTEST_SKIP() << "this file system keeps no holes";
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

TEST(ReadDumpImage, TakesAnImageOrAnExportFileAndRefusesAnyOtherSizeAsItsSize)
{
    Bytes file(kExportSize + 1);
    for (std::size_t k = 0; k < file.size(); ++k)
        file[k] = static_cast<std::uint8_t>(k * 7);
    TempDir dir;
    const auto imageOfFirst = [&](std::int64_t size) {
        const auto image = ReadDumpImage(dir.write("dump.bin", Bytes(file.begin(), file.begin() + size)));
        return Bytes(image.begin(), image.end());
    };
    EXPECT_EQ(imageOfFirst(kImageLength), Bytes(file.begin(), file.begin() + kImageLength));
    EXPECT_EQ(imageOfFirst(kExportSize), Bytes(file.begin() + kExportPadding, file.begin() + kExportSize));
    for (const std::int64_t size : {kExportSize - 1, kExportSize + 1}) {
        try {
            (void)imageOfFirst(size);
            ADD_FAILURE() << size << " bytes taken as a dump";
        } catch (const DumpSizeError &e) {
            EXPECT_EQ(e.size(), size);
        }
    }
}

#ifdef __linux__
TEST(ReadDumpImage, AFileHoldingMoreThanItsSizeSaysIsReadOnlyOneBytePastAnExportFile)
{
    // The kernel's files give their size as 0 and hold more, as a file
    // that grows while it is read does; this one holds a line for each
    // mapping of this program, well over 512 bytes.
    try {
        (void)ReadDumpImage("/proc/self/maps");
        ADD_FAILURE() << "taken as a dump";
    } catch (const DumpSizeError &e) {
        EXPECT_EQ(e.size(), kExportSize + 1);
    }
}
#endif

} // namespace
} // namespace tarvidon::test
