#include "Unit1.h"

#include "catalogue_list_model.h"
#include "comparison.h"
#include "completing_combo_box.h"
#include "dump_texts.h"
#include "file_drops.h"
#include "form_controls.h"
#include "look.h"
#include "name_field.h"
#include "placement.h"
#include "native_window.h"
#include "shell.h"
#include "text.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>

namespace tarvidon {

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
    acceptFileDrops();
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
    createFields();
    createPanels();
    createButtons();
    setTabOrder(Edit1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, ComboBox1);
    setTabOrder(ComboBox1, ComboBox2);
    setTabOrder(ComboBox2, Edit2);
}

void TForm1::createFields()
{
    Edit1 = Create<QLineEdit>(this, QStringLiteral("Edit1"), {152, 8, 417, 24});
    ComboBox1 = Create<CompletingComboBox>(this, QStringLiteral("ComboBox1"), {152, 40, 417, 24});
    ComboBox2 = Create<CompletingComboBox>(this, QStringLiteral("ComboBox2"), {152, 72, 417, 24});
    Edit2 = Create<NameField>(this, QStringLiteral("Edit2"), {152, 104, 417, 24});
    Edit1->setMaxLength(std::numeric_limits<int>::max()); // paths have no length limit
    for (QWidget *field : std::initializer_list<QWidget *>{Edit1, ComboBox1, ComboBox2, Edit2}) {
        field->setFont(SansFont(-15));
        SetColours(field, kBlack, field == Edit2 ? kLime : kYellow);
    }
}

void TForm1::createPanels()
{
    Panel1 = LabelPanel(this, QStringLiteral("Panel1"), QStringLiteral("Файл с данными:"), {8, 8, 145, 24}, -11);
    Panel2 = LabelPanel(this, QStringLiteral("Panel2"), QStringLiteral("Модель:"), {8, 40, 145, 24}, -11);
    Panel3 = LabelPanel(this, QStringLiteral("Panel3"), QStringLiteral("Продномер прошивки:"), {8, 72, 145, 24}, -11);
    Panel4 = LabelPanel(this, QStringLiteral("Panel4"), QStringLiteral("Сохранить как:"), {8, 104, 145, 24}, 11);
    Panel5 = Create<QFrame>(this, QStringLiteral("Panel5"), {8, 136, 681, 49});
    Panel5->setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void TForm1::createButtons()
{
    BitBtn1 = Create<QPushButton>(this, QStringLiteral("BitBtn1"), {568, 8, 121, 24},
                                  style()->standardIcon(QStyle::SP_BrowserReload), QStringLiteral("&Открыть..."));
    BitBtn2 = Create<QPushButton>(this, QStringLiteral("BitBtn2"), {568, 40, 121, 89},
                                  style()->standardIcon(QStyle::SP_DialogApplyButton), QStringLiteral("&Сохранить..."));
    for (QPushButton *button : {BitBtn1, BitBtn2}) {
        button->setFont(SansFont(-11, true));
        FitCaption(button);
        UseSystemColours(button);
        button->setAutoDefault(false); // Enter belongs to the fields
    }

    SpeedButton1 = Create<QToolButton>(Panel5, QStringLiteral("SpeedButton1"), {8, 8, 329, 33});
    SpeedButton1->setText(QStringLiteral("СПРЯТАТЬ / ПОКАЗАТЬ   СПИСОК МОДЕЛЕЙ"));
    SpeedButton2 = Create<QToolButton>(Panel5, QStringLiteral("SpeedButton2"), {344, 8, 329, 33});
    SpeedButton2->setText(QStringLiteral("СПРЯТАТЬ / ПОКАЗАТЬ   ВЫБРАННУЮ  ПРОШИВКУ"));
    for (QToolButton *button : {SpeedButton1, SpeedButton2}) {
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFont(SansFont(-11));
        FitCaption(button);
        SetColours(button, kBlack, kFuchsia);
    }
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
    if (const std::optional<QString> file = ChooseDataFile(this))
        useDataFile(*file);
    openDataFile();
}

void TForm1::useDataFile(const QString &file)
{
    Edit1->setText(QDir::toNativeSeparators(file));
    // A default output name has no folder: it lands next to the data, or
    // the user learns why not before saving anywhere else. A file that is
    // not there meets the check instead, and the old data stays.
    const std::filesystem::path folder = FilePath(QFileInfo(file).absolutePath());
    std::error_code error;
    std::filesystem::current_path(folder, error);
    if (error && QFileInfo::exists(file))
        throw MakeIoError(error.value(), folder);
}

void TForm1::openDataFile()
{
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
    const MatchIndex i = FindByModel(state_.Catalogue, ComboBox1->field()->engineText());
    if (i >= 0)
        SelectEntry(i);
    else
        ComboBox2->setEditText(QString());
}

void TForm1::ComboBox2KeyPress()
{
    const MatchIndex i = FindByProductNumber(state_.Catalogue, ComboBox2->field()->engineText());
    if (i >= 0)
        SelectEntry(i);
    else
        ComboBox1->setEditText(QString());
}

void TForm1::SelectEntry(MatchIndex i)
{
    const CatalogueEntry entry = state_.Catalogue.Entry(i);
    ComboBox1->field()->setEngineText(entry.ModelName);
    ComboBox2->field()->setEngineText(entry.ProductNumber);
    Edit2->setEngineText(ComboBox2->field()->engineText() + "_" + ComboBox1->field()->engineText() + ".BIN");
    Form3->setWindowTitle(LiteralTitle(ShownName(entry.ModelName)));
    selected_ = i;
    SetMemoRows(Form3->Memo1, ShowImage(state_, i));
    Form3->Memo1->repaint();
}

void TForm1::BitBtn2Click()
{
    SaveImage(state_, ComboBox1->field()->engineText(), FilePath(Edit2->wholeText()), selected_);
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
    CheckDataFile(state_, FilePath(Edit1->text()),
                  [](std::string_view message) { ShowMessage(QString::fromUtf8(message.data(), message.size())); });
}

void TForm1::loadAndScan()
{
    if (LoadAndScan(state_, FilePath(Edit1->text())))
        showLists();
}

void TForm1::showLists()
{
    selected_.reset();
    CatalogueListModel::setCatalogue({modelList_, modelItems_, productItems_}, &state_.Catalogue);
    // Refilling the items leaves the typed texts empty, as a cleared list does.
    ComboBox1->setEditText(QString());
    ComboBox2->setEditText(QString());
}

void TForm1::acceptFileDrops()
{
    setAcceptDrops(true);
    // A file dropped on a field opens too, instead of its name being typed.
    for (QLineEdit *field : findChildren<QLineEdit *>())
        field->installEventFilter(this);
    // One dropped on the image view is a dump to identify.
    for (QWidget *view : {static_cast<QWidget *>(Form3), Form3->Memo1->viewport()}) {
        view->setAcceptDrops(true);
        view->installEventFilter(this);
    }
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (!IsDragEvent(event))
        return QWidget::eventFilter(watched, event);
    auto *drag = static_cast<QDropEvent *>(event);
    if (watched == Form3 || watched == Form3->Memo1->viewport()) {
        if (event->type() == QEvent::Drop)
            Form3DragDrop(drag);
        else
            Form3DragOver(static_cast<QDragMoveEvent *>(event));
        return true;
    }
    if (!drag->mimeData()->hasUrls())
        return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::Drop)
        dropEvent(drag);
    else
        AcceptFileDrag(drag);
    return true;
}

void TForm1::dragEnterEvent(QDragEnterEvent *event)
{
    AcceptFileDrag(event);
}

void TForm1::dragMoveEvent(QDragMoveEvent *event)
{
    AcceptFileDrag(event);
}

void TForm1::dropEvent(QDropEvent *event)
{
    // Opened once the drop has ended, so that the drag's source does not
    // wait through the load or a message box.
    if (AcceptFileDrag(event))
        afterTheDrop([this, file = *DraggedFile(event)] {
            useDataFile(file);
            openDataFile();
        });
}

void TForm1::Form3DragOver(QDragMoveEvent *event)
{
    AcceptFileDrag(event);
}

void TForm1::Form3DragDrop(QDropEvent *event)
{
    if (AcceptFileDrag(event))
        afterTheDrop([this, file = *DraggedFile(event)] { identifyDump(file); });
}

void TForm1::afterTheDrop(std::function<void()> action)
{
    QMetaObject::invokeMethod(
        this, [action = std::move(action)] { RunGuarded(action); }, Qt::QueuedConnection);
}

void TForm1::identifyDump(const QString &file)
{
    if (state_.Catalogue.ModelCount() == 0) {
        ShowMessage(QStringLiteral("Сначала откройте файл с данными."));
        return;
    }
    // Checked and read as a data file is, with the same messages.
    EngineState dump;
    CheckDataFile(dump, FilePath(file),
                  [](std::string_view message) { ShowMessage(QString::fromUtf8(message.data(), message.size())); });
    if (!dump.FileFound)
        return;
    try {
        selectImage(ReadDumpImage(FilePath(file)));
    } catch (const DumpSizeError &error) {
        ShowMessage(DumpSizeMessage(error.size()));
    }
}

void TForm1::selectImage(ImageView image)
{
    const std::vector<ImageMatch> equal = FindEqualImages(state_, image);
    if (!equal.empty()) {
        SelectEntry(equal.back().index); // the last in file order, as the lookups choose
        selectInModelList(equal);
        return;
    }
    const ImageMatch nearest = FindNearestImages(state_, image, 1).front();
    SelectEntry(nearest.index);
    const CatalogueEntry entry = state_.Catalogue.Entry(nearest.index);
    ShowMessage(NearestImageMessage(entry.ModelName, entry.ProductNumber, nearest.differingOffsets));
}

void TForm1::selectInModelList(const std::vector<ImageMatch> &matches)
{
    QItemSelection rows;
    for (const ImageMatch &match : matches) {
        const QModelIndex row = modelList_->index(static_cast<int>(match.index));
        rows.select(row, row);
    }
    Form2->Models->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    Form2->Models->scrollTo(modelList_->index(static_cast<int>(matches.front().index)),
                            QAbstractItemView::PositionAtTop);
}

void TForm1::showBusyNotice()
{
    if (!busyNoticePlaced_) {
        CentreOnScreen(Form4);
        busyNoticePlaced_ = true;
    }
    Form4->show();
    Form4->raise();
    PaintOnScreenNow(Form4); // before the load, which holds the event loop
}

} // namespace tarvidon
