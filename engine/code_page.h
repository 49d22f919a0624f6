#pragma once

// Model names are Windows-1251 bytes; the window and the command line show
// and take Unicode. Every conversion between the two goes through here.
//
// The rule: each byte stands for its Windows-1251 character, and 0x98,
// which the code page leaves undefined, for U+FFFD, so that every byte has
// a visible character and every shown name converts back to its own bytes.
// Text holding a character that no byte stands for cannot be encoded.

#include <optional>
#include <string>
#include <string_view>

namespace tarvidon {

/// The character a byte stands for.
[[nodiscard]] char16_t Cp1251ToUnicode(unsigned char byte);
/// The byte that stands for a character; nullopt when none does.
[[nodiscard]] std::optional<char> UnicodeToCp1251(char32_t character);

/// Stored text as UTF-8, for printing.
[[nodiscard]] std::string Cp1251ToUtf8(std::string_view cp1251);
/// The same, appended to out.
void AppendCp1251AsUtf8(std::string &out, std::string_view cp1251);
/// Typed UTF-8 as stored text; nullopt when it is not valid UTF-8 or holds
/// a character that cannot be encoded.
[[nodiscard]] std::optional<std::string> Utf8ToCp1251(std::string_view utf8);

} // namespace tarvidon
