#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvidon {

/// Offset from bytes of the first "DTHD" that lies wholly inside
/// bytes[0, size), or size when there is none. Vectorised where the CPU
/// allows; always the same answer as comparing at every offset in turn.
[[nodiscard]] std::size_t FindRecordTag(const std::uint8_t *bytes, std::size_t size);

/// The same search one offset at a time: the definition the fast search is
/// checked against.
[[nodiscard]] std::size_t FindRecordTagByteByByte(const std::uint8_t *bytes, std::size_t size);

} // namespace tarvidon
