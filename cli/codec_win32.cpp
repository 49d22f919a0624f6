#include "codec.h"

#include <algorithm>

#include <windows.h>

namespace tarvidon::cli {

namespace {

constexpr UINT kWindows1251 = 1251;
constexpr wchar_t kReplacementCharacter = 0xFFFD;

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Windows maps a byte that Windows-1251 leaves undefined (0x98) to the C1
// control of the same number, and back. No defined byte stands for a C1
// control, so one of those always means "undefined".
bool IsC1Control(wchar_t c)
{
    return c >= 0x80 && c <= 0x9F;
}

// Text in codePage as UTF-16; nullopt when it is not valid there.
std::optional<std::wstring> Widen(UINT codePage, std::string_view text)
{
    const int length = static_cast<int>(text.size());
    const int size = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), size) != size)
        return std::nullopt;
    return wide;
}

// UTF-16 in codePage; nullopt when codePage cannot hold it all. The flag
// and lpUsedDefaultChar keep Windows from writing a look-alike or "?".
std::optional<std::string> Narrow(UINT codePage, std::wstring_view wide)
{
    const int length = static_cast<int>(wide.size());
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL *usedDefaultOut = codePage == CP_UTF8 ? nullptr : &usedDefault; // CP_UTF8 takes none
    const int size = WideCharToMultiByte(codePage, flags, wide.data(), length, nullptr, 0, nullptr, usedDefaultOut);
    if (size <= 0 || usedDefault)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size), '\0');
    if (WideCharToMultiByte(codePage, flags, wide.data(), length, text.data(), size, nullptr, usedDefaultOut) != size
        || usedDefault)
        return std::nullopt;
    return text;
}

} // namespace

std::string Cp1251ToUtf8(std::string_view cp1251)
{
    if (IsAscii(cp1251))
        return std::string(cp1251); // most names; spares a call per row
    std::optional<std::wstring> whole = Widen(kWindows1251, cp1251);
    if (!whole) { // a byte refused: byte by byte, as it is a single-byte code page
        whole.emplace();
        for (std::size_t k = 0; k < cp1251.size(); ++k)
            *whole += Widen(kWindows1251, cp1251.substr(k, 1)).value_or(std::wstring(1, kReplacementCharacter));
    }
    std::wstring &wide = *whole;
    std::replace_if(wide.begin(), wide.end(), IsC1Control, kReplacementCharacter);
    return Narrow(CP_UTF8, wide).value_or(std::string());
}

std::optional<std::string> Utf8ToCp1251(std::string_view utf8)
{
    if (IsAscii(utf8))
        return std::string(utf8);
    const std::optional<std::wstring> wide = Widen(CP_UTF8, utf8);
    if (!wide || std::any_of(wide->begin(), wide->end(), IsC1Control))
        return std::nullopt;
    return Narrow(kWindows1251, *wide);
}

} // namespace tarvidon::cli
