#include "Unit2.h"

#include "look.h"
#include "placement.h"

#include <QVBoxLayout>

namespace tarvidon {

TForm2::TForm2(QWidget *parent) : QWidget(parent, Qt::Window), Models(new QListView(this))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Список моделей"));
    setFont(SansFont(-11));
    // 238 x 656 is the outer size, a typical frame around the client area.
    resize(QSize(238, 656).shrunkBy(kTypicalFrame));
    UseSystemColours(this);
    PlaceOnScreen(this, {242, 208});

    Models->setObjectName(QStringLiteral("Models"));
    Models->setFont(SansFont(-15));
    Models->setUniformItemSizes(true);
    Models->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SetColours(Models, kBlack, kAqua);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Models);
}

} // namespace tarvidon
