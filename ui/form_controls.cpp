#include "form_controls.h"

#include "look.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>

namespace tarvidon {

QLabel *LabelPanel(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry,
                   int fontHeight)
{
    auto *panel = Create<QLabel>(parent, name, geometry, caption);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFont(SansFont(fontHeight));
    FitCaption(panel);
    SetColours(panel, kBlack, kLime);
    return panel;
}

QString LiteralTitle(QString text)
{
    return text.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

void SetMemoRows(QPlainTextEdit *memo, const std::array<std::string, kHexRowCount> &rows)
{
    QStringList lines;
    for (const std::string &row : rows)
        lines << QString::fromLatin1(row.data(), static_cast<qsizetype>(row.size()));
    memo->setPlainText(lines.join(u'\n'));
}

} // namespace tarvidon
