// Treats its input as a data file and runs everything the engine does with
// one: the scan, prefix and exact lookups with text taken from the input,
// the hex rows and the export bytes of every entry, and the save of one
// entry for a sample of inputs. Each result is checked against the
// engine's own rules, computed the slow, obvious way here.

#include "catalogue.h"
#include "check.h"
#include "code_page.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace {

using namespace tarvidon;

constexpr char kDigits[] = "0123456789ABCDEF";

using tarvidon::fuzz::Check;

struct ExpectedRecord {
    std::int64_t tag;
    std::size_t nameLength;
};

// The records a scan must list: every tag up to length - 5 whose name
// ends inside the image, is not empty, and whose firmware image fits.
std::vector<ExpectedRecord> ExpectedRecords(const std::uint8_t *data, std::int64_t size)
{
    std::vector<ExpectedRecord> records;
    for (std::int64_t t = 0; t <= size - 5; ++t) {
        // Byte by byte: a memcmp at every offset costs more than the rest.
        const bool tagged = data[t] == 'D' && data[t + 1] == 'T' && data[t + 2] == 'H' && data[t + 3] == 'D';
        if (!tagged || t + kImageOffset + kImageLength > size)
            continue;
        const std::uint8_t *name = data + t + kNameOffset;
        const auto *end =
            static_cast<const std::uint8_t *>(std::memchr(name, 0, static_cast<std::size_t>(data + size - name)));
        if (end != nullptr && end != name)
            records.push_back({t, static_cast<std::size_t>(end - name)});
    }
    return records;
}

char DecodedNameByte(std::uint8_t byte)
{
    return byte == kNameSpaceByte ? ' ' : static_cast<char>(byte);
}

// Whether name is what the record carries: its bytes up to the 0x00, each
// 0x14 read as a space. Overlapping records make names long and many, so
// all bytes are compared only when whole is set; else the length and the
// two ends.
bool NameMatches(const std::uint8_t *data, const ExpectedRecord &record, std::string_view name, bool whole)
{
    const std::uint8_t *stored = data + record.tag + kNameOffset;
    if (name.size() != record.nameLength || name.empty())
        return false;
    if (!whole)
        return name.front() == DecodedNameByte(stored[0]) && name.back() == DecodedNameByte(stored[name.size() - 1]);
    for (std::size_t k = 0; k < name.size(); ++k) {
        if (name[k] != DecodedNameByte(stored[k]))
            return false;
    }
    return true;
}

// Whether number is the hex of the image's first four bytes.
bool ProductNumberMatches(const std::uint8_t *image, std::string_view number)
{
    if (number.size() != 2 * kProductNumberBytes)
        return false;
    for (std::size_t k = 0; k < kProductNumberBytes; ++k) {
        if (number[2 * k] != kDigits[image[k] >> 4] || number[2 * k + 1] != kDigits[image[k] & 15])
            return false;
    }
    return true;
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
    std::vector<MatchIndex> byModel, byProduct;
    MatchIndex exact = kNoMatch;
    for (MatchIndex i = catalogue.ModelCount() - 1; i >= 0; --i) {
        const CatalogueEntry entry = catalogue.Entry(i);
        if (SlowPrefix(typed, entry.ModelName))
            byModel.push_back(i);
        if (SlowPrefix(typed, entry.ProductNumber))
            byProduct.push_back(i);
        if (entry.ModelName == typed)
            exact = i;
    }
    std::reverse(byModel.begin(), byModel.end());
    std::reverse(byProduct.begin(), byProduct.end());
    const auto last = [](const std::vector<MatchIndex> &all) { return all.empty() ? kNoMatch : all.back(); };
    Check(FindByModel(catalogue, typed) == last(byModel), "FindByModel");
    Check(FindByProductNumber(catalogue, typed) == last(byProduct), "FindByProductNumber");
    Check(FindAllByModel(catalogue, typed) == byModel, "FindAllByModel");
    Check(FindAllByProductNumber(catalogue, typed) == byProduct, "FindAllByProductNumber");
    try {
        Check(FindExactModel(catalogue, typed) == exact, "FindExactModel");
    } catch (const ListIndexError &error) {
        Check(exact == kNoMatch, "FindExactModel missed a name");
        Check(error.what() == "List index out of bounds (" + std::to_string(catalogue.ModelCount()) + ")",
              "FindExactModel message");
    }
}

void CheckHexRows(const EngineState &state, MatchIndex i)
{
    const std::uint8_t *image = state.Image.data() + state.Catalogue.Entry(i).ImageOffset;
    const auto rows = ShowImage(state, i);
    for (int r = 0; r < kHexRowCount; ++r) {
        std::string row;
        for (int c = 0; c < kBytesPerHexRow; ++c) {
            const std::uint8_t byte = image[r * kBytesPerHexRow + c];
            row += {kDigits[byte >> 4], kDigits[byte & 15], ' '};
        }
        Check(rows[r] == row, "hex row");
    }
}

void CheckExport(const EngineState &state, MatchIndex i)
{
    const std::uint8_t *image = state.Image.data() + state.Catalogue.Entry(i).ImageOffset;
    static constexpr std::array<std::uint8_t, kExportPadding> kZeros{};
    const auto file = ExportFile(state, i);
    Check(std::memcmp(file.data(), kZeros.data(), kExportPadding) == 0, "export padding");
    Check(std::memcmp(file.data() + kExportPadding, image, kImageLength) == 0, "export image");
}

const std::string &ExportFolder()
{
    static const std::string folder = [] {
        // In memory where the system offers it.
        std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm/tarvidon-fuzz-XXXXXX" : "/tmp/tarvidon-fuzz-XXXXXX";
        Check(mkdtemp(pattern.data()) != nullptr, "temporary folder");
        return pattern;
    }();
    return folder;
}

// The save itself, for entry i: the bytes on disk are those checked in
// memory. Files cost far more than the checks, so only a sample of inputs
// writes one.
void CheckSave(const EngineState &state, MatchIndex i)
{
    const std::string path = ExportFolder() + "/export.BIN";
    SaveImage(state, state.Catalogue.ModelName(i), path, i);
    std::FILE *file = std::fopen(path.c_str(), "rb");
    Check(file != nullptr, "export written");
    unsigned char written[kExportSize + 1];
    const std::size_t size = std::fread(written, 1, sizeof written, file);
    std::fclose(file);
    Check(size == kExportSize, "export is 512 bytes");
    Check(std::memcmp(written, ExportFile(state, i).data(), kExportSize) == 0, "export on disk");
}

// The file names of export --all, made from the cut names, are those made
// from the whole default names.
void CheckBatchFileNames(const Catalogue &catalogue)
{
    std::vector<MatchIndex> all;
    std::vector<std::string> wholeNames;
    for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i) {
        all.push_back(i);
        wholeNames.push_back(Cp1251ToUtf8(DefaultOutputName(catalogue, i)));
    }
    Check(BatchFileNames(catalogue, all) == BatchFileNames(wholeNames), "batch file names");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    EngineState state;
    state.Image = DataImage::FromBytes({data, size});
    Check(ScanCatalogue(state) == (size > 0), "scan runs on any non-empty image");

    const auto size64 = static_cast<std::int64_t>(size);
    const std::vector<ExpectedRecord> records = ExpectedRecords(data, size64);
    const Catalogue &catalogue = state.Catalogue;
    const MatchIndex last = catalogue.ModelCount() - 1;
    Check(catalogue.ModelCount() == static_cast<std::int64_t>(records.size()), "entry count");
    for (MatchIndex i = 0; i <= last; ++i) {
        const CatalogueEntry entry = catalogue.Entry(i);
        const ExpectedRecord &record = records[static_cast<std::size_t>(i)];
        Check(entry.ImageOffset == record.tag + kImageOffset, "image offset");
        Check(NameMatches(data, record, entry.ModelName, i == 0 || i == last), "model name");
        Check(ProductNumberMatches(data + entry.ImageOffset, entry.ProductNumber), "product number");
        CheckExport(state, i);
    }
    // The model converts every name whole: on one input in 4, chosen by
    // its length as the saves below are.
    if (size % 4 == 1)
        CheckBatchFileNames(catalogue);
    // Typed text from the input: its first bytes, and the first and the
    // last entry's name and product number, whole and cut short. Hex rows,
    // lookups and saves cost more than the checks above, so they take
    // those two entries only; lookups walk the whole catalogue anyway.
    CheckLookups(catalogue, std::string_view(reinterpret_cast<const char *>(data), std::min<std::size_t>(size, 6)));
    const auto checkEntry = [&](MatchIndex i) {
        Check(ReadModelName(state.Image, records[static_cast<std::size_t>(i)].tag) == catalogue.ModelName(i),
              "ReadModelName");
        CheckHexRows(state, i);
        CheckLookups(catalogue, catalogue.ModelName(i));
        CheckLookups(catalogue, catalogue.ModelName(i).substr(0, 2));
        CheckLookups(catalogue, catalogue.ProductNumber(i).substr(0, 3));
    };
    if (last >= 0)
        checkEntry(0);
    if (last > 0)
        checkEntry(last);
    // One input in 16, chosen by its length so that a rerun of an input
    // does the same.
    if (last >= 0 && size % 16 == 0)
        CheckSave(state, last);
    return 0;
}
