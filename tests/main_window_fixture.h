#pragma once

// The main window under test, driven as a person drives it: keys go to
// whatever holds the keyboard, clicks go to the window.

#include "completing_combo_box.h"
#include "keyboard.h"
#include "name_field.h"
#include "qt_printing.h"
#include "recording_dialogs.h"
#include "shell.h"
#include "test_support.h"
#include "Unit1.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tarvidon::test {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousFolder_ = QDir::currentPath();
        SetUserDialogs(&dialogs);
        form = std::make_unique<TForm1>();
        dialogs.busyNotice = form->Form4;
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        // Keys reach only the active window.
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    void TearDown() override
    {
        form.reset();
        SetUserDialogs(nullptr);
        QDir::setCurrent(previousFolder_);
    }

    // Loads bytes as the user would: types the path into Edit1, then Enter.
    std::string load(const Bytes &bytes, std::string_view name = "data.bin")
    {
        const std::string path = dir.write(name, bytes);
        typeInto(form->Edit1, QString::fromStdString(path));
        Press(Qt::Key_Return);
        return path;
    }

    // Clicks a field through its window, as a person moves the keyboard
    // there with the mouse.
    static void clickInto(QWidget *field)
    {
        if (auto *combo = qobject_cast<QComboBox *>(field))
            field = combo->lineEdit();
        QWidget *window = field->window();
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          field->mapTo(window, field->rect().center()));
        ASSERT_EQ(QApplication::focusWidget(), field->focusProxy() != nullptr ? field->focusProxy() : field);
    }

    // Replaces a field's text by typing over all of it.
    static void typeInto(QWidget *field, const QString &text)
    {
        clickInto(field);
        Press(QKeySequence::SelectAll);
        Type(text);
    }

    // Clicks a row of the open drop-down list.
    static void clickRow(CompletingComboBox *combo, int row)
    {
        QAbstractItemView *list = combo->view();
        ASSERT_TRUE(list->isVisible());
        QWidget *popup = list->window();
        const QRect rowArea = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(popup->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                          list->viewport()->mapTo(popup, rowArea.center()));
    }

    static bool listIsDown(const CompletingComboBox *combo) { return combo->view()->isVisible(); }

    static QString selectedText(const CompletingComboBox *combo) { return combo->lineEdit()->selectedText(); }

    QStringList memoLines() const { return form->Form3->Memo1->toPlainText().split(u'\n'); }

    TempDir dir;
    RecordingDialogs dialogs;
    std::unique_ptr<TForm1> form;

private:
    QString previousFolder_;
};

} // namespace tarvidon::test
