#include "comparison.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarvidon::test {
namespace {

// A record's image: the product number's first byte, three zeros, then
// 252 bytes of fill.
struct Record {
    std::string name;
    std::uint8_t product;
    std::uint8_t fill;
};

EngineState StateOf(const std::vector<Record> &records)
{
    ImageBuilder file;
    file.bytes("leading bytes");
    for (const Record &r : records)
        file.record(r.name, {r.product, 0x00, 0x00, 0x00}, r.fill);
    EngineState state;
    state.Image = file.image();
    ScanCatalogue(state);
    EXPECT_EQ(state.Catalogue.ModelCount(), static_cast<std::int64_t>(records.size()));
    return state;
}

Bytes ImageBytes(const Record &r)
{
    Bytes image(kImageLength, r.fill);
    image[0] = r.product;
    image[1] = image[2] = image[3] = 0x00;
    return image;
}

Bytes Concatenated(Bytes first, const Bytes &second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

std::string SizeMessage(std::int64_t size)
{
    return "Size is " + std::to_string(size) + " bytes; a dump is an image of 256 bytes or an export file of 512 bytes";
}

TEST(ImageOfDump, EverySizeButAnImageAndAnExportFileIsRefusedWithTheSizeFound)
{
    for (const std::size_t size : {0u, 1u, 4u, 255u, 257u, 511u, 513u, 768u, 1024u}) {
        const Bytes dump(size, 0x5A);
        try {
            (void)ImageOfDump(dump);
            ADD_FAILURE() << size << " bytes accepted";
        } catch (const DumpSizeError &e) {
            EXPECT_EQ(e.what(), SizeMessage(static_cast<std::int64_t>(size)));
        }
    }
}

const std::vector<Record> kIdentified = {
    {"First", 0x01, 0x10},    // 0
    {"Twin A", 0x02, 0x20},   // 1
    {"Twin B", 0x02, 0x20},   // 2: the same image under another name
    {"Last", 0x03, 0x30},     // 3
};

// All offsets but these, for images that differ almost everywhere.
std::vector<int> AllOffsetsBut(std::initializer_list<int> kept)
{
    std::vector<int> offsets;
    for (int k = 0; k < kImageLength; ++k) {
        if (std::find(kept.begin(), kept.end(), k) == kept.end())
            offsets.push_back(k);
    }
    return offsets;
}

TEST(Identify, EqualImagesInFileOrderAndTheNearestByDifferingBytesWithTiesInFileOrder)
{
    const EngineState state = StateOf(kIdentified);
    Bytes changed = ImageBytes(kIdentified[3]);
    for (const std::size_t k : {0u, 100u, 255u})
        changed[k] ^= 0xFF;
    Bytes lastByteChanged = ImageBytes(kIdentified[0]);
    lastByteChanged[255] = 0x11;
    struct Case {
        const char *what;
        Bytes dump;
        std::vector<MatchIndex> equal;
        std::vector<ImageMatch> nearest; // the nearest three
    };
    const Case cases[] = {
        {"exact", ImageBytes(kIdentified[0]), {0},
         {{0, {}}, {1, AllOffsetsBut({1, 2, 3})}, {2, AllOffsetsBut({1, 2, 3})}}},
        {"twins", ImageBytes(kIdentified[2]), {1, 2},
         {{1, {}}, {2, {}}, {0, AllOffsetsBut({1, 2, 3})}}},
        {"export layout, first half dirty", Concatenated(Bytes(256, 0xC3), ImageBytes(kIdentified[3])), {3},
         {{3, {}}, {0, AllOffsetsBut({1, 2, 3})}, {1, AllOffsetsBut({1, 2, 3})}}},
        {"three bytes changed", changed, {},
         {{3, {0, 100, 255}}, {0, AllOffsetsBut({1, 2, 3})}, {1, AllOffsetsBut({1, 2, 3})}}},
        {"the last byte changed", lastByteChanged, {},
         {{0, {255}}, {1, AllOffsetsBut({1, 2, 3})}, {2, AllOffsetsBut({1, 2, 3})}}},
        {"no match, all equally far", Bytes(256, 0x00), {},
         {{0, AllOffsetsBut({1, 2, 3})}, {1, AllOffsetsBut({1, 2, 3})}, {2, AllOffsetsBut({1, 2, 3})}}},
        {"an image in the first half counts for nothing", Concatenated(ImageBytes(kIdentified[0]), Bytes(256, 0x30)),
         {}, {{3, {0, 1, 2, 3}}, {0, AllOffsetsBut({})}, {1, AllOffsetsBut({})}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const ImageView image = ImageOfDump(c.dump);
        std::vector<MatchIndex> equal;
        for (const ImageMatch &match : FindEqualImages(state, image))
            equal.push_back(match.index);
        EXPECT_EQ(equal, c.equal);
        EXPECT_EQ(FindNearestImages(state, image, 3), c.nearest);
    }
}

TEST(Identify, NearestNeverListsMoreThanTheCatalogueHolds)
{
    const Bytes image = ImageBytes(kIdentified[3]);
    EXPECT_EQ(FindNearestImages(StateOf(kIdentified), ImageOfDump(image), 1000).size(), 4u);
    EXPECT_EQ(FindNearestImages(EngineState(), ImageOfDump(image), 5), std::vector<ImageMatch>{});
}

TEST(CompareCatalogues, RecordsPairByNameAndOccurrence)
{
    struct Case {
        const char *what;
        std::vector<Record> before, after;
        std::vector<RecordChange> added, removed, changed;
    };
    const Case cases[] = {
        {"same", {{"A", 1, 1}, {"B", 2, 2}}, {{"A", 1, 1}, {"B", 2, 2}}, {}, {}, {}},
        {"both empty", {}, {}, {}, {}, {}},
        {"moved in the file", {{"A", 1, 1}, {"B", 2, 2}}, {{"B", 2, 2}, {"A", 1, 1}}, {}, {}, {}},
        {"added", {{"A", 1, 1}}, {{"Z", 9, 9}, {"A", 1, 1}}, {{1, kNoMatch, 0, 0}}, {}, {}},
        {"removed", {{"A", 1, 1}, {"B", 2, 2}}, {{"B", 2, 2}}, {}, {{1, 0, kNoMatch, 0}}, {}},
        {"image changed", {{"A", 1, 1}, {"B", 2, 2}}, {{"A", 1, 1}, {"B", 2, 3}}, {}, {}, {{1, 1, 1, 252}}},
        {"product number changed", {{"A", 1, 1}}, {{"A", 7, 1}}, {}, {}, {{1, 0, 0, 1}}},
        {"renamed in case only", {{"A", 1, 1}}, {{"a", 1, 1}}, {{1, kNoMatch, 0, 0}}, {{1, 0, kNoMatch, 0}}, {}},
        {"duplicate names, one more", {{"X", 1, 1}, {"X", 2, 2}}, {{"X", 1, 1}, {"X", 2, 5}, {"X", 3, 3}},
         {{3, kNoMatch, 2, 0}}, {}, {{2, 1, 1, 252}}},
        {"duplicate names, first gone", {{"X", 1, 1}, {"Y", 4, 4}, {"X", 2, 2}}, {{"Y", 4, 4}, {"X", 2, 2}},
         {}, {{2, 2, kNoMatch, 0}}, {{1, 0, 1, 253}}},
        {"everything removed", {{"A", 1, 1}}, {}, {}, {{1, 0, kNoMatch, 0}}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const CatalogueChanges changes = CompareCatalogues(StateOf(c.before), StateOf(c.after));
        EXPECT_EQ(changes.added, c.added);
        EXPECT_EQ(changes.removed, c.removed);
        EXPECT_EQ(changes.changed, c.changed);
        EXPECT_EQ(changes.empty(), c.added.empty() && c.removed.empty() && c.changed.empty());
    }
}

} // namespace
} // namespace tarvidon::test
