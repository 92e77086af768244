// Status-code texts, the decoder's box and suppression rule, and the number
// helpers that build command arguments and read reply values.

#include "StatusDecoder.h"
#include "TestSupport.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

QString shown(const QString& reply, bool referenceRun = false, bool haveControlCenter = true)
{
    RecordingUiServices ui;
    std::function<bool()> hook;
    if (haveControlCenter)
        hook = [referenceRun] { return referenceRun; };
    fehler_anzeigen(reply, ui, hook);
    EXPECT_EQ(ui.beeps, 1);
    return ui.messages.isEmpty() ? QStringLiteral("<none>") : ui.messages.first().text;
}

TEST(StatusDecoderTest, UnitAndAxisTablesByUnitDigit)
{
    EXPECT_EQ(shown(QStringLiteral("[0XY?0005]")), QStringLiteral("[0XY?0005] no correct command"));
    EXPECT_EQ(shown(QStringLiteral("[1XY?0005]")), QStringLiteral("[1XY?0005] no correct string command"));
    EXPECT_EQ(shown(QStringLiteral("[1GX?001E]")), QStringLiteral("[1GX?001E] index can\u00B4t using"));
    // Further channels take no table.
    EXPECT_EQ(shown(QStringLiteral("[2LL?0005]")), QStringLiteral("[2LL?0005]"));
    // Unknown, lower-case or missing codes add nothing.
    EXPECT_EQ(shown(QStringLiteral("[1GX?00ff]")), QStringLiteral("[1GX?00ff]"));
    EXPECT_EQ(shown(QStringLiteral("[1GX?]")), QStringLiteral("[1GX?]"));
}

TEST(StatusDecoderTest, StatusWordsJoinBothTables)
{
    EXPECT_EQ(shown(QStringLiteral("[0ST!00010019]")),
              QStringLiteral("[0ST!00010019] no release by SPS +  Limit E5 available"));
    // A rejected status query holds only "]" where the axis code would be.
    EXPECT_EQ(shown(QStringLiteral("[0ST?0005]")), QStringLiteral("[0ST?0005] no correct command + "));
}

TEST(StatusDecoderTest, LimitCodesAreOnlyBeepedDuringReferenceRun)
{
    EXPECT_EQ(shown(QStringLiteral("[1FX?0019]"), true), QStringLiteral("<none>"));
    EXPECT_EQ(shown(QStringLiteral("[1FX?001A]"), true), QStringLiteral("<none>"));
    EXPECT_EQ(shown(QStringLiteral("[1FX?001D]"), true), QStringLiteral("[1FX?001D] index not found"));
    EXPECT_EQ(shown(QStringLiteral("[1FX?0019]"), false), QStringLiteral("[1FX?0019] Limit E5 available"));
    // With no current control center the operator still sees the box.
    EXPECT_EQ(shown(QStringLiteral("[1FX?0019]"), true, false), QStringLiteral("[1FX?0019] Limit E5 available"));
}

TEST(StatusDecoderTest, BoxTitleCarriesTimeOfDay)
{
    RecordingUiServices ui;
    fehler_anzeigen(QStringLiteral("[1GX?001D]"), ui, {});
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^Error !   \\d\\d:\\d\\d:\\d\\d$")).match(ui.messages[0].title).hasMatch())
        << ui.messages[0].title.toStdString();
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(StatusDecoder::Fehlertabelle_Achse(QStringLiteral("000C")), QStringLiteral(" Software - Limit Negativ "));
    EXPECT_EQ(StatusDecoder::Fehlertabelle_Einheit(QStringLiteral("0015")), QString());
}

TEST(HexTest, WidthsPaddingAndRoundingHalfToEven)
{
    EXPECT_EQ(hex8(0), QStringLiteral("00000000"));
    EXPECT_EQ(hex8(255.5), QStringLiteral("00000100"));
    EXPECT_EQ(hex8(254.5), QStringLiteral("000000FE"));
    EXPECT_EQ(hex2(2.5), QStringLiteral("02"));
    EXPECT_EQ(hex2(3.5), QStringLiteral("04"));
    EXPECT_EQ(hex2(15), QStringLiteral("0F"));
    EXPECT_EQ(hex2(256), QStringLiteral("100"));
    EXPECT_EQ(hex2(300), QStringLiteral("12C"));
    EXPECT_EQ(hex6(8388607), QStringLiteral("7FFFFF"));
}

TEST(HexTest, NegativesAreThirtyTwoBitTwosComplement)
{
    EXPECT_EQ(hex4(-2), QStringLiteral("FFFFFFFE"));
    EXPECT_EQ(hex4(-1), QStringLiteral("FFFFFFFF"));
    EXPECT_EQ(hex8(-1000), QStringLiteral("FFFFFC18"));
    EXPECT_EQ(hex2(-2.5), QStringLiteral("FFFFFFFE"));
    EXPECT_EQ(hex8(-2147483648.0), QStringLiteral("80000000"));
}

TEST(HexTest, UnconvertibleValuesReportFailure)
{
    for (double v : {2147483648.0, -2147483649.0, 1e300, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
        bool ok = true;
        EXPECT_TRUE(hex8(v, &ok).isEmpty());
        EXPECT_FALSE(ok) << v;
    }
    bool ok = false;
    EXPECT_EQ(hex8(2147483647.4, &ok), QStringLiteral("7FFFFFFF"));
    EXPECT_TRUE(ok);
}

TEST(HexTest, UnconvertibleValuesWithoutACheckThrowForEveryWidth)
{
    for (auto* hex : {&hex8, &hex6, &hex4, &hex2})
        for (double v : {2147483648.0, -2147483649.0, std::numeric_limits<double>::quiet_NaN(),
                         -std::numeric_limits<double>::infinity()})
            EXPECT_THROW(hex(v, nullptr), HexOverflow) << v;
    EXPECT_EQ(hex2(300), QStringLiteral("12C")) << "too wide is not an overflow";
}

TEST(HexTest, Signed24BitReadings)
{
    EXPECT_EQ(hex_zu_wert24(QStringLiteral("7FFFFF")), 8388607);
    EXPECT_EQ(hex_zu_wert24(QStringLiteral("800000")), -8388608);
    EXPECT_EQ(hex_zu_wert24(QStringLiteral("FFFFFF")), -1);
    EXPECT_EQ(hex_zu_wert24(QStringLiteral("FF")), 255);
    EXPECT_EQ(hex_zu_wert24(QStringLiteral("ff")), 255);
    EXPECT_EQ(hex_zu_wert24(QString()), 0);
    EXPECT_EQ(hex_zu_wert24(QStringLiteral("12]")), 18);
    EXPECT_EQ(hex_zu_wert24(QStringLiteral("01000000")), 0);
    EXPECT_EQ(hex_zu_wert24(QStringLiteral("FFFFFFFF")), -1);
    EXPECT_EQ(hex_zu_wert24(QStringLiteral("FFFC18")), -1000);
}

TEST(LocaleTest, DecimalCommaFollowsTheLocale)
{
    {
        ScopedLocale de(QLocale::German, QLocale::Germany);
        EXPECT_TRUE(dezimalkomma());
    }
    {
        ScopedLocale en(QLocale::English, QLocale::UnitedStates);
        EXPECT_FALSE(dezimalkomma());
    }
}

TEST(ByteBufferTest, TextUpToTheFirstZeroByte)
{
    quint8 buffer[257];
    bytes_fuellen(buffer, 0, 257);
    const char* text = "klv0001x";
    for (int i = 0; text[i]; ++i)
        buffer[i] = quint8(text[i]);
    buffer[7] = 0;
    EXPECT_EQ(puffer_zu_text(buffer, 257), QStringLiteral("klv0001"));
    EXPECT_EQ(bytes_zu_text(buffer, 257), QStringLiteral("KLV0001"));
    EXPECT_EQ(buffer[0], quint8('k'));
    bytes_fuellen(buffer, 'a', 257);
    EXPECT_EQ(bytes_zu_text(buffer, 257).size(), 256);
}

}  // namespace
