#pragma once

// Model names are Windows-1251 bytes; the command line speaks UTF-8. These
// two are the only places where text changes encoding.

#include <optional>
#include <string>
#include <string_view>

namespace tarvidon::cli {

/// A stored name for printing. A byte that Windows-1251 leaves undefined
/// becomes U+FFFD.
[[nodiscard]] std::string Cp1251ToUtf8(std::string_view cp1251);

/// Typed text for a lookup; nullopt when it is not valid UTF-8 or holds a
/// character that Windows-1251 cannot hold.
[[nodiscard]] std::optional<std::string> Utf8ToCp1251(std::string_view utf8);

} // namespace tarvidon::cli
