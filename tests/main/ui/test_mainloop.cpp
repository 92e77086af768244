// The main loop's order and selections, its mailbox time-outs, the guard
// against nested ticks, stale current windows, the registry collections,
// the cascade and the counted suspension of the loop.

#include "MainWindowDoubles.h"

#include "MainLoop.h"

#include <gtest/gtest.h>

namespace {

class MainLoopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        prog.port->sim().setSettings(QStringLiteral("9600"));
        ASSERT_TRUE(prog.port->open());
        prog.transport().Schnittstelle = QStringLiteral("COM");
        post.setParameterIndex = [this](int i) { prog.events << QStringLiteral("Index %1").arg(i); };
    }

    ControlCenterDouble* addControlCenter(int n, const QString& address)
    {
        auto* w = new ControlCenterDouble(prog.events, &prog.transport());
        owned.emplace_back(w);
        w->Tag = n;
        w->list = {QStringLiteral("00-AA"), address};
        w->listIndex = 1;
        post.CC.add(n, w);
        return w;
    }
    ProbeWindowDouble* addProbe(int n)
    {
        auto* w = new ProbeWindowDouble(prog.events);
        owned.emplace_back(w);
        w->Tag = n;
        post.CCT.add(n, w);
        return w;
    }
    void tick()
    {
        prog.events.clear();
        loop.Timer1_Timer();
    }

    SimProgram prog;
    Fensterpostfach post;
    MainLoop loop{post, prog.transport()};
    std::vector<std::unique_ptr<QWidget>> owned;
};

TEST_F(MainLoopTest, TickWithoutWindowsDoesNothingEvenWithSharedWindowsPending)
{
    SimulatorDouble sim(prog.events);
    sim.flagaktiv = 1;
    sim.flagCC = 1;
    post.frm_MSim = &sim;
    tick();
    EXPECT_TRUE(prog.events.isEmpty());
}

TEST_F(MainLoopTest, ServesProbeWindowsControlCentersSimulatorAndControlLoopInOrder)
{
    ControlCenterDouble* cc1 = addControlCenter(1, QStringLiteral("01"));
    ControlCenterDouble* cc2 = addControlCenter(2, QStringLiteral("02"));
    cc2->width_twips = 3000;  // minimised: not polled
    ProbeWindowDouble* probe = addProbe(1);
    ProbeWindowDouble* idleProbe = addProbe(2);
    idleProbe->aktiv_box = 0;
    post.CC_I = 1;
    post.CCT_I = 1;
    probe->flagachsenwechsel = 1;
    probe->flagsenden = 1;
    probe->Befehl = QStringLiteral("[0ST]");
    probe->flagabgleich = 1;

    RecorderDouble recorder(prog.events);
    recorder.FlagEW = 1;
    post.frm_eW = &recorder;
    SimulatorDouble sim(prog.events);
    sim.flagaktiv = 1;
    sim.flagCC = 2;
    post.frm_MSim = &sim;
    ControlLoopDouble loopWindow(prog.events);
    loopWindow.FlagControlparameter = 1;
    loopWindow.FlagRegelkreisaus = 1;
    post.frm_controlparameter = &loopWindow;

    tick();

    const QStringList expected{
        "probe1.Aktualisieren",
        "select 21",
        "probe1.Initialisierung",
        "send [0ST]",
        "probe1.Abgleich",
        "cc1.Aktualisieren",
        "select 01",
        "Index 1",
        "frm_eW.abfragen",
        "frm_MSim.abfragen",
        "select 01",
        "Index 1",
        "frm_MSim.sende",
        "select 01",
        "regelkreisauslesen",
    };
    EXPECT_EQ(prog.events, expected);
    EXPECT_EQ(probe->flagachsenwechsel, 0);
    EXPECT_EQ(probe->flagsenden, 0);
    EXPECT_EQ(probe->antwort, QStringLiteral("[0ST!00000000]"));
    EXPECT_EQ(probe->lb_Fehler, QStringLiteral("[0ST]--->[0ST!00000000]"));
    EXPECT_EQ(probe->flagabgleich, 1) << "calibration keeps running until the window ends it";
    EXPECT_EQ(sim.flagCC, 0);
    EXPECT_EQ(loopWindow.FlagRegelkreisaus, 0);
    EXPECT_EQ(post.Aufzeichnungsschritt, 1);
    EXPECT_EQ(post.status(1), 1);
    EXPECT_EQ(post.status(2), 0);
    EXPECT_EQ(cc1->flagsenden, 0);
}

TEST_F(MainLoopTest, ProbeStoreCommandWaitsThreeSecondsOtherCommandsTheDefault)
{
    prog.bus->unit(QStringLiteral("21"))->setSilent(true);
    ProbeWindowDouble* probe = addProbe(1);
    post.CCT_I = 1;

    probe->flagsenden = 1;
    probe->Befehl = QStringLiteral("[0ff01]");
    double t0 = prog.fakeClock->now();
    tick();
    double waited = prog.fakeClock->now() - t0;
    EXPECT_DOUBLE_EQ(prog.transport().Wartezeit(), 3.0);
    EXPECT_GE(waited, 3.0);
    EXPECT_LT(waited, 3.5);
    EXPECT_EQ(probe->antwort, keine_Antwort);

    probe->flagsenden = 1;
    probe->Befehl = QStringLiteral("[0fP]");
    t0 = prog.fakeClock->now();
    tick();
    waited = prog.fakeClock->now() - t0;
    EXPECT_DOUBLE_EQ(prog.transport().Wartezeit(), protocol::DefaultTimeout);
    EXPECT_LT(waited, 0.5);
    EXPECT_EQ(probe->lb_Fehler, QStringLiteral("[0fP]--->1"));
}

TEST_F(MainLoopTest, RecordingStepResponseConfinesTheTickToTheControlLoopWindow)
{
    ControlCenterDouble* cc = addControlCenter(1, QStringLiteral("01"));
    addProbe(1);
    post.CC_I = 1;
    post.CCT_I = 1;
    cc->flagachsenwechsel = 1;
    ControlLoopDouble loopWindow(prog.events);
    post.frm_controlparameter = &loopWindow;
    loopWindow.FlagControlparameter = 1;
    loopWindow.FlagAufzeichnung = 1;
    post.Flaganzcom = 1;

    // The current control center never answered: nothing at all.
    tick();
    EXPECT_TRUE(prog.events.isEmpty());

    // It answered before: only the recording step runs, and a read request
    // raised by it is served in the same tick.
    post.Statustabelle[1] = 1;
    post.Aufzeichnungsschritt = 7;
    loopWindow.raiseReadDuringRecording = true;
    tick();
    EXPECT_EQ(prog.events, (QStringList{"Diag_Aufzeichnung 7", "regelkreisauslesen"}));
    EXPECT_EQ(loopWindow.FlagAufzeichnung, 1) << "the loop never clears the recording request";
    EXPECT_EQ(cc->flagachsenwechsel, 1);

    // Without FlagControlparameter the window is not served.
    loopWindow.FlagControlparameter = 0;
    tick();
    EXPECT_TRUE(prog.events.isEmpty());
}

TEST_F(MainLoopTest, WriteAndEepromRequestsAreServedOnceAndCleared)
{
    addControlCenter(1, QStringLiteral("01"));
    post.CC_I = 1;
    ControlLoopDouble loopWindow(prog.events);
    post.frm_controlparameter = &loopWindow;
    loopWindow.FlagControlparameter = 1;
    loopWindow.FlagRegelkreisschreiben = 2;
    loopWindow.FlagRegeleeprom = 1;
    tick();
    EXPECT_TRUE(prog.events.contains("regelkreisschreiben"));
    EXPECT_TRUE(prog.events.contains("eepromspeichern"));
    EXPECT_EQ(loopWindow.FlagRegelkreisschreiben, 0);
    EXPECT_EQ(loopWindow.FlagRegeleeprom, 0);
    tick();
    EXPECT_FALSE(prog.events.contains("regelkreisschreiben"));
}

TEST_F(MainLoopTest, ConfigurationReloadInitialisesEveryControlCenterOnce)
{
    ControlCenterDouble* cc1 = addControlCenter(1, QStringLiteral("01"));
    ControlCenterDouble* cc2 = addControlCenter(2, QStringLiteral("02"));
    cc1->FlagAuslesen = 1;
    cc2->FlagAuslesen = 1;
    cc2->initResult = 0;      // its unit does not answer: no read-out
    cc2->width_twips = 2400;  // minimised: initialised, not polled
    post.com_motflag = 1;

    tick();
    EXPECT_EQ(prog.events,
              (QStringList{"cc1.Initialisierung", "cc1.auslesen", "cc1.Aktualisieren", "cc2.Initialisierung"}));
    EXPECT_EQ(post.com_motflag, 0);
    EXPECT_EQ(post.status(2), 0);

    tick();
    EXPECT_EQ(prog.events, (QStringList{"cc1.Aktualisieren"}));
}

TEST_F(MainLoopTest, InitialisationRequestEndsAlsoWhenTheLastWindowClosesDuringThePass)
{
    ControlCenterDouble* cc1 = addControlCenter(1, QStringLiteral("01"));
    ControlCenterDouble* cc2 = addControlCenter(2, QStringLiteral("02"));
    cc1->onRefresh = [&] { post.CC_entfernen(*cc2); };
    post.com_motflag = 1;
    tick();
    EXPECT_EQ(prog.events.count(QStringLiteral("cc1.Initialisierung")), 1);
    EXPECT_EQ(post.com_motflag, 0);
    tick();
    EXPECT_EQ(prog.events.count(QStringLiteral("cc1.Initialisierung")), 0) << "not again on every tick";
}

TEST_F(MainLoopTest, AxisChangeOnTheCurrentControlCenterReinitialisesAndReadsOut)
{
    ControlCenterDouble* cc = addControlCenter(1, QStringLiteral("02"));
    post.CC_I = 1;
    cc->width_twips = 1000;
    cc->flagachsenwechsel = 1;
    cc->FlagAuslesen = 1;
    tick();
    EXPECT_EQ(prog.events, (QStringList{"select 02", "Index 1", "cc1.Initialisierung", "cc1.auslesen"}));
    EXPECT_EQ(cc->flagachsenwechsel, 0);
    EXPECT_EQ(post.status(1), 1);
}

TEST_F(MainLoopTest, StaleCurrentNumbersSkipTheCurrentWindowSteps)
{
    addControlCenter(1, QStringLiteral("01"));
    addControlCenter(3, QStringLiteral("02"));
    ProbeWindowDouble* probe = addProbe(1);
    probe->flagsenden = 1;
    probe->Befehl = QStringLiteral("[0ST]");
    SimulatorDouble sim(prog.events);
    sim.flagaktiv = 1;
    post.frm_MSim = &sim;
    // The current windows closed while others stayed open.
    post.CC_I = 2;
    post.CCT_I = 2;

    tick();
    EXPECT_EQ(prog.events,
              (QStringList{"probe1.Aktualisieren", "cc1.Aktualisieren", "cc3.Aktualisieren", "frm_MSim.abfragen"}));
    EXPECT_EQ(probe->flagsenden, 1) << "only the current probe window's mailbox is served";
}

TEST_F(MainLoopTest, WindowThatClosesDuringTheTickIsNotCalledAgain)
{
    ControlCenterDouble* cc1 = addControlCenter(1, QStringLiteral("01"));
    ControlCenterDouble* cc2 = addControlCenter(2, QStringLiteral("02"));
    post.CC_I = 2;
    cc1->onRefresh = [&] { post.CC_entfernen(*cc2); };
    tick();
    EXPECT_EQ(prog.events, (QStringList{"cc1.Aktualisieren"}));
    EXPECT_EQ(post.CC.keys(), QStringList{"k1"});
}

TEST_F(MainLoopTest, TickStartedWhileABoxIsOpenInsideATickReturnsAtOnce)
{
    ControlCenterDouble* cc = addControlCenter(1, QStringLiteral("01"));
    post.CC_I = 1;
    cc->pollCommand = QStringLiteral("[1GX]");
    prog.bus->unit(QStringLiteral("01"))->rejectNext(QStringLiteral("[1GX"), 0x001D);

    QStringList duringBox;
    prog.dialogs->onMessage = [&](const RecordingUiServices::Message&) {
        const qsizetype before = prog.events.size();
        loop.Timer1_Timer();  // the 1 ms timer fires inside the modal box
        duringBox = prog.events.mid(before);
    };
    tick();
    ASSERT_EQ(prog.dialogs->messages.size(), 1);
    EXPECT_TRUE(prog.dialogs->messages.first().text.startsWith(QStringLiteral("[1GX?001D]")));
    EXPECT_TRUE(duringBox.isEmpty()) << duringBox.join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(loop.skippedNestedTicks(), 1);
    EXPECT_FALSE(loop.inTick());

    // The next regular tick runs in full again.
    prog.dialogs->onMessage = nullptr;
    cc->pollCommand.clear();
    tick();
    EXPECT_TRUE(prog.events.contains("cc1.Aktualisieren"));
}

TEST(WindowCollection, KeysFollowNumbersAndRemovalEmptiesTheCurrentNumber)
{
    EventLog log;
    Fensterpostfach post;
    ControlCenterDouble a(log), b(log), c(log);
    a.Tag = 1;
    b.Tag = 2;
    c.Tag = 3;
    EXPECT_TRUE(post.CC.add(1, &a));
    EXPECT_TRUE(post.CC.add(2, &b));
    EXPECT_TRUE(post.CC.add(3, &c));
    EXPECT_FALSE(post.CC.add(4, &a)) << "a window is never registered twice";
    EXPECT_FALSE(post.CC.add(2, &c)) << "a number is never used twice";
    post.CC_Aktivieren(2);
    post.CC_entfernen(b);
    EXPECT_EQ(post.CC.keys(), (QStringList{"k1", "k3"}));
    EXPECT_EQ(post.currentControlCenter(), nullptr);
    post.CC_entfernen(b);  // not registered any more: nothing happens
    post.CC_entfernen(a);
    post.CC_entfernen(c);
    EXPECT_EQ(post.CC_I, 0);
    EXPECT_EQ(post.CC.item(QStringLiteral("k1")), nullptr);
}

TEST(Cascade, ControlCentersRunThroughWholeAndHalfPositions)
{
    CascadeCounter k;
    QList<double> positions;
    for (int i = 1; i <= 24; ++i)
        positions << k.next() * 300;
    EXPECT_EQ(positions.at(0), 300);
    EXPECT_EQ(positions.at(10), 3300);
    EXPECT_EQ(positions.at(11), 150);
    EXPECT_EQ(positions.at(22), 3450);
    EXPECT_EQ(positions.at(23), 300);
}

TEST(Cascade, ProbeWindowsSitAtTheirNumberAndWrapPastTheLastPosition)
{
    EXPECT_EQ(probePositionTwips(1), 300);
    EXPECT_EQ(probePositionTwips(109), 32700);
    EXPECT_EQ(probePositionTwips(110), 300);
}

TEST(Timer1Suspension, LoopRunsAgainOnlyWhenTheLastHolderLetsGo)
{
    MainLoopHolders eventLock;
    EXPECT_TRUE(eventLock.hold(QStringLiteral("mnuMGED")));
    EXPECT_FALSE(eventLock.hold(QStringLiteral("mnuTablett")));
    EXPECT_FALSE(eventLock.hold(QStringLiteral("mnuMGED"))) << "holding twice under one name counts once";
    EXPECT_FALSE(eventLock.release(QStringLiteral("mnuMGED")));
    EXPECT_TRUE(eventLock.held()) << "the path table still owns the bus";
    EXPECT_FALSE(eventLock.release(QStringLiteral("mnuMGED"))) << "a second release changes nothing";
    EXPECT_TRUE(eventLock.release(QStringLiteral("mnuTablett")));
    EXPECT_FALSE(eventLock.held());
}

}  // namespace
