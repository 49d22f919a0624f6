#include "Unit4.h"

#include "look.h"
#include "native_window.h"

#include <QVBoxLayout>

namespace tarvidon {

TForm4::TForm4(QWidget *parent)
    // A title bar without any buttons: the user cannot close the notice
    // (on X a border only, as a title bar there may bring buttons anyway).
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::MSWindowsFixedSizeDialogHint),
      Panel1(new QLabel(this))
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QString());
    setFixedSize(818, 37);

    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setText(QStringLiteral(
        "Грузим данные...обрабатываем их...тормозим...не теряйте надежду...сейчас все будет..."));
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setFont(SansFont(-20));
    SetColours(Panel1, kGreen, kLime);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panel1);
    layout->activate(); // the caption is fitted to the panel's size
    FitCaption(Panel1);
}

void TForm4::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    ClearNativeWindowName(this); // the caption stays empty, not the application's name
    AskForBorderOnly(this);      // no title-bar buttons whatever the window manager
}

} // namespace tarvidon
