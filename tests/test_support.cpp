#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include <random>

#include <windows.h>
#include <winioctl.h>
#else
#include "file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarvidon::test {

std::int64_t ImageBuilder::record(std::string_view name, std::array<std::uint8_t, 4> productNumber,
                                  std::uint8_t fill)
{
    const auto tag = static_cast<std::int64_t>(data_.size());
    Bytes record(kImageOffset + kImageLength, fill);
    std::copy(kRecordTag.begin(), kRecordTag.end(), record.begin());
    std::fill(record.begin() + kTagLength, record.begin() + kNameOffset, 0x00);
    if (kNameOffset + name.size() + 1 > kImageOffset)
        throw std::logic_error("name too long for a test record");
    std::copy(name.begin(), name.end(), record.begin() + kNameOffset);
    record[kNameOffset + name.size()] = 0x00;
    std::fill(record.begin() + kNameOffset + static_cast<std::ptrdiff_t>(name.size()) + 1,
              record.begin() + kImageOffset, 0x00);
    std::copy(productNumber.begin(), productNumber.end(), record.begin() + kImageOffset);
    data_.insert(data_.end(), record.begin(), record.end());
    return tag;
}

ImageBuilder &ImageBuilder::bytes(std::string_view raw)
{
    data_.insert(data_.end(), raw.begin(), raw.end());
    return *this;
}

ImageBuilder &ImageBuilder::zeros(std::size_t count)
{
    data_.insert(data_.end(), count, 0x00);
    return *this;
}

TempDir::TempDir()
{
#ifdef _WIN32
    // No mkdtemp here: random names until one is new.
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
        const std::filesystem::path candidate =
            std::filesystem::temp_directory_path() / ("tarvidon-test-" + std::to_string(random() % 1000000000));
        if (std::filesystem::create_directory(candidate))
            root_ = candidate;
    }
    if (root_.empty())
        throw std::runtime_error("cannot create a temporary folder");
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "tarvidon-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    root_ = pattern;
#endif
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string TempDir::path(std::string_view name) const
{
    return (root_ / name).string();
}

std::filesystem::path TempDir::nativePath(std::string_view utf8Name) const
{
    return root_ / std::u8string(utf8Name.begin(), utf8Name.end());
}

std::string TempDir::write(std::string_view name, const Bytes &bytes) const
{
    const std::string file = path(name);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
        throw std::runtime_error("cannot write " + file);
    return file;
}

std::vector<std::string> FilesIn(std::string_view utf8Folder)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(std::u8string(utf8Folder.begin(), utf8Folder.end()))) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bytes ReadFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes ExpectedExport(const EngineState &state, MatchIndex i)
{
    Bytes expected(kExportPadding, 0x00);
    const std::uint8_t *image = state.Image.data() + state.Catalogue.Entry(i).ImageOffset;
    expected.insert(expected.end(), image, image + kImageLength);
    return expected;
}

std::vector<std::string> CheckAndLoad(EngineState &state, const std::filesystem::path &path)
{
    std::vector<std::string> messages;
    CheckDataFile(state, path, [&](std::string_view text) { messages.emplace_back(text); });
    LoadDataFile(state, path);
    return messages;
}

#ifdef _WIN32
UnloadableFile::UnloadableFile(const TempDir &dir) : path(dir.write("locked.dat", Bytes(64))), error("File access denied")
{
    handle_ = CreateFileW(std::filesystem::path(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle_ == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot lock " + path);
}

UnloadableFile::~UnloadableFile()
{
    CloseHandle(handle_);
}

bool WriteSparseFile(const std::filesystem::path &path, std::int64_t offset, const Bytes &bytes, std::int64_t length)
{
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throw std::runtime_error("cannot create " + path.string());
    DWORD returned = 0;
    LARGE_INTEGER position{};
    position.QuadPart = offset;
    LARGE_INTEGER end{};
    end.QuadPart = length;
    DWORD written = 0;
    const bool sparse = DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr) != 0;
    const bool done = sparse && SetFilePointerEx(file, position, nullptr, FILE_BEGIN)
        && WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)
        && written == bytes.size() && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    if (sparse && !done)
        throw std::runtime_error("cannot write " + path.string());
    return sparse;
}
#else
bool WriteSparseFile(const std::filesystem::path &path, std::int64_t offset, const Bytes &bytes, std::int64_t length)
{
    FileDescriptor file(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600));
    if (!file.valid()
        || pwrite(file.get(), bytes.data(), bytes.size(), offset) != static_cast<ssize_t>(bytes.size())
        || ftruncate(file.get(), length) != 0)
        throw std::runtime_error("cannot write " + path.string());
    return true; // holes are what ftruncate leaves wherever it can
}

UnloadableFile::UnloadableFile(const TempDir &dir) : path(dir.path("fifo")), error("I/O error 22")
{
    if (mkfifo(path.c_str(), 0600) != 0)
        throw std::runtime_error("cannot make " + path);
}

UnloadableFile::~UnloadableFile() = default;

int RunUnprivileged(const std::function<bool()> &check)
{
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(2);
        try {
            _exit(check() ? 0 : 1);
        } catch (...) {
            _exit(3); // never back into the test run
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

} // namespace tarvidon::test
