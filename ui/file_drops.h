#pragma once

// Files dragged onto the windows: which drags they take, and how.

#include <QString>

#include <optional>

class QDropEvent;
class QEvent;

namespace tarvidon {

/// The one local file a drag carries; nothing when it carries anything
/// else (several files, a folder, an address), so that it is refused.
[[nodiscard]] std::optional<QString> DraggedFile(const QDropEvent *event);

/// Takes a drag of one file, as a copy: we only read the file, and a source
/// told that its file was moved would delete it. Refuses any other drag
/// and returns false.
bool AcceptFileDrag(QDropEvent *event);

/// Whether event is a drag entering, moving over or dropping on a widget.
[[nodiscard]] bool IsDragEvent(const QEvent *event);

} // namespace tarvidon
