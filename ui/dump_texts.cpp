#include "dump_texts.h"

#include "catalogue.h"
#include "comparison.h"
#include "text.h"

#include <QStringList>

#include <algorithm>

namespace tarvidon {

namespace {

// Runs of offsets named in a message; the rest is "…".
constexpr std::size_t kShownRuns = 4;

// Russian takes the singular after 1, 21, 31..., the genitive singular
// after 2-4, 22-24..., and the genitive plural after the rest (11-14 too).
bool TakesSingular(std::int64_t count)
{
    return count % 10 == 1 && count % 100 != 11;
}

QString Bytes(std::int64_t count)
{
    const std::int64_t last = count % 10, lastTwo = count % 100;
    const bool few = last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14);
    return QString::number(count) + (few ? QStringLiteral(" байта") : QStringLiteral(" байт"));
}

// An offset within the image as the hex rows show bytes: 0x1A.
QString Offset(int offset)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(offset, 2, 16, QChar(u'0')).toUpper();
}

QString Runs(const std::vector<int> &offsets)
{
    const std::vector<OffsetRun> runs = RunsOf(offsets);
    QStringList shown;
    for (std::size_t k = 0; k < std::min(runs.size(), kShownRuns); ++k) {
        shown << (runs[k].last > runs[k].first ? Offset(runs[k].first) + u'–' + Offset(runs[k].last)
                                               : Offset(runs[k].first));
    }
    if (runs.size() > kShownRuns)
        shown << QStringLiteral("…");
    return shown.join(QStringLiteral(", "));
}

} // namespace

QString DumpSizeMessage(std::int64_t size)
{
    return QStringLiteral("Дамп — это образ в %1 байт или файл экспорта в %2 байт. В этом файле %3.")
        .arg(kImageLength)
        .arg(kExportSize)
        .arg(Bytes(size));
}

QString NearestImageMessage(std::string_view name, std::string_view productNumber, const std::vector<int> &offsets)
{
    const auto count = static_cast<std::int64_t>(offsets.size());
    const QString runs = Runs(offsets);
    // One call fills every place: a later .arg() would also fill a "%1"
    // that the name brought in.
    return QStringLiteral("Точно такой прошивки в каталоге нет. Ближе всех «%1» (продномер %2): %3 %4 из %5, %6 %7%8")
        .arg(ShownName(name), FromEngineText(productNumber),
             TakesSingular(count) ? QStringLiteral("отличается") : QStringLiteral("отличаются"), Bytes(count),
             QString::number(kImageLength),
             count == 1 ? QStringLiteral("по смещению") : QStringLiteral("по смещениям"), runs,
             runs.endsWith(u'…') ? QString() : QStringLiteral("."));
}

} // namespace tarvidon
