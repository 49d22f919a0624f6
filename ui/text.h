#pragma once

#include "large_buffer.h"

#include <QString>

#include <cstdint>
#include <filesystem>
#include <functional>
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

/// A file name as the engine and the operating system take it, in Qt's
/// file name encoding; FileName turns it back into text to show.
[[nodiscard]] std::filesystem::path FilePath(const QString &name);
[[nodiscard]] QString FileName(const std::filesystem::path &path);

/// Appends to key a byte string that sorts, byte for byte, as
/// QString::compare(..., Qt::CaseInsensitive) sorts the decoded text: a
/// completer told that its model is sorted case-insensitively relies on
/// exactly that order.
void AppendCaseInsensitiveSortKey(std::string &key, std::string_view text);

using TextAt = std::function<std::string_view(std::int64_t position)>;

/// Positions 0..count-1 in the order of their texts' sort keys (above),
/// equal texts in position order. A radix sort on the keys' bytes: a
/// million names take a fraction of what comparing them would.
[[nodiscard]] LargeVector<std::int64_t> SortedByCaseInsensitiveKey(std::int64_t count, const TextAt &textAt);

} // namespace tarvidon
