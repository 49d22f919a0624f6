#include "dump_texts.h"
#include "qt_printing.h"
#include "shell.h"
#include "text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

namespace tarvidon {
namespace {

TEST(ApplicationTitle, FileNameUpToTheFirstDotWithTheRestLowerCased)
{
    EXPECT_EQ(ApplicationTitle("/usr/bin/tarvidon"), "tarvidon");
    EXPECT_EQ(ApplicationTitle("/opt/TARVIDON.EXE"), "Tarvidon");
    EXPECT_EQ(ApplicationTitle("build/Tool.v2.exe"), "Tool");
    EXPECT_EQ(ApplicationTitle("x"), "x");
}

TEST(ErrorBoxText, AddsAFullStopOnlyAfterCharactersBeyondTheDot)
{
    EXPECT_EQ(ErrorBoxText("File not found"), "File not found.");
    EXPECT_EQ(ErrorBoxText("I/O error 5"), "I/O error 5.");
    EXPECT_EQ(ErrorBoxText("List index out of bounds (3)"), "List index out of bounds (3)");
    EXPECT_EQ(ErrorBoxText("Stop!"), "Stop!");
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText(QStringLiteral("Ошибка")), QStringLiteral("Ошибка."));
    EXPECT_EQ(ErrorBoxText(""), "");
}

TEST(EngineText, EveryNonZeroByteRoundTripsThroughTheCodePage)
{
    // A name is saved by the text its field shows, so every byte, 0x98 too,
    // must come back from what is shown.
    for (int b = 1; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const QString shown = FromEngineText(byte);
        ASSERT_EQ(shown.size(), 1) << b;
        EXPECT_EQ(ToEngineText(shown), byte) << b;
    }
    EXPECT_EQ(FromEngineText("\xC0\xE1\xE2"), QStringLiteral("Абв"));
    EXPECT_EQ(FromEngineText("\xB8"), QStringLiteral("ё"));
}

TEST(EngineText, TextOutsideTheCodePageMatchesNothing)
{
    const std::string encoded = ToEngineText(QStringLiteral("A\u4E2D"));
    ASSERT_FALSE(encoded.empty());
    EXPECT_EQ(encoded.front(), '\0');
}

TEST(CaseInsensitiveSortKey, OrdersAsQtComparesWithoutCase)
{
    // The completer's binary search trusts this order to be Qt's own.
    std::mt19937 random(11);
    const std::string alphabet = "aAbBzZ09 -\xC0\xE0\xC1\xE1\xDF\xFF\xA8\xB8";
    for (int round = 0; round < 2000; ++round) {
        std::string a(random() % 4, ' '), b(random() % 4, ' ');
        for (char &c : a)
            c = alphabet[random() % alphabet.size()];
        for (char &c : b)
            c = alphabet[random() % alphabet.size()];
        const int qt = QString::compare(FromEngineText(a), FromEngineText(b), Qt::CaseInsensitive);
        std::string keyA, keyB;
        AppendCaseInsensitiveSortKey(keyA, a);
        AppendCaseInsensitiveSortKey(keyB, b);
        EXPECT_EQ(keyA < keyB, qt < 0) << round;
        EXPECT_EQ(keyA == keyB, qt == 0) << round;
    }
}

TEST(NearestImageMessage, CountsInRussianAndNamesTheFirstRunsOfOffsets)
{
    struct Case {
        std::vector<int> offsets;
        const char *says;
    };
    const Case cases[] = {
        {{7}, "отличается 1 байт из 256, по смещению 0x07."},
        {{0, 1}, "отличаются 2 байта из 256, по смещениям 0x00–0x01."},
        {{1, 3, 5, 7, 9}, "отличаются 5 байт из 256, по смещениям 0x01, 0x03, 0x05, 0x07, …"},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 255}, "отличаются 11 байт из 256, по смещениям 0x00–0x09, 0xFF."},
        {{0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 32, 34, 36, 38, 40},
         "отличается 21 байт из 256, по смещениям 0x00, 0x02, 0x04, 0x06, …"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(NearestImageMessage("M", "01020304", c.offsets),
                  QStringLiteral("Точно такой прошивки в каталоге нет. Ближе всех «M» (продномер 01020304): ")
                      + QString::fromUtf8(c.says));
    }
}

TEST(NearestImageMessage, KeepsANameThatHoldsPlaceMarkers)
{
    for (const char *name : {"%1", "A%2B", "%5 %8", "%1%2%3%4%5%6%7%8%9"}) {
        EXPECT_EQ(NearestImageMessage(name, "01020304", {7}),
                  QStringLiteral("Точно такой прошивки в каталоге нет. Ближе всех «") + QString::fromUtf8(name)
                      + QStringLiteral("» (продномер 01020304): отличается 1 байт из 256, по смещению 0x07."))
            << name;
    }
}

} // namespace
} // namespace tarvidon
