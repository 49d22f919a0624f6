#pragma once

#include "large_buffer.h"

#include <cstdint>
#include <functional>
#include <string_view>

namespace tarvidon {

using TextAt = std::function<std::string_view(std::int64_t position)>;

/// Positions 0..count-1 in the order of their texts' case-insensitive sort
/// keys (AppendCaseInsensitiveSortKey), equal texts in position order.
/// Texts are sorted by radix on their keys: a million names take a
/// fraction of what comparing them would. Texts that overlap, each ending
/// where the other does as records running into one another do, are
/// sorted as suffixes of the texts they share instead, so that even names
/// that are each a suffix of the one before sort in time linear in the
/// bytes they hold.
[[nodiscard]] LargeVector<std::int64_t> SortedByCaseInsensitiveKey(std::int64_t count, const TextAt &textAt);

} // namespace tarvidon
