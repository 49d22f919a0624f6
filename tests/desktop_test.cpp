// The main window as a desktop program: files dropped on it, and where
// windows go on screens too small for their fixed places.

#include "completing_combo_box.h"
#include "name_field.h"
#include "placement.h"
#include "qt_printing.h"
#include "recording_dialogs.h"
#include "shell.h"
#include "test_support.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QListView>
#include <QPlainTextEdit>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>

namespace tarvidon::test {
namespace {

// Counts the times a window is shown.
class ShowCounter : public QObject {
public:
    explicit ShowCounter(QWidget *window) { window->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            ++shown;
        return false;
    }
    int shown = 0;
};

struct DragResult {
    bool acceptedOnEnter;
    bool acceptedOnMove;
};

// Drags data over widget and drops it there as the window system delivers
// a drag: enter, move, then the drop, which goes to whoever took the enter.
DragResult DragAndDrop(QWidget *widget, const QMimeData &data,
                       Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
{
    const QPoint centre = widget->rect().center();
    QDragEnterEvent enter(centre, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    QDragMoveEvent move(centre, actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    const DragResult result{enter.isAccepted(), move.isAccepted()};
    if (result.acceptedOnEnter) {
        EXPECT_EQ(enter.dropAction(), Qt::CopyAction) << "a move would let the source delete the file";
    }
    QDropEvent drop(QPointF(centre), actions, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    QCoreApplication::processEvents(); // the open runs after the drop
    return result;
}

std::unique_ptr<QMimeData> Urls(const QList<QUrl> &urls)
{
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

QUrl LocalFile(const std::string &path)
{
    return QUrl::fromLocalFile(QString::fromStdString(path));
}

class FileDropTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousFolder_ = QDir::currentPath();
        SetUserDialogs(&dialogs);
        form = std::make_unique<TForm1>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        ImageBuilder builder;
        builder.record("ABC", {0x31, 0x00, 0x03, 0x00});
        builder.record("XYZ", {0x03, 0x03, 0x04, 0x00});
        catalogue = dir.write("catalogue.dat", builder.data());
    }

    void TearDown() override
    {
        EXPECT_EQ(dialogs.dialogsShown, 0) << "a drop must not open the file dialog";
        form.reset();
        SetUserDialogs(nullptr);
        QDir::setCurrent(previousFolder_);
    }

    TempDir dir;
    RecordingDialogs dialogs;
    std::unique_ptr<TForm1> form;
    std::string catalogue;

private:
    QString previousFolder_;
};

TEST_F(FileDropTest, OneDroppedFileOpensAsAConfirmedOpenDialogDoes)
{
    ShowCounter notice(form->Form4);
    const auto data = Urls({LocalFile(catalogue)});
    const DragResult drag = DragAndDrop(form.get(), *data);

    EXPECT_TRUE(drag.acceptedOnEnter);
    EXPECT_TRUE(drag.acceptedOnMove);
    EXPECT_EQ(form->Edit1->text(), QDir::toNativeSeparators(QString::fromStdString(catalogue)));
    EXPECT_EQ(QFileInfo(QDir::currentPath()).canonicalFilePath(),
              QFileInfo(QString::fromStdString(catalogue)).canonicalPath());
    EXPECT_EQ(Items(form->ComboBox1), (QStringList{"ABC", "XYZ"}));
    EXPECT_EQ(Items(form->ComboBox2), (QStringList{"03030400", "31000300"}));
    EXPECT_EQ(notice.shown, 1);
    EXPECT_FALSE(form->Form4->isVisible());
    EXPECT_EQ(form->focusWidget(), form->ComboBox1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(FileDropTest, AFileDroppedOnAFieldOpensInsteadOfBeingTypedThere)
{
    const auto data = Urls({LocalFile(catalogue)});
    data->setText(QString::fromStdString(catalogue)); // as file managers offer it too
    form->ComboBox2->setFocus();
    EXPECT_TRUE(DragAndDrop(form->Edit2, *data).acceptedOnEnter);

    EXPECT_EQ(form->Edit1->text(), QDir::toNativeSeparators(QString::fromStdString(catalogue)));
    EXPECT_EQ(form->Edit2->text(), "");
    EXPECT_EQ(Items(form->ComboBox1), (QStringList{"ABC", "XYZ"}));
}

TEST_F(FileDropTest, AMissingFileMeetsTheCheckAndTheOpenGoesOnWithThePreviousData)
{
    DragAndDrop(form.get(), *Urls({LocalFile(catalogue)}));
    ShowCounter notice(form->Form4);
    const std::string missing = dir.path("missing.dat");
    EXPECT_TRUE(DragAndDrop(form.get(), *Urls({LocalFile(missing)})).acceptedOnEnter);

    EXPECT_EQ(dialogs.messages, QStringList{"Не могу открыть указанный файл!"});
    EXPECT_EQ(form->Edit1->text(), QDir::toNativeSeparators(QString::fromStdString(missing)));
    EXPECT_EQ(Items(form->ComboBox1), (QStringList{"ABC", "XYZ"})); // rescanned from the data held
    EXPECT_EQ(notice.shown, 1);
    EXPECT_FALSE(form->Form4->isVisible());
    EXPECT_EQ(form->focusWidget(), form->ComboBox1);
}

TEST_F(FileDropTest, AFileThatCannotBeReadEndsTheOpenInTheErrorBox)
{
    const UnloadableFile unloadable(dir);
    DragAndDrop(form.get(), *Urls({LocalFile(unloadable.path)}));

    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(form->ComboBox1->count(), 0);
    EXPECT_FALSE(form->Form4->isVisible());
}

TEST_F(FileDropTest, AnythingButOneLocalFileIsRefusedBeforeTheDropAndChangesNothing)
{
    const std::string other = dir.write("other.dat", ImageBuilder().data());
    struct Case {
        const char *what;
        std::unique_ptr<QMimeData> data;
        Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
    };
    Case cases[] = {
        {"two files", Urls({LocalFile(catalogue), LocalFile(other)})},
        {"a folder", Urls({LocalFile(dir.path(""))})},
        {"a web address", Urls({QUrl(QStringLiteral("https://example.invalid/catalogue.dat"))})},
        {"a file that may only be moved", Urls({LocalFile(catalogue)}), Qt::MoveAction},
    };
    const QString folder = QDir::currentPath();
    form->Edit1->setText(QStringLiteral("typed.dat"));
    for (Case &c : cases) {
        for (QWidget *target : std::initializer_list<QWidget *>{form.get(), form->Edit1}) {
            const DragResult drag = DragAndDrop(target, *c.data, c.actions);
            EXPECT_FALSE(drag.acceptedOnEnter) << c.what;
            EXPECT_FALSE(drag.acceptedOnMove) << c.what;
            EXPECT_EQ(form->Edit1->text(), "typed.dat") << c.what;
        }
    }
    EXPECT_EQ(QDir::currentPath(), folder);
    EXPECT_EQ(form->ComboBox1->count(), 0);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

// A dump dropped on the image view, as a technician drops one read back
// from a device: the record holding its image, or the nearest, is selected.
TEST_F(FileDropTest, ADumpDroppedOnTheImageViewSelectsTheRecordThatHoldsItOrTheNearest)
{
    ImageBuilder builder;
    builder.record("ABC", {0x31, 0x00, 0x03, 0x00}, 0x11);
    builder.record("TWIN 1", {0x01, 0x02, 0x03, 0x04}, 0x22);
    builder.record("TWIN 2", {0x01, 0x02, 0x03, 0x04}, 0x22); // the same image
    builder.record("XYZ", {0x03, 0x03, 0x04, 0x00}, 0x33);
    const Bytes &data = builder.data();
    const auto imageOf = [&](int record) {
        const auto start = data.begin() + record * (kImageOffset + kImageLength) + kImageOffset;
        return Bytes(start, start + kImageLength);
    };
    Bytes dirtyExport(kExportPadding, 0xA5); // whatever the first half holds
    const Bytes abc = imageOf(0);
    dirtyExport.insert(dirtyExport.end(), abc.begin(), abc.end());
    Bytes changed = imageOf(3);
    for (const int at : {0x04, 0x05, 0x1A})
        changed[at] ^= 0xFF;
    struct Case {
        const char *what;
        Bytes dump;
        QString selected; // the model field afterwards
        QStringList messages;
        QList<int> listed; // the model list's selected rows
    };
    const Case cases[] = {
        {"an image that two records hold", imageOf(1), "TWIN 2", {}, {1, 2}},
        {"an export file with a dirty first half", dirtyExport, "ABC", {}, {0}},
        {"three bytes changed", changed, "XYZ",
         {"Точно такой прошивки в каталоге нет. Ближе всех «XYZ» (продномер 03030400): отличаются 3 байта из 256, "
          "по смещениям 0x04–0x05, 0x1A."},
         {}},
        {"a file of another size", Bytes(300, 0x11), "XYZ",
         {"Дамп — это образ в 256 байт или файл экспорта в 512 байт. В этом файле 300 байт."}, {}},
        {"an empty file", Bytes{}, "XYZ",
         {"Дамп — это образ в 256 байт или файл экспорта в 512 байт. В этом файле 0 байт."}, {}},
    };
    QWidget *view = form->Form3->Memo1->viewport();
    DragAndDrop(view, *Urls({LocalFile(dir.write("dump.bin", imageOf(1)))}));
    EXPECT_EQ(dialogs.messages, QStringList{"Сначала откройте файл с данными."});
    EXPECT_EQ(form->ComboBox1->currentText(), "");

    DragAndDrop(form.get(), *Urls({LocalFile(dir.write("catalogue.dat", data))}));
    for (const Case &c : cases) {
        dialogs.messages.clear();
        form->Form2->Models->clearSelection();
        EXPECT_TRUE(DragAndDrop(view, *Urls({LocalFile(dir.write("dump.bin", c.dump))})).acceptedOnEnter) << c.what;
        EXPECT_EQ(form->ComboBox1->currentText(), c.selected) << c.what;
        EXPECT_EQ(form->Form3->windowTitle(), c.selected) << c.what;
        EXPECT_EQ(dialogs.messages, c.messages) << c.what;
        QList<int> listed;
        for (const QModelIndex &row : form->Form2->Models->selectionModel()->selectedRows())
            listed << row.row();
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, c.listed) << c.what;
    }
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST(PlaceInside, KeepsAFittingPlaceAndMovesTheLeastDistanceOtherwise)
{
    const QRect laptop(0, 0, 1366, 768);
    struct Case {
        const char *what;
        QRect frame;
        QRect area;
        QPoint expected;
    };
    const Case cases[] = {
        {"fits", {242, 208, 238, 656}, {0, 0, 1920, 1080}, {242, 208}},
        {"touches the right and bottom edges", {1682, 1024, 238, 56}, {0, 0, 1920, 1080}, {1682, 1024}},
        {"past the right edge", {1199, 372, 483, 326}, laptop, {883, 372}},
        {"past the bottom edge", {242, 208, 238, 656}, laptop, {242, 112}},
        {"past both", {1300, 700, 100, 100}, laptop, {1266, 668}},
        {"before the left and top edges", {-20, -5, 100, 100}, laptop, {0, 0}},
        {"an area that does not start at 0", {0, 0, 100, 100}, {1920, 30, 1280, 994}, {1920, 30}},
        {"wider than the area", {-49, 300, 818, 37}, {0, 0, 720, 576}, {0, 300}},
        {"taller than the area", {100, 50, 238, 656}, {0, 0, 720, 576}, {100, 0}},
        {"bigger both ways", {10, 10, 800, 600}, {50, 40, 640, 480}, {50, 40}},
        {"exactly the area", {0, 0, 720, 576}, {0, 0, 720, 576}, {0, 0}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PlaceInside(c.frame, c.area), c.expected) << c.what;
}

} // namespace
} // namespace tarvidon::test
