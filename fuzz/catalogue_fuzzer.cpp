// Treats its input as a data file and runs everything the engine does with
// one: the scan, prefix and exact lookups with text taken from the input,
// the hex rows and the export of every entry. Each result is checked
// against the engine's own rules, computed the slow, obvious way here.

#include "catalogue.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace {

using namespace tarvidon;

void Check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// The records a scan must list: every tag up to length - 5 whose name
// ends inside the image, is not empty, and whose firmware image fits.
std::vector<std::int64_t> ExpectedTags(const std::uint8_t *data, std::int64_t size)
{
    std::vector<std::int64_t> tags;
    for (std::int64_t t = 0; t <= size - 5; ++t) {
        if (std::memcmp(data + t, "DTHD", 4) != 0 || t + kImageOffset + kImageLength > size)
            continue;
        const std::int64_t name = t + kNameOffset;
        const void *end = std::memchr(data + name, 0, static_cast<std::size_t>(size - name));
        if (end != nullptr && end != data + name)
            tags.push_back(t);
    }
    return tags;
}

bool SlowPrefix(std::string_view typed, std::string_view candidate)
{
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (typed.empty() || typed.size() > candidate.size())
        return false;
    for (std::size_t k = 0; k < typed.size(); ++k) {
        if (upper(typed[k]) != upper(candidate[k]))
            return false;
    }
    return true;
}

void CheckLookups(const Catalogue &catalogue, std::string_view typed)
{
    MatchIndex byModel = kNoMatch, byProduct = kNoMatch, exact = kNoMatch;
    for (MatchIndex i = catalogue.ModelCount() - 1; i >= 0; --i) {
        if (byModel == kNoMatch && SlowPrefix(typed, catalogue.ModelName(i)))
            byModel = i;
        if (byProduct == kNoMatch && SlowPrefix(typed, catalogue.ProductNumber(i)))
            byProduct = i;
        if (catalogue.ModelName(i) == typed)
            exact = i;
    }
    Check(FindByModel(catalogue, typed) == byModel, "FindByModel");
    Check(FindByProductNumber(catalogue, typed) == byProduct, "FindByProductNumber");
    try {
        Check(FindExactModel(catalogue, typed) == exact, "FindExactModel");
    } catch (const ListIndexError &error) {
        Check(exact == kNoMatch, "FindExactModel missed a name");
        Check(error.what() == "List index out of bounds (" + std::to_string(catalogue.ModelCount()) + ")",
              "FindExactModel message");
    }
}

void CheckExport(const EngineState &state, MatchIndex i, const std::string &folder)
{
    const CatalogueEntry entry = state.Catalogue.Entry(i);
    const std::uint8_t *image = state.Image.data() + entry.ImageOffset;
    const auto rows = ShowImage(state, i);
    for (int r = 0; r < kHexRowCount; ++r) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        std::string row;
        for (int c = 0; c < kBytesPerHexRow; ++c) {
            const std::uint8_t byte = image[r * kBytesPerHexRow + c];
            row += {kDigits[byte >> 4], kDigits[byte & 15], ' '};
        }
        Check(rows[r] == row, "hex row");
    }

    const std::string path = folder + "/export.BIN";
    SaveImage(state, entry.ModelName, path, i);
    std::FILE *file = std::fopen(path.c_str(), "rb");
    Check(file != nullptr, "export written");
    unsigned char written[kExportSize + 1];
    const std::size_t size = std::fread(written, 1, sizeof written, file);
    std::fclose(file);
    Check(size == kExportSize, "export is 512 bytes");
    for (std::int64_t k = 0; k < kExportPadding; ++k)
        Check(written[k] == 0, "export padding");
    Check(std::memcmp(written + kExportPadding, image, kImageLength) == 0, "export image");
}

const std::string &ExportFolder()
{
    static const std::string folder = [] {
        // In memory where the system offers it: every input writes files.
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/tarvidon-fuzz-XXXXXX" : "/tmp/tarvidon-fuzz-XXXXXX";
        Check(mkdtemp(pattern.data()) != nullptr, "temporary folder");
        return pattern;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    EngineState state;
    state.Image = DataImage::FromBytes({data, size});
    Check(ScanCatalogue(state) == (size > 0), "scan runs on any non-empty image");

    const auto size64 = static_cast<std::int64_t>(size);
    const std::vector<std::int64_t> tags = ExpectedTags(data, size64);
    const Catalogue &catalogue = state.Catalogue;
    Check(catalogue.ModelCount() == static_cast<std::int64_t>(tags.size()), "entry count");
    for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i) {
        const CatalogueEntry entry = catalogue.Entry(i);
        const std::int64_t tag = tags[static_cast<std::size_t>(i)];
        Check(entry.ImageOffset == tag + kImageOffset, "image offset");
        Check(ReadModelName(state.Image, tag) == std::string(entry.ModelName), "model name");
        Check(!entry.ModelName.empty() && entry.ModelName.find('\0') == std::string_view::npos, "name is whole");
        std::string productNumber;
        for (int k = 0; k < 4; ++k)
            productNumber += ByteToHex(data[entry.ImageOffset + k]);
        Check(entry.ProductNumber == productNumber, "product number");
        CheckExport(state, i, ExportFolder());
    }

    // Typed text from the input: its first bytes, and every listed name
    // and product number cut short.
    CheckLookups(catalogue, std::string_view(reinterpret_cast<const char *>(data), std::min<std::size_t>(size, 6)));
    for (MatchIndex i = 0; i < catalogue.ModelCount() && i < 8; ++i) {
        CheckLookups(catalogue, catalogue.ModelName(i));
        CheckLookups(catalogue, catalogue.ModelName(i).substr(0, 2));
        CheckLookups(catalogue, catalogue.ProductNumber(i).substr(0, 3));
    }
    return 0;
}
