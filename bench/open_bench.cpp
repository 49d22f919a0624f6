// Times the real program's open path and its lookups on one data file, as
// the user meets them: Enter in the file field until the lists are filled,
// typed characters with completion, and Enter in both combo boxes. Prints
// one "name seconds" line each, then the peak resident memory.
//
//   open_bench FILE [MODEL_PREFIX] [PRODUCT_PREFIX]

#include "completing_combo_box.h"
#include "shell.h"
#include "Unit1.h"

#include <QLineEdit>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace {

template <typename Action>
double Seconds(Action action)
{
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(const char *name, double seconds)
{
    std::printf("%s %.6f\n", name, seconds);
}

// The slowest of several typed characters, each completing and keeping the
// list dropped down.
double SlowestKey(tarvidon::CompletingComboBox *combo, const QString &text)
{
    double slowest = 0;
    combo->setFocus();
    combo->setEditText(QString());
    for (const QChar c : text) {
        const double key = Seconds([&] { QTest::keyClicks(combo, QString(c)); });
        if (qEnvironmentVariableIsSet("OPEN_BENCH_EACH_KEY"))
            std::printf("  key %s %.6f\n", qPrintable(QString(c)), key);
        slowest = std::max(slowest, key);
    }
    return slowest;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tarvidon::Application application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: open_bench FILE [MODEL_PREFIX] [PRODUCT_PREFIX]\n");
        return 2;
    }
    const QString modelPrefix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("Model");
    const QString productPrefix = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("310");

    tarvidon::TForm1 form;
    form.show();
    (void)QTest::qWaitForWindowExposed(&form);
    form.Edit1->setText(QString::fromLocal8Bit(argv[1]));
    Report("open", Seconds([&] { QTest::keyClick(form.Edit1, Qt::Key_Return); }));
    std::printf("records %lld\n", static_cast<long long>(form.state().Catalogue.ModelCount()));

    Report("typing_model", SlowestKey(form.ComboBox1, modelPrefix));
    Report("enter_model", Seconds([&] { QTest::keyClick(form.ComboBox1, Qt::Key_Return); }));
    Report("typing_product", SlowestKey(form.ComboBox2, productPrefix));
    Report("enter_product", Seconds([&] { QTest::keyClick(form.ComboBox2, Qt::Key_Return); }));

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak_rss_bytes %lld\n", static_cast<long long>(usage.ru_maxrss) * 1024);
    return form.state().Catalogue.ModelCount() > 0 ? 0 : 1;
}
