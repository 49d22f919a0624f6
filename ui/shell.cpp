#include "shell.h"

#include "errors.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>

#include <exception>

namespace tarvidon {

namespace {

// Kept apart from applicationDisplayName, which Qt would append to every
// window caption.
QString applicationTitle;

class RealDialogs final : public UserDialogs {
public:
    void showMessage(const QString &text) override { showBox(QMessageBox::NoIcon, text); }
    void showError(const QString &text) override { showBox(QMessageBox::Critical, text); }

    std::optional<QString> chooseDataFile(QWidget *parent) override
    {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile); // a typed name need not exist yet
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }

private:
    static void showBox(QMessageBox::Icon icon, const QString &text)
    {
        QMessageBox box(icon, applicationTitle, text, QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        box.exec();
    }
};

RealDialogs realDialogs;
UserDialogs *currentDialogs = &realDialogs;

// Shows the exception being handled; call only from a catch block.
void ShowCurrentException()
{
    try {
        throw;
    } catch (const std::exception &e) {
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(QStringLiteral("Unknown error"));
    }
}

} // namespace

QString ApplicationTitle(const QString &executablePath)
{
    QString title = QFileInfo(executablePath).baseName();
    if (title.size() > 1)
        title = title.left(1) + title.mid(1).toLower();
    return title;
}

QString ErrorBoxText(const QString &message)
{
    return QString::fromStdString(WithFullStop(message.toStdString()));
}

void SetUserDialogs(UserDialogs *dialogs)
{
    currentDialogs = dialogs != nullptr ? dialogs : &realDialogs;
}

void ShowMessage(const QString &text)
{
    currentDialogs->showMessage(text);
}

void ShowError(const QString &message)
{
    currentDialogs->showError(ErrorBoxText(message));
}

QIcon ApplicationIcon()
{
    QIcon icon;
    for (const QFileInfo &file : QDir(QStringLiteral(":/icons")).entryInfoList(QDir::Files))
        icon.addFile(file.filePath()); // each size read off its picture
    return icon;
}

QString CurrentApplicationTitle()
{
    return applicationTitle;
}

std::optional<QString> ChooseDataFile(QWidget *parent)
{
    return currentDialogs->chooseDataFile(parent);
}

void RunGuarded(const std::function<void()> &action)
{
    try {
        action();
    } catch (...) {
        ShowCurrentException();
    }
}

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    applicationTitle = ApplicationTitle(argc > 0 ? QString::fromLocal8Bit(argv[0]) : QString());
    setWindowIcon(ApplicationIcon());
    // Lets the desktop match our windows to the installed menu entry and icon.
    setDesktopFileName(QStringLiteral(TARVIDON_APP_ID));
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException();
        return false;
    }
}

} // namespace tarvidon
