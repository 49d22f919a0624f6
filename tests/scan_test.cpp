#include "tag_search.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

namespace tarvidon::test {
namespace {

// The plain definition of a tag search: every offset up to length - 5,
// compared as one 4-byte unit.
std::vector<std::int64_t> AllTagsByteByByte(const Bytes &bytes)
{
    std::vector<std::int64_t> tags;
    for (std::int64_t t = 0; t <= static_cast<std::int64_t>(bytes.size()) - 5; ++t) {
        if (std::equal(kRecordTag.begin(), kRecordTag.end(), bytes.begin() + t))
            tags.push_back(t);
    }
    return tags;
}

std::vector<std::int64_t> AllTags(const DataImage &image)
{
    std::vector<std::int64_t> tags;
    for (auto t = FindTag(image, 0); t; t = FindTag(image, *t + 1))
        tags.push_back(*t);
    return tags;
}

std::vector<std::string> Names(const Catalogue &catalogue)
{
    std::vector<std::string> names;
    for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i)
        names.emplace_back(catalogue.ModelName(i));
    return names;
}

TEST(FindTag, FindsOverlappingTagsAndStopsBeforeTheLastFourBytes)
{
    // "DTHDTHD" holds tags at 0 and 3; a trailing byte lets the second count.
    EXPECT_EQ(AllTags(DataImage::FromBytes(Bytes{'D', 'T', 'H', 'D', 'T', 'H', 'D', 0})),
              (std::vector<std::int64_t>{0, 3}));
    // A tag whose last byte is the image's last byte (T = L - 4) is never found.
    EXPECT_EQ(AllTags(DataImage::FromBytes(Bytes{'D', 'T', 'H', 'D', 'T', 'H', 'D'})),
              (std::vector<std::int64_t>{0}));
    EXPECT_EQ(AllTags(DataImage::FromBytes(Bytes{'D', 'T', 'H', 'D'})), std::vector<std::int64_t>{});
    EXPECT_EQ(FindTag(DataImage(), 0), std::nullopt);
}

TEST(FindTag, StartBeyondTheLimitFindsNothing)
{
    const DataImage image = DataImage::FromBytes(Bytes{'x', 'D', 'T', 'H', 'D', 'y'});
    EXPECT_EQ(FindTag(image, 1), 1);
    EXPECT_EQ(FindTag(image, 2), std::nullopt);
    EXPECT_EQ(FindTag(image, 100), std::nullopt);
}

TEST(FindTag, AgreesWithTheByteByByteSearchOnRandomData)
{
    // A small alphabet makes tags, overlaps and near-misses common.
    std::mt19937 random(7);
    const std::string alphabet = "DTHD\0x";
    for (int round = 0; round < 200; ++round) {
        Bytes bytes(random() % 300);
        for (auto &b : bytes)
            b = static_cast<std::uint8_t>(alphabet[random() % alphabet.size()]);
        ASSERT_EQ(AllTags(DataImage::FromBytes(bytes)), AllTagsByteByByte(bytes)) << "round " << round;
    }
}

TEST(FindTag, TheVectorSearchFindsEveryTagAtEveryAlignment)
{
    // Tags and lone 'D's straddling block edges, in buffers long enough for
    // the wide loops and their tails.
    std::mt19937 random(3);
    for (int round = 0; round < 300; ++round) {
        Bytes bytes(random() % 700, 'x');
        for (int k = random() % 6; k > 0 && bytes.size() >= 4; --k) {
            const std::size_t at = random() % (bytes.size() - 3);
            std::copy(kRecordTag.begin(), kRecordTag.begin() + 1 + random() % 4, bytes.begin() + at);
            bytes[std::min(bytes.size() - 1, at + 3)] = 'D';
        }
        for (std::size_t start = 0; start <= bytes.size(); start += 1 + random() % 7) {
            ASSERT_EQ(FindRecordTag(bytes.data() + start, bytes.size() - start),
                      FindRecordTagByteByByte(bytes.data() + start, bytes.size() - start))
                << "round " << round << " start " << start;
        }
    }
}

TEST(ReadModelName, DecodesSpacesAndNeedsATerminator)
{
    ImageBuilder file;
    file.bytes("DTHD").zeros(13).bytes("A\x14" "B").zeros(1);
    EXPECT_EQ(ReadModelName(file.image(), 0), "A B");

    ImageBuilder empty;
    empty.bytes("DTHD").zeros(20);
    EXPECT_EQ(ReadModelName(empty.image(), 0), "");

    ImageBuilder open;
    open.bytes("DTHD").zeros(13).bytes("ABC");
    EXPECT_EQ(ReadModelName(open.image(), 0), std::nullopt);
}

TEST(ScanCatalogue, ReadsNameImageOffsetAndProductNumber)
{
    ImageBuilder file;
    file.record("A", {0x31, 0x00, 0x04, 0x00});
    const Catalogue catalogue = BuildCatalogue(file.image());
    ASSERT_EQ(catalogue.ModelCount(), 1);
    EXPECT_EQ(catalogue.Entry(0).ModelName, "A");
    EXPECT_EQ(catalogue.Entry(0).ImageOffset, 108);
    EXPECT_EQ(catalogue.Entry(0).ProductNumber, "31000400");
}

TEST(ScanCatalogue, SkipsNamelessRecordsButListsDuplicates)
{
    ImageBuilder file;
    file.record("ONE", {0x01, 0x02, 0x03, 0x04});
    file.record("", {0xFF, 0xFF, 0xFF, 0xFF});
    const std::int64_t third = file.record("TWO", {0x0A, 0x0B, 0x0C, 0x0D});
    file.record("ONE", {0xA0, 0xB0, 0xC0, 0xD0});
    const Catalogue catalogue = BuildCatalogue(file.image());
    EXPECT_EQ(Names(catalogue), (std::vector<std::string>{"ONE", "TWO", "ONE"}));
    ASSERT_EQ(catalogue.ModelCount(), 3);
    EXPECT_EQ(catalogue.Entry(1).ImageOffset, third + kImageOffset);
    EXPECT_EQ(catalogue.Entry(1).ProductNumber, "0A0B0C0D");
    EXPECT_EQ(catalogue.Entry(2).ProductNumber, "A0B0C0D0");
}

TEST(ScanCatalogue, SkipsRecordsThatDoNotFitTheImage)
{
    // The last record's image ends one byte short of the file.
    ImageBuilder file;
    file.record("WHOLE", {1, 2, 3, 4});
    file.record("SHORT", {5, 6, 7, 8});
    Bytes bytes = file.data();
    bytes.pop_back();
    EXPECT_EQ(Names(BuildCatalogue(DataImage::FromBytes(bytes))), std::vector<std::string>{"WHOLE"});

    // A name that runs to the end of the file without its 0x00.
    ImageBuilder open;
    open.record("WHOLE", {1, 2, 3, 4});
    open.bytes("DTHD").zeros(13).bytes(std::string(400, 'N'));
    EXPECT_EQ(Names(BuildCatalogue(open.image())), std::vector<std::string>{"WHOLE"});
}

TEST(ScanCatalogue, RecordsInsideAnotherRecordsNameShareItsTail)
{
    // Overlapping tags inside one long name: every record is listed with
    // the rest of that name, which must not cost a copy each.
    ImageBuilder file;
    const std::string inner = "abcDTHD" + std::string(13, 'm') + "TAIL";
    file.bytes("DTHD").zeros(13).bytes(inner).zeros(400);
    const Catalogue catalogue = BuildCatalogue(file.image());
    EXPECT_EQ(Names(catalogue), (std::vector<std::string>{inner, "TAIL"}));
    EXPECT_EQ(catalogue.Entry(1).ImageOffset, 17 + 3 + kImageOffset);
}

TEST(ScanCatalogue, EmptyImageChangesNothingAndAnotherImageReplacesAll)
{
    EngineState state;
    ImageBuilder first;
    first.record("FIRST", {1, 1, 1, 1});
    state.Image = first.image();
    ASSERT_TRUE(ScanCatalogue(state));

    state.Image = DataImage();
    EXPECT_FALSE(ScanCatalogue(state));
    EXPECT_EQ(Names(state.Catalogue), std::vector<std::string>{"FIRST"});

    ImageBuilder second;
    second.record("SECOND", {2, 2, 2, 2});
    state.Image = second.image();
    EXPECT_TRUE(ScanCatalogue(state));
    EXPECT_EQ(Names(state.Catalogue), std::vector<std::string>{"SECOND"});

    state.Image = DataImage::FromBytes(Bytes{'n', 'o', ' ', 't', 'a', 'g'});
    EXPECT_TRUE(ScanCatalogue(state));
    EXPECT_EQ(state.Catalogue.ModelCount(), 0);
}

TEST(ScanCatalogue, AFileOfOnlyTagsListsNothing)
{
    ImageBuilder file;
    for (int i = 0; i < 10000; ++i)
        file.bytes("DTHD");
    EXPECT_EQ(BuildCatalogue(file.image()).ModelCount(), 0);
}

} // namespace
} // namespace tarvidon::test
