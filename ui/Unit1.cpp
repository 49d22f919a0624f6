#include "Unit1.h"

#include "catalogue_list_model.h"
#include "completing_combo_box.h"
#include "look.h"
#include "shell.h"
#include "text.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

namespace tarvidon {

namespace {

QLabel *LabelPanel(QWidget *parent, const QString &name, const QString &caption, const QRect &geometry,
                   int fontHeight)
{
    auto *panel = new QLabel(caption, parent);
    panel->setObjectName(name);
    panel->setGeometry(geometry);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFont(SansFont(fontHeight));
    SetColours(panel, kBlack, kLime);
    return panel;
}

void CentreOnScreen(QWidget *window)
{
    const QScreen *screen = window->screen() != nullptr ? window->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void SetMemoRows(QPlainTextEdit *memo, const std::array<std::string, kHexRowCount> &rows)
{
    QStringList lines;
    for (const std::string &row : rows)
        lines << QString::fromLatin1(row.data(), static_cast<qsizetype>(row.size()));
    memo->setPlainText(lines.join(u'\n'));
}

} // namespace

TForm1::TForm1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Тарвидон"));
    setFixedSize(698, 193);
    setFont(SansFont(-11));
    SetColours(this, kBlack, kLime);

    createControls();
    Form2 = new TForm2(this);
    Form3 = new TForm3(this);
    Form4 = new TForm4(this);
    createLists();
    connectHandlers();
    FormCreate();
    CentreOnScreen(this);
}

TForm1::~TForm1()
{
    // The lists read the catalogue, which goes before the widgets do, and
    // closing the window still asks them for rows.
    for (CatalogueListModel *list : {modelList_, modelItems_, productItems_})
        list->setTexts({});
}

void TForm1::createControls()
{
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(152, 8, 417, 24);
    Panel1 = LabelPanel(this, QStringLiteral("Panel1"), QStringLiteral("Файл с данными:"), {8, 8, 145, 24}, -11);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_BrowserReload), QStringLiteral("&Открыть..."), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(568, 8, 121, 24);
    Panel2 = LabelPanel(this, QStringLiteral("Panel2"), QStringLiteral("Модель:"), {8, 40, 145, 24}, -11);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton), QStringLiteral("&Сохранить..."),
                              this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(568, 40, 121, 89);
    for (QPushButton *button : {BitBtn1, BitBtn2}) {
        button->setFont(SansFont(-11, true));
        UseSystemColours(button);
        button->setAutoDefault(false); // Enter belongs to the fields
    }

    ComboBox1 = new CompletingComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(152, 40, 417, 24);
    Panel3 = LabelPanel(this, QStringLiteral("Panel3"), QStringLiteral("Продномер прошивки:"), {8, 72, 145, 24}, -11);
    ComboBox2 = new CompletingComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setGeometry(152, 72, 417, 24);
    Panel4 = LabelPanel(this, QStringLiteral("Panel4"), QStringLiteral("Сохранить как:"), {8, 104, 145, 24}, 11);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(152, 104, 417, 24);

    for (QWidget *field : {static_cast<QWidget *>(Edit1), static_cast<QWidget *>(ComboBox1),
                           static_cast<QWidget *>(ComboBox2)}) {
        field->setFont(SansFont(-15));
        SetColours(field, kBlack, kYellow);
    }
    Edit2->setFont(SansFont(-15));
    SetColours(Edit2, kBlack, kLime);

    Panel5 = new QFrame(this);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setGeometry(8, 136, 681, 49);
    Panel5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    SpeedButton1 = new QToolButton(Panel5);
    SpeedButton1->setText(QStringLiteral("СПРЯТАТЬ / ПОКАЗАТЬ   СПИСОК МОДЕЛЕЙ"));
    SpeedButton1->setGeometry(8, 8, 329, 33);
    SpeedButton2 = new QToolButton(Panel5);
    SpeedButton2->setText(QStringLiteral("СПРЯТАТЬ / ПОКАЗАТЬ   ВЫБРАННУЮ  ПРОШИВКУ"));
    SpeedButton2->setGeometry(344, 8, 329, 33);
    for (QToolButton *button : {SpeedButton1, SpeedButton2}) {
        button->setObjectName(button == SpeedButton1 ? QStringLiteral("SpeedButton1") : QStringLiteral("SpeedButton2"));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFont(SansFont(-11));
        SetColours(button, kBlack, kFuchsia);
    }

    setTabOrder(Edit1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, ComboBox1);
    setTabOrder(ComboBox1, ComboBox2);
    setTabOrder(ComboBox2, Edit2);
}

void TForm1::createLists()
{
    using Field = CatalogueListModel::Field;
    using Order = CatalogueListModel::Order;
    modelList_ = new CatalogueListModel(Field::ModelName, Order::File, this);
    modelItems_ = new CatalogueListModel(Field::ModelName, Order::Sorted, this);
    productItems_ = new CatalogueListModel(Field::ProductNumber, Order::Sorted, this);
    productItems_->setTexts({QStringLiteral("03030400"), QStringLiteral("31000300"), QStringLiteral("31000400")});
    Form2->Models->setModel(modelList_);
    ComboBox1->setSortedModel(modelItems_);
    ComboBox2->setSortedModel(productItems_);
    ComboBox1->setEditText(QString());
    ComboBox2->setEditText(QString());
}

void TForm1::connectHandlers()
{
    const auto guarded = [this](void (TForm1::*handler)()) {
        return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
    };
    connect(BitBtn1, &QPushButton::clicked, this, guarded(&TForm1::BitBtn1Click));
    connect(BitBtn2, &QPushButton::clicked, this, guarded(&TForm1::BitBtn2Click));
    connect(Edit1, &QLineEdit::returnPressed, this, guarded(&TForm1::Edit1KeyPress));
    connect(ComboBox1, &CompletingComboBox::enterPressed, this, guarded(&TForm1::ComboBox1KeyPress));
    connect(ComboBox2, &CompletingComboBox::enterPressed, this, guarded(&TForm1::ComboBox2KeyPress));
    connect(SpeedButton1, &QToolButton::clicked, this, guarded(&TForm1::SpeedButton1Click));
    connect(SpeedButton2, &QToolButton::clicked, this, guarded(&TForm1::SpeedButton2Click));
}

void TForm1::FormCreate()
{
    state_ = EngineState();
    Edit1->setFocus();
}

void TForm1::BitBtn1Click()
{
    if (const std::optional<QString> file = ChooseDataFile(this)) {
        Edit1->setText(QDir::toNativeSeparators(*file));
        // A default output name has no folder: it lands next to the data.
        QDir::setCurrent(QFileInfo(*file).absolutePath());
    }
    checkDataFile();
    repaint();
    showBusyNotice();
    try {
        loadAndScan();
    } catch (...) {
        Form4->hide(); // before the error box, so no notice is left claiming work goes on
        throw;
    }
    Form4->hide();
    activateWindow(); // the notice took the activation with it
    ComboBox1->setFocus();
}

void TForm1::Edit1KeyPress()
{
    checkDataFile();
    loadAndScan();
}

void TForm1::ComboBox1KeyPress()
{
    const MatchIndex i = FindByModel(state_.Catalogue, ToEngineText(ComboBox1->currentText()));
    if (i >= 0)
        SelectEntry(i);
    else
        ComboBox2->setEditText(QString());
}

void TForm1::ComboBox2KeyPress()
{
    const MatchIndex i = FindByProductNumber(state_.Catalogue, ToEngineText(ComboBox2->currentText()));
    if (i >= 0)
        SelectEntry(i);
    else
        ComboBox1->setEditText(QString());
}

void TForm1::SelectEntry(MatchIndex i)
{
    const CatalogueEntry entry = state_.Catalogue.Entry(i);
    ComboBox1->setEditText(FromEngineText(entry.ModelName));
    ComboBox2->setEditText(FromEngineText(entry.ProductNumber));
    Edit2->setText(ComboBox2->currentText() + u'_' + ComboBox1->currentText() + QStringLiteral(".BIN"));
    Form3->setWindowTitle(ComboBox1->currentText());
    selected_ = i;
    SetMemoRows(Form3->Memo1, ShowImage(state_, i));
    Form3->Memo1->repaint();
}

void TForm1::BitBtn2Click()
{
    SaveImage(state_, ToEngineText(ComboBox1->currentText()), ToFileName(Edit2->text()), selected_);
}

void TForm1::SpeedButton1Click()
{
    Form2->setVisible(!Form2->isVisible());
}

void TForm1::SpeedButton2Click()
{
    Form3->setVisible(!Form3->isVisible());
}

void TForm1::checkDataFile()
{
    CheckDataFile(state_, ToFileName(Edit1->text()),
                  [](std::string_view message) { ShowMessage(QString::fromUtf8(message.data(), message.size())); });
}

void TForm1::loadAndScan()
{
    const std::string path = ToFileName(Edit1->text());
    LoadDataFile(state_, path);
    if (ScanCatalogue(state_))
        showLists();
}

void TForm1::showLists()
{
    selected_.reset();
    modelList_->setCatalogue(&state_.Catalogue);
    modelItems_->setCatalogue(&state_.Catalogue);
    productItems_->setCatalogue(&state_.Catalogue);
    // Refilling the items leaves the typed texts empty, as a cleared list does.
    ComboBox1->setEditText(QString());
    ComboBox2->setEditText(QString());
}

void TForm1::showBusyNotice()
{
    if (!busyNoticePlaced_) {
        CentreOnScreen(Form4);
        busyNoticePlaced_ = true;
    }
    Form4->show();
    Form4->raise();
    // Let the window system map the notice, then paint it before we block.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    Form4->repaint();
}

} // namespace tarvidon
