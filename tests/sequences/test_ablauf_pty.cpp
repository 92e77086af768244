// Golden runs of the sequence interpreter over a real serial port: a
// pseudo-terminal served by kelvane-bussim with the demonstration bus.
#include "AblaufCore.h"
#include "BusSimProcess.h"
#include "Clock.h"
#include "MultitermCore.h"
#include "SerialPort.h"
#include "UiServices.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class AblaufPty : public ::testing::Test
{
protected:
    void SetUp() override
    {
        sim = std::make_unique<BusSimProcess>(QStringList{u"--demo"_s});
        ASSERT_FALSE(sim->path().isEmpty()) << "kelvane-bussim printed no path";
        port = std::make_unique<QtSerialPort>(PortMap());
        ASSERT_TRUE(port->openPath(sim->path(), 9600)) << port->lastError().toStdString();
        AblaufEnv env;
        env.port = port.get();
        env.clock = &clock;
        env.ui = &ui;
        core = std::make_unique<AblaufCore>(env);
    }

    void run(const QStringList& lines)
    {
        for (int i = 0; i < AblaufCore::MaxRows; ++i)
            core->pZeile[i].text = lines.value(i);
        core->CStart_Click();
        core->runToEnd();
    }

    QString questionText(const QString& command)
    {
        core->VTyp.value = 0;
        core->VBox.value = 1;
        core->TSenden.text = command;
        core->CSenden_Click();
        core->Timer1_Timer();
        return core->Handantwort;
    }

    SteadyClock clock;
    RecordingUiServices ui;
    std::unique_ptr<BusSimProcess> sim;
    std::unique_ptr<QtSerialPort> port;
    std::unique_ptr<AblaufCore> core;
};

TEST_F(AblaufPty, MoveRunsToItsEnd)
{
    run({u"MF/0/1/2000"_s, u"MA/0/1/10"_s});
    EXPECT_EQ(core->LHinweis.text, u" Ablauf Ende "_s);
    EXPECT_EQ(core->Fehlerzahl, 0);
    EXPECT_EQ(questionText(u"[1PA]"_s), u"[1PA!00000014]"_s);
}

TEST_F(AblaufPty, RepeatCountsCycles)
{
    for (int i = 0; i < AblaufCore::MaxRows; ++i)
        core->pZeile[i].text = QStringList{u"MF/0/1/1000"_s, u"MR/0/1/1"_s, u"**"_s}.value(i);
    core->CStart_Click();
    QStringList cycles;
    while (core->isRunning() && core->Zyklen < 3) {
        const int before = core->Zyklen;
        core->step();
        if (core->Zyklen != before)
            cycles << core->lNA.text;
    }
    core->CStop_Click();
    core->runToEnd();
    EXPECT_EQ(cycles, (QStringList{u"1"_s, u"2"_s, u"3"_s}));
    EXPECT_EQ(questionText(u"[1PA]"_s), u"[1PA!00000003]"_s);
}

TEST_F(AblaufPty, SilentUnitStopsAndRejectionIsCounted)
{
    run({u"MF/0/5/1000"_s, u"MA/0/5/1"_s, u"CE/1"_s});
    EXPECT_EQ(core->Fehlerzahl, 1);
    EXPECT_EQ(core->LHinweis.text, u" Ablauf Stopp "_s);
    EXPECT_EQ(core->LED.colour, AblaufCore::Red);

    // "[1GY]" runs to the minus switch without meeting an index mark.
    run({u"GY/0/1"_s, u"CE/1"_s});
    EXPECT_EQ(core->Fehlerzahl, 2);
    EXPECT_EQ(core->lb_ablauf.items.value(0), u"GY/0/1[1GY?001D]"_s);
    EXPECT_EQ(core->LHinweis.text, u" Ablauf Ende "_s);
}

TEST_F(AblaufPty, TerminalRowsOverTheRealPort)
{
    MultitermEnv env;
    env.port = port.get();
    env.clock = &clock;
    env.ui = &ui;
    MultitermCore t(env);
    t.Form_Load();
    t.Cosend_Click(15);  // "[0ST]" at the selectors' DC2 "01"
    EXPECT_EQ(t.tempf[15].text, u"[0ST!00000000]"_s);
    t.Text1[3].text = u"02"_s;
    t.tsend[3].text = u"x[0VN]y"_s;
    t.Cosend_Click(3);
    EXPECT_EQ(t.tempf[3].text, u"[0VN!Mot V1]"_s);
    t.Cosend_Click(0);
    EXPECT_EQ(t.tempf[0].text, u"!?"_s);
    t.Text1[4].text = u"FE"_s;
    t.tsend[4].text = u"[0ST]"_s;
    t.Cosend_Click(4);
    EXPECT_TRUE(t.tempf[4].text.isEmpty());
    t.chWaitpos.checked = false;
    t.chWaitpos_Click();
    t.Text1[5].text = u"05"_s;
    t.tsend[5].text = u"[0ST]"_s;
    for (int i : {3, 5, 15})
        t.csend[i].checked = true;
    t.CSenden_Click();
    EXPECT_EQ(t.tempf[5].text, u"?"_s);
    EXPECT_TRUE(t.tempf[15].text.isEmpty());
    EXPECT_EQ(t.lDauer.text, MultitermCore::NoConnection);
    EXPECT_EQ(t.Fehlerzaehler, 1);
}

}  // namespace
