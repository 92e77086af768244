// The manual panel (queued commands, moves, index, positions, AK4 values),
// the port layer's failure handling, and the sequence file with its editor.
#include "AblaufFixture.h"

#include "ValueFile.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace {

class Panel : public AblaufFixture
{
protected:
    void select(int unitType, int box)
    {
        core.VTyp.value = unitType;
        core.VBox.value = box;
        core.VTyp_Change();
        core.VBox_Change();
    }
};

TEST_F(Panel, QueuedCommandGoesOutOnTheNextTickAndALaterClickReplacesIt)
{
    select(0, 1);
    core.CBefehl_Click(1);
    core.CBefehl_Click(0);
    EXPECT_TRUE(traffic().isEmpty());
    core.Timer1_Timer();
    EXPECT_EQ(traffic(), (QStringList{u"01 [0ST]"_s}));
    EXPECT_EQ(core.LHinweis.text, u"[0ST][0ST!00000000]"_s);
    EXPECT_EQ(core.Handbefehl_offen, 0);
    core.Timer1_Timer();
    EXPECT_EQ(traffic().size(), 1);
}

TEST_F(Panel, RowWithoutAddressIsRefused)
{
    select(3, 1);
    EXPECT_EQ(core.tTyp.text, u"3"_s);
    core.CBefehl_Click(0);
    core.Timer1_Timer();
    EXPECT_TRUE(traffic().isEmpty());
    EXPECT_TRUE(core.LHinweis.text.startsWith(u"no address"_s));
    select(7, 10);
    EXPECT_EQ(core.tTyp.text, u"8"_s);
    EXPECT_EQ(core.tBox.text, u"A"_s);
    EXPECT_EQ(core.Adresstabelle[7][3], QChar(18) + u"73"_s);
    EXPECT_TRUE(core.Adresstabelle[3][0].isEmpty());
}

TEST_F(Panel, ManualMovesUseTheFactorAndRefuseAnUnsetOne)
{
    select(0, 1);
    core.TPosWeg.text = u"10"_s;
    core.Cposbox_Click(0);
    EXPECT_EQ(core.Handbefehl_offen, 0);
    EXPECT_TRUE(core.LHinweis.text.startsWith(u"no factor"_s));
    core.Faktortabelle[0][1] = 2;
    for (const QString& distance : {u""_s, u"-"_s, u"."_s, u"--5"_s, u"+-5"_s, u"..5"_s}) {
        core.TPosWeg.text = distance;
        core.Cposbox_Click(1);
        EXPECT_EQ(core.Handbefehl_offen, 0) << qPrintable(distance);
        EXPECT_EQ(core.LHinweis.text, u"no distance entered"_s);
    }
    core.TPosWeg.text = u"10"_s;
    core.Cposbox_Click(0);
    EXPECT_EQ(core.Handbefehl, u"[1FA00000014]"_s);
    core.OPosArt0.checked = false;
    core.OPosArt1.checked = true;
    core.Cposbox_Click(1);
    EXPECT_EQ(core.Handbefehl, u"[1FRFFFFFFEC]"_s);
    core.Cposbox_Click(2);
    EXPECT_EQ(core.Handbefehl, u"[1FA00000000]"_s);
    core.Timer1_Timer();
    EXPECT_EQ(traffic().last(), u"01 [1FA00000000]"_s);

    // Polled from the panel, a manual move ends on its own echo, not on a
    // stray in front of the poll replies.
    unit("01").setStrayBefore("[0po", "[9XX!STRAY]");
    core.Cposbox_Click(0);
    core.Timer1_Timer();
    for (int i = 0; i < 1000 && (i == 0 || core.Handantwort == u"[0po!]"_s); ++i) {
        core.CBefehl_Click(6);
        core.Timer1_Timer();
    }
    EXPECT_EQ(core.Handantwort, u"[1FR!]"_s);
}

TEST_F(Panel, IndexSearchPollsUntilFoundAndShowsThePosition)
{
    int polls = 0;
    unit("01").setHandler(u"1IA"_s, [&polls](SimUnit&, const SimCommand& c) -> std::optional<QByteArray> {
        return ++polls < 2 ? c.rejected(0x1D) : QByteArray("[1IA!00000400]");
    });
    select(0, 1);
    core.Faktortabelle[0][1] = 2;
    core.c1if_Click();
    core.Timer1_Timer();
    EXPECT_EQ(core.tIndex3.text, u"Index ?"_s);
    EXPECT_EQ(core.Indexsuche_aktiv, 1);
    core.Timer1_Timer();
    EXPECT_EQ(core.tIndex3.text, u"512.00"_s);
    EXPECT_EQ(core.Indexsuche_aktiv, 0);
    EXPECT_EQ(traffic().last(), u"01 [1IS]"_s);
}

TEST_F(Panel, PositionDisplaysScaleOnlyEightDigitReplies)
{
    unit("01").setPosition(4000);
    core.Faktortabelle[0][1] = 2;
    core.Don0.checked = true;
    core.Con[0].checked = true;
    unit("01").setHandler(
        u"1PA"_s, [](SimUnit&, const SimCommand&) -> std::optional<QByteArray> { return QByteArray("[1PA!000FA0]"); });
    core.Timer1_Timer();
    EXPECT_EQ(core.Display[0].text, u"4000"_s);  // six digits: raw counts
    unit("01").setHandler(u"1PA"_s, {});         // the axis itself answers eight
    core.Timer1_Timer();
    EXPECT_EQ(core.Display[0].text, u"2.00000"_s);
}

TEST_F(Panel, DisplayFifteenFollowsItsDefinitionAndThirtyOneIsNeverPolled)
{
    bus.addUnit(u"10"_s).setPosition(77);
    run({u"MB/1/0/1/1000/Tisch"_s});
    EXPECT_TRUE(core.Con[15].visible);
    EXPECT_EQ(core.Con[15].text, u"Tisch"_s);
    EXPECT_EQ(core.Faktortabelle[1][0], 1.0);
    core.Con[30].checked = core.Con[31].checked = true;
    core.Don0.checked = true;
    bus.clearTraffic();
    core.Timer1_Timer();
    EXPECT_EQ(traffic(), (QStringList{u"10 [1PA]"_s}));
    EXPECT_EQ(core.Display[15].text, u"0.07700"_s);
}

// Displays 16 to 29 show the type-1 modules (boxes 1 to 14) and are polled
// during a run like the others.
class TypeOneDisplay : public Panel, public ::testing::WithParamInterface<int>
{
};

TEST_P(TypeOneDisplay, IsPolledDuringARun)
{
    const int box = GetParam();
    const QString unitAddress = u"1"_s + QString::number(box, 16).toUpper();
    bus.addUnit(unitAddress).setPosition(5000);
    core.Don0.checked = true;
    run({u"MB/1/%1/1/1000/Tisch"_s.arg(box)});
    EXPECT_TRUE(traffic().contains(unitAddress + u" [1PA]"_s));
    EXPECT_EQ(core.Display[box + 15].text, u"5.00000"_s);
    EXPECT_TRUE(core.Display[box + 15].visible);
}

INSTANTIATE_TEST_SUITE_P(Boxes, TypeOneDisplay, ::testing::Values(1, 14));

TEST_F(Panel, SilentPositionSwitchesPollingOff)
{
    unit("01").setSilent(true);
    core.Don0.checked = true;
    core.Con[0].checked = core.Con[1].checked = true;
    core.Timer1_Timer();
    EXPECT_FALSE(core.Don0.checked);
    EXPECT_EQ(core.Fehlerzahl, 1);
    EXPECT_EQ(core.lb_ablauf.items.size(), 1);
}

TEST_F(Panel, Ak4MaximumAndMinimum)
{
    SimUnit& ak = bus.addUnit(u"21"_s);
    ak.setHandler(u"0MH"_s, [](SimUnit&, const SimCommand&) -> std::optional<QByteArray> {
        return QByteArray("[0MH!000A00,FFF600,000000,001400]");
    });
    select(2, 1);
    core.CMAX_Click();
    EXPECT_EQ(core.Display[0].text, u"1.00"_s);
    EXPECT_EQ(core.Display[2].text, u"-1.00"_s);
    EXPECT_EQ(core.Display[4].text, u"0.00"_s);
    EXPECT_EQ(core.Display[6].text, u"2.00"_s);
    EXPECT_EQ(core.Con[6].text, u"MAX"_s);
    // The board's own recording: minimum after a dip.
    ak.setHandler(u"0MH"_s, {});
    ak.setChannels({2560, 0, 0, 0});
    core.CEMaxMin_Click();
    core.Timer1_Timer();
    ak.setChannels({-2560, 0, 0, 0});
    core.Timer1_Timer();
    EXPECT_EQ(core.Display[0].text, u"1.00"_s);
    EXPECT_EQ(core.Display[1].text, u"-1.00"_s);
    EXPECT_EQ(core.Con[1].text, u"MIN"_s);
    core.CStop_Click();
    EXPECT_EQ(core.MaxMin_aktiv, 0);
}

TEST_F(Panel, ReplyInPiecesIsJoinedAndStaleInputIsShown)
{
    unit("01").setReplyPieces(2, 0.05);
    select(0, 1);
    core.CBefehl_Click(0);
    core.Timer1_Timer();
    EXPECT_EQ(core.Handantwort, u"[0ST!00000000]"_s);
    EXPECT_EQ(core.Fehlerzahl, 0);
    // A reply that came too late waits in the port until the next send.
    unit("01").setReplyPieces(1, 0);
    unit("01").setReplyDelay(1.5);
    core.CBefehl_Click(0);
    core.Timer1_Timer();
    EXPECT_EQ(core.Fehlerzahl, 1);
    clock.advance(1.0);
    unit("01").setReplyDelay(0);
    core.CBefehl_Click(1);
    core.Timer1_Timer();
    EXPECT_EQ(core.lFehler.text, u"14[0ST!00000000]"_s);
}

// On the line at 9600 baud: a reply that begins just inside the one-second
// limit and ends after it is read whole and is no time-out.
TEST_F(Panel, AReplyBegunWithinTheTimeLimitIsReadWhole)
{
    ASSERT_EQ(core.Zeitlimit, 1.0);
    select(0, 1);
    unit("01").setReplyDelay(0.985);
    core.CBefehl_Click(0);
    core.Timer1_Timer();
    EXPECT_EQ(core.Handantwort, u"[0ST!00000000]"_s);
    EXPECT_EQ(core.Fehlerzahl, 0);
    EXPECT_EQ(ui.beeps, 0);
}

TEST_F(Panel, EndlessReplyIsCutAndCountsAsNoAnswer)
{
    bus.setPacing(false);
    unit("01").setGarbageReply(QByteArray(20000, 'x'));
    select(0, 1);
    core.CBefehl_Click(0);
    core.Timer1_Timer();
    // Characters that are no frame are not the reply.
    EXPECT_TRUE(core.Handantwort.isEmpty());
    EXPECT_EQ(core.LED.colour, AblaufCore::Red);
    EXPECT_EQ(port.inBufferCount(), 0);
}

TEST_F(Panel, ExitStopsPollsOnceAndResetsCounters)
{
    unit("01").setSilent(true);
    run({u"MF/0/1/1000"_s, u"MA/0/1/5"_s});
    ASSERT_EQ(core.Fehlerzahl, 1);
    unit("01").setSilent(false);
    bus.clearTraffic();
    unit("01").setStrayBefore("[0po", "[9XX!STRAY]");
    core.cmd_exit_Click();
    EXPECT_EQ(traffic(), (QStringList{u"00 [1BR]"_s, u"01 [0po]"_s}));
    EXPECT_EQ(core.Empfangstext, u"[1BR!]"_s);  // the stop's echo, not the stray
    EXPECT_EQ(core.Fehlerzahl, 0);
    EXPECT_EQ(core.lFehler.text, u"0"_s);
}

class SequenceFile : public AblaufFixture
{
};

TEST_F(SequenceFile, SaveAndLoadAreByteExact)
{
    lines({u"MF/0/1/2000"_s, u"MA/0/1/10"_s, u"QV/0/1/Ä [0ST]"_s});
    const QString path = home.file(u"a.aqv"_s);
    ui.fileAnswers << path;
    core.AblSP_Click();
    const QByteArray bytes = *readFileBytes(path);
    EXPECT_TRUE(bytes.startsWith("\"MF/0/1/2000\"\r\n\"MA/0/1/10\"\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 87);
    EXPECT_TRUE(bytes.endsWith("\"\"\r\n\"\"\r\n"));
    lines({});
    ui.fileAnswers << path;
    core.AblL();
    EXPECT_EQ(core.pZeile[2].text, u"QV/0/1/Ä [0ST]"_s);
    EXPECT_EQ(core.Label3.text, u"a.aqv"_s);
    EXPECT_EQ(core.fileText(), bytes);
    EXPECT_TRUE(ui.messages.isEmpty());
    ASSERT_EQ(ui.fileRequests.size(), 2);  // saved where loading looks
    EXPECT_EQ(ui.fileRequests[0].folder, home.path());
    EXPECT_EQ(ui.fileRequests[1].folder, home.path());
}

TEST_F(SequenceFile, ShortFileKeepsTheRestAndMissingOrCancelledChangesNothing)
{
    // A file that cannot be read whole changes no line: Start must not run
    // a mix of two files.
    ValueFileWriter w;
    for (int i = 0; i < 10; ++i)
        w.writeString(u"CE/%1"_s.arg(i));
    ASSERT_TRUE(writeValueFile(home.file(u"autost.aqv"_s), w.data()));
    lines({u"x"_s, u"y"_s, u"y"_s, u"y"_s, u"y"_s, u"y"_s, u"y"_s, u"y"_s, u"y"_s, u"y"_s, u"old"_s});
    core.LEdit();
    const QString editor = core.TEdit.text;
    const QByteArray vorher = core.fileText();
    core.Form_Load();
    EXPECT_EQ(core.fileText(), vorher);
    EXPECT_EQ(core.TEdit.text, editor);
    EXPECT_TRUE(core.Label3.text.isEmpty());
    EXPECT_TRUE(core.Dateiname.isEmpty());
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].text,
              u"error: 62, Input past end of file\n%1 file not found or failure"_s.arg(home.file(u"autost.aqv"_s)));

    core.pZeile[0].text = u"kept"_s;
    core.AblL();  // cancelled dialog
    ui.fileAnswers << home.file(u"missing.aqv"_s);
    core.AblL();
    EXPECT_EQ(core.pZeile[0].text, u"kept"_s);
    EXPECT_EQ(ui.messages.size(), 2);
    EXPECT_TRUE(ui.messages[1].text.startsWith(u"error: 53, File not found\n"_s));
    EXPECT_TRUE(core.Label3.text.isEmpty());
    core.AblSP_Click();  // cancelled
    EXPECT_FALSE(QFile::exists(home.file(u"aqv_.aqv"_s)));
}

TEST_F(SequenceFile, FileThatIsNotTextChangesNothing)
{
    // A good file first, so that there is a name and an editor text to keep.
    lines({u"MF/0/1/2000"_s, u"MA/0/1/10"_s});
    ui.fileAnswers << home.file(u"gut.aqv"_s);
    core.AblSP_Click();
    ui.fileAnswers << home.file(u"gut.aqv"_s);
    core.AblL();
    ASSERT_TRUE(ui.messages.isEmpty());
    const QByteArray vorher = core.fileText();
    const QString editor = core.TEdit.text;

    QByteArray utf16("\xFF\xFE");
    for (const QChar c : QString::fromLatin1(vorher))
        utf16 += char(c.unicode() & 0xFF) + QByteArray(1, '\0');
    QByteArray nul = vorher;
    nul[5] = '\0';
    // 87 values on one line: the lines of the format are missing.
    QByteArray oneLine = vorher;
    oneLine.replace("\r\n", " ");
    for (const QByteArray& bytes : {utf16, nul, oneLine}) {
        ASSERT_TRUE(writeValueFile(home.file(u"schlecht.aqv"_s), bytes));
        ui.fileAnswers << home.file(u"schlecht.aqv"_s);
        core.AblL();
        EXPECT_EQ(core.fileText(), vorher);
        EXPECT_EQ(core.TEdit.text, editor);
        EXPECT_EQ(core.Label3.text, u"gut.aqv"_s);
        EXPECT_EQ(core.Dateiname, home.file(u"gut.aqv"_s));
    }
    ASSERT_EQ(ui.messages.size(), 3);
    for (const auto& m : ui.messages)
        EXPECT_EQ(m.text, u"error: 62, Input past end of file\n%1 file not found or failure"_s.arg(
                              home.file(u"schlecht.aqv"_s)));
}

TEST_F(SequenceFile, EditorTransferBothWays)
{
    core.TEdit.text = u"A\r\nB\n\nC"_s;
    core.CTST1_Click();
    EXPECT_EQ(core.pZeile[0].text, u"A"_s);
    EXPECT_EQ(core.pZeile[1].text, u"B"_s);
    EXPECT_EQ(core.pZeile[2].text, QString());
    EXPECT_EQ(core.pZeile[3].text, u"C"_s);
    EXPECT_EQ(core.lb_ablauf.items.value(0), u"3\r\n"_s);

    lines({u"MF/0/1/2000"_s, u""_s, u"MA/0/1/10"_s});
    const QByteArray before = core.fileText();
    core.CTST4_Click();
    core.AblaufCompiler();
    EXPECT_EQ(core.fileText(), before);
    EXPECT_EQ(core.lb_ablauf.items.value(0), u"87\r\n"_s);

    core.TEdit.text = QString(200, QLatin1Char('\n')) + u"Z"_s;
    core.AblaufCompiler();  // more lines than the buffer holds: dropped
    EXPECT_EQ(core.pZeile[86].text, QString());
}

TEST_F(SequenceFile, DoubleQuoteCannotEnterALine)
{
    core.pZeile[4].text = u"QV/0/1/\"[0ST]"_s;
    core.pZeile_Change(4);
    EXPECT_EQ(core.pZeile[4].text, u"QV/0/1/[0ST]"_s);
    core.TEdit.text = u"a\"b"_s;
    core.AblaufCompiler();
    EXPECT_EQ(core.pZeile[0].text, u"ab"_s);
    // Nor does a character the file's code page cannot hold (it would be saved as "?").
    core.pZeile[5].text = u"QV/0/1/Ω€ [0ST]"_s;
    core.pZeile_Change(5);
    EXPECT_EQ(core.pZeile[5].text, u"QV/0/1/€ [0ST]"_s);
    core.TEdit.text = u"Ω\nMF/0/1/1000 µ✓"_s;
    core.AblaufCompiler();
    EXPECT_EQ(core.pZeile[0].text, QString());
    EXPECT_EQ(core.pZeile[1].text, u"MF/0/1/1000 µ"_s);
}

}  // namespace
