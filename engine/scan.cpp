// Finding records by their tag and building the catalogue.

#include "catalogue.h"
#include "tag_search.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tarvidon {

namespace {

constexpr std::int64_t kImageEnd = kImageOffset + kImageLength; // from the tag
constexpr std::size_t kReservedNameBytes = 32;

std::optional<std::int64_t> FindByte(const DataImage &image, std::int64_t from, std::uint8_t byte)
{
    if (from >= image.length())
        return std::nullopt;
    const void *hit = std::memchr(image.data() + from, byte, static_cast<std::size_t>(image.length() - from));
    if (hit == nullptr)
        return std::nullopt;
    return static_cast<const std::uint8_t *>(hit) - image.data();
}

template <typename String>
void AppendDecodedName(String &out, const std::uint8_t *begin, const std::uint8_t *end)
{
    const std::size_t first = out.size();
    out.append(reinterpret_cast<const char *>(begin), static_cast<std::size_t>(end - begin));
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                 static_cast<char>(kNameSpaceByte), ' ');
}

std::array<char, 8> ProductNumberAt(const DataImage &image, std::int64_t imageOffset)
{
    std::array<char, 8> digits{};
    for (std::int64_t k = 0; k < kProductNumberBytes; ++k) {
        const std::string hex = ByteToHex(image.data()[imageOffset + k]);
        digits[static_cast<std::size_t>(2 * k)] = hex[0];
        digits[static_cast<std::size_t>(2 * k + 1)] = hex[1];
    }
    return digits;
}

// The first 0x00 at or after a position that only grows from call to call.
// Remembering the last answer keeps the scan linear when many records
// share one long name or none has an end at all.
class NameEndFinder {
public:
    explicit NameEndFinder(const DataImage &image) : image_(image) {}

    std::optional<std::int64_t> at(std::int64_t from)
    {
        if (!searched_ || (end_ && *end_ < from)) {
            end_ = FindByte(image_, from, 0x00);
            searched_ = true;
        }
        return end_;
    }

private:
    const DataImage &image_;
    bool searched_ = false;
    std::optional<std::int64_t> end_;
};

} // namespace

CatalogueEntry Catalogue::Entry(MatchIndex i) const
{
    if (i < 0 || i >= ModelCount())
        throw ListIndexError(i);
    const Stored &stored = entries_[static_cast<std::size_t>(i)];
    return {std::string_view(names_).substr(stored.nameBegin, stored.nameLength), stored.imageOffset,
            std::string_view(stored.productNumber.data(), stored.productNumber.size())};
}

std::optional<std::int64_t> FindTag(const DataImage &image, std::int64_t start)
{
    // A tag is tested at offsets up to length - 5, so its last byte must
    // lie before the image's last byte.
    const std::int64_t searchEnd = image.length() - 1;
    start = std::max<std::int64_t>(start, 0);
    if (searchEnd - start < kTagLength)
        return std::nullopt;
    const auto size = static_cast<std::size_t>(searchEnd - start);
    const std::size_t hit = FindRecordTag(image.data() + start, size);
    if (hit == size)
        return std::nullopt;
    return start + static_cast<std::int64_t>(hit);
}

std::optional<std::string> ReadModelName(const DataImage &image, std::int64_t tag)
{
    const std::int64_t nameStart = tag + kNameOffset;
    const std::optional<std::int64_t> nameEnd = FindByte(image, nameStart, 0x00);
    if (!nameEnd)
        return std::nullopt;
    std::string name;
    AppendDecodedName(name, image.data() + nameStart, image.data() + *nameEnd);
    return name;
}

Catalogue BuildCatalogue(const DataImage &image)
{
    Catalogue catalogue;
    // Room for records laid end to end with names of up to 32 bytes, taken
    // up front: growing copies everything built so far into fresh pages each
    // time, and page faults dominate building a large catalogue. Room never
    // filled costs address space only, and without it we simply grow.
    try {
        const auto records = static_cast<std::size_t>(image.length() / kImageEnd);
        catalogue.entries_.reserve(records);
        catalogue.names_.reserve(records * kReservedNameBytes);
    } catch (const std::bad_alloc &) {
        catalogue = Catalogue();
    }
    NameEndFinder nameEnds(image);
    // The last name stored, so that a record whose name ends at the same
    // 0x00 (it lies inside the earlier one) reuses its tail.
    std::optional<std::int64_t> lastNameEnd;
    std::int64_t lastNameStart = 0;
    std::size_t lastNameBegin = 0;

    for (auto tag = FindTag(image, 0); tag; tag = FindTag(image, *tag + 1)) {
        if (*tag + kImageEnd > image.length())
            continue; // the firmware image would run past the end
        const std::int64_t nameStart = *tag + kNameOffset;
        const std::optional<std::int64_t> nameEnd = nameEnds.at(nameStart);
        if (!nameEnd || *nameEnd == nameStart)
            continue; // unterminated or nameless

        std::size_t nameBegin = 0;
        if (nameEnd == lastNameEnd) {
            nameBegin = lastNameBegin + static_cast<std::size_t>(nameStart - lastNameStart);
        } else {
            nameBegin = catalogue.names_.size();
            AppendDecodedName(catalogue.names_, image.data() + nameStart, image.data() + *nameEnd);
            lastNameEnd = nameEnd;
            lastNameStart = nameStart;
            lastNameBegin = nameBegin;
        }
        const std::int64_t imageOffset = *tag + kImageOffset;
        catalogue.entries_.push_back({nameBegin, static_cast<std::size_t>(*nameEnd - nameStart), imageOffset,
                                      ProductNumberAt(image, imageOffset)});
    }
    return catalogue;
}

bool ScanCatalogue(EngineState &state)
{
    if (state.Image.length() <= 0)
        return false;
    try {
        state.Catalogue = BuildCatalogue(state.Image);
    } catch (const std::bad_alloc &) {
        throw OutOfMemoryError();
    }
    return true;
}

} // namespace tarvidon
