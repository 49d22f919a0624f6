#pragma once

#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace tarvidon {

/// Engine text (Windows-1251 bytes) as shown on screen.
[[nodiscard]] QString FromEngineText(std::string_view bytes);

/// Typed text as engine bytes. Text that Windows-1251 cannot hold comes
/// back starting with a 0x00 byte, which no name or product number holds,
/// so that it simply matches nothing.
[[nodiscard]] std::string ToEngineText(const QString &text);

/// A file name as the operating system takes it (UTF-8).
[[nodiscard]] std::string ToFileName(const QString &text);

/// Orders engine texts as QString::compare(..., Qt::CaseInsensitive) orders
/// their decoded forms, without decoding them: a completer that is told
/// its model is sorted case-insensitively relies on exactly that order.
[[nodiscard]] bool CaseInsensitiveLess(std::string_view a, std::string_view b);

} // namespace tarvidon
