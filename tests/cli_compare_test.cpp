// tarvidon-cli identify and diff run as a user runs them: what each format
// prints, the exit status, and the messages for bad input. Which entries
// match is the engine's rule and is tested there.

#include "cli_support.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tarvidon::test {
namespace {

using Json = nlohmann::ordered_json;
using Records = std::vector<std::vector<std::string>>;

const std::string kRubin = "\xD0\xF3\xE1\xE8\xED 55\xCC"; // Windows-1251 "Рубин 55М"
const std::vector<std::string> kIdentifyHeader = {"index",           "image_offset",     "product_number",
                                                  "model_name",      "differing_bytes", "differing_offsets"};

Bytes ImageWithChanges(Bytes image, std::initializer_list<std::size_t> offsets)
{
    for (const std::size_t k : offsets)
        image[k] ^= 0xFF;
    return image;
}

class CliIdentify : public ::testing::Test {
protected:
    CliIdentify()
    {
        ImageBuilder builder;
        builder.record("ABC", {0x31, 0x00, 0x03, 0x00}, 0x10);  // 0, image at 108
        builder.record("ABD", {0x31, 0x00, 0x04, 0x00}, 0x11);  // 1, at 472
        builder.record(kRubin, {0x03, 0x03, 0x04, 0x00}, 0x12); // 2, at 836
        builder.record("ABC", {0x31, 0x00, 0x03, 0x00}, 0x14);  // 3, at 1200
        data = dir.write("catalogue.dat", builder.data());
        const Bytes &bytes = builder.data();
        for (const std::int64_t offset : {108, 472, 836, 1200})
            images.emplace_back(bytes.begin() + offset, bytes.begin() + offset + kImageLength);
    }

    TempDir dir;
    std::string data;
    std::vector<Bytes> images;
};

TEST_F(CliIdentify, EachDumpGivesItsRowsAndExitsZeroOnlyForAnExactMatch)
{
    struct Case {
        const char *what;
        Bytes dump;
        std::vector<std::string> options;
        int exitCode;
        Records rows;
    };
    const Case cases[] = {
        {"exact", images[2], {}, 0, {{"2", "836", "03030400", "Рубин 55М", "0", ""}}},
        {"exact among the nearest", images[3], {"--nearest", "1"}, 0, {{"3", "1200", "31000300", "ABC", "0", ""}}},
        {"four bytes changed", ImageWithChanges(images[1], {5, 6, 7, 200}), {"--nearest", "1"}, 1,
         {{"1", "472", "31000400", "ABD", "4", "5 6 7 200"}}},
        {"no match", Bytes(256, 0x00), {}, 1, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"identify", data, dir.write("dump.bin", c.dump), "--format", "csv"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.err, "");
        Records expected = {kIdentifyHeader};
        expected.insert(expected.end(), c.rows.begin(), c.rows.end());
        EXPECT_EQ(ParseCsv(result.out), expected);
    }
}

TEST_F(CliIdentify, JsonIsAListOfTheListFieldsAndTheDifferences)
{
    const std::string changed = dir.write("changed.bin", ImageWithChanges(images[1], {5, 255}));
    const CliResult one = RunCli({"identify", data, changed, "--nearest", "1", "--format", "json"});
    EXPECT_EQ(one.exitCode, 1);
    EXPECT_EQ(Json::parse(one.out), Json::parse(R"([{"index": 1, "image_offset": 472, "product_number": "31000400",
        "model_name": "ABD", "differing_bytes": 2, "differing_offsets": [5, 255]}])"));

    const CliResult none = RunCli({"identify", data, changed, "--format", "json"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(Json::parse(none.out), Json::array());
}

TEST_F(CliIdentify, TheTableShortensTheOffsetsToRuns)
{
    const std::string dump = dir.write("dump.bin", ImageWithChanges(images[1], {0, 2, 4, 5, 6, 100, 255}));
    const CliResult result = RunCli({"identify", data, dump, "--nearest", "2"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "Index  Offset  Product   Differing  Where            Model\n"
                          "    1     472  31000400          7  0 2 4-6 100 ...  ABD\n"
                          "    0     108  31000300        254  0 2 4-255        ABC\n");
}

// OLD and NEW with one of each kind of difference; records pair by name and
// occurrence, so the second "Dup" of each is compared and the third is new.
class CliDiff : public ::testing::Test {
protected:
    CliDiff()
    {
        ImageBuilder before;
        before.record("ABC", {0x31, 0x00, 0x03, 0x00}, 0x10);  // 0, image at 108
        before.record("Gone", {0x47, 0x00, 0x00, 0x01}, 0x20); // 1, at 472
        before.record("Dup", {0x44, 0x00, 0x00, 0x01}, 0x30);  // 2, at 836
        before.record("Dup", {0x44, 0x00, 0x00, 0x02}, 0x31);  // 3, at 1200
        before.record(kRubin, {0x03, 0x03, 0x04, 0x00}, 0x40); // 4, at 1564
        ImageBuilder after;
        after.record("Dup", {0x44, 0x00, 0x00, 0x01}, 0x30);                  // 0
        after.record("ABC", {0x31, 0x00, 0x03, 0x01}, 0x10);                  // 1: another product number
        after.record("Dup", {0x44, 0x00, 0x00, 0x02}, 0x35);                  // 2: another image
        after.record("Dup", {0x44, 0x00, 0x00, 0x03}, 0x36);                  // 3: a third
        after.record("New, \"quoted\"", {0x4E, 0x00, 0x00, 0x01}, 0x50);      // 4
        after.record(kRubin, {0x03, 0x03, 0x04, 0x00}, 0x40);                 // 5: moved only
        oldFile = dir.write("old.dat", before.data());
        newFile = dir.write("new.dat", after.data());
    }

    TempDir dir;
    std::string oldFile, newFile;
};

TEST_F(CliDiff, CsvHasOneRowPerDifferenceAndExitsZeroOnlyWhenNothingDiffers)
{
    const CliResult result = RunCli({"diff", oldFile, newFile, "--format", "csv"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "change,model_name,occurrence,old_index,old_product_number,new_index,new_product_number,"
                          "differing_bytes\r\n"
                          "added,Dup,3,,,3,44000003,\r\n"
                          "added,\"New, \"\"quoted\"\"\",1,,,4,4E000001,\r\n"
                          "removed,Gone,1,1,47000001,,,\r\n"
                          "changed,ABC,1,0,31000300,1,31000301,1\r\n"
                          "changed,Dup,2,3,44000002,2,44000002,252\r\n");

    const CliResult same = RunCli({"diff", newFile, newFile, "--format", "csv"});
    EXPECT_EQ(same.exitCode, 0);
    EXPECT_EQ(ParseCsv(same.out).size(), 1u);
}

TEST_F(CliDiff, JsonHoldsAddedRemovedAndChangedWithEachSide)
{
    const CliResult result = RunCli({"diff", oldFile, newFile, "--format", "json"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(Json::parse(result.out), Json::parse(R"({
        "added": [
            {"index": 3, "image_offset": 1200, "product_number": "44000003", "model_name": "Dup"},
            {"index": 4, "image_offset": 1564, "product_number": "4E000001", "model_name": "New, \"quoted\""}],
        "removed": [{"index": 1, "image_offset": 472, "product_number": "47000001", "model_name": "Gone"}],
        "changed": [
            {"model_name": "ABC", "occurrence": 1,
             "old": {"index": 0, "image_offset": 108, "product_number": "31000300"},
             "new": {"index": 1, "image_offset": 472, "product_number": "31000301"}, "differing_bytes": 1},
            {"model_name": "Dup", "occurrence": 2,
             "old": {"index": 3, "image_offset": 1200, "product_number": "44000002"},
             "new": {"index": 2, "image_offset": 836, "product_number": "44000002"}, "differing_bytes": 252}]})"));
    EXPECT_EQ(Json::parse(RunCli({"diff", oldFile, oldFile, "--format", "json"}).out),
              Json::parse(R"({"added": [], "removed": [], "changed": []})"));
}

TEST_F(CliDiff, TheTableAlignsTheSameRows)
{
    const CliResult result = RunCli({"diff", oldFile, newFile});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, ""); // the summary is for terminals only
    EXPECT_EQ(result.out,
              "Change   Old index  Old product  New index  New product  Differing  Occurrence  Model\n"
              "added            -  -                    3  44000003             -           3  Dup\n"
              "added            -  -                    4  4E000001             -           1  New, \"quoted\"\n"
              "removed          1  47000001             -  -                    -           1  Gone\n"
              "changed          0  31000300             1  31000301             1           1  ABC\n"
              "changed          3  44000002             2  44000002           252           2  Dup\n");
}

TEST(CliCompareErrors, EveryBadInputGivesItsExactMessageAndNoOutput)
{
    TempDir dir;
    ImageBuilder builder;
    builder.record("A", {0x01, 0x00, 0x00, 0x00});
    const std::string data = dir.write("catalogue.dat", builder.data());
    const std::string dump = dir.write("dump.bin", Bytes(256, 0x00));
    const std::string missing = dir.path("missing");
    const std::string folder = dir.path("");
    const std::string notThere = ": Не могу открыть указанный файл!\n";
    const std::string sizeMessage = " bytes; a dump is an image of 256 bytes or an export file of 512 bytes.\n";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const Case cases[] = {
        {{"identify", data, missing}, "tarvidon-cli: " + missing + notThere},
        {{"identify", missing, dump}, "tarvidon-cli: " + missing + notThere},
        {{"identify", data, data}, "tarvidon-cli: " + data + ": Size is 364" + sizeMessage},
        {{"diff", data, folder}, "tarvidon-cli: " + folder + notThere},
        {{"diff", missing, folder}, "tarvidon-cli: " + missing + notThere}, // the first file first
    };
    for (const Case &c : cases) {
        const CliResult result = RunCli(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.err;
        EXPECT_EQ(result.out, "") << c.err;
        EXPECT_EQ(result.err, c.err);
    }
}

TEST(CliCompareUsage, BadUsageExitsWithTwoAndHelpNamesBothCommands)
{
    const std::vector<std::vector<std::string>> cases = {
        {"identify", "a"},
        {"identify", "a", "b", "c"},
        {"identify", "a", "b", "--nearest", "0"},
        {"identify", "a", "b", "--nearest", "x"},
        {"diff", "a"},
        {"diff", "a", "b", "c"},
    };
    for (const auto &args : cases) {
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.exitCode, 2) << args.back();
        EXPECT_EQ(result.out, "") << args.back();
        EXPECT_EQ(result.err.rfind("tarvidon-cli: ", 0), 0u) << args.back() << ": " << result.err;
    }
    for (const std::string command : {"identify", "diff"}) {
        const CliResult help = RunCli({command, "--help"});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_NE(help.out.find("tarvidon-cli " + command), std::string::npos) << help.out;
        EXPECT_NE(RunCli({"--help"}).out.find(command), std::string::npos);
    }
}

} // namespace
} // namespace tarvidon::test
