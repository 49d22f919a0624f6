#include "code_page.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace tarvidon {
namespace {

// The system's own idea of a byte: nullopt where it has none.
std::optional<char32_t> SystemCharacter(unsigned char byte)
{
#ifdef _WIN32
    const char in = static_cast<char>(byte);
    wchar_t out = 0;
    if (MultiByteToWideChar(1251, MB_ERR_INVALID_CHARS, &in, 1, &out, 1) != 1 || (out >= 0x80 && out <= 0x9F))
        return std::nullopt; // Windows gives the undefined byte a C1 control
    return out;
#else
    const iconv_t cd = iconv_open("UTF-32LE", "WINDOWS-1251");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    char in = static_cast<char>(byte);
    unsigned char out[4] = {};
    char *inPtr = &in, *outPtr = reinterpret_cast<char *>(out);
    std::size_t inLeft = 1, outLeft = sizeof out;
    const bool converted = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    if (!converted)
        return std::nullopt;
    return char32_t{out[0]} | char32_t{out[1]} << 8 | char32_t{out[2]} << 16 | char32_t{out[3]} << 24;
#endif
}

TEST(CodePage, EveryByteIsTheSystemsCharacterAndTheUndefinedOneIsTheReplacementCharacter)
{
    int undefined = 0;
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<unsigned char>(b);
        const std::optional<char32_t> expected = SystemCharacter(byte);
        undefined += !expected;
        EXPECT_EQ(Cp1251ToUnicode(byte), expected.value_or(0xFFFD)) << "byte " << b;
        EXPECT_EQ(UnicodeToCp1251(Cp1251ToUnicode(byte)), static_cast<char>(b)) << "byte " << b;
    }
    EXPECT_EQ(undefined, 1); // 0x98
}

TEST(CodePage, Utf8BothWays)
{
    struct Case {
        std::string utf8;
        std::optional<std::string> cp1251;
    };
    const Case cases[] = {
        {"Рубин 55М", "\xD0\xF3\xE1\xE8\xED 55\xCC"},
        {"Ёлка №1 €", "\xA8\xEB\xEA\xE0 \xB9" "1 \x88"},
        {"А\xEF\xBF\xBDа", "\xC0\x98\xE0"}, // U+FFFD is the undefined byte
        {"日本", std::nullopt},
        {"\xC2\x98", std::nullopt},         // U+0098: no byte stands for it
        {"ab\xD0", std::nullopt},           // cut off
        {"\xFF", std::nullopt},             // not UTF-8
        {"\xC0\xAF", std::nullopt},         // overlong "/"
        {"\xED\xA0\x80", std::nullopt},     // a surrogate
        {"\xF4\x90\x80\x80", std::nullopt}, // beyond U+10FFFF
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Utf8ToCp1251(c.utf8), c.cp1251) << c.utf8;
        if (c.cp1251) {
            EXPECT_EQ(Cp1251ToUtf8(*c.cp1251), c.utf8);
        }
    }
}

TEST(CodePage, EveryByteTurnsIntoUtf8AndBack)
{
    // Listings convert names through a table of every byte's UTF-8 form.
    std::string everyByte;
    for (int b = 1; b < 256; ++b)
        everyByte += static_cast<char>(b);
    const std::string utf8 = Cp1251ToUtf8(everyByte);
    EXPECT_EQ(utf8.size(), 127 + 2 * 109 + 3 * 19u); // ASCII, two-byte and three-byte forms
    EXPECT_EQ(Utf8ToCp1251(utf8), everyByte);
}

} // namespace
} // namespace tarvidon
