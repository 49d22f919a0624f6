// The file layer's POSIX cases: FIFOs, devices, permissions and limits.

#include "file_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tarvidon::test {
namespace {

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

TEST(SaveImage, RefusedInAFolderThatDeniesWriting)
{
    const EngineState state = StateWithCountingImage();
    TempDir dir;
    std::filesystem::permissions(dir.path(""), std::filesystem::perms::owner_all
                                     | std::filesystem::perms::others_exec);
    EXPECT_EQ(RunUnprivileged([&] { return SaveError(state, "A", dir.path("denied.BIN")) == "File access denied"; }),
              0);
    EXPECT_FALSE(std::filesystem::exists(dir.path("denied.BIN")));
}

TEST(SaveImage, DiskFullOnADeviceLeavesTheDevice)
{
    const EngineState state = StateWithCountingImage();
    ASSERT_TRUE(std::filesystem::exists("/dev/full"));
    EXPECT_EQ(SaveError(state, "A", "/dev/full"), "Disk full");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

TEST(SaveImage, AFifoWithNoReaderFailsInsteadOfBlocking)
{
    const EngineState state = StateWithCountingImage();
    TempDir dir;
    const std::string fifo = dir.path("pipe.BIN");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(SaveError(state, "A", fifo), "I/O error 6"); // ENXIO: nobody reads
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

TEST(SaveImage, AWriteThatFailsHalfWayRemovesThePartialFile)
{
    const EngineState state = StateWithCountingImage();
    TempDir dir;
    const std::string out = dir.path("half.BIN");
    // A file-size limit of 300 bytes lets the padding through and stops the
    // image; the child reports the message through its exit code.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{300, 300};
        setrlimit(RLIMIT_FSIZE, &limit);
        _exit(SaveError(state, "A", out) == "Disk full" ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(std::filesystem::exists(out));
}

} // namespace
} // namespace tarvidon::test
