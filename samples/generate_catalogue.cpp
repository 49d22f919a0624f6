// Writes catalogue files of our own making: the sample shipped in samples/
// and large synthetic catalogues for benchmarks and fuzzing seeds.
//
//   generate_catalogue sample FILE
//   generate_catalogue synthetic FILE RECORDS SPACING
//   generate_catalogue seeds FOLDER     (small files for the fuzzer to start from)
//   generate_catalogue hostile SHAPE FILE BYTES   (files of a shape no real
//       catalogue has, for benchmarks: run, quarters, prefixes, repeated,
//       spaces, mixed, mixed-many)
//
// Names are Windows-1251 bytes.

#include "catalogue.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

using tarvidon::kImageLength;
using tarvidon::kImageOffset;
using tarvidon::kNameOffset;
using tarvidon::kRecordTag;

using Bytes = std::vector<unsigned char>;

struct SampleRecord {
    std::string name;
    unsigned productNumber; // four bytes, high byte first
};

// Latin and Cyrillic names, a 0x14 space, a duplicate name, a nameless
// record, names that extend one another and product numbers sharing prefixes.
const std::vector<SampleRecord> kSample = {
    {"ABC", 0x31000300},
    {"ABD", 0x31000400},
    {"AB", 0x31000401},
    {"\xD0\xF3\xE1\xE8\xED\x20\x35\x35\xCC", 0x03030400},                 // Рубин 55М
    {"\xD0\xF3\xE1\xE8\xED\x20\x35\x35\xCC\xD2", 0x03030401},             // Рубин 55МТ
    {"\xD0\xE0\xE4\xF3\xE3\xE0\x20\x37\x31\x36", 0x03030500},             // Радуга 716
    {"\xC3\xEE\xF0\xE8\xE7\xEE\xED\xF2\x20\x35\x34\xD2\xD6", 0x04000100}, // Горизонт 54ТЦ
    {"\xDD\xEB\xE5\xEA\xF2\xF0\xEE\xED\x20\xD6\x2D\x33\x38\x32", 0x04000200}, // Электрон Ц-382
    {"\xD1\xE0\xE4\xEA\xEE\x20\x34\x34", 0x05010000},                     // Садко 44
    {"\xC2\xE8\xF2\xFF\xE7\xFC\x20\x35\x31", 0x05020000},                 // Витязь 51
    {"\xC8\xE7\xF3\xEC\xF0\xF3\xE4\x20\x32\x30\x31", 0x05030000},         // Изумруд 201
    {"\xB8\xEB\xEA\xE0\x20\x33", 0x06000000},                             // ёлка 3
    {"PHOENIX\x14X2", 0x07000001},
    {"", 0x0DEAD000}, // nameless: gets no entry
    {"Orbita-M", 0x08001000},
    {"orbita-S", 0x08001100},
    {"Mercury 7", 0x09000000},
    {"Mercury 7", 0x09000001}, // same name, another image
    {"Neptune", 0x0A0B0C0D},
    {"Zenith 100", 0xA0B0C0D0},
    {"Zenith 100A", 0xA0B0C0D1},
    {"Zenith 200", 0xA0B0C1D0},
    {"Aurora", 0x31000500},
    {"Aurora Pro", 0x31000501},
    {"Kometa", 0xFF00FF00},
    {"Luch 3", 0x00000001},
};

void AppendRecord(Bytes &out, const std::string &name, unsigned productNumber, unsigned seed)
{
    Bytes record(kImageOffset + kImageLength, 0x00);
    std::copy(kRecordTag.begin(), kRecordTag.end(), record.begin());
    for (std::size_t k = 4; k < kNameOffset; ++k)
        record[k] = static_cast<unsigned char>(0x80 + k);
    std::copy(name.begin(), name.end(), record.begin() + kNameOffset);
    for (int k = 0; k < 4; ++k)
        record[kImageOffset + k] = static_cast<unsigned char>(productNumber >> (24 - 8 * k));
    for (std::int64_t k = 4; k < kImageLength; ++k)
        record[kImageOffset + k] = static_cast<unsigned char>((k * 7 + seed * 13) & 0xFF);
    out.insert(out.end(), record.begin(), record.end());
}

Bytes Sample()
{
    Bytes out = {'t', 'a', 'r', 'v', 'i', 'd', 'o', 'n', ' ', 's', 'a', 'm', 'p', 'l', 'e', 0};
    unsigned seed = 0;
    for (const SampleRecord &record : kSample) {
        AppendRecord(out, record.name, record.productNumber, ++seed);
        out.insert(out.end(), 24, 0xA5); // unread bytes between records
    }
    return out;
}

// RECORDS records SPACING bytes apart; every 97th is nameless and every
// 89th is followed by overlapping tags ("DTHDTHD") in its gap.
Bytes Synthetic(long records, long spacing)
{
    Bytes out;
    out.reserve(static_cast<std::size_t>(records * spacing));
    char name[32];
    for (long i = 0; i < records; ++i) {
        const std::size_t start = out.size();
        std::snprintf(name, sizeof name, "Model %c%c-%ld", 'A' + static_cast<char>(i % 26),
                      'A' + static_cast<char>((i / 26) % 26), i);
        AppendRecord(out, i % 97 == 0 ? std::string() : std::string(name), static_cast<unsigned>(0x31000000 + i),
                     static_cast<unsigned>(i));
        if (i % 89 == 0)
            out.insert(out.end(), {'D', 'T', 'H', 'D', 'T', 'H', 'D'});
        while (out.size() < start + static_cast<std::size_t>(spacing))
            out.push_back(static_cast<unsigned char>(0x41 + out.size() % 23));
    }
    return out;
}

// Files of size bytes that a corrupt disk, a bad copy or a hostile sender
// could make, each stressing the lists another way:
//   run       one repeating run of "DTHD" and 12 "A", ended by one 0x00:
//             every name runs to the end, each a suffix of the one before;
//   quarters  four records whose names fill a quarter of the file each;
//   prefixes  records named "A", "AA", "AAA"..., each a prefix of the next;
//   repeated  one name in a record every 480 bytes;
//   spaces    a realistic catalogue whose 0x00 bytes are spaces but for the
//             last byte: names of half the file on average;
//   mixed     300 small records (at most a quarter of the file), each with
//             a name of its own, then a run of records every 17 bytes
//             ("DTHD" and "ABCDEFGHIJKLM") whose names run into one another,
//             one 0x00 and a record's length of padding: many names that
//             end apart, and names of nearly the whole file;
//   mixed-many  the same with small records in eight ninths of the file.
bool Hostile(const std::string &shape, std::size_t size, Bytes &out)
{
    const auto fill = [&](const Bytes &unit) {
        while (out.size() < size)
            out.insert(out.end(), unit.begin(), unit.end());
        out.resize(size);
    };
    if (shape == "run") {
        fill({'D', 'T', 'H', 'D', 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A'});
        out.back() = 0x00;
    } else if (shape == "quarters") {
        for (int k = 0; k < 4; ++k) {
            const std::size_t end = size / 4 * (k + 1);
            out.insert(out.end(), kRecordTag.begin(), kRecordTag.end());
            out.resize(end - 1, static_cast<unsigned char>('K' + k));
            out.push_back(0x00);
        }
    } else if (shape == "prefixes") {
        // Past 90 bytes a name holds its record's image.
        for (std::size_t length = 1; out.size() < size; ++length) {
            const std::size_t start = out.size();
            out.insert(out.end(), kRecordTag.begin(), kRecordTag.end());
            out.resize(start + kNameOffset, 0x80);
            out.resize(out.size() + length, 'A');
            out.push_back(0x00);
            out.resize(std::max(out.size(), start + kImageOffset + kImageLength), 0x5A);
        }
        out.resize(size);
    } else if (shape == "repeated") {
        for (unsigned i = 0; out.size() < size; ++i) {
            AppendRecord(out, "Model ZX-100", 0x31000000 + i, i);
            out.resize(out.size() + 480 - (kImageOffset + kImageLength), 0xA5);
        }
        out.resize(size);
    } else if (shape == "spaces") {
        out = Synthetic(static_cast<long>(size / 1024) + 1, 1024);
        out.resize(size);
        std::replace(out.begin(), out.end(), static_cast<unsigned char>(0x00), static_cast<unsigned char>(' '));
        out.back() = 0x00;
    } else if (shape == "mixed" || shape == "mixed-many") {
        const bool many = shape == "mixed-many";
        const std::size_t smallEnd = many ? size / 9 * 8 : size / 4;
        for (unsigned i = 0; out.size() < smallEnd && (many || i < 300); ++i) {
            const std::size_t start = out.size();
            const std::string name = "Set " + std::to_string(i);
            AppendRecord(out, name, 0x31000000 + i, i);
            out.resize(start + kNameOffset + name.size() + 1); // the next record starts over this one's image
        }
        Bytes unit(kRecordTag.begin(), kRecordTag.end());
        for (char letter = 'A'; unit.size() < kNameOffset; ++letter)
            unit.push_back(static_cast<unsigned char>(letter));
        const std::size_t padding = kImageOffset + kImageLength; // every image of the run within the file
        while (out.size() + unit.size() + 1 + padding <= size)
            out.insert(out.end(), unit.begin(), unit.end());
        out.push_back(0x00);
        out.resize(size, 0xA5);
    } else {
        return false;
    }
    return true;
}

bool Write(const std::string &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
        std::cerr << "cannot write " << path << "\n";
        return false;
    }
    return true;
}

// Small files that reach the scan's corners: overlapping tags, a name
// running to the end, an image cut short, names inside names.
bool WriteSeeds(const std::string &folder)
{
    Bytes onlyTags;
    for (int i = 0; i < 40; ++i)
        onlyTags.insert(onlyTags.end(), {'D', 'T', 'H', 'D'});
    Bytes truncated = Synthetic(3, 400);
    truncated.resize(2 * 400 + kImageOffset + kImageLength - 50); // the third image ends 50 bytes short
    Bytes unterminated = Synthetic(1, 400);
    unterminated.insert(unterminated.end(), {'D', 'T', 'H', 'D'});
    unterminated.insert(unterminated.end(), 13, 0x00);
    unterminated.insert(unterminated.end(), 30, 'N');
    Bytes nested = {'D', 'T', 'H', 'D'};
    nested.insert(nested.end(), 13, 0x00);
    const std::string inner = "ab\x14" "DTHD" "mmmmmmmmmmmmmTAIL";
    nested.insert(nested.end(), inner.begin(), inner.end());
    nested.insert(nested.end(), 400, 0x00);
    return Write(folder + "/synthetic.dat", Synthetic(3, 400)) && Write(folder + "/only-tags.dat", onlyTags)
        && Write(folder + "/truncated.dat", truncated) && Write(folder + "/unterminated.dat", unterminated)
        && Write(folder + "/nested.dat", nested);
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    Bytes bytes;
    if (mode == "seeds" && argc == 3)
        return WriteSeeds(argv[2]) ? 0 : 1;
    if (mode == "sample" && argc == 3) {
        bytes = Sample();
    } else if (mode == "synthetic" && argc == 5) {
        const long records = std::atol(argv[3]);
        const long spacing = std::atol(argv[4]);
        if (records < 0 || spacing < kImageOffset + kImageLength) {
            std::cerr << "SPACING must be at least " << kImageOffset + kImageLength << "\n";
            return 2;
        }
        bytes = Synthetic(records, spacing);
    } else if (mode == "hostile" && argc == 5) {
        const long size = std::atol(argv[4]);
        if (size < 1024 || !Hostile(argv[2], static_cast<std::size_t>(size), bytes)) {
            std::cerr << "SHAPE is run, quarters, prefixes, repeated, spaces, mixed or mixed-many;"
                         " BYTES at least 1024\n";
            return 2;
        }
        return Write(argv[3], bytes) ? 0 : 1;
    } else {
        std::cerr << "usage: generate_catalogue sample FILE | synthetic FILE RECORDS SPACING | seeds FOLDER"
                     " | hostile SHAPE FILE BYTES\n";
        return 2;
    }
    return Write(argv[2], bytes) ? 0 : 1;
}
