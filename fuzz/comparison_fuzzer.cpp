// Treats its input as a data file and answers what the command line's
// identify and diff answer: the entries holding a dump's image, the
// nearest ones, and the changes against a second version of the file (the
// input with one byte changed and a stretch cut out, both where the input
// says). Each answer is checked against a plain model: every entry's
// image compared, and records paired by name and occurrence through a map.

#include "check.h"
#include "comparison.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace tarvidon;
using tarvidon::fuzz::Check;

EngineState Scanned(std::vector<std::uint8_t> bytes)
{
    EngineState state;
    state.Image = DataImage::FromBytes(bytes);
    ScanCatalogue(state);
    return state;
}

ImageView ImageOf(const EngineState &state, MatchIndex i)
{
    return ImageView(FirmwareImage(state, i), ImageView::extent);
}

std::vector<int> PlainDifferingOffsets(ImageView a, ImageView b)
{
    std::vector<int> offsets;
    for (int at = 0; at < kImageLength; ++at)
        if (a[static_cast<std::size_t>(at)] != b[static_cast<std::size_t>(at)])
            offsets.push_back(at);
    return offsets;
}

void CheckIdentify(const EngineState &state, ImageView dump, std::int64_t nearest)
{
    const MatchIndex count = state.Catalogue.ModelCount();
    std::vector<int> differing;
    std::vector<ImageMatch> equal;
    for (MatchIndex i = 0; i < count; ++i) {
        differing.push_back(static_cast<int>(PlainDifferingOffsets(ImageOf(state, i), dump).size()));
        if (differing.back() == 0)
            equal.push_back({i, {}});
    }
    Check(FindEqualImages(state, dump) == equal, "identify: equal images");

    std::vector<MatchIndex> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](MatchIndex a, MatchIndex b) {
        return differing[static_cast<std::size_t>(a)] < differing[static_cast<std::size_t>(b)];
    });
    order.resize(static_cast<std::size_t>(std::min(nearest, count)));
    const std::vector<ImageMatch> found = FindNearestImages(state, dump, nearest);
    Check(found.size() == order.size(), "identify: nearest count");
    for (std::size_t k = 0; k < found.size(); ++k) {
        Check(found[k].index == order[k], "identify: nearest order");
        Check(found[k].differingOffsets == PlainDifferingOffsets(ImageOf(state, order[k]), dump),
              "identify: differing offsets");
    }
}

// The k-th entry of each name, by the name's text.
std::map<std::string, std::vector<MatchIndex>> ByName(const Catalogue &catalogue)
{
    std::map<std::string, std::vector<MatchIndex>> byName;
    for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i)
        byName[std::string(catalogue.ModelName(i))].push_back(i);
    return byName;
}

void CheckDiff(const EngineState &before, const EngineState &after)
{
    const auto oldNames = ByName(before.Catalogue), newNames = ByName(after.Catalogue);
    CatalogueChanges expected;
    std::vector<RecordChange> added;
    for (const auto &[name, olds] : oldNames) {
        const auto found = newNames.find(name);
        const std::size_t partners = found == newNames.end() ? 0 : found->second.size();
        for (std::size_t k = 0; k < olds.size(); ++k) {
            const auto occurrence = static_cast<std::int64_t>(k + 1);
            if (k >= partners) {
                expected.removed.push_back({occurrence, olds[k], kNoMatch, 0});
                continue;
            }
            const MatchIndex partner = found->second[k];
            const auto differing =
                static_cast<int>(PlainDifferingOffsets(ImageOf(before, olds[k]), ImageOf(after, partner)).size());
            if (differing > 0)
                expected.changed.push_back({occurrence, olds[k], partner, differing});
        }
    }
    for (const auto &[name, news] : newNames) {
        const auto found = oldNames.find(name);
        for (std::size_t k = found == oldNames.end() ? 0 : found->second.size(); k < news.size(); ++k)
            expected.added.push_back({static_cast<std::int64_t>(k + 1), kNoMatch, news[k], 0});
    }
    const auto byOld = [](const RecordChange &a, const RecordChange &b) { return a.oldIndex < b.oldIndex; };
    std::sort(expected.removed.begin(), expected.removed.end(), byOld);
    std::sort(expected.changed.begin(), expected.changed.end(), byOld);
    std::sort(expected.added.begin(), expected.added.end(),
              [](const RecordChange &a, const RecordChange &b) { return a.newIndex < b.newIndex; });

    const CatalogueChanges changes = CompareCatalogues(before, after);
    Check(changes.added == expected.added, "diff: added");
    Check(changes.removed == expected.removed, "diff: removed");
    Check(changes.changed == expected.changed, "diff: changed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return 0;
    const std::vector<std::uint8_t> bytes(data, data + size);
    const EngineState state = Scanned(bytes);

    // The dump: the image of the entry the input names, one byte turned, or
    // the input's own start where it has no entry.
    std::array<std::uint8_t, kImageLength> dump{};
    const MatchIndex count = state.Catalogue.ModelCount();
    if (count > 0) {
        const ImageView image = ImageOf(state, data[1] % count);
        std::copy(image.begin(), image.end(), dump.begin());
        dump[data[2]] ^= data[3] & 1;
    } else {
        std::copy_n(data, std::min<std::size_t>(size, dump.size()), dump.begin());
    }
    CheckIdentify(state, ImageView(dump), 1 + data[0] % 5);

    std::vector<std::uint8_t> revised = bytes;
    const std::size_t changed = (std::size_t{data[1]} << 8 | data[2]) % size;
    revised[changed] = static_cast<std::uint8_t>(revised[changed] + 1 + data[3] % 4);
    const std::size_t cut = data[0] % 2 == 0 ? 0 : std::min<std::size_t>(data[3], size - changed);
    revised.erase(revised.begin() + static_cast<std::ptrdiff_t>(changed),
                  revised.begin() + static_cast<std::ptrdiff_t>(changed + cut));
    CheckDiff(state, Scanned(std::move(revised)));
    CheckDiff(state, state);
    return 0;
}
