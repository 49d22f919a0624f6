// tarvidon-cli run as a user runs it, on catalogues made here, its output
// read back and compared with what the engine itself finds.

#include "cli_support.h"
#include "code_page.h"
#include "platform.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>

namespace tarvidon::test {
namespace {

namespace fs = std::filesystem;

// Windows-1251 "Рубин 55М" and "рубин".
const std::string kRubinUpper = "\xD0\xF3\xE1\xE8\xED 55\xCC";
const std::string kRubinLower = "\xF0\xF3\xE1\xE8\xED";

class Cli : public ::testing::Test {
protected:
    Cli()
    {
        ImageBuilder builder;
        builder.bytes("noise before the first record");
        builder.record("ABC", {0x31, 0x00, 0x03, 0x00}, 0x10);      // 0
        builder.record("ABD", {0x31, 0x00, 0x04, 0x00}, 0x11);      // 1
        builder.record(kRubinUpper, {0x03, 0x03, 0x04, 0x00}, 0x12); // 2
        builder.record(kRubinLower, {0x03, 0x03, 0x04, 0x01}, 0x13); // 3
        builder.record("ABC", {0x31, 0x00, 0x03, 0x00}, 0x14);      // 4: same name and number as 0
        builder.record("abc", {0x31, 0x00, 0x03, 0x00}, 0x15);      // 5: differs from 0 in case only
        builder.record("a/b:c", {0x01, 0x02, 0x03, 0x04}, 0x16);    // 6: refused in file names
        builder.record("Say \"hi\", ok", {0xFF, 0x00, 0x00, 0x01}, 0x17); // 7: CSV quoting
        builder.record("A\x14" "B", {0x0A, 0x0B, 0x0C, 0x0D}, 0x18);      // 8: 0x14 is a space
        data = dir.write("catalogue.dat", builder.data());
        EXPECT_TRUE(CheckAndLoad(engine, data).empty());
        EXPECT_TRUE(ScanCatalogue(engine));
        EXPECT_EQ(engine.Catalogue.ModelCount(), 9);
    }

    [[nodiscard]] Bytes ExportBytes(MatchIndex i) const { return ExpectedExport(engine, i); }

    [[nodiscard]] std::vector<PrintedEntry> AllEntries() const
    {
        std::vector<PrintedEntry> entries;
        for (MatchIndex i = 0; i < engine.Catalogue.ModelCount(); ++i)
            entries.push_back(Printed(engine.Catalogue, i));
        return entries;
    }

    TempDir dir;
    std::string data;
    EngineState engine;
};

std::vector<PrintedEntry> EntriesFromCsv(const std::string &text)
{
    const auto records = ParseCsv(text);
    EXPECT_FALSE(records.empty());
    if (records.empty())
        return {};
    EXPECT_EQ(records[0], (std::vector<std::string>{"index", "image_offset", "product_number", "model_name"}));
    std::vector<PrintedEntry> entries;
    for (std::size_t k = 1; k < records.size(); ++k) {
        EXPECT_EQ(records[k].size(), 4u);
        if (records[k].size() == 4)
            entries.push_back({std::stoll(records[k][0]), std::stoll(records[k][1]), records[k][2], records[k][3]});
    }
    return entries;
}

std::vector<PrintedEntry> EntriesFromJson(const std::string &text)
{
    std::vector<PrintedEntry> entries;
    for (const auto &object : nlohmann::json::parse(text))
        entries.push_back({object.at("index").get<MatchIndex>(), object.at("image_offset").get<std::int64_t>(),
                           object.at("product_number").get<std::string>(),
                           object.at("model_name").get<std::string>()});
    return entries;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Index and offset right-aligned, product number and name left-aligned:
// the column edges of the header hold for every row.
std::vector<PrintedEntry> EntriesFromTable(const std::string &text)
{
    const std::vector<std::string> lines = Lines(text);
    EXPECT_FALSE(lines.empty());
    if (lines.empty())
        return {};
    const std::string &header = lines[0];
    const std::size_t indexEnd = header.find("Index") + 5, offsetEnd = header.find("Offset") + 6;
    const std::size_t productStart = header.find("Product"), modelStart = header.find("Model");
    EXPECT_LT(modelStart, header.size());
    std::vector<PrintedEntry> entries;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        const std::string &line = lines[k];
        EXPECT_EQ(line[indexEnd], ' ') << line;
        EXPECT_NE(line[indexEnd - 1], ' ') << line;
        EXPECT_EQ(line[offsetEnd], ' ') << line;
        EXPECT_NE(line[offsetEnd - 1], ' ') << line;
        EXPECT_NE(line[productStart], ' ') << line;
        EXPECT_EQ(line[modelStart - 1], ' ') << line;
        entries.push_back({std::stoll(line.substr(0, indexEnd)), std::stoll(line.substr(indexEnd, offsetEnd - indexEnd)),
                           line.substr(productStart, 8), line.substr(modelStart)});
    }
    return entries;
}

// Names in UTF-8 as the program takes and prints them; on Windows the
// narrow path constructor would read them in the ANSI code page.
Bytes ReadUtf8(const std::string &utf8)
{
    return ReadFile(cli::PathFromUtf8(utf8));
}

// name inside folder, with the separator the program puts there.
std::string Joined(const std::string &folder, const std::string &name)
{
    return cli::Utf8FromPath(cli::PathFromUtf8(folder) / cli::PathFromUtf8(name));
}

TEST_F(Cli, ListPrintsEveryEntryInFileOrderInEachFormat)
{
    const CliResult table = RunCli({"list", data});
    EXPECT_EQ(table.exitCode, 0);
    EXPECT_EQ(table.err, "");
    EXPECT_EQ(EntriesFromTable(table.out), AllEntries());

    const CliResult csv = RunCli({"list", data, "--format", "csv"});
    EXPECT_EQ(csv.exitCode, 0);
    EXPECT_EQ(EntriesFromCsv(csv.out), AllEntries());
    EXPECT_NE(csv.out.find("\"Say \"\"hi\"\", ok\""), std::string::npos) << "quoted as RFC 4180 asks";

    const CliResult json = RunCli({"list", data, "--format", "json"});
    EXPECT_EQ(json.exitCode, 0);
    EXPECT_EQ(EntriesFromJson(json.out), AllEntries());
}

TEST_F(Cli, CsvQuotesEveryFieldThatWouldSplitARecordAndNoOther)
{
    struct Case {
        std::string name, field;
    };
    const Case cases[] = {
        {"plain", "plain"},          {"a,b", "\"a,b\""},       {"say \"x\"", "\"say \"\"x\"\"\""},
        {"line\nbreak", "\"line\nbreak\""}, {"carriage\rreturn", "\"carriage\rreturn\""},
    };
    for (const Case &c : cases) {
        ImageBuilder builder;
        builder.record(c.name, {0x31, 0, 0, 1}, 0x10);
        const CliResult csv = RunCli({"list", dir.write("quoting.dat", builder.data()), "--format", "csv"});
        EXPECT_EQ(csv.out, "index,image_offset,product_number,model_name\r\n0," + std::to_string(kImageOffset)
                               + ",31000001," + c.field + "\r\n")
            << c.name;
    }
}

TEST_F(Cli, APathThatBeginsWithASlashIsAFileNotAnOption)
{
    // On Windows "/folder/x.dat" names x.dat from the root of the current
    // drive (Wine reads it as a path of the host); an argument parser there
    // may take it for a "/option". The file lies in the current folder so
    // that both readings find it.
    const fs::path here = fs::absolute("slash-test.dat");
    fs::copy_file(data, here, fs::copy_options::overwrite_existing);
    std::string rooted = "/"; // appended, not "/" + ...: GCC 12 warns falsely (-Wrestrict) at -O3
    rooted += here.relative_path().generic_string();
    const CliResult result = RunCli({"list", rooted, "--format", "csv"});
    fs::remove(here);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(EntriesFromCsv(result.out), AllEntries());
}

TEST_F(Cli, ListOfAFileWithoutRecordsIsEmptyAndSucceeds)
{
    const std::string none = dir.write("none.dat", Bytes(100, 0x41));
    const std::string empty = dir.write("empty.dat", {});
    for (const std::string &file : {none, empty}) {
        EXPECT_EQ(EntriesFromCsv(RunCli({"list", file, "--format", "csv"}).out), std::vector<PrintedEntry>{});
        EXPECT_EQ(EntriesFromJson(RunCli({"list", file, "--format", "json"}).out), std::vector<PrintedEntry>{});
        EXPECT_EQ(RunCli({"list", file}).exitCode, 0);
    }
}

TEST_F(Cli, FindTakesTheLastPrefixMatchOrWithAllEveryMatchInFileOrder)
{
    struct Case {
        std::vector<std::string> args;
        std::vector<MatchIndex> expected; // empty: exit status 1
    };
    const Case cases[] = {
        {{"--model", "ab"}, {5}},
        {{"--model", "ab", "--all"}, {0, 1, 4, 5}},
        {{"--model", "ABD"}, {1}},
        {{"--model", "Руб"}, {2}}, // typed UTF-8 meets Windows-1251
        {{"--model", "руб", "--all"}, {3}}, // Cyrillic keeps its case
        {{"--model", "A B"}, {8}},
        {{"--product", "3100"}, {5}},
        {{"--product", "3100", "--all"}, {0, 1, 4, 5}},
        {{"--product", "ff"}, {7}},
        {{"--model", "zzz"}, {}},
        {{"--model", "zzz", "--all"}, {}},
        {{"--model", "日本"}, {}}, // Windows-1251 cannot hold it
        {{"--model", ""}, {}},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args{"find", data, "--format", "csv"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult result = RunCli(args);
        SCOPED_TRACE(c.args[1]);
        EXPECT_EQ(result.err, "");
        if (c.expected.empty()) {
            EXPECT_EQ(result.exitCode, 1);
            EXPECT_EQ(result.out, "");
            continue;
        }
        EXPECT_EQ(result.exitCode, 0);
        std::vector<PrintedEntry> expected;
        for (const MatchIndex i : c.expected)
            expected.push_back(Printed(engine.Catalogue, i));
        EXPECT_EQ(EntriesFromCsv(result.out), expected);
    }
    // The same answer as the window's own lookup.
    EXPECT_EQ(FindByModel(engine.Catalogue, "ab"), 5);
    EXPECT_EQ(FindByProductNumber(engine.Catalogue, "3100"), 5);

    const CliResult json = RunCli({"find", data, "--model", "ab", "--all", "--format", "json"});
    EXPECT_EQ(EntriesFromJson(json.out).size(), 4u);
    const CliResult table = RunCli({"find", data, "--model", "Руб"});
    EXPECT_EQ(EntriesFromTable(table.out), std::vector<PrintedEntry>{Printed(engine.Catalogue, 2)});
}

TEST_F(Cli, ShowPrintsTheRowsOfTheImageView)
{
    struct Case {
        std::vector<std::string> args;
        MatchIndex shown;
    };
    const Case cases[] = {
        {{"--index", "4"}, 4},
        {{"--model", "ABC"}, 0}, // the first of two equal names
        {{"--model", "Рубин 55М"}, 2},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args{"show", data};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.exitCode, 0);
        std::string expected;
        for (const std::string &row : ShowImage(engine, c.shown))
            expected += row + "\n";
        EXPECT_EQ(result.out, expected) << c.args[1];
    }
}

TEST_F(Cli, ExportWritesOneFileUnderTheDefaultNameOrTheGivenOne)
{
    const CliResult byName = RunCli({"export", data, "--model", "Рубин 55М"}, InFolder(dir.path("")));
    EXPECT_EQ(byName.exitCode, 0);
    EXPECT_EQ(byName.out + byName.err, "");
    EXPECT_EQ(ReadUtf8(Joined(dir.path(""), "03030400_Рубин 55М.BIN")), ExportBytes(2));

    const std::string output = dir.path("out.bin");
    EXPECT_EQ(RunCli({"export", data, "--model", "ABC", "-o", output}).exitCode, 0);
    EXPECT_EQ(ReadFile(output), ExportBytes(0)); // the first ABC, as saving does

    EXPECT_EQ(RunCli({"export", data, "--index", "4", "--output", output}).exitCode, 0);
    EXPECT_EQ(ReadFile(output), ExportBytes(4));
}

const std::vector<std::string> kBatchNames = {
    "31000300_ABC.BIN", "31000400_ABD.BIN", "03030400_Рубин 55М.BIN", "03030401_рубин.BIN",
    "31000300_ABC (2).BIN", "31000300_abc (3).BIN", "01020304_a_b_c.BIN", "FF000001_Say _hi_, ok.BIN",
    "0A0B0C0D_A B.BIN",
};

TEST_F(Cli, BatchExportWritesEveryEntryUnderSafeDistinctNamesWithAManifest)
{
    const std::string folder = dir.path("out/nested");
    const std::string manifest = dir.path("manifest.csv");
    const CliResult result = RunCli({"export", data, "--all", "--dir", folder, "--manifest", manifest});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "tarvidon-cli: " + folder + ": 9 of 9 files written.\n");

    std::vector<std::string> sorted = kBatchNames;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(FilesIn(folder), sorted);
    for (std::size_t i = 0; i < kBatchNames.size(); ++i)
        EXPECT_EQ(ReadUtf8(Joined(folder, kBatchNames[i])), ExportBytes(static_cast<MatchIndex>(i))) << kBatchNames[i];

    const auto records = ParseCsv(std::string(reinterpret_cast<const char *>(ReadFile(manifest).data()),
                                              ReadFile(manifest).size()));
    ASSERT_EQ(records.size(), 10u);
    EXPECT_EQ(records[0],
              (std::vector<std::string>{"index", "image_offset", "product_number", "model_name", "file_name"}));
    for (std::size_t i = 0; i < kBatchNames.size(); ++i) {
        const PrintedEntry entry = Printed(engine.Catalogue, static_cast<MatchIndex>(i));
        EXPECT_EQ(records[i + 1], (std::vector<std::string>{std::to_string(i), std::to_string(entry.imageOffset),
                                                            entry.productNumber, entry.modelName, kBatchNames[i]}));
    }
}

TEST_F(Cli, BatchExportCutsANameTooLongForAFileNameAndTheManifestKeepsItWhole)
{
    ImageBuilder builder;
    // 300 x "Ж", 600 bytes in UTF-8; the image lies inside the name.
    builder.bytes("DTHD").zeros(13).bytes(std::string(300, '\xC6')).zeros(100);
    const std::string longData = dir.write("long.dat", builder.data());
    const std::string folder = dir.path("long");
    const std::string manifest = dir.path("long.csv");

    const CliResult result = RunCli({"export", longData, "--all", "--dir", folder, "--manifest", manifest});

    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::string name = "C6C6C6C6_";
    while (name.size() + 2 + 4 <= 255)
        name += "Ж";
    name += ".BIN";
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{name});
    const auto records = ParseCsv(std::string(reinterpret_cast<const char *>(ReadFile(manifest).data()),
                                              ReadFile(manifest).size()));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1][3], Cp1251ToUtf8(std::string(300, '\xC6')));
    EXPECT_EQ(records[1][4], name);
}

TEST_F(Cli, BatchExportWithAPrefixWritesOnlyTheMatches)
{
    const std::string folder = dir.path("out");
    EXPECT_EQ(RunCli({"export", data, "--all", "--model-prefix", "руб", "--dir", folder}).exitCode, 0);
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"03030401_рубин.BIN"});
    EXPECT_EQ(ReadUtf8(Joined(folder, "03030401_рубин.BIN")), ExportBytes(3));

    const std::string byProduct = dir.path("by-product");
    EXPECT_EQ(RunCli({"export", data, "--all", "--product-prefix", "0303", "--dir", byProduct}).exitCode, 0);
    EXPECT_EQ(FilesIn(byProduct), (std::vector<std::string>{"03030400_Рубин 55М.BIN", "03030401_рубин.BIN"}));

    const std::string none = dir.path("none");
    const CliResult nothing = RunCli({"export", data, "--all", "--model-prefix", "zzz", "--dir", none});
    EXPECT_EQ(nothing.exitCode, 0);
    EXPECT_EQ(nothing.err, "tarvidon-cli: " + none + ": 0 of 0 files written.\n");
}

TEST_F(Cli, BatchExportReplacesNothingUnlessToldTo)
{
    const std::string folder = dir.path("out");
    fs::create_directory(folder);
    const Bytes old = {1, 2, 3};
    dir.write("out/" + kBatchNames[4], old);
    dir.write("out/" + kBatchNames[7], old);

    const CliResult refused = RunCli({"export", data, "--all", "--dir", folder});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "tarvidon-cli: " + Joined(folder, kBatchNames[4])
                               + ": File already exists, nothing written; --overwrite replaces it.\n");
    EXPECT_EQ(FilesIn(folder).size(), 2u);
    EXPECT_EQ(ReadUtf8(Joined(folder, kBatchNames[4])), old);

    const std::string manifest = dir.write("manifest.csv", old);
    const CliResult manifestRefused = RunCli({"export", data, "--all", "--dir", dir.path("other"), "--manifest", manifest});
    EXPECT_EQ(manifestRefused.exitCode, 2);
    EXPECT_EQ(manifestRefused.err,
              "tarvidon-cli: " + manifest + ": File already exists, nothing written; --overwrite replaces it.\n");
    EXPECT_EQ(ReadFile(manifest), old);

    const CliResult replaced = RunCli({"export", data, "--all", "--dir", folder, "--overwrite"});
    EXPECT_EQ(replaced.exitCode, 0);
    EXPECT_EQ(FilesIn(folder).size(), kBatchNames.size());
    EXPECT_EQ(ReadUtf8(Joined(folder, kBatchNames[4])), ExportBytes(4));
    EXPECT_EQ(ReadUtf8(Joined(folder, kBatchNames[7])), ExportBytes(7));
}

TEST_F(Cli, EveryBadInputGivesItsExactMessageAndNoOutput)
{
    const std::string missing = dir.path("missing.dat");
    const std::string aFile = dir.write("a-file", {1});
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    const std::string lookupFailure = "tarvidon-cli: " + data + ": List index out of bounds (";
    const Case cases[] = {
        {{"list", missing}, "tarvidon-cli: " + missing + ": Не могу открыть указанный файл!\n"},
        {{"find", missing, "--model", "a"}, "tarvidon-cli: " + missing + ": Не могу открыть указанный файл!\n"},
        {{"list", dir.path("")}, "tarvidon-cli: " + dir.path("") + ": Не могу открыть указанный файл!\n"},
        {{"show", "", "--index", "0"}, "tarvidon-cli: : Не могу открыть указанный файл!\n"},
        {{"show", data, "--model", "abd"}, lookupFailure + "9)\n"},
        {{"show", data, "--model", "日本"}, lookupFailure + "9)\n"},
        {{"show", data, "--index", "9"}, lookupFailure + "9)\n"},
        {{"show", data, "--index", "-1"}, lookupFailure + "-1)\n"},
        {{"export", data, "--model", "Nope"}, lookupFailure + "9)\n"},
        {{"export", data, "--index", "6"}, "tarvidon-cli: 01020304_a/b:c.BIN: Invalid filename.\n"},
        {{"export", data, "--index", "0", "-o", dir.path("nowhere/x.BIN")},
         "tarvidon-cli: " + dir.path("nowhere/x.BIN") + ": Invalid filename.\n"},
        {{"export", data, "--index", "0", "-o", ""}, "tarvidon-cli: : Invalid filename.\n"},
        {{"export", data, "--index", "0", "-o", dir.path("")}, "tarvidon-cli: " + dir.path("") + ": File access denied.\n"},
        {{"export", data, "--all", "--dir", aFile}, "tarvidon-cli: " + aFile + ": Invalid filename.\n"},
        {{"export", data, "--all", "--dir", aFile + "/sub"}, "tarvidon-cli: " + aFile + "/sub: Invalid filename.\n"},
    };
    for (const Case &c : cases) {
        const CliResult result = RunCli(c.args, InFolder(dir.path("")));
        EXPECT_EQ(result.exitCode, 2) << c.err;
        EXPECT_EQ(result.out, "") << c.err;
        EXPECT_EQ(result.err, c.err);
    }
    EXPECT_FALSE(fs::exists(dir.path("01020304_a")));
}

// Paths typed in Cyrillic reach the file system unchanged, in and out, and
// come back unchanged in messages and the manifest.
TEST_F(Cli, CyrillicFolderAndFileNamesWorkBothWays)
{
    const std::string folder = Joined(dir.path(""), "Каталог «Рубин»");
    ASSERT_TRUE(fs::create_directory(cli::PathFromUtf8(folder)));
    const std::string cyrillicData = Joined(folder, "данные.dat");
    fs::copy_file(cli::PathFromUtf8(data), cli::PathFromUtf8(cyrillicData));

    const CliResult list = RunCli({"list", cyrillicData, "--format", "csv"});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_EQ(EntriesFromCsv(list.out), AllEntries());

    const std::string output = Joined(folder, "образ.BIN");
    EXPECT_EQ(RunCli({"export", cyrillicData, "--index", "2", "-o", output}).exitCode, 0);
    EXPECT_EQ(ReadUtf8(output), ExportBytes(2));

    const CliResult here = RunCli({"export", "данные.dat", "--index", "3"}, InFolder(folder));
    EXPECT_EQ(here.exitCode, 0) << here.err;
    EXPECT_EQ(ReadUtf8(Joined(folder, "03030401_рубин.BIN")), ExportBytes(3));

    const std::string batch = Joined(folder, "Выгрузка/Рубины");
    const std::string manifest = Joined(folder, "список.csv");
    const CliResult all = RunCli({"export", cyrillicData, "--all", "--model-prefix", "Руб", "--dir", batch,
                                  "--manifest", manifest});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.err, "tarvidon-cli: " + batch + ": 1 of 1 files written.\n");
    EXPECT_EQ(ReadUtf8(Joined(batch, "03030400_Рубин 55М.BIN")), ExportBytes(2));
    const Bytes manifestBytes = ReadUtf8(manifest);
    const auto records = ParseCsv(std::string(manifestBytes.begin(), manifestBytes.end()));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1][3], "Рубин 55М");
    EXPECT_EQ(records[1][4], "03030400_Рубин 55М.BIN");

    const std::string missing = Joined(folder, "нет такого.dat");
    EXPECT_EQ(RunCli({"list", missing}).err, "tarvidon-cli: " + missing + ": Не могу открыть указанный файл!\n");
    const std::string nowhere = Joined(folder, "нет папки/образ.BIN");
    EXPECT_EQ(RunCli({"export", cyrillicData, "--index", "0", "-o", nowhere}).err,
              "tarvidon-cli: " + nowhere + ": Invalid filename.\n");
}

// Folder separators and drive colons in names stay inside the folder in
// batch mode on every system.
TEST(CliNames, BackslashesAndColonsInNamesBecomeUnderscoresInBatchMode)
{
    TempDir dir;
    ImageBuilder builder;
    builder.record("C:\\TEMP\\x", {0x01, 0x00, 0x00, 0x00});
    builder.record("..\\up", {0x02, 0x00, 0x00, 0x00});
    builder.record("a:b", {0x03, 0x00, 0x00, 0x00});
    const std::string data = dir.write("names.dat", builder.data());
    const std::string folder = dir.path("out");
    const CliResult result = RunCli({"export", data, "--all", "--dir", folder});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(FilesIn(folder),
              (std::vector<std::string>{"01000000_C__TEMP_x.BIN", "02000000_.._up.BIN", "03000000_a_b.BIN"}));
    EXPECT_EQ(FilesIn(dir.path("")), (std::vector<std::string>{"names.dat", "out"}));
}

// A name from a data file must not drive the terminal it is listed on
// (colours, title, cursor, a cleared screen), nor a path shown in a message;
// CSV and JSON are data and keep every byte.
TEST(CliNames, ControlCharactersReachATableOrAMessageEscapedAndCsvAndJsonWhole)
{
    std::string everyControl, everyControlShown;
    for (int c = 0x01; c <= 0x7F; c = c == 0x1F ? 0x7F : c + 1) {
        if (c == kNameSpaceByte)
            continue; // read as a space
        everyControl += static_cast<char>(c);
        char shown[8];
        std::snprintf(shown, sizeof shown, "\\x%02X", static_cast<unsigned>(c));
        everyControlShown += shown;
    }
    ASSERT_EQ(everyControl.size(), 31u);
    const std::string names[] = {"\x1B[31mred\x1B]0;title\x07", "\x07" "bell", "A" + everyControl + "Z",
                                 kRubinUpper};
    const std::string shownNames[] = {"\\x1B[31mred\\x1B]0;title\\x07", "\\x07" "bell",
                                      "A" + everyControlShown + "Z", Cp1251ToUtf8(kRubinUpper)};
    TempDir dir;
    ImageBuilder builder;
    for (const std::string &name : names)
        builder.record(name, {0x31, 0x00, 0x04, 0x00});
    const std::string data = dir.write("controls.dat", builder.data());
    const Catalogue catalogue = BuildCatalogue(builder.image());
    ASSERT_EQ(catalogue.ModelCount(), std::ssize(names));
    std::vector<PrintedEntry> whole, shown;
    for (MatchIndex i = 0; i < catalogue.ModelCount(); ++i) {
        whole.push_back(Printed(catalogue, i));
        shown.push_back(whole.back());
        shown.back().modelName = shownNames[i];
    }

    EXPECT_EQ(EntriesFromTable(RunCli({"list", data}).out), shown);
    EXPECT_EQ(EntriesFromCsv(RunCli({"list", data, "--format", "csv"}).out), whole);
    EXPECT_EQ(EntriesFromJson(RunCli({"list", data, "--format", "json"}).out), whole);

    const std::string folder = dir.path(""); // with its separator
    const std::string path = folder + "\x1B[2J\xC2\x9B" "31m"; // ESC and C1's CSI, U+009B
    EXPECT_EQ(RunCli({"list", path}).err,
              "tarvidon-cli: " + folder + "\\x1B[2J\\x9B31m: Не могу открыть указанный файл!\n");
}

TEST(CliUsage, BadUsageExitsWithTwoAndSaysSoOnStderrOnly)
{
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"list"},
        {"list", "a", "b"},
        {"list", "a", "--format", "xml"},
        {"find", "a"},
        {"find", "a", "--model", "x", "--product", "y"},
        {"show", "a"},
        {"show", "a", "--index", "x"},
        {"show", "a", "--index", "1", "--model", "x"},
        {"export", "a"},
        {"export", "a", "--all"},
        {"export", "a", "--index", "1", "--dir", "d"},
        {"export", "a", "--all", "--dir", "d", "-o", "x"},
        {"export", "a", "--index", "1", "--model-prefix", "x"},
        {"export", "a", "--all", "--dir", "d", "--model-prefix", "x", "--product-prefix", "y"},
        {"export", "a", "--index", "1", "--overwrite"},
    };
    for (const auto &args : cases) {
        const CliResult result = RunCli(args);
        const std::string shown = args.empty() ? "(none)" : args[0] + " ... " + args.back();
        EXPECT_EQ(result.exitCode, 2) << shown;
        EXPECT_EQ(result.out, "") << shown;
        EXPECT_EQ(result.err.rfind("tarvidon-cli: ", 0), 0u) << shown << ": " << result.err;
    }
}

TEST(CliUsage, HelpForEveryCommandAndTheVersion)
{
    for (const std::string command : {"list", "find", "show", "export"}) {
        const CliResult help = RunCli({command, "--help"});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_NE(help.out.find("tarvidon-cli " + command), std::string::npos) << help.out;
    }
    const CliResult help = RunCli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char *command : {"list", "find", "show", "export"})
        EXPECT_NE(help.out.find(command), std::string::npos);

    const CliResult version = RunCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tarvidon-cli " TARVIDON_VERSION "\n");
}

} // namespace
} // namespace tarvidon::test
