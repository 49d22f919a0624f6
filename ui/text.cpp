#include "text.h"

#include "code_page.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstdint>

namespace tarvidon {

namespace {

// The rank of every byte's case-folded character among all folded forms,
// counted from 1: 0 is left free to stand for "the text has ended", which
// sorts before every character.
struct CodePage {
    std::array<std::uint8_t, 256> foldedRank{};

    CodePage()
    {
        std::array<char16_t, 256> folded{};
        for (int b = 0; b < 256; ++b)
            folded[b] = QChar(Cp1251ToUnicode(static_cast<unsigned char>(b))).toCaseFolded().unicode();
        std::array<char16_t, 256> order = folded;
        std::sort(order.begin(), order.end());
        // Folding merges case pairs, so fewer than 255 distinct forms remain.
        const auto forms = std::unique(order.begin(), order.end());
        for (int b = 0; b < 256; ++b) {
            const auto rank = std::lower_bound(order.begin(), forms, folded[b]) - order.begin() + 1;
            foldedRank[b] = static_cast<std::uint8_t>(rank);
        }
    }
};

const CodePage &Table()
{
    static const CodePage table;
    return table;
}

} // namespace

QString FromEngineText(std::string_view bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    std::transform(bytes.begin(), bytes.end(), text.begin(),
                   [](char byte) { return QChar(Cp1251ToUnicode(static_cast<unsigned char>(byte))); });
    return text;
}

QString ShownName(std::string_view bytes)
{
    if (bytes.size() <= kShownNameLength)
        return FromEngineText(bytes);
    return FromEngineText(bytes.substr(0, kShownNameLength)) + u'\u2026';
}

std::string ToEngineText(const QString &text)
{
    std::string result;
    result.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) {
        const std::optional<char> byte = UnicodeToCp1251(c.unicode());
        if (!byte) {
            result.insert(result.begin(), '\0');
            break;
        }
        result += *byte;
    }
    return result;
}

std::filesystem::path FilePath(const QString &name)
{
#ifdef _WIN32
    return name.toStdWString();
#else
    const QByteArray bytes = QFile::encodeName(name);
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
#endif
}

QString FileName(const std::filesystem::path &path)
{
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

const std::array<std::uint8_t, 256> &CaseInsensitiveRanks()
{
    return Table().foldedRank;
}

void AppendCaseInsensitiveSortKey(std::string &key, std::string_view text)
{
    const auto &ranks = CaseInsensitiveRanks();
    for (const char byte : text)
        key += static_cast<char>(ranks[static_cast<unsigned char>(byte)]);
}

} // namespace tarvidon
