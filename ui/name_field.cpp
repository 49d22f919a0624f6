#include "name_field.h"

#include "text.h"

#include <algorithm>
#include <limits>

namespace tarvidon {

NameField::NameField(QWidget *parent) : QLineEdit(parent)
{
    setMaxLength(std::numeric_limits<int>::max()); // names have no length limit
}

void NameField::keep(LargeString bytes)
{
    whole_ = bytes.size() > kShownNameLength ? std::move(bytes) : LargeString();
    shown_ = text();
}

void NameField::setEngineText(std::string_view bytes)
{
    setText(ShownName(bytes));
    keep(bytes.size() > kShownNameLength ? LargeString(bytes) : LargeString());
}

void NameField::completeTo(std::string_view bytes, qsizetype typed)
{
    const QString rest = ShownName(bytes).mid(typed);
    if (rest.isEmpty())
        return;
    insert(rest); // an edit like any other, so Ctrl+Z takes it back
    setSelection(static_cast<int>(typed), static_cast<int>(rest.size()));
    // The whole is what was typed, as typed, and the rest of bytes.
    const std::string start = ToEngineText(text().left(typed));
    LargeString whole(start.begin(), start.end());
    whole.append(bytes.substr(std::min(bytes.size(), start.size())));
    keep(std::move(whole));
}

LargeString NameField::engineText() const
{
    if (holdsWhole())
        return whole_;
    const std::string typed = ToEngineText(text());
    return LargeString(typed.begin(), typed.end());
}

QString NameField::wholeText() const
{
    return holdsWhole() ? FromEngineText(whole_) : text();
}

} // namespace tarvidon
