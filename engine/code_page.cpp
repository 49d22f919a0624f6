#include "code_page.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace tarvidon {

namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;

// Bytes 0x80 to 0xFF; below them Windows-1251 is ASCII.
constexpr std::array<char16_t, 128> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90
    kReplacementCharacter, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // 0xB8
    // 0xC0 to 0xFF: А to я, in alphabetical order.
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void AppendUtf8(std::string &out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point that starts at text[at], advancing at past it; nullopt for
// a sequence that is cut off, overlong, a surrogate or beyond U+10FFFF.
std::optional<char32_t> NextCodePoint(std::string_view text, std::size_t &at)
{
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80)
        return lead;
    const int continuations = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
    if (continuations < 0 || lead > 0xF4 || text.size() - at < static_cast<std::size_t>(continuations))
        return std::nullopt;
    char32_t c = lead & (0x3F >> continuations);
    for (int k = 0; k < continuations; ++k) {
        const auto next = static_cast<unsigned char>(text[at++]);
        if ((next & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (next & 0x3F);
    }
    constexpr std::array<char32_t, 4> kSmallest = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[static_cast<std::size_t>(continuations)] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return std::nullopt;
    return c;
}

} // namespace

char16_t Cp1251ToUnicode(unsigned char byte)
{
    return byte < 0x80 ? char16_t{byte} : kUpperHalf[byte - 0x80u];
}

std::optional<char> UnicodeToCp1251(char32_t character)
{
    if (character < 0x80)
        return static_cast<char>(character);
    const auto found = std::find(kUpperHalf.begin(), kUpperHalf.end(), character);
    if (found == kUpperHalf.end())
        return std::nullopt;
    return static_cast<char>(0x80 + (found - kUpperHalf.begin()));
}

std::string Cp1251ToUtf8(std::string_view cp1251)
{
    std::string out;
    AppendCp1251AsUtf8(out, cp1251);
    return out;
}

void AppendCp1251AsUtf8(std::string &out, std::string_view cp1251)
{
    if (IsAscii(cp1251)) {
        out += cp1251; // most names; spares the loop
        return;
    }
    // Every byte's UTF-8 form, made once: long names made character by
    // character were most of the time of listing a catalogue.
    struct Form {
        std::array<char, 3> bytes{};
        std::size_t length = 0;
    };
    static const std::array<Form, 256> kForms = [] {
        std::array<Form, 256> forms;
        for (std::size_t b = 0; b < forms.size(); ++b) {
            std::string form;
            AppendUtf8(form, Cp1251ToUnicode(static_cast<unsigned char>(b)));
            std::copy(form.begin(), form.end(), forms[b].bytes.begin());
            forms[b].length = form.size();
        }
        return forms;
    }();
    const std::size_t start = out.size();
    out.resize(start + cp1251.size() * 3);
    char *end = out.data() + start;
    for (const char byte : cp1251) {
        const Form &form = kForms[static_cast<unsigned char>(byte)];
        std::memcpy(end, form.bytes.data(), form.bytes.size());
        end += form.length;
    }
    out.resize(static_cast<std::size_t>(end - out.data()));
}

std::optional<std::string> Utf8ToCp1251(std::string_view utf8)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) {
        const std::optional<char32_t> c = NextCodePoint(utf8, at);
        const std::optional<char> byte = c ? UnicodeToCp1251(*c) : std::nullopt;
        if (!byte)
            return std::nullopt;
        out += *byte;
    }
    return out;
}

} // namespace tarvidon
