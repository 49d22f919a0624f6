#pragma once

#include "large_buffer.h"

#include <cstdint>

namespace tarvidon {

/// The starts of text's suffixes in ascending order, a suffix that is a
/// prefix of another first. text's symbols lie in 0..alphabet-1, which
/// leaves their top bit clear (the sort's own). Linear in the text's length
/// (induced sorting, after Nong, Zhang and Chan), so that texts whose
/// suffixes share long starts sort as fast as any. Sixteen-bit symbols,
/// where they do, halve the memory that the text takes.
[[nodiscard]] LargeVector<std::int32_t> SuffixArray(LargeVector<std::uint16_t> text, std::int32_t alphabet);
[[nodiscard]] LargeVector<std::int32_t> SuffixArray(LargeVector<std::int32_t> text, std::int32_t alphabet);

} // namespace tarvidon
