#include "catalogue_list_model.h"
#include "main_window_fixture.h"
#include "Unit2.h"
#include "Unit4.h"

#include <QPointer>
#include <QPushButton>
#include <QToolButton>

#include <new>


namespace tarvidon::test {
namespace {

TEST_F(MainWindowTest, StartsWithItsFixedLookAndContents)
{
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Тарвидон"));
    EXPECT_EQ(form->size(), QSize(698, 193));
    EXPECT_EQ(QApplication::focusWidget(), form->Edit1);
    EXPECT_EQ(Items(form->ComboBox2), (QStringList{"03030400", "31000300", "31000400"}));
    EXPECT_EQ(form->ComboBox2->currentText(), "");
    EXPECT_EQ(form->ComboBox1->count(), 0);
    EXPECT_FALSE(form->Form2->isVisible());
    EXPECT_FALSE(form->Form3->isVisible());
    EXPECT_FALSE(form->Form4->isVisible());
    EXPECT_EQ(form->Form3->windowTitle(), QStringLiteral("Выбранная прошивка"));
    const QStringList lines = memoLines();
    ASSERT_EQ(lines.size(), 16);
    for (const QString &line : lines)
        EXPECT_EQ(line, QStringLiteral("FF ").repeated(16));
    EXPECT_EQ(form->BitBtn1->text(), QStringLiteral("&Открыть..."));
    EXPECT_EQ(form->BitBtn2->text(), QStringLiteral("&Сохранить..."));
    EXPECT_EQ(form->Form4->Panel1->text(),
              QStringLiteral("Грузим данные...обрабатываем их...тормозим...не теряйте надежду...сейчас все будет..."));
}

TEST_F(MainWindowTest, EnterInTheFileFieldFillsAllThreeLists)
{
    ImageBuilder file;
    file.record("b-model", {0x31, 0x00, 0x04, 0x00});
    file.record("\xC0\xE1\xE2", {0x03, 0x03, 0x04, 0x00}); // Абв
    file.record("", {0x77, 0x77, 0x77, 0x77});
    file.record("A-model", {0x31, 0x00, 0x03, 0x00});
    file.record("b-model", {0x01, 0x00, 0x00, 0x00});
    load(file.data());
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(Rows(form->Form2->Models), (QStringList{"b-model", "Абв", "A-model", "b-model"}));
    EXPECT_EQ(Items(form->ComboBox1), (QStringList{"A-model", "b-model", "b-model", "Абв"}));
    EXPECT_EQ(Items(form->ComboBox2), (QStringList{"01000000", "03030400", "31000300", "31000400"}));
    EXPECT_EQ(form->ComboBox1->currentText(), "");
}

TEST_F(MainWindowTest, CompletesInlineAndEnterTakesTheLastPrefixMatch)
{
    ImageBuilder file;
    file.record("ABC", {0x31, 0x00, 0x03, 0x00}, 0xAC);
    file.record("ABD", {0x31, 0x00, 0x04, 0x00}, 0xAD);
    load(file.data());

    typeInto(form->ComboBox1, "a");
    EXPECT_TRUE(listIsDown(form->ComboBox1)); // dropped down while typing
    EXPECT_EQ(KeyboardHolder(), form->ComboBox1->view()); // and the list holds the keyboard
    EXPECT_EQ(form->ComboBox1->currentText(), "aBC");
    Type("b"); // typing over the completed rest
    EXPECT_EQ(form->ComboBox1->currentText(), "abC");
    EXPECT_EQ(selectedText(form->ComboBox1), "C");
    Press(Qt::Key_Return); // on the text with its completed rest
    EXPECT_FALSE(listIsDown(form->ComboBox1));
    EXPECT_EQ(form->ComboBox1->currentText(), "ABC");
    EXPECT_EQ(form->ComboBox1->count(), 2); // Enter inserts nothing

    typeInto(form->ComboBox1, "ab");
    Press(Qt::Key_Delete);
    EXPECT_EQ(form->ComboBox1->currentText(), "ab");
    EXPECT_TRUE(listIsDown(form->ComboBox1));
    Press(Qt::Key_Return);
    EXPECT_FALSE(listIsDown(form->ComboBox1));
    EXPECT_EQ(form->ComboBox1->currentText(), "ABD");
    EXPECT_EQ(form->ComboBox2->currentText(), "31000400");
    EXPECT_EQ(form->Edit2->text(), "31000400_ABD.BIN");
    EXPECT_EQ(form->Form3->windowTitle(), "ABD");
    EXPECT_EQ(memoLines().value(1), QStringLiteral("AD ").repeated(16));
    QDir::setCurrent(QString::fromStdString(dir.path("")));
    QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    EXPECT_EQ(ReadFile(dir.path("31000400_ABD.BIN")).at(300), 0xAD);
}

TEST_F(MainWindowTest, ClosingWhileTheListsHoldACatalogueIsSafe)
{
    // Closing the window moves the focus out of the field, which still
    // reads the lists after the catalogue is gone.
    ImageBuilder file;
    file.record("ABC", {0x31, 0x00, 0x03, 0x00});
    load(file.data());
    typeInto(form->ComboBox2, "3");
    Press(Qt::Key_Escape);
    typeInto(form->ComboBox1, "A");
    // What the lists hold when the field loses the keyboard on the way out.
    const QList<QPointer<QAbstractItemModel>> lists{form->Form2->Models->model(), form->ComboBox1->model(),
                                                    form->ComboBox2->model()};
    QList<int> rowsLeft;
    const QMetaObject::Connection watch = QObject::connect(qApp, &QApplication::focusChanged, [&] {
        for (const QPointer<QAbstractItemModel> &list : lists)
            rowsLeft << (list ? list->rowCount() : -1);
    });
    form.reset();
    QObject::disconnect(watch);
    EXPECT_EQ(rowsLeft, (QList<int>{0, 0, 0}));
}

TEST_F(MainWindowTest, TypingWithoutEnterRunsNoLookup)
{
    ImageBuilder file;
    file.record("ABC", {0x31, 0x00, 0x03, 0x00});
    load(file.data());
    typeInto(form->ComboBox1, "A");
    EXPECT_EQ(form->ComboBox2->currentText(), "");
    EXPECT_EQ(form->Edit2->text(), "");
}

TEST_F(MainWindowTest, ProductNumberLookupAndItsMiss)
{
    ImageBuilder file;
    file.record("FIRST", {0x31, 0x00, 0x03, 0x00});
    file.record("SECOND", {0x31, 0x00, 0x04, 0x00});
    load(file.data());
    typeInto(form->ComboBox2, "3100");
    Press(Qt::Key_Backspace); // drop the completed rest
    Press(Qt::Key_Return);
    EXPECT_EQ(form->ComboBox1->currentText(), "SECOND");
    EXPECT_EQ(form->Edit2->text(), "31000400_SECOND.BIN");

    typeInto(form->ComboBox2, "9");
    Press(Qt::Key_Return);
    EXPECT_EQ(form->ComboBox1->currentText(), "");
    EXPECT_EQ(form->Edit2->text(), "31000400_SECOND.BIN"); // kept as it was
}

TEST_F(MainWindowTest, SelectionFillsTheImageViewEvenWhileHidden)
{
    ImageBuilder file;
    file.bytes("DTHD").zeros(13).bytes("A").zeros(kImageOffset - 18);
    std::string counting;
    for (int b = 0; b < 256; ++b)
        counting += static_cast<char>(b);
    file.bytes(counting);
    load(file.data());
    typeInto(form->ComboBox1, "A");
    Press(Qt::Key_Return);
    EXPECT_FALSE(form->Form3->isVisible());
    QTest::mouseClick(form->SpeedButton2, Qt::LeftButton);
    EXPECT_TRUE(form->Form3->isVisible());
    const QStringList lines = memoLines();
    ASSERT_EQ(lines.size(), 16);
    EXPECT_EQ(lines[0], "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ");
    EXPECT_EQ(lines[15], "F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF ");
    EXPECT_EQ(form->Form3->windowTitle(), "A");
    QTest::mouseClick(form->SpeedButton2, Qt::LeftButton);
    EXPECT_FALSE(form->Form3->isVisible());

    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    EXPECT_TRUE(form->Form2->isVisible());
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    EXPECT_FALSE(form->Form2->isVisible());
}

TEST_F(MainWindowTest, SavesUnderTheDefaultOrAnEditedNameNextToTheData)
{
    ImageBuilder file;
    file.record("A", {0x31, 0x00, 0x04, 0x00}, 0x5A);
    const std::string data = dir.write("data.bin", file.data());
    dialogs.answers.push_back(QString::fromStdString(data));
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(QDir::current().absolutePath(), QDir(QString::fromStdString(dir.path(""))).absolutePath());

    typeInto(form->ComboBox1, "A");
    Press(Qt::Key_Return);
    QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    const Bytes expected = ExpectedExport(form->state(), 0);
    EXPECT_EQ(ReadFile(dir.path("31000400_A.BIN")), expected);

    typeInto(form->Edit2, "другое имя.BIN");
    QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    EXPECT_EQ(ReadFile(dir.nativePath("другое имя.BIN")), expected);
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(MainWindowTest, SavingFollowsTheSelectedDuplicate)
{
    ImageBuilder file;
    file.record("TWIN", {0x01, 0x00, 0x00, 0x00}, 0x11);
    file.record("TWIN", {0x02, 0x00, 0x00, 0x00}, 0x22);
    load(file.data());
    QDir::setCurrent(QString::fromStdString(dir.path("")));
    typeInto(form->ComboBox2, "02");
    Press(Qt::Key_Return);
    EXPECT_EQ(form->Edit2->text(), "02000000_TWIN.BIN");
    QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    const Bytes written = ReadFile(dir.path("02000000_TWIN.BIN"));
    ASSERT_EQ(written.size(), 512u);
    EXPECT_EQ(written[256], 0x02);
    EXPECT_EQ(written[300], 0x22);
}

TEST_F(MainWindowTest, SavingAnUnknownModelShowsTheListIndexError)
{
    QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    ImageBuilder file;
    file.record("ABC", {1, 2, 3, 4});
    file.record("ABD", {1, 2, 3, 5});
    load(file.data());
    typeInto(form->ComboBox1, "abc");
    Press(Qt::Key_Escape);
    QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    EXPECT_EQ(dialogs.errors, (QStringList{"List index out of bounds (0)", "List index out of bounds (2)"}));
}

TEST_F(MainWindowTest, AMissingFileShowsTheMessageAndRescansTheOldData)
{
    ImageBuilder file;
    file.record("KEPT", {1, 2, 3, 4});
    load(file.data());
    typeInto(form->ComboBox1, "K");
    Press(Qt::Key_Return);

    typeInto(form->Edit1, QString::fromStdString(dir.path("gone.bin")));
    Press(Qt::Key_Return);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Не могу открыть указанный файл!")});
    EXPECT_EQ(Rows(form->Form2->Models), QStringList{"KEPT"});
    EXPECT_EQ(form->Edit2->text(), "01020304_KEPT.BIN");
}

TEST_F(MainWindowTest, ASecondFileReplacesAllThreeLists)
{
    ImageBuilder first;
    first.record("OLD", {0xAA, 0, 0, 0});
    load(first.data(), "first.bin");
    ImageBuilder second;
    second.record("NEW", {0xBB, 0, 0, 0});
    second.record("NEWER", {0xBC, 0, 0, 0});
    load(second.data(), "second.bin");
    EXPECT_EQ(Rows(form->Form2->Models), (QStringList{"NEW", "NEWER"}));
    EXPECT_EQ(Items(form->ComboBox1), (QStringList{"NEW", "NEWER"}));
    EXPECT_EQ(Items(form->ComboBox2), (QStringList{"BB000000", "BC000000"}));
}

TEST_F(MainWindowTest, OpenButtonCancelledWithNoFileStillRunsItsSteps)
{
    dialogs.answers.push_back(std::nullopt);
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Не могу открыть указанный файл!")});
    EXPECT_FALSE(form->Form4->isVisible());
    EXPECT_EQ(form->focusWidget(), form->ComboBox1);
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(MainWindowTest, AltWithTheMarkedCyrillicLetterPressesTheButtons)
{
    // A mnemonic press is animated: the click comes a moment later.
    Press(static_cast<Qt::Key>(u'С'), Qt::AltModifier, QStringLiteral("с"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.errors.isEmpty(); }, 2000));
    EXPECT_EQ(dialogs.errors, QStringList{"List index out of bounds (0)"});
    dialogs.answers.push_back(std::nullopt);
    Press(static_cast<Qt::Key>(u'О'), Qt::AltModifier, QStringLiteral("о"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialogs.messages.isEmpty(); }, 2000));
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Не могу открыть указанный файл!")});
}

TEST_F(MainWindowTest, AnErrorDuringOpenHidesTheBusyNoticeFirst)
{
    ImageBuilder file;
    file.record("KEPT", {1, 2, 3, 4});
    load(file.data());
    const UnloadableFile unloadable(dir);
    dialogs.answers.push_back(QString::fromStdString(unloadable.path));
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    EXPECT_EQ(dialogs.errors, QStringList{QString::fromStdString(WithFullStop(unloadable.error))});
    EXPECT_FALSE(dialogs.busyNoticeShownWithError);
    EXPECT_FALSE(form->Form4->isVisible());
    EXPECT_EQ(Rows(form->Form2->Models), QStringList{"KEPT"});
}

TEST_F(MainWindowTest, ASortOutOfMemoryEmptiesTheListsAndSaysSo)
{
    ImageBuilder first;
    first.record("ONE", {1, 0, 0, 0});
    first.record("TWO", {2, 0, 0, 0});
    first.record("THREE", {3, 0, 0, 0});
    load(first.data(), "first.bin");
    ImageBuilder second;
    second.record("NEW", {4, 0, 0, 0});
    dialogs.answers.push_back(QString::fromStdString(dir.write("second.bin", second.data())));
    const CatalogueListModel::Sort sort = CatalogueListModel::sort;
    CatalogueListModel::sort = [](std::int64_t, const TextAt &, const SortRanks &)
        -> LargeVector<std::int64_t> { throw std::bad_alloc(); };
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    CatalogueListModel::sort = sort;
    EXPECT_EQ(dialogs.errors, QStringList{"Out of memory."});
    EXPECT_FALSE(form->Form4->isVisible());
    // No row is left over from the first file's three.
    EXPECT_EQ(Rows(form->Form2->Models), QStringList{});
    EXPECT_EQ(Items(form->ComboBox1), QStringList{});
    EXPECT_EQ(Items(form->ComboBox2), QStringList{});
}

} // namespace
} // namespace tarvidon::test
