#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarvidon {

/// Engine text (Windows-1251 bytes) as shown on screen.
[[nodiscard]] QString FromEngineText(std::string_view bytes);

/// Typed text as engine bytes. Text that Windows-1251 cannot hold comes
/// back starting with a 0x00 byte, which no name or product number holds,
/// so that it simply matches nothing.
[[nodiscard]] std::string ToEngineText(const QString &text);

/// A name as the windows show it: whole up to kShownNameLength characters,
/// else its start and "…". What they show of a name longer than any real
/// one is laid out in no time; the program still uses the whole name.
inline constexpr std::size_t kShownNameLength = 1000;
[[nodiscard]] QString ShownName(std::string_view bytes);

/// A file name as the engine and the operating system take it, in Qt's
/// file name encoding; FileName turns it back into text to show.
[[nodiscard]] std::filesystem::path FilePath(const QString &name);
[[nodiscard]] QString FileName(const std::filesystem::path &path);

/// The rank of each byte's case-folded character among all folded forms,
/// from 1 (0 stands for "the text has ended", which sorts first).
[[nodiscard]] const std::array<std::uint8_t, 256> &CaseInsensitiveRanks();

/// Appends to key a byte string that sorts, byte for byte, as
/// QString::compare(..., Qt::CaseInsensitive) sorts the decoded text: a
/// completer told that its model is sorted case-insensitively relies on
/// exactly that order.
void AppendCaseInsensitiveSortKey(std::string &key, std::string_view text);

} // namespace tarvidon
