#pragma once

#include "large_buffer.h"

#include <QLineEdit>

#include <string>
#include <string_view>

namespace tarvidon {

/// A one-line field that holds a model name or text made of one: names of
/// any length, shown as ShownName shows them. A name longer than that is
/// kept whole beside what the field shows, until the field's text changes.
class NameField : public QLineEdit {
    Q_OBJECT

public:
    explicit NameField(QWidget *parent = nullptr);

    /// Shows bytes (engine text), keeping them whole.
    void setEngineText(std::string_view bytes);
    /// Completes typed, the start of bytes, to bytes as typing does: the
    /// rest inserted after the cursor (Ctrl+Z takes it back) and selected.
    void completeTo(std::string_view bytes, qsizetype typed);
    /// What the field holds, whole, as engine text (see ToEngineText).
    [[nodiscard]] LargeString engineText() const;
    /// What the field holds, whole.
    [[nodiscard]] QString wholeText() const;

private:
    [[nodiscard]] bool holdsWhole() const { return !whole_.empty() && text() == shown_; }
    void keep(LargeString bytes);

    LargeString whole_; // a name longer than what is shown, while it is shown
    QString shown_;
};

} // namespace tarvidon
