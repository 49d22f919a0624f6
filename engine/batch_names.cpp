// File names for writing many entries into one folder.

#include "catalogue.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace tarvidon {

namespace {

// Refused by some file system we may copy the folder to: "/" and NUL here,
// the rest and the control characters on Windows.
bool IsRefusedInFileName(unsigned char c)
{
    return c < 0x20 || std::string_view(R"(/<>:"\|?*)").find(static_cast<char>(c)) != std::string_view::npos;
}

// Case-insensitive file systems fold at least the Latin letters.
std::string FoldLatinCase(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; });
    return name;
}

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
    std::vector<std::string> result;
    result.reserve(names.size());
    std::unordered_set<std::string> taken;               // folded names given out so far
    std::unordered_map<std::string, int> nextSuffix;     // folded name -> next " (k)" to try
    for (const std::string &name : names) {
        std::string safe = SafeFileName(name);
        std::string folded = FoldLatinCase(safe);
        if (taken.insert(folded).second) {
            result.push_back(std::move(safe));
            continue;
        }
        const std::size_t dot = safe.rfind('.');
        const std::size_t stemLength = dot == std::string::npos ? safe.size() : dot;
        int &k = nextSuffix.try_emplace(folded, 2).first->second;
        for (;; ++k) {
            std::string candidate = safe.substr(0, stemLength) + " (" + std::to_string(k) + ")" + safe.substr(stemLength);
            if (taken.insert(FoldLatinCase(candidate)).second) {
                result.push_back(std::move(candidate));
                break;
            }
        }
    }
    return result;
}

} // namespace tarvidon
