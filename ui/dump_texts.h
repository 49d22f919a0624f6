#pragma once

// What the windows say of a dump dropped on the image view.

#include <QString>

#include <string_view>
#include <vector>

namespace tarvidon {

/// A dump of a size that is neither an image's nor an export file's.
[[nodiscard]] QString DumpSizeMessage(std::int64_t size);

/// No entry holds the dump's image; the nearest is the entry named name,
/// whose image differs at offsets (ascending, at least one).
[[nodiscard]] QString NearestImageMessage(std::string_view name, std::string_view productNumber,
                                          const std::vector<int> &offsets);

} // namespace tarvidon
