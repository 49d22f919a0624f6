// File names for writing many entries into one folder.

#include "catalogue.h"
#include "code_page.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace tarvidon {

namespace {

// The longest file name that ext4 (255 bytes) and NTFS (255 UTF-16 units)
// both take; a UTF-8 name of 255 bytes never needs more UTF-16 units.
constexpr std::size_t kMaxFileNameBytes = 255;

// Refused by some file system we may copy the folder to: "/" and NUL here,
// the rest and the control characters on Windows.
bool IsRefusedInFileName(unsigned char c)
{
    return c < 0x20 || std::string_view(R"(/<>:"\|?*)").find(static_cast<char>(c)) != std::string_view::npos;
}

// Case-insensitive file systems fold at least the Latin letters.
std::string FoldLatinCase(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(), LatinUpper);
    return name;
}

// stem + suffix + extension, with the stem cut short, never inside a UTF-8
// character, where the whole would be too long to name a file.
std::string JoinFitting(std::string_view stem, std::string_view suffix, std::string_view extension)
{
    const std::size_t fixed = suffix.size() + extension.size();
    std::size_t keep = std::min(stem.size(), kMaxFileNameBytes > fixed ? kMaxFileNameBytes - fixed : 0);
    while (keep > 0 && keep < stem.size() && (static_cast<unsigned char>(stem[keep]) & 0xC0) == 0x80)
        --keep;
    return std::string(stem.substr(0, keep)).append(suffix).append(extension);
}

// Gives names their file names one by one, each told apart from those
// given before it.
class FileNamer {
public:
    std::string next(std::string_view name)
    {
        const std::string safe = SafeFileName(name);
        const std::string_view whole = safe;
        const std::size_t dot = whole.rfind('.');
        const std::string_view stem = whole.substr(0, dot == std::string_view::npos ? whole.size() : dot);
        const std::string_view extension = whole.substr(stem.size());
        std::string fitting = JoinFitting(stem, "", extension);
        std::string folded = FoldLatinCase(fitting);
        if (taken_.insert(folded).second)
            return fitting;
        int &k = nextSuffix_.try_emplace(std::move(folded), 2).first->second;
        for (;; ++k) {
            std::string candidate = JoinFitting(stem, " (" + std::to_string(k) + ")", extension);
            if (taken_.insert(FoldLatinCase(candidate)).second)
                return candidate;
        }
    }

private:
    std::unordered_set<std::string> taken_;           // folded names given out so far
    std::unordered_map<std::string, int> nextSuffix_; // folded name -> next " (k)" to try
};

} // namespace

std::string SafeFileName(std::string_view name)
{
    std::string safe(name);
    std::replace_if(safe.begin(), safe.end(), [](char c) { return IsRefusedInFileName(static_cast<unsigned char>(c)); },
                    '_');
    return safe;
}

std::vector<std::string> BatchFileNames(std::span<const std::string> names)
{
    FileNamer namer;
    std::vector<std::string> result;
    result.reserve(names.size());
    for (const std::string &name : names)
        result.push_back(namer.next(name));
    return result;
}

std::vector<std::string> BatchFileNames(const Catalogue &catalogue, std::span<const MatchIndex> entries)
{
    FileNamer namer;
    std::vector<std::string> result;
    result.reserve(entries.size());
    for (const MatchIndex i : entries) {
        const CatalogueEntry entry = catalogue.Entry(i);
        // Every byte of a name is at least one byte of its file name, so
        // what lies past this many is cut off whatever it is.
        const std::string_view start = entry.ModelName.substr(0, kMaxFileNameBytes);
        result.push_back(namer.next(Cp1251ToUtf8(DefaultOutputName(entry.ProductNumber, start))));
    }
    return result;
}

} // namespace tarvidon
