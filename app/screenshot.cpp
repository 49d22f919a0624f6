// Opens the sample catalogue in the real windows, selects an entry, and
// writes pictures of the four windows and of the whole screen.
//
//   tarvidon_screenshot SAMPLE_FILE OUTPUT_FOLDER

#include "completing_combo_box.h"
#include "shell.h"
#include "Unit1.h"
#include "Unit2.h"
#include "Unit3.h"
#include "Unit4.h"

#include <QDir>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <cstdio>

namespace {

bool Save(QWidget *window, const QString &folder, const QString &name)
{
    const QString path = folder + u'/' + name + QStringLiteral(".png");
    const bool saved = window->grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

} // namespace

int main(int argc, char *argv[])
{
    tarvidon::Application application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: tarvidon_screenshot SAMPLE_FILE OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    QDir().mkpath(folder);

    tarvidon::TForm1 form;
    form.show();
    (void)QTest::qWaitForWindowExposed(&form);
    form.Edit1->setText(QString::fromLocal8Bit(argv[1]));
    QTest::keyClick(form.Edit1, Qt::Key_Return);
    form.ComboBox1->setFocus();
    QTest::keyClicks(form.ComboBox1, QStringLiteral("zen"));
    QTest::qWait(300);
    bool ok = Save(&form, folder, QStringLiteral("main-typing"));
    ok = form.screen()->grabWindow(0).save(folder + QStringLiteral("/screen-typing.png")) && ok;
    QTest::keyClick(form.ComboBox1, Qt::Key_Return);
    QTest::mouseClick(form.SpeedButton1, Qt::LeftButton);
    QTest::mouseClick(form.SpeedButton2, Qt::LeftButton);
    // The busy notice is normally up only while a file loads.
    QRect notice = form.Form4->frameGeometry();
    notice.moveCenter(form.screen()->availableGeometry().center());
    form.Form4->move(notice.topLeft());
    form.Form4->show();
    QTest::qWait(300);

    ok = Save(&form, folder, QStringLiteral("main")) && ok;
    ok = Save(form.Form2, folder, QStringLiteral("model-list")) && ok;
    ok = Save(form.Form3, folder, QStringLiteral("image-view")) && ok;
    ok = Save(form.Form4, folder, QStringLiteral("busy-notice")) && ok;
    const QString screen = folder + QStringLiteral("/screen.png");
    const bool screenSaved = form.screen()->grabWindow(0).save(screen);
    std::printf("%s %s\n", screenSaved ? "wrote" : "FAILED", qPrintable(screen));
    return ok && screenSaved ? 0 : 1;
}
