#pragma once

// The order of the model and product lists, and the search for the first
// listed text that starts with what was typed. Ranks, not characters, are
// compared: the caller says how its characters order, case folded or not.

#include "large_buffer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>

namespace tarvidon {

using TextAt = std::function<std::string_view(std::int64_t position)>;

/// The rank of each byte's character, 1 to 255: bytes of equal rank count
/// as one character. 0 stands for "the text has ended", which sorts first.
using SortRanks = std::array<std::uint8_t, 256>;

/// Positions 0..count-1 in the order of their texts' ranks, compared
/// character by character (a text that ends first sorts first), equal texts
/// in position order. Texts are sorted by radix on their ranks: a million
/// names take a fraction of what comparing them would. Texts that overlap,
/// each ending where the other does as records running into one another
/// do, are sorted as suffixes of the texts they share instead, so that even
/// names that are each a suffix of the one before sort in time linear in
/// the bytes they hold. Throws std::invalid_argument for a rank of 0.
[[nodiscard]] LargeVector<std::int64_t> SortedByRanks(std::int64_t count, const TextAt &textAt,
                                                      const SortRanks &ranks);

/// The first of count texts, sorted as SortedByRanks sorts them, that
/// starts with typed rank for rank; -1 when none does or typed is empty.
/// A binary search: it reads about typed's length in each of log2(count)
/// texts.
[[nodiscard]] std::int64_t FirstStartingWith(std::int64_t count, const TextAt &sortedTextAt, std::string_view typed,
                                             const SortRanks &ranks);

} // namespace tarvidon
