// The file layer's POSIX cases: FIFOs, devices, permissions and limits.

#include "file_descriptor.h"
#include "file_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
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

TEST(SaveImage, AFifoWithAReaderTakesTheExportAndStaysAFifo)
{
    const EngineState state = StateWithCountingImage();
    TempDir dir;
    const std::string fifo = dir.path("pipe.BIN");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    FileDescriptor reader(open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
    ASSERT_TRUE(reader.valid());
    EXPECT_EQ(SaveError(state, "A", fifo), "no error");
    Bytes received(kExportSize + 1);
    EXPECT_EQ(read(reader.get(), received.data(), received.size()), kExportSize);
    received.resize(kExportSize);
    EXPECT_EQ(received, ExpectedExport(state, 0));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// A link whose file is not there yet: the save makes that file.
TEST(SaveImage, ALinkToNothingYetGetsTheFileItNamesAndStaysALink)
{
    const EngineState state = StateWithCountingImage();
    TempDir dir;
    const std::string link = dir.path("link.BIN");
    std::filesystem::create_symlink("new.BIN", link);
    EXPECT_EQ(SaveError(state, "A", link), "no error");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(dir.path("new.BIN")), ExpectedExport(state, 0));
}

// A save over a file that is there, as the window, export and export --all
// all make it. The save runs in a child, which may have a file-size limit or
// drop root's privileges (tests run as root in CI).
struct Overwrite {
    const char *situation;
    bool noOldFile = false;      // a new file, where none was
    mode_t mode = 0644;          // the old file's
    bool throughLink = false;    // saved to link.BIN, which points to old.BIN
    bool ownedByNobody = false;  // the old file's owner (root only)
    mode_t folderMode = 0755;
    rlim_t sizeLimit = RLIM_INFINITY;
    bool unprivileged = false;
    const char *error = "no error";
    bool replaced = true;        // else the old bytes stay
};

std::string SaveInChild(const EngineState &state, const std::string &path, const Overwrite &row)
{
    int channel[2];
    if (pipe(channel) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child < 0)
        return "no child";
    if (child == 0) {
        close(channel[0]);
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{row.sizeLimit, row.sizeLimit};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0
            || (row.unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)))
            _exit(2);
        const std::string error = SaveError(state, "A", path);
        _exit(write(channel[1], error.data(), error.size()) == static_cast<ssize_t>(error.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string said;
    char buffer[256];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(got));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? said : "child failed";
}

TEST(SaveImage, OverAnExistingFileReplacesItWholeOrLeavesIt)
{
    // A file-size limit of 300 bytes lets the padding through and stops the image.
    const Overwrite rows[] = {
        {.situation = "a new file that fails half-way is removed", .noOldFile = true, .sizeLimit = 300,
         .error = "Disk full", .replaced = false},
        {.situation = "mode and owner are kept", .mode = 0640, .ownedByNobody = true},
        {.situation = "a link stays a link to the file it names", .mode = 0604, .throughLink = true},
        {.situation = "a write that fails half-way leaves the old bytes",
         .sizeLimit = 300, .error = "Disk full", .replaced = false},
        {.situation = "a read-only file is refused, however open the folder", .mode = 0444, .folderMode = 0777,
         .unprivileged = true, .error = "File access denied", .replaced = false},
        {.situation = "a folder that takes no new file gets the file written in place", .mode = 0666,
         .folderMode = 0555, .unprivileged = true},
    };
    const EngineState state = StateWithCountingImage();
    const Bytes old(600, 0x77);
    for (const Overwrite &row : rows) {
        SCOPED_TRACE(row.situation);
        TempDir dir;
        std::filesystem::permissions(dir.root(), std::filesystem::perms::owner_all
                                         | std::filesystem::perms::others_exec);
        const std::string folder = dir.path("out");
        std::filesystem::create_directory(folder);
        const std::string file = dir.write("out/old.BIN", old);
        if (row.noOldFile) {
            std::filesystem::remove(file);
            EXPECT_EQ(SaveInChild(state, file, row), row.error);
            EXPECT_TRUE(std::filesystem::is_empty(folder)) << "neither the file nor a temporary one is left";
            continue;
        }
        ASSERT_EQ(chmod(file.c_str(), row.mode), 0);
        const bool givenAway = row.ownedByNobody && geteuid() == 0; // only root gives files away
        if (givenAway) {
            ASSERT_EQ(chown(file.c_str(), 65534, 65534), 0);
        }
        std::vector<std::string> names = {"old.BIN"};
        if (row.throughLink) {
            std::filesystem::create_symlink("old.BIN", folder + "/link.BIN");
            names.insert(names.begin(), "link.BIN");
        }
        ASSERT_EQ(chmod(folder.c_str(), row.folderMode), 0);

        EXPECT_EQ(SaveInChild(state, folder + "/" + names.front(), row), row.error);
        EXPECT_EQ(ReadFile(file), row.replaced ? ExpectedExport(state, 0) : old);
        ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
        std::vector<std::string> left;
        for (const auto &entry : std::filesystem::directory_iterator(folder))
            left.push_back(entry.path().filename().string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, names) << "no temporary file is left";
        struct stat info {};
        ASSERT_EQ(lstat(file.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, row.mode);
        EXPECT_EQ(info.st_uid, givenAway ? 65534 : geteuid());
        EXPECT_EQ(info.st_gid, givenAway ? 65534 : getegid());
        if (row.throughLink) {
            EXPECT_TRUE(std::filesystem::is_symlink(folder + "/link.BIN"));
        }
    }
}

} // namespace
} // namespace tarvidon::test
