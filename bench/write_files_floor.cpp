// The file system's floor for a durable batch export: COUNT files of 512
// bytes written into DIR with nothing but open, write and close each, then
// the file system flushed once. scripts/bench times it beside
// `tarvidon-cli export --all` of a catalogue with COUNT entries, each in a
// fresh folder.
//
//   write_files_floor DIR COUNT

#include "catalogue.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace {

bool Fail(const std::string &path)
{
    std::fprintf(stderr, "write_files_floor: %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
}

// Named as the synthetic catalogue's exports are, so that the folder holds
// names of the same length.
std::string FileName(const std::string &dir, long i)
{
    char name[64];
    std::snprintf(name, sizeof name, "/%08lX_Model %c%c-%ld.BIN", 0x31000000 + i, 'A' + static_cast<char>(i % 26),
                  'A' + static_cast<char>((i / 26) % 26), i);
    return dir + name;
}

bool WriteFiles(const std::string &dir, long count)
{
    std::array<unsigned char, tarvidon::kExportSize> bytes{};
    for (long i = 0; i < count; ++i) {
        const std::string path = FileName(dir, i);
        bytes[tarvidon::kExportPadding] = static_cast<unsigned char>(i);
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0)
            return Fail(path);
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written != static_cast<ssize_t>(bytes.size())) {
            if (written >= 0)
                errno = ENOSPC;
            close(fd);
            return Fail(path);
        }
        if (close(fd) != 0)
            return Fail(path);
    }
    const int folder = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0 || syncfs(folder) != 0)
        return Fail(dir);
    return close(folder) == 0 || Fail(dir);
}

} // namespace

int main(int argc, char *argv[])
{
    long count = -1;
    if (argc == 3) {
        const std::string_view text = argv[2];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
        if (error != std::errc() || end != text.data() + text.size())
            count = -1;
    }
    if (count < 0) {
        std::fprintf(stderr, "usage: write_files_floor DIR COUNT\n");
        return 2;
    }
    return WriteFiles(argv[1], count) ? 0 : 1;
}
