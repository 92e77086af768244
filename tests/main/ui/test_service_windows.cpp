// The small service windows: the communication log's filter and cap, the
// register read-out with its table and time-out, the recording window's
// lines and the error dialog.

#include "MainWindowDoubles.h"

#include "CommLog.h"
#include "ServiceWindows.h"
#include "frm_aufzeichnen.h"
#include "frm_communication.h"
#include "frm_meldung.h"
#include "frm_rr.h"
#include "frm_wait.h"

#include <QCheckBox>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

TEST(CommunicationWindow, FilterBoxSwitchesTheLogRuleAndTheViewShowsNewestFirst)
{
    SimProgram prog;
    CommLog& log = prog.core->log();
    frm_communication w(log);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Communication"));
    EXPECT_EQ(w.cb_an_aus->text(), QStringLiteral("Check1"));

    prog.port->sim().setSettings(QStringLiteral("9600"));
    ASSERT_TRUE(prog.port->open());
    BusTransport& bus = prog.transport();
    bus.einheit_waehlen(QStringLiteral("01"));

    w.cb_an_aus->setChecked(true);
    bus.senden_empfangen(QStringLiteral("[1PA]"));
    bus.senden_empfangen(QStringLiteral("[0ST]"));
    w.cb_an_aus->setChecked(false);
    bus.senden_empfangen(QStringLiteral("[0VN]"));

    const QAbstractItemModel* view = w.lbox_comm->model();
    ASSERT_EQ(view->rowCount(), 2);
    EXPECT_TRUE(view->index(0, 0).data().toString().startsWith(QStringLiteral("[0VN]-->")));
    EXPECT_EQ(view->index(1, 0).data().toString(), QStringLiteral("01 [0ST]-->[0ST!00000000]"));
}

TEST(CommunicationWindow, KeepsTheNewestThousandLines)
{
    CommLog log;
    frm_communication w(log);
    for (int i = 0; i <= CommLog::MaxLines; ++i)
        log.logExchange(QStringLiteral("[0ST]"), QString::number(i), QString());
    const QAbstractItemModel* view = w.lbox_comm->model();
    EXPECT_EQ(view->rowCount(), 1000);
    EXPECT_EQ(view->index(0, 0).data().toString(), QStringLiteral("[0ST]-->1000"));
    EXPECT_EQ(view->index(999, 0).data().toString(), QStringLiteral("[0ST]-->1"));
}

TEST(RegisterReadout, CaptionsNameEveryRegisterInOneColumn)
{
    EXPECT_EQ(RegisterReadout::registerName(0), QStringLiteral("Flag Register"));
    EXPECT_EQ(RegisterReadout::registerNumber(29), 0x1D);
    EXPECT_EQ(RegisterReadout::registerNumber(30), 0x20);
    EXPECT_EQ(RegisterReadout::registerName(45), QStringLiteral("Capture Count CSB)"));
    EXPECT_TRUE(RegisterReadout::caption(77).endsWith(QStringLiteral("$6A")));
    EXPECT_TRUE(RegisterReadout::caption(0).startsWith(QStringLiteral("Flag Register ")));
    const qsizetype column = RegisterReadout::caption(0).indexOf(QLatin1Char('$'));
    for (int i = 0; i < RegisterReadout::RowCount; ++i)
        EXPECT_EQ(RegisterReadout::caption(i).indexOf(QLatin1Char('$')), column) << i;
    EXPECT_TRUE(RegisterReadout::caption(78).isEmpty());
}

TEST(RegisterReadout, RowsTakeTwoCharactersEachAfterTheEcho)
{
    QString digits;
    for (int i = 0; i < 78; ++i)
        digits += QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper();
    const QString full = QStringLiteral("[1ra!") + digits + QStringLiteral("]");
    ASSERT_EQ(full.size(), RegisterReadout::ReplyLength);
    const QStringList rows = RegisterReadout::registerValues(full);
    ASSERT_EQ(rows.size(), 78);
    EXPECT_EQ(rows.first(), QStringLiteral("00"));
    EXPECT_EQ(rows.at(10), QStringLiteral("0A"));
    EXPECT_EQ(rows.last(), QStringLiteral("4D"));

    const QStringList cut = RegisterReadout::registerValues(full.left(30));
    EXPECT_EQ(cut.at(11), QStringLiteral("0B"));
    EXPECT_EQ(cut.at(12), QStringLiteral("0")) << "half a byte is all that came";
    EXPECT_TRUE(cut.at(13).isEmpty());
    for (const QString& r : RegisterReadout::registerValues(keine_Antwort))
        EXPECT_TRUE(r.isEmpty());
}

TEST(RegisterReadout, TimeOutCoversTheWholeReplyOnTheWire)
{
    const double wireAt9600 = (5.0 + RegisterReadout::ReplyLength) * 10 / 9600;
    EXPECT_GT(RegisterReadout::timeout(QStringLiteral("9600")), wireAt9600);
    EXPECT_GT(RegisterReadout::timeout(QStringLiteral("0")), wireAt9600) << "unknown rate counts as the slowest";
    EXPECT_DOUBLE_EQ(RegisterReadout::timeout(QStringLiteral("115200")), 0.15);
}

TEST(RegisterReadout, WindowShowsAFullReplyThatArrivesAtLineSpeed)
{
    SimProgram prog;
    QByteArray digits;
    for (int i = 0; i < 78; ++i)
        digits += QByteArray::number(0xA0 + i % 16, 16).toUpper();
    prog.bus->unit(QStringLiteral("01"))->setRegisters(digits);
    prog.bus->setPacing(true);
    prog.port->sim().setSettings(QStringLiteral("9600"));
    ASSERT_TRUE(prog.port->open());
    BusTransport& bus = prog.transport();
    bus.baudText = QStringLiteral("9600");
    bus.einheit_waehlen(QStringLiteral("01"));

    frm_rr w(bus);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("[1ra]"));
    ASSERT_EQ(w.lb_registerwert.size(), 78);
    EXPECT_EQ(w.lb_register.at(5)->text(), RegisterReadout::caption(5));
    w.cmd_rr->click();
    EXPECT_EQ(w.lb_registerwert.at(0)->text(), QStringLiteral("A0"));
    EXPECT_EQ(w.lb_registerwert.at(77)->text(), QStringLiteral("AD")) << "the last register arrived in time";
    EXPECT_TRUE(w.cmd_rr->isEnabled());

    // A unit that does not answer blanks every row.
    prog.bus->unit(QStringLiteral("01"))->setSilent(true);
    w.cmd_rr_Click();
    EXPECT_TRUE(w.lb_registerwert.at(0)->text().isEmpty());
}

TEST(Recording, LinesJoinLabelAndReplyWithoutTheStatusCharacter)
{
    const QString reply = QStringLiteral("[1PA!001234]");
    EXPECT_EQ(Aufzeichnung::zeile(reply, QStringLiteral("Zeile 12 ")), QStringLiteral("Zeile 1[1PA001234]\r\n"));
    EXPECT_EQ(Aufzeichnung::zeile(reply, QStringLiteral("x"))->size(), 1 + 4 + 7 + 2);
    EXPECT_EQ(Aufzeichnung::zeile(QStringLiteral("[1BR"), QStringLiteral("abcdefgh")),
              QStringLiteral("abcdefg[1BR\r\n"));
    EXPECT_FALSE(Aufzeichnung::zeile(keine_Antwort, QStringLiteral("abc")).has_value());
}

TEST(Recording, WindowStartsWithThreeLinesAndShowsWhatWasRecorded)
{
    frm_aufzeichnen w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Aufzeichnung"));
    EXPECT_EQ(w.Text1->toPlainText().split(QLatin1Char('\n')).size(), 3);
    EXPECT_TRUE(w.schreibe(QStringLiteral("1"), QStringLiteral("Zeile 1")).isEmpty());
    EXPECT_TRUE(w.Text1->toPlainText().startsWith(QStringLiteral("zeile1"))) << "a missing reply changes nothing";
    w.schreibe(QStringLiteral("[0ST!00000000]"), QStringLiteral("Zeile 1"));
    w.schreibe(QStringLiteral("[1PA!000010]"), QStringLiteral("Zeile 2"));
    EXPECT_EQ(w.recorded(), QStringLiteral("Zeile 1[0ST00000000]\r\nZeile 2[1PA000010]\r\n"));
    EXPECT_TRUE(w.Text1->toPlainText().startsWith(QStringLiteral("Zeile 1[0ST")));
    w.Command1->click();
    EXPECT_TRUE(w.recorded().isEmpty());
    EXPECT_TRUE(w.Text1->toPlainText().isEmpty());
}

TEST(ErrorDialog, ButtonsAnswerStopTheCurrentAxisOrAbort)
{
    EventLog log;
    Fensterpostfach post;
    frm_meldung w(post);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Fehler!!"));
    w.laden(QStringLiteral("[1FA00000010]"), QString());
    EXPECT_EQ(w.Label1->text(), QStringLiteral("Bei dem Befehl [1FA00000010] ist die Fehlermeldung  aufgetreten!"));

    w.laden(QStringLiteral("[1FA00000010]"), QStringLiteral("[1FA?0013]"));
    EXPECT_EQ(w.rueckgabe, QStringLiteral("[1FA?0013]"));
    w.Command1_Click(1);  // no control center open: nothing to stop, nothing breaks
    ControlCenterDouble cc(log);
    cc.Tag = 1;
    post.CC.add(1, &cc);
    post.CC_Aktivieren(1);
    w.show();
    w.Command1.at(1)->click();
    EXPECT_EQ(cc.Befehl_senden, QStringLiteral("[1BR]"));
    EXPECT_EQ(cc.flagsenden, 1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.rueckgabe, QStringLiteral("[1FA?0013]"));
    w.Command1_Click(2);
    EXPECT_EQ(w.rueckgabe, QStringLiteral("888"));
}

TEST(WaitWindow, ProgressRunsOverTheThirtyOneAddresses)
{
    frm_wait w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Warten"));
    EXPECT_EQ(w.Label1->text(), QStringLiteral("Bitte warten!"));
    EXPECT_EQ(w.pb_ladeleiste->minimum(), 0);
    EXPECT_EQ(w.pb_ladeleiste->maximum(), 30);
}

}  // namespace
