// The four windows on the screen the test runs with (set by CTest through
// QT_QPA_PLATFORM=offscreen:configfile=...): each is wholly on it, and
// where it fits at its fixed place, it is exactly there.

#include "placement.h"
#include "qt_printing.h"
#include "shell.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tarvidon::test {
namespace {

// Cancels the open dialog and lets its message go by.
class CancellingDialogs : public UserDialogs {
public:
    void showMessage(const QString &) override {}
    void showError(const QString &text) override { ADD_FAILURE() << text.toStdString(); }
    std::optional<QString> chooseDataFile(QWidget *) override { return std::nullopt; }
};

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetUserDialogs(&dialogs);
        area = QGuiApplication::primaryScreen()->availableGeometry();
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
        QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);
        // An open places the busy notice the first time it shows it; it
        // is shown again here to be looked at.
        QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
        form.Form4->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.Form2));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.Form3));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.Form4));
    }

    // Whether the window at its fixed place, with a frame around it, lies
    // inside the area.
    [[nodiscard]] bool fitsAt(const QWidget *window, QPoint place) const
    {
        return area.contains(QRect(place, window->size().grownBy(kTypicalFrame)));
    }

    void TearDown() override { SetUserDialogs(nullptr); }

    CancellingDialogs dialogs;
    QRect area;
    TForm1 form;
};

TEST_F(ScreenTest, EveryWindowIsWhollyOnTheScreen)
{
    for (const QWidget *window : std::initializer_list<const QWidget *>{&form, form.Form2, form.Form3, form.Form4}) {
        const QRect frame = window->frameGeometry();
        const std::string name = window->objectName().toStdString();
        if (frame.width() <= area.width()) {
            EXPECT_TRUE(frame.left() >= area.left() && frame.right() <= area.right())
                << name << " spans x " << frame.left() << " to " << frame.right();
        } else {
            EXPECT_EQ(frame.left(), area.left()) << name;
        }
        if (frame.height() <= area.height()) {
            EXPECT_TRUE(frame.top() >= area.top() && frame.bottom() <= area.bottom())
                << name << " spans y " << frame.top() << " to " << frame.bottom();
        } else {
            EXPECT_EQ(frame.top(), area.top()) << name;
        }
    }
}

TEST_F(ScreenTest, TheListAndTheImageViewKeepTheirFixedPlaceWhereTheyFitAndMoveTheLeastOtherwise)
{
    struct Window {
        const QWidget *window;
        QPoint fixed;
    };
    for (const Window &w : {Window{form.Form2, {242, 208}}, Window{form.Form3, {1199, 372}}}) {
        const QPoint place = w.window->pos();
        const std::string name = w.window->objectName().toStdString();
        if (fitsAt(w.window, w.fixed)) {
            EXPECT_EQ(place, w.fixed) << name;
            continue;
        }
        // Moved only along the sides that do not fit, and only as far as
        // the frame needs.
        const QRect outer(w.fixed, w.window->size().grownBy(kTypicalFrame));
        if (outer.right() <= area.right()) {
            EXPECT_EQ(place.x(), w.fixed.x()) << name;
        } else if (outer.width() <= area.width()) {
            EXPECT_EQ(place.x(), area.right() + 1 - outer.width()) << name;
        }
        if (outer.bottom() <= area.bottom()) {
            EXPECT_EQ(place.y(), w.fixed.y()) << name;
        } else if (outer.height() <= area.height()) {
            EXPECT_EQ(place.y(), area.bottom() + 1 - outer.height()) << name;
        }
    }
}

TEST_F(ScreenTest, TheMainWindowAndTheBusyNoticeAreCentredWhereTheyFit)
{
    for (const QWidget *window : std::initializer_list<const QWidget *>{&form, form.Form4}) {
        if (!area.contains(QRect(QPoint(), window->size().grownBy(kTypicalFrame))))
            continue;
        // Centred before the window system framed it, as the window always was.
        QRect centred(QPoint(), window->size());
        centred.moveCenter(area.center());
        EXPECT_EQ(window->pos(), centred.topLeft()) << window->objectName().toStdString();
    }
}

} // namespace
} // namespace tarvidon::test
