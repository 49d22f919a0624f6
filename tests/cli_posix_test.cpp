// tarvidon-cli against what only POSIX systems offer: FIFOs, devices,
// other users' permissions, file-size limits and terminals.

#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvidon::test {
namespace {

namespace fs = std::filesystem;

constexpr int kRecords = 9;
const std::string kFirstName = "31000300_M0.BIN";

class CliPosix : public ::testing::Test {
protected:
    CliPosix()
    {
        ImageBuilder builder;
        for (int k = 0; k < kRecords; ++k) {
            // Not "M" + std::to_string(k): GCC 12 at -O3 inlines that into a
            // memcpy it wrongly takes for overlapping (a false -Wrestrict).
            std::string name = "M";
            name += std::to_string(k);
            builder.record(name, {0x31, 0x00, 0x03, 0x00}, static_cast<std::uint8_t>(k));
        }
        data = dir.write("catalogue.dat", builder.data());
        EXPECT_EQ(chmod(dir.path("").c_str(), 0755), 0); // let an unprivileged child in
    }

    [[nodiscard]] std::string Summary(const std::string &folder, int written) const
    {
        return "tarvidon-cli: " + folder + ": " + std::to_string(written) + " of " + std::to_string(kRecords)
            + " files written.\n";
    }

    TempDir dir;
    std::string data;
};

CliOptions WithChild(std::function<void()> inChild)
{
    CliOptions options;
    options.inChild = std::move(inChild);
    return options;
}

void Limit(int resource, rlim_t amount)
{
    const rlimit limit{amount, amount};
    if (setrlimit(resource, &limit) != 0)
        _exit(126);
}

// The sanitizers' leak check needs a thread of its own at exit and fails
// under ptrace; children watched that way go without it.
void WithoutLeakCheck()
{
    const char *options = std::getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(options ? options : "") + ":detect_leaks=0").c_str(), 1);
}

// Tests run as root in CI, where permissions deny nothing.
void DropPrivileges()
{
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
        _exit(126);
}

TEST_F(CliPosix, ALargeFileListsAlikeWhereNoSecondThreadCanBeHad)
{
    // A file this large is read in two parts at once, one on a thread of
    // its own; a user out of processes gets the same list, not an abort.
    const std::string large = dir.path("large.dat");
    ImageBuilder builder;
    builder.record("FAR", {1, 2, 3, 4});
    ASSERT_TRUE(WriteSparseFile(large, std::int64_t{64} << 20, builder.data(), (std::int64_t{64} << 20) + 4096));
    ASSERT_EQ(chmod(large.c_str(), 0644), 0);
    const CliResult alone = RunCli({"list", large, "--format", "csv"}, WithChild([] {
                                       DropPrivileges();
                                       WithoutLeakCheck();
                                       const rlimit oneProcess{1, 1};
                                       if (setrlimit(RLIMIT_NPROC, &oneProcess) != 0)
                                           _exit(126);
                                   }));
    EXPECT_EQ(alone.exitCode, 0) << alone.err;
    EXPECT_EQ(alone.out, RunCli({"list", large, "--format", "csv"}).out);
    EXPECT_EQ(alone.out, "index,image_offset,product_number,model_name\r\n0,67108972,01020304,FAR\r\n");
}

// How often the program asks for each of the flushes named while args run,
// as strace sees it; nothing without strace.
std::optional<std::map<std::string, int>> Flushes(const TempDir &dir, const std::vector<std::string> &args)
{
    if (std::system("command -v strace >/dev/null") != 0)
        return std::nullopt;
    const std::string log = dir.path("strace.log");
    WithoutLeakCheck(); // for the children only: our own options were read at start
    std::string command = "strace -f -qq -e trace=fsync,fdatasync,syncfs -o " + log + " " + TARVIDON_CLI_PATH;
    for (const std::string &arg : args)
        command += " '" + arg + "'";
    if (std::system((command + " >/dev/null 2>&1").c_str()) != 0)
        return std::map<std::string, int>{{"failed", 1}};
    std::map<std::string, int> calls;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line);
        std::string pid, call;
        words >> pid >> call;
        ++calls[call.substr(0, call.find('('))];
    }
    return calls;
}

TEST_F(CliPosix, SavesFlushTheirFolderAndABatchFlushesItsFilesTogether)
{
    // A power cut after a save returned must keep the file under its name;
    // flushing a batch file by file took seven times the writing.
    using Calls = std::map<std::string, int>;
    const auto single = Flushes(dir, {"export", data, "--index", "0", "-o", dir.path("one.BIN")});
    if (!single)
        GTEST_SKIP() << "no strace to watch the program with";
    EXPECT_EQ(*single, (Calls{{"fsync", 2}})); // the file, then its folder
    EXPECT_EQ(*Flushes(dir, {"export", data, "--all", "--dir", dir.path("all")}), (Calls{{"fsync", 1}, {"syncfs", 1}}));
    EXPECT_EQ(FilesIn(dir.path("all")).size(), static_cast<std::size_t>(kRecords));
}

TEST_F(CliPosix, AFifoIsRefusedWithoutBlockingAsDataFileAndAsOutput)
{
    const std::string fifo = dir.path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const CliResult asData = RunCli({"list", fifo});
    EXPECT_EQ(asData.exitCode, 2);
    EXPECT_EQ(asData.out, "");
    EXPECT_EQ(asData.err, "tarvidon-cli: " + fifo + ": I/O error 22.\n");

    const CliResult asOutput = RunCli({"export", data, "--index", "0", "-o", fifo});
    EXPECT_EQ(asOutput.exitCode, 2);
    EXPECT_EQ(asOutput.err, "tarvidon-cli: " + fifo + ": I/O error 6.\n");

    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"identify", data, fifo}, {"diff", data, fifo}, {"diff", fifo, data}}) {
        const CliResult compared = RunCli(args);
        EXPECT_EQ(compared.exitCode, 2) << args[0];
        EXPECT_EQ(compared.out, "") << args[0];
        EXPECT_EQ(compared.err, "tarvidon-cli: " + fifo + ": I/O error 22.\n") << args[0];
    }
}

#ifndef __SANITIZE_ADDRESS__ // the sanitizer's shadow memory takes no address-space limit
TEST_F(CliPosix, IdentifyRefusesADumpOfGigabytesByItsSizeUnread)
{
    const std::string dump = dir.path("huge.bin");
    const std::int64_t size = std::int64_t{8} << 30;
    if (!WriteSparseFile(dump, size - 1, {0x01}, size))
        GTEST_SKIP() << "this file system keeps no holes";

    const CliResult result =
        RunCli({"identify", data, dump}, WithChild([] { Limit(RLIMIT_AS, rlim_t{64} << 20); }));

    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tarvidon-cli: " + dump + ": Size is " + std::to_string(size)
                              + " bytes; a dump is an image of 256 bytes or an export file of 512 bytes.\n");
}
#endif

TEST_F(CliPosix, AFullStandardOutputIsAnError)
{
    const CliResult result = RunCli({"list", data}, WithChild([] {
                                        const int full = open("/dev/full", O_WRONLY);
                                        dup2(full, STDOUT_FILENO);
                                    }));
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "tarvidon-cli: stdout: Disk full.\n");
}

TEST_F(CliPosix, AnUnwritableFolderIsRefusedAndLeftEmpty)
{
    const std::string folder = dir.path("read-only");
    fs::create_directory(folder);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);

    const CliResult single = RunCli({"export", data, "--index", "0", "-o", folder + "/x.BIN"}, WithChild(DropPrivileges));
    EXPECT_EQ(single.exitCode, 2);
    EXPECT_EQ(single.err, "tarvidon-cli: " + folder + "/x.BIN: File access denied.\n");

    const CliResult batch = RunCli({"export", data, "--all", "--dir", folder}, WithChild(DropPrivileges));
    EXPECT_EQ(batch.exitCode, 2);
    EXPECT_EQ(batch.out, "");
    EXPECT_EQ(batch.err, "tarvidon-cli: " + folder + "/" + kFirstName + ": File access denied.\n" + Summary(folder, 0));
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{});
}

TEST_F(CliPosix, AFileSizeLimitLeavesNoPartialFileOfABatchAndTheOldFilesWhole)
{
    const std::string folder = dir.path("out");
    const CliResult fresh = RunCli({"export", data, "--all", "--dir", folder}, WithChild([] { Limit(RLIMIT_FSIZE, 300); }));
    EXPECT_EQ(fresh.exitCode, 2);
    EXPECT_EQ(fresh.err, "tarvidon-cli: " + folder + "/" + kFirstName + ": Disk full.\n" + Summary(folder, 0));
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{});

    const Bytes old(512, 0x77);
    dir.write("out/" + kFirstName, old);
    const CliResult over =
        RunCli({"export", data, "--all", "--dir", folder, "--overwrite"}, WithChild([] { Limit(RLIMIT_FSIZE, 300); }));
    EXPECT_EQ(over.exitCode, 2);
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{kFirstName});
    EXPECT_EQ(ReadFile(folder + "/" + kFirstName), old);
}

#ifndef __SANITIZE_ADDRESS__ // the sanitizer's shadow memory takes no address-space limit
TEST_F(CliPosix, ABatchOfNamesThatRunIntoOneAnotherTakesMemoryForItsFileNamesNotTheWholeNames)
{
    // Records every 17 bytes, each name running on to the one 0x00 after
    // them all: 64 KiB of them hold 126 MB of names, a folder takes 1 MB.
    std::string run;
    while (run.size() < (std::size_t{64} << 10))
        run += "DTHDABCDEFGHIJKLM";
    const Bytes bytes = ImageBuilder().bytes(run).zeros(kImageOffset + kImageLength).data();
    const std::string runData = dir.write("run.dat", bytes);
    const std::string folder = dir.path("run");

    const CliResult result =
        RunCli({"export", runData, "--all", "--dir", folder}, WithChild([] { Limit(RLIMIT_AS, rlim_t{64} << 20); }));

    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(static_cast<std::int64_t>(FilesIn(folder).size()),
              BuildCatalogue(DataImage::FromBytes(bytes)).ModelCount());
}
#endif

TEST_F(CliPosix, AFailureHalfWayStopsTheBatchAndSaysHowFarItGot)
{
    const std::string folder = dir.path("out");
    const std::string manifest = dir.path("manifest.csv");
    fs::create_directories(folder + "/31000300_M5.BIN"); // a folder where the sixth file goes
    const CliResult result = RunCli({"export", data, "--all", "--dir", folder, "--overwrite", "--manifest", manifest});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tarvidon-cli: " + folder + "/31000300_M5.BIN: File access denied.\n" + Summary(folder, 5));
    const std::vector<std::string> expected = {"31000300_M0.BIN", "31000300_M1.BIN", "31000300_M2.BIN",
                                               "31000300_M3.BIN", "31000300_M4.BIN", "31000300_M5.BIN"};
    EXPECT_EQ(FilesIn(folder), expected); // nothing temporary left behind
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(ReadFile(folder + "/" + expected[static_cast<std::size_t>(k)]).size(), 512u);
    const std::string text(reinterpret_cast<const char *>(ReadFile(manifest).data()), ReadFile(manifest).size());
    const auto records = ParseCsv(text);
    ASSERT_EQ(records.size(), 6u); // the header and the five files written
    EXPECT_EQ(records.back().back(), "31000300_M4.BIN");
}

TEST_F(CliPosix, ProgressIsShownOnlyOnATerminal)
{
    int master = -1, terminal = -1;
    ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    const std::string folder = dir.path("out");
    const CliResult result =
        RunCli({"export", data, "--all", "--dir", folder}, WithChild([terminal] { dup2(terminal, STDERR_FILENO); }));
    close(terminal);
    EXPECT_EQ(result.exitCode, 0);
    std::string shown;
    char buffer[4096];
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, static_cast<std::size_t>(got));
    close(master);
    EXPECT_NE(shown.find("\r9/9 files, "), std::string::npos) << shown;
    EXPECT_NE(shown.find(" files/s"), std::string::npos) << shown;

    const CliResult piped = RunCli({"export", data, "--all", "--dir", dir.path("piped")});
    EXPECT_EQ(piped.err, Summary(dir.path("piped"), kRecords));
}

TEST_F(CliPosix, DiffSumsUpOnATerminalBelowItsTable)
{
    ImageBuilder builder;
    builder.record("M0", {0x31, 0x00, 0x03, 0x00}, 0x00); // the same
    builder.record("M1", {0x31, 0x00, 0x03, 0x00}, 0x7F); // another image
    builder.record("Other", {0x01, 0x00, 0x00, 0x00});
    const std::string newer = dir.write("newer.dat", builder.data());
    int master = -1, terminal = -1;
    ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
    const CliResult result = RunCli({"diff", data, newer}, WithChild([terminal] { dup2(terminal, STDERR_FILENO); }));
    close(terminal);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out.substr(0, 6), "Change");
    std::string shown;
    char buffer[4096];
    for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, static_cast<std::size_t>(got));
    close(master);
    EXPECT_EQ(shown, "tarvidon-cli: 1 added, 7 removed, 1 changed.\r\n");
}

} // namespace
} // namespace tarvidon::test
