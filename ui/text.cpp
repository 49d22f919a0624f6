#include "text.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace tarvidon {

namespace {

constexpr auto kCodePage = "windows-1251";

// The character of every byte, read once from Qt's own codec, and the rank
// of its case-folded form among all folded forms.
struct CodePage {
    std::array<QChar, 256> character{};
    std::array<char, 256> foldedRank{};

    CodePage()
    {
        QStringDecoder decoder(kCodePage);
        if (!decoder.isValid())
            throw std::runtime_error("this Qt has no windows-1251 codec");
        std::array<char16_t, 256> folded{};
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            const QString decoded = decoder.decode(QByteArrayView(&byte, 1));
            character[b] = decoded.isEmpty() ? QChar::ReplacementCharacter : decoded.front();
            folded[b] = character[b].toCaseFolded().unicode();
        }
        std::array<char16_t, 256> order = folded;
        std::sort(order.begin(), order.end());
        for (int b = 0; b < 256; ++b) {
            const auto rank = std::lower_bound(order.begin(), order.end(), folded[b]) - order.begin();
            foldedRank[b] = static_cast<char>(static_cast<unsigned char>(rank));
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
    const CodePage &table = Table();
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    std::transform(bytes.begin(), bytes.end(), text.begin(),
                   [&](char byte) { return table.character[static_cast<unsigned char>(byte)]; });
    return text;
}

std::string ToEngineText(const QString &text)
{
    QStringEncoder encoder(kCodePage);
    const QByteArray bytes = encoder.encode(text);
    std::string result(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (encoder.hasError() || FromEngineText(result) != text)
        result.insert(result.begin(), '\0');
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

void AppendCaseInsensitiveSortKey(std::string &key, std::string_view text)
{
    const CodePage &table = Table();
    for (const char byte : text)
        key += table.foldedRank[static_cast<unsigned char>(byte)];
}

} // namespace tarvidon
