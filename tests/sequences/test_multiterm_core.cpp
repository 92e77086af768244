// The multi-unit terminal against the simulated bus: single rows, send-all
// with its stop on a silent row, "Dauer" passes, time-outs and test files.
#include "Clock.h"
#include "MultitermCore.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "TestSupport.h"
#include "UiServices.h"
#include "ValueFile.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class Multiterm : public ::testing::Test
{
protected:
    Multiterm()
    {
        bus.setPacing(true);
        bus.addUnit(u"01"_s);
        bus.addUnit(u"02"_s);
        port.open();
        core.Form_Load();
    }

    MultitermEnv env()
    {
        MultitermEnv e;
        e.port = &port;
        e.clock = &clock;
        e.ui = &ui;
        e.programFolder = [this] { return home.path(); };
        e.answered = [this](const QString& a, const QString& c, const QString& r) {
            answered << a + u' ' + c + u' ' + r;
        };
        return e;
    }

    QStringList traffic() const
    {
        QStringList out;
        for (const auto& [selection, command] : bus.traffic())
            out << selection + QLatin1Char(' ') + command;
        return out;
    }

    void zeile(int i, const QString& unitAddress, const QString& cmdText, bool mit = true)
    {
        core.Text1[i].text = unitAddress;
        core.tsend[i].text = cmdText;
        core.csend[i].checked = mit;
    }

    FakeClock clock;
    SimBus bus{clock};
    SimSerialPort port{bus};
    RecordingUiServices ui;
    TempHome home;
    QStringList answered;  // what the window told other windows' models
    MultitermCore core{env()};
};

TEST_F(Multiterm, RowWithoutAddressUsesTheSelectorsAndShowsTheReply)
{
    core.Cosend_Click(15);
    EXPECT_EQ(traffic(), (QStringList{u"01 [0ST]"_s}));
    EXPECT_EQ(core.tempf[15].text, u"[0ST!00000000]"_s);
    EXPECT_EQ(core.tempf[15].colour, MultitermCore::White);
    core.VTyp.value = 8;
    core.VTyp_Change();
    EXPECT_EQ(core.tTyp.text, u"C"_s);
    EXPECT_EQ(core.ltyp.text, u"UM"_s);
    EXPECT_EQ(core.Adresstabelle[12][15], QChar(18) + u"CF"_s);
}

TEST_F(Multiterm, CommandIsCutToItsBracketsAndIncompleteOnesAreNotSent)
{
    zeile(3, u"02"_s, u"x[0ST]y"_s);
    core.Cosend_Click(3);
    EXPECT_EQ(traffic(), (QStringList{u"02 [0ST]"_s}));
    bus.clearTraffic();
    core.Cosend_Click(0);  // "[]" as designed
    EXPECT_EQ(core.tempf[0].text, u"!?"_s);
    zeile(1, u"02"_s, u"]0ST["_s);
    core.Cosend_Click(1);
    EXPECT_EQ(core.tempf[1].text, u"!?"_s);
    EXPECT_TRUE(traffic().isEmpty());
}

TEST_F(Multiterm, BroadcastAndFEAddressesWriteWithoutWaiting)
{
    zeile(2, u"FE"_s, u"[1BR]"_s);
    zeile(3, u"00"_s, u"[1BR]"_s);
    const double start = clock.now();
    core.Cosend_Click(2);
    core.Cosend_Click(3);
    EXPECT_LT(clock.now() - start, 0.1);
    EXPECT_TRUE(core.tempf[2].text.isEmpty());
    EXPECT_TRUE(core.tempf[3].text.isEmpty());
    EXPECT_EQ(core.Fehlerzaehler, 0);
    EXPECT_EQ(bus.unit(u"01"_s)->received(), (QStringList{u"[1BR]"_s}));
}

TEST_F(Multiterm, SilentRowEndsSendAllAndContinuousMode)
{
    zeile(0, u"01"_s, u"[0ST]"_s);
    zeile(1, u"05"_s, u"[0ST]"_s);
    zeile(2, u"02"_s, u"[0VN]"_s);
    core.cDauer.checked = true;
    core.cDauer_Click();
    core.Timer1_Timer();
    EXPECT_EQ(core.tempf[1].text, u"?"_s);
    EXPECT_EQ(core.tempf[1].colour, MultitermCore::Yellow);
    EXPECT_EQ(core.lDauer.text, MultitermCore::NoConnection);
    EXPECT_FALSE(core.cDauer.checked);
    EXPECT_FALSE(core.timer1An());
    EXPECT_EQ(core.Fehlerzaehler, 1);
    EXPECT_FALSE(traffic().contains(u"02 [0VN]"_s));
    EXPECT_TRUE(core.lZeit.text.startsWith(u"4."_s));
}

TEST_F(Multiterm, BroadcastRowsInDauerModeNeverQueueAheadOfTheWire)
{
    // Rows to "FE" and "00" get no reply: each pass only writes. At 20 ms a
    // tick, three of them would outrun a 9600-baud line if the writes did not
    // wait for the wire.
    zeile(0, u"FE"_s, u"[1BR]"_s);
    zeile(1, u"00"_s, u"[1CS]"_s);
    zeile(2, u"FE"_s, u"[0po]"_s);
    core.cDauer.checked = true;
    core.cDauer_Click();
    for (int pass = 0; pass < 50; ++pass) {
        core.Timer1_Timer();
        clock.advance(0.020);
        ASSERT_LT(bus.outputBacklog(), 3 * bus.characterTime()) << "pass " << pass;
    }
    EXPECT_EQ(core.Dauerzaehler, 50);
    // Back to back on a line 10 % slower than its setting, through a port
    // that counts nothing unsent: the margin of the writes keeps up.
    bus.setWireBaud(8640);
    bus.setUnsentReport(0);
    for (int pass = 0; pass < 50; ++pass) {
        core.Timer1_Timer();
        ASSERT_LT(bus.outputBacklog(), 3 * bus.characterTime()) << "slow pass " << pass;
    }
}

TEST_F(Multiterm, TwoContinuousTicksMakeTwoPasses)
{
    zeile(0, u"01"_s, u"[0ST]"_s);
    // An empty box sends to the unit of the Mot/Box selectors, here 01.
    zeile(1, QString(), u"[0VN]"_s);
    core.cDauer.checked = true;
    core.cDauer_Click();
    EXPECT_EQ(core.lDauer.text, u"0"_s);
    core.Timer1_Timer();
    core.Timer1_Timer();
    EXPECT_EQ(core.lDauer.text, u"2"_s);
    EXPECT_EQ(traffic(), (QStringList{u"01 [0ST]"_s, u"01 [0VN]"_s, u"01 [0ST]"_s, u"01 [0VN]"_s}));
    core.FlagBelegt = 1;  // a pass still running: the tick starts none
    core.Timer1_Timer();
    EXPECT_EQ(core.Dauerzaehler, 2);
    core.FlagBelegt = 0;
    core.VBox.value = 2;
    core.VBox_Change();  // moving a selector ends "Dauer" mode
    EXPECT_FALSE(core.cDauer.checked);
}

TEST_F(Multiterm, TimeOutsFollowTheSwitchAndLateRepliesStillShow)
{
    EXPECT_EQ(core.Zeitlimit, 4.0);
    core.chWaitpos.checked = true;
    core.chWaitpos_Click();
    EXPECT_EQ(core.Zeitlimit, 10.0);
    core.chWaitpos.checked = false;
    core.chWaitpos_Click();
    EXPECT_EQ(core.chWaitpos.text, u"timeout = 0.5s"_s);
    bus.unit(u"01"_s)->setReplyPieces(2, 0.6);
    core.Cosend_Click(15);
    EXPECT_EQ(core.Fehlerzaehler, 1);
    EXPECT_EQ(core.tempf[15].colour, MultitermCore::Yellow);
    EXPECT_TRUE(core.lFehler.text.startsWith(u"1[0ST]"_s));
    EXPECT_FALSE(core.tempf[15].text.isEmpty());
    // The rest arrives before the next command and is shown as stale input.
    clock.advance(1.0);
    bus.unit(u"01"_s)->setReplyPieces(1, 0);
    core.Cosend_Click(14);
    EXPECT_EQ(core.lFehler.text, u"7000000]"_s);
    EXPECT_EQ(core.tempf[14].colour, MultitermCore::White);
    // A late reply that comes while the next row waits is passed over.
    bus.unit(u"01"_s)->setReplyDelay(0.6);
    core.Cosend_Click(15);
    bus.unit(u"01"_s)->setReplyDelay(0.3);
    core.Cosend_Click(14);
    EXPECT_TRUE(core.tempf[14].text.startsWith(u"[0VN!"_s)) << qPrintable(core.tempf[14].text);
}

// On the line at 9600 baud with the 0.5 s option: a reply that begins inside
// the limit is read whole however long it takes on the wire, and the next
// row shows its own reply.
TEST_F(Multiterm, AReplyBegunWithinTheTimeLimitIsReadWholeAndTheNextRowHasItsOwn)
{
    core.chWaitpos.checked = false;
    core.chWaitpos_Click();
    ASSERT_EQ(core.Zeitlimit, 0.5);
    bus.unit(u"01"_s)->setReplyDelay(0.49);
    bus.unit(u"01"_s)->setReplyLength(600);
    core.Cosend_Click(15);
    EXPECT_EQ(core.Fehlerzaehler, 0);
    EXPECT_EQ(core.tempf[15].colour, MultitermCore::White);
    EXPECT_EQ(core.tempf[15].text.size(), 600);
    EXPECT_TRUE(core.tempf[15].text.endsWith(u"]"_s));
    bus.unit(u"01"_s)->setReplyDelay(0);
    bus.unit(u"01"_s)->setReplyLength(0);
    core.Cosend_Click(14);
    EXPECT_TRUE(core.tempf[14].text.startsWith(u"[0VN!"_s)) << qPrintable(core.tempf[14].text);
    EXPECT_EQ(core.Fehlerzaehler, 0);
}

// A probe board's mask follows what the terminal writes to it too.
TEST_F(Multiterm, EveryRowSentIsToldWithTheUnitItWentTo)
{
    zeile(0, u"02"_s, u"[0ST]"_s);
    // An empty box sends to the unit of the Mot/Box selectors, here 01.
    zeile(1, QString(), u"[0VN]"_s);
    core.Cosend_Click(0);
    core.Cosend_Click(1);
    EXPECT_EQ(answered, QStringList({u"02 [0ST] [0ST!00000000]"_s, u"01 [0VN] [0VN!Mot V1.00]"_s}));
}

TEST_F(Multiterm, EndlessReplyIsCutAndCountsAsATimeOut)
{
    bus.setPacing(false);
    bus.unit(u"01"_s)->setGarbageReply(QByteArray(20000, 'x'));
    core.Cosend_Click(15);
    EXPECT_EQ(core.tempf[15].text.size(), protocol::MaxReply);
    EXPECT_EQ(core.Fehlerzaehler, 1);
}

TEST_F(Multiterm, PortThatCannotOpenIsAnErrorInTheRow)
{
    port.close();
    port.setOpenFailure(u"busy"_s);
    core.Cosend_Click(15);
    EXPECT_EQ(core.tempf[15].text, u"?"_s);
    core.csend[15].checked = true;
    core.CSenden_Click();
    EXPECT_EQ(core.lDauer.text, MultitermCore::NoConnection);
    port.setOpenFailure(QString());
    core.Cosend_Click(15);
    EXPECT_EQ(core.tempf[15].text, u"[0ST!00000000]"_s);
}

TEST_F(Multiterm, TestFilesRoundTripAndBadOnesChangeNothing)
{
    zeile(0, u"01"_s, u"[0ST]"_s);
    zeile(5, QString(), u"Ä[0VN]"_s, false);
    core.VTyp.value = 6;
    core.VBox.value = 15;
    const QString pathName = home.file(u"t.qvt"_s);
    ui.fileAnswers << pathName;
    core.pTestsp_Click();
    const QByteArray bytes = *readFileBytes(pathName);
    EXPECT_EQ(bytes.count("\r\n"), 50);
    EXPECT_TRUE(bytes.endsWith("\r\n6\r\n15\r\n"));

    MultitermCore other(env());
    other.Form_Load();
    ui.fileAnswers << pathName;
    other.ptestld_Click();
    EXPECT_EQ(other.fileText(), bytes);
    EXPECT_EQ(other.AktTyp, 7);
    EXPECT_EQ(other.tBox.text, u"F"_s);
    EXPECT_EQ(ui.fileRequests.last().filter, MultitermCore::LoadFilter);

    other.ptestld_Click();  // cancelled
    EXPECT_EQ(other.fileText(), bytes);
    ValueFileWriter shortFile;
    shortFile.writeString(u"[0XX]"_s);
    ASSERT_TRUE(writeValueFile(home.file(u"kurz.qvt"_s), shortFile.data()));
    ui.fileAnswers << home.file(u"kurz.qvt"_s);
    other.ptestld_Click();
    EXPECT_EQ(other.fileText(), bytes);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].text.endsWith(u"\n file not found or failure"_s));
    QByteArray far = bytes;
    far.replace("\r\n6\r\n15\r\n", "\r\n9\r\n15\r\n");
    ASSERT_TRUE(writeValueFile(home.file(u"weit.qvt"_s), far));
    ui.fileAnswers << home.file(u"weit.qvt"_s);
    other.ptestld_Click();
    EXPECT_EQ(other.VTyp.value, 6);
    EXPECT_EQ(ui.messages.size(), 2);
}

// A reply row turns yellow when the fifth character of the reply is "?"
// (the unit refused the command); a "?" anywhere else is content.
class ReplyColour : public Multiterm, public ::testing::WithParamInterface<std::pair<const char*, bool>>
{
};

TEST_P(ReplyColour, FifthCharacterQuestionMarkIsYellow)
{
    const auto [antwort, isYellow] = GetParam();
    const QByteArray bytes(antwort);
    bus.unit(u"01"_s)->setHandler(u"0QA"_s,
                                  [bytes](SimUnit&, const SimCommand&) -> std::optional<QByteArray> { return bytes; });
    zeile(0, u"01"_s, u"[0QA]"_s);
    core.Cosend_Click(0);
    EXPECT_EQ(core.tempf[0].text, QString::fromLatin1(antwort));
    EXPECT_EQ(core.tempf[0].colour, isYellow ? MultitermCore::Yellow : MultitermCore::White) << antwort;
    EXPECT_EQ(core.Fehlerzaehler, 0);  // a refusal is no time-out
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyColour,
                         ::testing::Values(std::pair{"[0QA?0005]", true}, std::pair{"[0QA?]", true},
                                           std::pair{"[0Q?]", false}, std::pair{"[0QA!?]", false},
                                           std::pair{"[0QA!0000?]", false}),
                         [](const auto& info) { return "Reply" + std::to_string(info.index); });

TEST_F(Multiterm, CommandBoxesKeepToTheTestFilesCodePage)
{
    core.tsend[3].text = u"[0VN]✓Ω€"_s;
    core.tsend_Change(3);
    EXPECT_EQ(core.tsend[3].text, u"[0VN]€"_s);
}

}  // namespace
