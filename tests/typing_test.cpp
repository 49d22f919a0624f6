// Typing in the model and product number fields as a person types: once a
// character is typed the drop-down list is open and holds the keyboard, so
// every key here reaches the field through the list.

#include "main_window_fixture.h"
#include "text.h"

#include <QClipboard>
#include <QPushButton>
#include <QToolButton>
#include <QWindow>

#include <filesystem>
#include <fstream>
#include <string>

namespace tarvidon::test {
namespace {

// Image view row 1 of a test record: sixteen bytes of its fill.
QString FillRow(std::uint8_t fill)
{
    return QStringLiteral("%1 ").arg(static_cast<uint>(fill), 2, 16, QChar(u'0')).toUpper().repeated(16);
}

class TypingTest : public MainWindowTest {
protected:
    // Types into a field with the list coming down, and checks that it did.
    void typeWithListDown(CompletingComboBox *combo, const QString &text)
    {
        typeInto(combo, text);
        ASSERT_TRUE(listIsDown(combo));
        ASSERT_EQ(KeyboardHolder(), combo->view());
    }

    // What a miss or a pick must leave as it was.
    struct Shown {
        QString outputName;
        QString caption;
        QStringList rows;
    };
    Shown shown() const { return {form->Edit2->text(), form->Form3->windowTitle(), memoLines()}; }
    void expectStill(const Shown &before) const
    {
        EXPECT_EQ(form->Edit2->text(), before.outputName);
        EXPECT_EQ(form->Form3->windowTitle(), before.caption);
        EXPECT_EQ(memoLines(), before.rows);
    }

    QString field(const CompletingComboBox *combo) const { return combo->currentText(); }
};

TEST_F(TypingTest, EnterLooksUpTheFieldsTextAndTheLastFileOrderMatchWins)
{
    ImageBuilder file;
    file.record("ZBAJ", {0x31, 0x00, 0x03, 0x00}, 0x01);
    file.record("ZBAJ 2", {0x31, 0x00, 0x05, 0x00}, 0x03);
    file.record("ZBBYT", {0x31, 0x00, 0x04, 0x00}, 0x02);
    load(file.data());

    // The list highlights ZBAJ, the first sorted item the text completes to;
    // ZBAJ 2 starts with that text too and comes later in the file.
    typeWithListDown(form->ComboBox1, "zb");
    EXPECT_EQ(field(form->ComboBox1), "zbAJ");
    Press(Qt::Key_Return);
    EXPECT_FALSE(listIsDown(form->ComboBox1));
    EXPECT_EQ(field(form->ComboBox1), "ZBAJ 2");
    EXPECT_EQ(field(form->ComboBox2), "31000500");
    EXPECT_EQ(form->Edit2->text(), "31000500_ZBAJ 2.BIN");
    EXPECT_EQ(memoLines().value(1), FillRow(0x03));

    // Without the completed rest, ZBBYT is the last that starts with zb.
    typeWithListDown(form->ComboBox1, "zb");
    Press(Qt::Key_Delete);
    Press(Qt::Key_Return);
    EXPECT_EQ(field(form->ComboBox1), "ZBBYT");
    EXPECT_EQ(field(form->ComboBox2), "31000400");
    EXPECT_EQ(memoLines().value(1), FillRow(0x02));
}

TEST_F(TypingTest, ACyrillicPrefixIsMatchedWithItsCaseAndTheLastFileOrderMatchWins)
{
    ImageBuilder file;
    file.record("\xDB\xD0\xC0", {0x03, 0x03, 0x04, 0x00}, 0x01); // ЫРА
    file.record("\xDB\xD0\xC1", {0x03, 0x03, 0x04, 0x01}, 0x02); // ЫРБ
    file.record("\xC0\xE1\xE2", {0x03, 0x03, 0x04, 0x02}, 0x03); // Абв
    load(file.data());

    typeWithListDown(form->ComboBox1, QStringLiteral("ЫР"));
    EXPECT_EQ(field(form->ComboBox1), QStringLiteral("ЫРА"));
    Press(Qt::Key_Delete); // the completed rest
    Press(Qt::Key_Return);
    EXPECT_EQ(field(form->ComboBox1), QStringLiteral("ЫРБ"));
    EXPECT_EQ(field(form->ComboBox2), "03030401");
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("03030401_ЫРБ.BIN"));
    EXPECT_EQ(form->Form3->windowTitle(), QStringLiteral("ЫРБ"));
    EXPECT_EQ(memoLines().value(1), FillRow(0x02));

    // Lower case completes as any case does, but the lookup keeps Cyrillic
    // case: Enter finds nothing, and the list's Абв does not take the field.
    const Shown before = shown();
    typeWithListDown(form->ComboBox1, QStringLiteral("а"));
    EXPECT_EQ(field(form->ComboBox1), QStringLiteral("абв"));
    Press(Qt::Key_Return);
    EXPECT_EQ(field(form->ComboBox1), QStringLiteral("абв"));
    EXPECT_EQ(field(form->ComboBox2), "");
    expectStill(before);

    typeWithListDown(form->ComboBox1, QStringLiteral("а"));
    Press(Qt::Key_Delete);
    Press(Qt::Key_Return);
    EXPECT_EQ(field(form->ComboBox1), QStringLiteral("а"));
    expectStill(before);
}

TEST_F(TypingTest, EnterThatFindsNothingKeepsTheTypedTextAndEmptiesOnlyTheOtherField)
{
    // Before any scan the product number list holds its three items, and
    // none of them gets into the field.
    typeWithListDown(form->ComboBox2, "9");
    Press(Qt::Key_Return);
    EXPECT_EQ(field(form->ComboBox2), "9");
    EXPECT_EQ(field(form->ComboBox1), "");

    ImageBuilder file;
    file.record("ABC", {0x31, 0x00, 0x03, 0x00}, 0x01);
    file.record("XYZ", {0x31, 0x00, 0x04, 0x00}, 0x02);
    load(file.data());
    typeInto(form->ComboBox1, "X");
    Press(Qt::Key_Return);
    const Shown selected = shown();
    ASSERT_EQ(selected.outputName, "31000400_XYZ.BIN");

    typeWithListDown(form->ComboBox1, "q");
    Press(Qt::Key_Return);
    EXPECT_FALSE(listIsDown(form->ComboBox1));
    EXPECT_EQ(field(form->ComboBox1), "q");
    EXPECT_EQ(field(form->ComboBox2), "");
    expectStill(selected);

    typeWithListDown(form->ComboBox2, "Z");
    Press(Qt::Key_Return);
    EXPECT_FALSE(listIsDown(form->ComboBox2));
    EXPECT_EQ(field(form->ComboBox2), "Z");
    EXPECT_EQ(field(form->ComboBox1), "");
    expectStill(selected);
}

TEST_F(TypingTest, SelectAllAndTheCursorKeysWorkWhileTheListIsDown)
{
    ImageBuilder file;
    file.record("ABC", {0x31, 0x00, 0x03, 0x00});
    load(file.data());
    typeWithListDown(form->ComboBox1, "ABCx");
    QLineEdit *edit = form->ComboBox1->lineEdit();

    Press(Qt::Key_Home);
    EXPECT_EQ(edit->cursorPosition(), 0);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    Press(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(selectedText(form->ComboBox1), "AB");
    Press(Qt::Key_End);
    EXPECT_EQ(edit->cursorPosition(), 4);
    EXPECT_FALSE(edit->hasSelectedText());
    Press(Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(selectedText(form->ComboBox1), "x");
    Type("y"); // over the selection
    EXPECT_EQ(field(form->ComboBox1), "ABCy");

    Press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(selectedText(form->ComboBox1), "ABCy");
    Type("Z");
    EXPECT_EQ(field(form->ComboBox1), "Z");
    EXPECT_TRUE(listIsDown(form->ComboBox1));
}

TEST_F(TypingTest, BackspaceAndDeleteWorkWhileTheListIsDown)
{
    ImageBuilder file;
    file.record("ABC", {0x31, 0x00, 0x03, 0x00});
    load(file.data());
    typeWithListDown(form->ComboBox1, "wxyz");
    Press(Qt::Key_Backspace);
    EXPECT_EQ(field(form->ComboBox1), "wxy");
    Press(Qt::Key_Home);
    Press(Qt::Key_Delete);
    EXPECT_EQ(field(form->ComboBox1), "xy");
    EXPECT_TRUE(listIsDown(form->ComboBox1));
}

TEST_F(TypingTest, CutCopyAndPasteWorkWhileTheListIsDown)
{
    ImageBuilder file;
    file.record("ABC", {0x31, 0x00, 0x03, 0x00});
    load(file.data());
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText("old");
    typeWithListDown(form->ComboBox1, "qw");

    Press(Qt::Key_A, Qt::ControlModifier);
    Press(Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), "qw");
    Press(Qt::Key_End);
    Press(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field(form->ComboBox1), "qwqw");
    Press(Qt::Key_Left, Qt::ShiftModifier);
    Press(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(field(form->ComboBox1), "qwq");
    EXPECT_EQ(clipboard->text(), "w");
    EXPECT_TRUE(listIsDown(form->ComboBox1));
}

TEST_F(TypingTest, UndoAndRedoWorkWhileTheListIsDown)
{
    ImageBuilder file;
    file.record("ABC", {0x31, 0x00, 0x03, 0x00});
    load(file.data());
    typeWithListDown(form->ComboBox1, "qw");
    Press(Qt::Key_A, Qt::ControlModifier);
    Type("e");
    ASSERT_EQ(field(form->ComboBox1), "e");
    Press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(field(form->ComboBox1), "qw");
    Press(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(field(form->ComboBox1), "e");
    Press(Qt::Key_Z, Qt::ControlModifier);
    Press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(field(form->ComboBox1), "e");
    EXPECT_TRUE(listIsDown(form->ComboBox1));
}

TEST_F(TypingTest, EscapeClosesTheListKeepingTheTextAndEnterThenRunsOnThatText)
{
    ImageBuilder file;
    file.record("ABC", {0x31, 0x00, 0x03, 0x00});
    file.record("ABD", {0x31, 0x00, 0x04, 0x00});
    load(file.data());

    typeWithListDown(form->ComboBox1, "ab");
    Press(Qt::Key_Delete);
    Press(Qt::Key_Escape);
    EXPECT_FALSE(listIsDown(form->ComboBox1));
    EXPECT_EQ(field(form->ComboBox1), "ab");
    EXPECT_EQ(KeyboardHolder(), form->ComboBox1);
    Press(Qt::Key_Return);
    EXPECT_EQ(field(form->ComboBox1), "ABD");

    typeWithListDown(form->ComboBox1, "ab");
    Press(Qt::Key_Escape);
    EXPECT_EQ(field(form->ComboBox1), "abC");
    EXPECT_EQ(selectedText(form->ComboBox1), "C");
    Press(Qt::Key_Return);
    EXPECT_EQ(field(form->ComboBox1), "ABC");
    EXPECT_EQ(field(form->ComboBox2), "31000300");
}

TEST_F(TypingTest, PickingFromTheListOnlyChangesTheTextAndEnterThenLooksItUp)
{
    ImageBuilder file;
    file.record("AB", {0x31, 0x00, 0x03, 0x00}, 0x01);
    file.record("ABC", {0x31, 0x00, 0x04, 0x00}, 0x02);
    file.record("X", {0x31, 0x00, 0x05, 0x00}, 0x03);
    load(file.data());
    typeInto(form->ComboBox1, "X");
    Press(Qt::Key_Return);
    const Shown selected = shown();
    ASSERT_EQ(selected.outputName, "31000500_X.BIN");

    typeWithListDown(form->ComboBox1, "a");
    EXPECT_EQ(field(form->ComboBox1), "aB");
    Press(Qt::Key_Down);
    EXPECT_EQ(field(form->ComboBox1), "ABC");
    Press(Qt::Key_Down);
    EXPECT_EQ(field(form->ComboBox1), "X");
    Press(Qt::Key_Up);
    Press(Qt::Key_Up);
    EXPECT_EQ(field(form->ComboBox1), "AB");
    EXPECT_EQ(field(form->ComboBox2), "31000500");
    expectStill(selected);

    // A prefix lookup: ABC comes later in the file than the picked AB.
    Press(Qt::Key_Return);
    EXPECT_EQ(field(form->ComboBox1), "ABC");
    EXPECT_EQ(memoLines().value(1), FillRow(0x02));

    const Shown abc = shown();
    typeWithListDown(form->ComboBox2, "3");
    clickRow(form->ComboBox2, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !listIsDown(form->ComboBox2); }, 2000));
    EXPECT_EQ(field(form->ComboBox2), "31000500");
    EXPECT_EQ(field(form->ComboBox1), "ABC");
    expectStill(abc);
}

TEST_F(TypingTest, AModelNameHoldingTheModifiedMarkerKeepsItInTheImageViewCaption)
{
    ImageBuilder file;
    file.record("A[*]B", {0x31, 0x00, 0x03, 0x00});
    load(file.data());
    typeInto(form->ComboBox1, "A");
    Press(Qt::Key_Return);
    QTest::mouseClick(form->SpeedButton2, Qt::LeftButton);
    ASSERT_NE(form->Form3->windowHandle(), nullptr);
    EXPECT_EQ(form->Form3->windowHandle()->title(), "A[*]B");
}

TEST_F(TypingTest, ANameLongerThanAnyRealOneIsShownCutAndUsedWhole)
{
    // The name runs over the image bytes, which are its own letters then.
    const std::string name(40000, 'N');
    ImageBuilder file;
    file.bytes("DTHD").zeros(13).bytes(name).zeros(1);
    load(file.data());
    QDir::setCurrent(QString::fromStdString(dir.path("")));

    typeInto(form->ComboBox1, "N");
    Press(Qt::Key_Return);
    const QString shown = QString(1000, u'N') + u'…';
    EXPECT_EQ(field(form->ComboBox1), shown);
    EXPECT_EQ(form->ComboBox1->field()->wholeText(), QString::fromStdString(name));
    EXPECT_EQ(form->Edit2->text(), "4E4E4E4E_" + shown.left(991) + u'…');
    EXPECT_EQ(form->Edit2->wholeText(), QString::fromStdString("4E4E4E4E_" + name + ".BIN"));
    EXPECT_EQ(form->Form3->windowTitle(), shown);

    typeInto(form->Edit2, "long.BIN");
    QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    EXPECT_TRUE(dialogs.errors.isEmpty());
    const Bytes written = ReadFile(dir.path("long.BIN"));
    ASSERT_EQ(written.size(), 512u);
    EXPECT_EQ(written[511], 'N');
}

TEST_F(TypingTest, ADataFileInACyrillicFolderOpensAndTheImageIsSavedNextToIt)
{
    const std::filesystem::path folder = dir.nativePath("Данные");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    ImageBuilder file;
    file.record("ABC", {0x31, 0x00, 0x03, 0x00}, 0x5A);
    const std::filesystem::path data = dir.nativePath("Данные/каталог.bin");
    std::ofstream(data, std::ios::binary).write(reinterpret_cast<const char *>(file.data().data()),
                                                static_cast<std::streamsize>(file.data().size()));

    typeInto(form->Edit1, FileName(data));
    Press(Qt::Key_Return);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(form->ComboBox1->count(), 1);

    dialogs.answers.push_back(FileName(data));
    QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
    typeInto(form->ComboBox1, "A");
    Press(Qt::Key_Return);
    QTest::mouseClick(form->BitBtn2, Qt::LeftButton);
    EXPECT_TRUE(dialogs.errors.isEmpty());
    EXPECT_EQ(ReadFile(dir.nativePath("Данные/31000300_ABC.BIN")).size(), 512u);
}

} // namespace
} // namespace tarvidon::test
