#include "Unit3.h"

#include "catalogue.h"
#include "look.h"
#include "placement.h"

#include <QStringList>

namespace tarvidon {

namespace {

constexpr int kRowCharacters = 3 * kBytesPerHexRow;

} // namespace

TForm3::TForm3(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      Memo1(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Выбранная прошивка"));
    setFixedSize(475, 296);
    UseSystemColours(this);
    PlaceOnScreen(this, {1199, 372});

    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(0, 0, 476, 297);
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SetColours(Memo1, kBlack, kLime);
    const int margins = 2 * (Memo1->frameWidth() + static_cast<int>(Memo1->document()->documentMargin()));
    Memo1->setFont(TerminalFont(18, kRowCharacters, kHexRowCount, Memo1->size() - QSize(margins, margins)));

    const QString blankRow = QStringLiteral("FF ").repeated(kBytesPerHexRow);
    QStringList rows;
    for (int r = 0; r < kHexRowCount; ++r)
        rows << blankRow;
    Memo1->setPlainText(rows.join(u'\n'));
}

} // namespace tarvidon
