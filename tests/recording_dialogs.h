#pragma once

// What the windows would show in their modal boxes, recorded, and the
// lists' rows read back: for tests that must never block on a box.

#include "shell.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QStringList>
#include <QWidget>

#include <deque>
#include <optional>

namespace tarvidon::test {

// Records what the boxes would show and answers the open dialog, so that
// no test blocks on a modal window.
class RecordingDialogs : public UserDialogs {
public:
    void showMessage(const QString &text) override { messages << text; }
    void showError(const QString &text) override
    {
        errors << text;
        busyNoticeShownWithError = busyNotice != nullptr && busyNotice->isVisible();
    }
    std::optional<QString> chooseDataFile(QWidget *) override
    {
        ++dialogsShown;
        std::optional<QString> answer = answers.empty() ? std::nullopt : answers.front();
        if (!answers.empty())
            answers.pop_front();
        return answer;
    }

    QStringList messages;
    QStringList errors;
    std::deque<std::optional<QString>> answers;
    int dialogsShown = 0;
    QWidget *busyNotice = nullptr;
    bool busyNoticeShownWithError = false;
};

inline QStringList Items(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

inline QStringList Rows(const QAbstractItemView *view)
{
    QStringList rows;
    for (int i = 0; i < view->model()->rowCount(); ++i)
        rows << view->model()->index(i, 0).data().toString();
    return rows;
}

} // namespace tarvidon::test
