// Every text of the four windows at the scale the test runs with
// (QT_SCALE_FACTOR, or Windows's own scaling under Wine): drawn in one face
// that holds every character it may show, and inside its control.

#include "code_page.h"
#include "completing_combo_box.h"
#include "name_field.h"
#include "qt_printing.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRawFont>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tarvidon::test {
namespace {

// Any name may hold any character of the code page.
QString EveryNameCharacter()
{
    QString text;
    for (int byte = 0x20; byte < 0x100; ++byte) {
        const QChar c(Cp1251ToUnicode(static_cast<unsigned char>(byte)));
        if (c.isPrint() && !c.isSpace() && c != QChar::ReplacementCharacter)
            text += c;
    }
    return text;
}

// The characters of text that font's own face lacks, which Qt would draw
// in another face.
QString MissingFromFace(const QFont &font, const QString &text)
{
    const QRawFont face = QRawFont::fromFont(font);
    QString missing;
    for (const QChar c : text) {
        if (!c.isSpace() && !(face.isValid() && face.supportsCharacter(c)))
            missing += c;
    }
    return missing;
}

// The width a control's style gives its caption, and what the caption takes.
struct Room {
    qreal needed;
    int available;
};

Room CaptionRoom(const QWidget *control)
{
    const QFontMetricsF metrics(control->font());
    if (const auto *label = qobject_cast<const QLabel *>(control))
        return {metrics.horizontalAdvance(label->text()), label->contentsRect().width() - 2 * label->margin()};
    if (const auto *button = qobject_cast<const QPushButton *>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.features = QStyleOptionButton::None;
        const QRect contents = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const QString shown = QString(button->text()).remove(u'&');
        const int iconSpacing = 4; // the common style's, beside the glyph
        return {button->iconSize().width() + iconSpacing + metrics.horizontalAdvance(shown), contents.width()};
    }
    const auto *button = qobject_cast<const QToolButton *>(control);
    const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    return {metrics.horizontalAdvance(button->text()), button->width() - 2 * frame};
}

class LookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        // The scale the runner set, so that no run checks another one's.
        if (const QString expected = qEnvironmentVariable("TARVIDON_EXPECTED_SCALE"); !expected.isEmpty()) {
            ASSERT_DOUBLE_EQ(form.devicePixelRatioF(), expected.toDouble());
        }
    }

    TForm1 form;
};

TEST_F(LookTest, EveryCaptionFitsItsControlInAFaceThatHoldsAllItsLetters)
{
    const QList<QWidget *> captions = {form.Panel1,       form.Panel2,       form.Panel3,
                                       form.Panel4,       form.BitBtn1,      form.BitBtn2,
                                       form.SpeedButton1, form.SpeedButton2, form.Form4->Panel1};
    for (const QWidget *control : captions) {
        const std::string name = control->objectName().toStdString();
        const QString text = control->property("text").toString();
        ASSERT_FALSE(text.isEmpty()) << name;
        EXPECT_EQ(MissingFromFace(control->font(), text), QString())
            << name << " in " << QFontInfo(control->font()).family().toStdString();
        const Room room = CaptionRoom(control);
        EXPECT_LE(room.needed, room.available) << name << " in " << QFontInfo(control->font()).family().toStdString()
                                               << " " << control->font().pixelSize() << " px";
        EXPECT_LE(QFontMetricsF(control->font()).height(), control->contentsRect().height()) << name;
    }
}

TEST_F(LookTest, EveryFieldAndTheModelListDrawAnyNameInOneFace)
{
    const QList<QWidget *> names = {form.Edit1, form.ComboBox1, form.ComboBox2, form.Edit2, form.Form2->Models};
    const QString characters = EveryNameCharacter();
    ASSERT_GT(characters.size(), 200);
    for (const QWidget *control : names) {
        EXPECT_EQ(MissingFromFace(control->font(), characters), QString())
            << control->objectName().toStdString() << " in " << QFontInfo(control->font()).family().toStdString();
    }
}

TEST_F(LookTest, AllSixteenImageRowsFitTheViewInColumns)
{
    const QPlainTextEdit *memo = form.Form3->Memo1;
    // A proportional font, which Windows gives where "Terminal" is missing,
    // would break the columns.
    EXPECT_TRUE(QFontInfo(memo->font()).fixedPitch()) << QFontInfo(memo->font()).family().toStdString();
    EXPECT_EQ(MissingFromFace(memo->font(), QStringLiteral("0123456789ABCDEF")), QString());
    const QFontMetricsF metrics(memo->font());
    const qreal margin = memo->document()->documentMargin();
    EXPECT_LE(metrics.horizontalAdvance(QStringLiteral("FF ").repeated(16)), memo->viewport()->width() - 2 * margin);
    EXPECT_LE(metrics.lineSpacing() * 16, memo->viewport()->height() - 2 * margin);
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
}

TEST_F(LookTest, ThePushButtonsCaptionsAreInTheStylesButtonTextColour)
{
    // Not the main window's lime: the buttons are drawn in the style's own face colour.
    const QColor buttonText = QApplication::style()->standardPalette().color(QPalette::ButtonText);
    for (const QPushButton *button : {form.BitBtn1, form.BitBtn2}) {
        for (const auto group : {QPalette::Active, QPalette::Inactive})
            EXPECT_EQ(button->palette().color(group, QPalette::ButtonText), buttonText)
                << button->objectName().toStdString();
    }
}

} // namespace
} // namespace tarvidon::test
