#pragma once

// The frame every action runs in: the application title, the message and
// error boxes, and the guard that turns an exception into an error box.

#include <QApplication>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QIcon;
class QWidget;

namespace tarvidon {

/// The executable's file name without its folder, cut at its first ".",
/// with every character after the first in lower case.
[[nodiscard]] QString ApplicationTitle(const QString &executablePath);

/// An error message as the error box shows it: with a full stop added when
/// its last character sorts after ".".
[[nodiscard]] QString ErrorBoxText(const QString &message);

/// Everything that blocks on the user in a modal window. Tests install
/// their own to watch what would be shown and to answer the file dialog.
class UserDialogs {
public:
    virtual ~UserDialogs() = default;
    virtual void showMessage(const QString &text) = 0;
    virtual void showError(const QString &text) = 0;
    /// The data file the user confirmed, or nullopt when cancelled.
    virtual std::optional<QString> chooseDataFile(QWidget *parent) = 0;
};

/// The program's icon in every size it comes in, compiled into the program.
[[nodiscard]] QIcon ApplicationIcon();

/// The title of the message and error boxes, set by Application.
[[nodiscard]] QString CurrentApplicationTitle();

/// Makes dialogs the one in use (nullptr restores the real boxes).
void SetUserDialogs(UserDialogs *dialogs);

/// The plain message box: no icon, one "OK", centred, modal.
void ShowMessage(const QString &text);
/// The error box with the stop icon; only the guard calls it.
void ShowError(const QString &message);
std::optional<QString> ChooseDataFile(QWidget *parent);

/// Runs one user action; an exception ends it and is shown in the error box.
void RunGuarded(const std::function<void()> &action);

/// The application object: named after the executable, and a last guard
/// so that no exception ever unwinds through Qt's event loop.
class Application : public QApplication {
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace tarvidon
