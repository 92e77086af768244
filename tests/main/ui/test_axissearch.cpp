// The axis search and the address lists against the simulated bus: which
// rate the probe settles on and what it stores, which units the scan lists
// (and that a scale board and a silent or closed bus list none), the scan's
// time-out, the same on the USB bridge, the program's lock during the scan,
// and what the two list entries do to the control centers and the other
// windows' address lists.

#include "MainWindowDoubles.h"

#include "Achsensuche.h"
#include "frm_main.h"
#include "frm_wait.h"

#include <QAction>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

namespace {

const QString Startup = QStringLiteral("Startup");

// The list a search gives with units at the given addresses.
QStringList listWith(std::initializer_list<int> found)
{
    QStringList l{QStringLiteral("00-AA")};
    for (int i = 1; i < 31; ++i)
        l << QString();
    for (int i : found)
        l[i] = QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper();
    return l;
}

class AxisSearchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const QString& a : prog.bus->addresses())
            prog.bus->removeUnit(a);
        main = std::make_unique<frm_main>(*prog.core);
        main->setControlCenterFactory([this]() -> IControlCenter* {
            if (factoryThrowsAt > 0 && main->Fensterzaehler() == factoryThrowsAt)
                throw std::runtime_error("window could not be created");
            return new ControlCenterDouble(prog.events, &prog.transport());
        });
        main->setAddressListTarget(QStringLiteral("frm_Download"), [this](const QStringList& l) { downloadList = l; });
        main->setAddressListTarget(QStringLiteral("frm_Berechnung"),
                                   [this](const QStringList& l) { parameterList = l; });
    }

    void units(const QList<QPair<QString, int>>& list)
    {
        for (const auto& u : list)
            prog.bus->addUnit(u.first, u.second);
    }
    void startOnCom1(const QString& baud)
    {
        prog.remember(QStringLiteral("1"), baud);
        main->MDIForm_Load();
        ASSERT_TRUE(prog.dialogs->messages.isEmpty());
        ASSERT_TRUE(prog.port->isOpen());
    }
    // USB mode with the bridge's first device open at `baud`.
    void startOnUsb(const QString& baud)
    {
        // The USB exchange reads byte by byte and reads the clock for each;
        // at the default half millisecond a clock read, a 15-character reply
        // alone would use up most of a 10 ms time-out.
        prog.fakeClock->setAutoStep(0.0001);
        BusTransport& t = prog.transport();
        t.Schnittstelle = QStringLiteral("USB");
        UsbHandle h = 0;
        ASSERT_EQ(prog.bridge->SI_Open(0, &h), si::SUCCESS);
        t.USBHandle = h;
        ASSERT_EQ(prog.bridge->SI_SetBaudRate(h, baud.toUInt()), si::SUCCESS);
        main->setAuswerten_baud(baud);
        main->setAuswerten_com(QStringLiteral("USB"));
    }
    void click(const QString& name) { main->menuEntry(name)->trigger(); }
    QString stored() { return prog.remembered(QStringLiteral("Backup_Settings")); }
    ControlCenterDouble* cc(int n) const { return dynamic_cast<ControlCenterDouble*>(main->CC.item(n)); }

    SimProgram prog;
    std::unique_ptr<frm_main> main;
    QStringList downloadList;
    QStringList parameterList;
    int factoryThrowsAt = 0;
};

// --- The search on the serial port ---------------------------------------------

TEST_F(AxisSearchTest, FindsTheMotorUnitsLeavesTheScaleBoardOutAndOpensTheirControlCenters)
{
    units({{"03", 38400}, {"0A", 38400}, {"11", 38400}});
    startOnCom1(QStringLiteral("38400"));
    click(QStringLiteral("mnuAchsenSuche"));

    EXPECT_EQ(main->Achsenliste, listWith({3, 10}));
    EXPECT_EQ(stored(), QStringLiteral("38400"));
    EXPECT_EQ(main->auswerten_baud(), QStringLiteral("38400"));
    EXPECT_EQ(prog.transport().baudText, QStringLiteral("38400"));
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_EQ(prog.bus->hostBaud(), 38400);
    // Every address was asked, the scale board too.
    EXPECT_TRUE(prog.bus->traffic().contains(qMakePair(QStringLiteral("11"), QStringLiteral("[0VN]"))));
    // The other windows' lists carry the result; the program is usable again.
    EXPECT_EQ(downloadList, main->Achsenliste);
    EXPECT_EQ(parameterList, main->Achsenliste);
    EXPECT_TRUE(main->menuEntry(QStringLiteral("mnuAchsenAus(1)"))->isEnabled());
    EXPECT_FALSE(main->menuEntry(QStringLiteral("mnuAchsenAus(1)"))->isChecked());
    EXPECT_FALSE(main->menuEntry(QStringLiteral("mnuAchsenAus(2)"))->isChecked());
    EXPECT_TRUE(main->menuEntry(QStringLiteral("mnuKontroll"))->isEnabled());
    EXPECT_TRUE(main->isTimer1Running());
    EXPECT_TRUE(main->timer1Holders().isEmpty());
    EXPECT_TRUE(main->waitWindow()->isHidden());
    EXPECT_EQ(main->waitWindow()->pb_ladeleiste->value(), 0);

    click(QStringLiteral("mnuAchsenAus(1)"));
    ASSERT_EQ(main->CC.count(), 2);
    EXPECT_EQ(cc(1)->listIndex, 3);
    EXPECT_EQ(cc(2)->listIndex, 10);
    for (int n : {1, 2}) {
        EXPECT_EQ(cc(n)->list, main->Achsenliste);
        EXPECT_TRUE(main->subWindowOf(cc(n))->isMinimized());
        EXPECT_TRUE(prog.events.contains(cc(n)->name() + QStringLiteral(".Initialisierung")));
    }
    EXPECT_EQ(main->com_motflag, 1);
    EXPECT_EQ(main->flagautomatik, 0);
    EXPECT_TRUE(main->menuEntry(QStringLiteral("mnuAchsenAus(1)"))->isChecked());
    EXPECT_FALSE(main->menuEntry(QStringLiteral("mnuAchsenAus(2)"))->isChecked());

    // A control center opened by hand afterwards opens normally, with the list.
    main->mnuKontroll_Click();
    EXPECT_EQ(cc(3)->list, main->Achsenliste);
    EXPECT_FALSE(main->subWindowOf(cc(3))->isMinimized());
}

TEST_F(AxisSearchTest, ProbeSettlesOnTheFirstRateAtWhichUnitOneAnswers)
{
    units({{"01", 57600}, {"05", 57600}, {"06", 9600}});
    startOnCom1(QStringLiteral("9600"));
    click(QStringLiteral("mnuAchsenSuche"));

    EXPECT_EQ(prog.port->settings(), QStringLiteral("57600"));
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_EQ(prog.bus->hostBaud(), 57600);
    EXPECT_EQ(stored(), QStringLiteral("57600"));
    EXPECT_EQ(main->auswerten_baud(), QStringLiteral("57600"));
    // The unit left at the old rate is not heard any more.
    EXPECT_EQ(main->Achsenliste, listWith({1, 5}));
}

TEST_F(AxisSearchTest, WithNoUnitTheOldSettingsComeBack)
{
    startOnCom1(QStringLiteral("19200"));
    click(QStringLiteral("mnuAchsenSuche"));

    EXPECT_EQ(prog.port->settings(), QStringLiteral("19200"));
    EXPECT_TRUE(prog.port->isOpen());
    EXPECT_EQ(prog.bus->hostBaud(), 19200);
    EXPECT_EQ(stored(), QStringLiteral("19200"));
    EXPECT_EQ(main->auswerten_baud(), QStringLiteral("19200"));
    EXPECT_EQ(main->Achsenliste, listWith({}));
    EXPECT_TRUE(main->menuEntry(QStringLiteral("mnuAchsenAus(1)"))->isEnabled());

    // An empty search result opens no control center.
    click(QStringLiteral("mnuAchsenAus(1)"));
    EXPECT_TRUE(main->CC.isEmpty());
    EXPECT_EQ(main->flagautomatik, 0);
}

TEST_F(AxisSearchTest, OnAClosedPortNothingIsFoundAndThePortStaysClosed)
{
    units({{"01", 9600}, {"02", 9600}});
    startOnCom1(QStringLiteral("9600"));
    prog.port->close();
    prog.takeEvents();
    click(QStringLiteral("mnuAchsenSuche"));

    EXPECT_EQ(main->Achsenliste, listWith({}));
    EXPECT_FALSE(prog.port->isOpen());
    EXPECT_EQ(prog.port->settings(), QStringLiteral("9600"));
    EXPECT_EQ(stored(), QStringLiteral("9600"));
    EXPECT_TRUE(prog.takeEvents().isEmpty());
    EXPECT_TRUE(main->isTimer1Running());
}

TEST_F(AxisSearchTest, APortThatRefusesARateEndsTheProbeWithTheOldText)
{
    units({{"01", 38400}});
    startOnCom1(QStringLiteral("9600"));
    // The adapter vanishes while the probe switches to 19200.
    int closes = 0;
    prog.port->onClose = [this, &closes] {
        if (++closes == 2)
            prog.port->present.remove(1);
    };
    click(QStringLiteral("mnuAchsenSuche"));

    EXPECT_EQ(prog.port->settings(), QStringLiteral("9600"));
    EXPECT_EQ(stored(), QStringLiteral("9600"));
    EXPECT_FALSE(prog.port->isOpen());
    EXPECT_EQ(main->Achsenliste, listWith({}));
    EXPECT_TRUE(prog.bus->unit(QStringLiteral("01"))->received().isEmpty());
    EXPECT_TRUE(main->menuEntry(QStringLiteral("mnuKontroll"))->isEnabled());
}

TEST_F(AxisSearchTest, DuringTheScanTheProgramIsLockedAndShowsTheAddress)
{
    units({{"01", 9600}, {"0A", 9600}});
    startOnCom1(QStringLiteral("9600"));
    std::optional<bool> waitShown, menusLocked, loopRunning;
    std::optional<int> bar;
    prog.bus->unit(QStringLiteral("0A"))
        ->setHandler(QStringLiteral("0VN"), [&](SimUnit&, const SimCommand&) -> std::optional<QByteArray> {
            waitShown = main->waitWindow()->isVisible();
            menusLocked = !main->menuEntry(QStringLiteral("mnuKontroll"))->isEnabled();
            loopRunning = main->isTimer1Running();
            bar = main->waitWindow()->pb_ladeleiste->value();
            return std::nullopt;
        });
    click(QStringLiteral("mnuAchsenSuche"));

    EXPECT_EQ(waitShown, true);
    EXPECT_EQ(menusLocked, true);
    EXPECT_EQ(loopRunning, false);
    EXPECT_EQ(bar, 9);  // address 9 done, 10 being asked
    EXPECT_EQ(main->Achsenliste, listWith({1, 10}));
    EXPECT_TRUE(main->waitWindow()->isHidden());
}

// --- The scan's time-out ------------------------------------------------------------

TEST(AxisSearchTimeout, ComesFromTheFirstThreeCharactersOfTheBaudText)
{
    EXPECT_DOUBLE_EQ(Achsensuche::scanTimeout(QStringLiteral("9600")), 0.02);
    for (const char* fast : {"19200", "38400", "57600", "115200", "256000"})
        EXPECT_DOUBLE_EQ(Achsensuche::scanTimeout(QLatin1String(fast)), 0.01) << fast;
    for (const char* other : {"0", "", "4800", "230400"})
        EXPECT_DOUBLE_EQ(Achsensuche::scanTimeout(QLatin1String(other)), 0.0) << other;
}

TEST_F(AxisSearchTest, AUnitThatAnswersIn15msIsFoundAtItsOwnAddressAtEveryRate)
{
    units({{"01", 9600}, {"07", 9600}});
    prog.bus->unit(QStringLiteral("07"))->setReplyDelay(0.015);
    startOnCom1(QStringLiteral("9600"));
    click(QStringLiteral("mnuAchsenSuche"));
    EXPECT_EQ(main->Achsenliste, listWith({1, 7}));

    prog.bus->unit(QStringLiteral("01"))->setBaud(19200);
    prog.bus->unit(QStringLiteral("07"))->setBaud(19200);
    click(QStringLiteral("mnuAchsenSuche"));
    EXPECT_EQ(stored(), QStringLiteral("19200"));
    // Past the 10 ms the faster rates give, the address waits once more
    // for a late reply before the next one is selected.
    EXPECT_EQ(main->Achsenliste, listWith({1, 7}));
}

// On a line that carries the bytes at 9600 baud, as a real port does, the
// selection, "[0VN]" and the version reply alone take most of the 20 ms each
// address is given; the reply that has begun in time is still read whole.
TEST_F(AxisSearchTest, OnALineAtItsRealSpeedTheScanFindsEveryUnit)
{
    prog.bus->setPacing(true);
    units({{"01", 9600}, {"05", 9600}, {"0A", 9600}, {"1E", 9600}});
    prog.bus->unit(QStringLiteral("0A"))->setReplyDelay(0.004);
    // Late by its turnaround and a USB adapter's latency timer: still listed
    // at its own address, not at the next one.
    prog.bus->unit(QStringLiteral("05"))->setReplyDelay(0.03);
    prog.bus->unit(QStringLiteral("1E"))->setVersion(QStringLiteral("Mot V1.00"));
    startOnCom1(QStringLiteral("9600"));
    const double start = prog.fakeClock->now();
    click(QStringLiteral("mnuAchsenSuche"));
    EXPECT_EQ(stored(), QStringLiteral("9600"));
    EXPECT_EQ(main->Achsenliste, listWith({1, 5, 10, 30}));
    // An address nobody answers still costs its time-out twice and no more
    // than the wire time on top: the whole search stays within a few seconds.
    EXPECT_LT(prog.fakeClock->now() - start, 3.0);

    // A stray message that pauses inside its frame while 01 and 02 are
    // asked credits no reply to the wrong address.
    Achsensuche axisSearch(prog.transport());
    const double timeout = Achsensuche::scanTimeout(QStringLiteral("9600"));
    prog.bus->addUnit(QStringLiteral("02"), 9600);
    prog.bus->strayBytes("[9XX!ST", prog.fakeClock->now() + 0.07);
    prog.bus->strayBytes("RAY]", prog.fakeClock->now() + 0.12);
    EXPECT_EQ(axisSearch.addressScan(timeout), listWith({1, 2, 5, 10, 30}));
    // A far end that streams without pause at the line's full speed holds
    // the search hardly longer than a silent bus, and nothing is listed.
    prog.bus->strayBytes(QByteArray("XX!STRAY").repeated(1500), prog.fakeClock->now());
    const double streaming = prog.fakeClock->now();
    EXPECT_EQ(axisSearch.addressScan(timeout), listWith({}));
    EXPECT_LT(prog.fakeClock->now() - streaming, 10.0);
    // Nor does one frame that opens and never closes, at full or half the
    // line's rate, whichever moment of it the search starts in.
    const double c = prog.bus->characterTime();
    for (const double gap : {c, 2 * c}) {
        for (const double phase : {0.001, 0.0043, 0.0171, 0.0302}) {
            SCOPED_TRACE(gap / c);
            SCOPED_TRACE(phase);
            prog.fakeClock->advance(20.0);
            prog.bus->strayBytes("[" + QByteArray(int(12.0 / gap), 'S'), prog.fakeClock->now() + phase, gap);
            const double open = prog.fakeClock->now();
            EXPECT_EQ(axisSearch.addressScan(timeout), listWith({}));
            EXPECT_LT(prog.fakeClock->now() - open, 10.0);
        }
    }
    prog.fakeClock->advance(20.0);
    prog.bus->removeUnit(QStringLiteral("02"));

    // A far end that sends one character every 15 ms and never ends is no
    // answer, and holds the search hardly longer than a silent address.
    SimUnit& trickling = prog.bus->addUnit(QStringLiteral("05"), 9600);
    const QByteArray endless = "[0VN!" + QByteArray(400, '0');
    trickling.setGarbageReply(endless);
    trickling.setReplyPieces(int(endless.size()), 0.015);
    prog.fakeClock->advance(20.0);
    const double again = prog.fakeClock->now();
    EXPECT_EQ(axisSearch.addressScan(timeout).value(5), QString());
    EXPECT_LT(prog.fakeClock->now() - again, 3.0);

    // Late, and its reply stops halfway: listed neither at its own address
    // nor at the next.
    trickling.setReplyPieces(1, 0);
    trickling.setReplyDelay(0.03);
    trickling.setGarbageReply("[0VN!Mot V1.00 and no end");
    prog.fakeClock->advance(20.0);
    EXPECT_EQ(axisSearch.addressScan(timeout), listWith({1, 10, 30}));
}

TEST_F(AxisSearchTest, WithoutAKnownRateTheScanWaitsTheTransportDefault)
{
    // The last address, so that its late reply cannot fall into the
    // exchange of another address.
    SimUnit& slow = prog.bus->addUnit(QStringLiteral("1E"), 9600);
    slow.setVersion(QStringLiteral("Mot V1.00"));
    slow.setReplyDelay(0.1);
    startOnCom1(QStringLiteral("9600"));
    Achsensuche axisSearch(prog.transport());
    EXPECT_EQ(axisSearch.addressScan(Achsensuche::scanTimeout(QStringLiteral("0"))), listWith({30}));
    EXPECT_EQ(axisSearch.addressScan(Achsensuche::scanTimeout(QStringLiteral("9600"))), listWith({}));
}

// --- The search over the USB bridge ------------------------------------------------

TEST_F(AxisSearchTest, OnUsbTheProbeActsOnTheBridgeAndStoresItsRate)
{
    units({{"01", 38400}, {"05", 38400}});
    startOnUsb(QStringLiteral("9600"));
    prog.port->setSettings(QStringLiteral("115200"));
    click(QStringLiteral("mnuAchsenSuche"));

    EXPECT_EQ(prog.bus->hostBaud(), 38400);
    EXPECT_EQ(prog.transport().baudText, QStringLiteral("38400"));
    EXPECT_EQ(main->auswerten_baud(), QStringLiteral("38400"));
    EXPECT_EQ(stored(), QStringLiteral("38400"));
    EXPECT_EQ(main->Achsenliste, listWith({1, 5}));
    // The serial port was neither used nor changed.
    EXPECT_FALSE(prog.port->isOpen());
    EXPECT_EQ(prog.port->settings(), QStringLiteral("115200"));
    EXPECT_NE(prog.transport().USBHandle, 0u);
}

TEST_F(AxisSearchTest, OnUsbWithNoUnitTheBridgeGoesBackToItsRate)
{
    startOnUsb(QStringLiteral("19200"));
    click(QStringLiteral("mnuAchsenSuche"));

    EXPECT_EQ(prog.bus->hostBaud(), 19200);
    EXPECT_EQ(prog.transport().baudText, QStringLiteral("19200"));
    EXPECT_EQ(stored(), QStringLiteral("19200"));
    EXPECT_EQ(main->Achsenliste, listWith({}));
}

// --- Address lists -----------------------------------------------------------------------

TEST_F(AxisSearchTest, RefillKeepsSelectionsAndOnlyAValidTravelPicture)
{
    units({{"01", 9600}, {"03", 9600}});
    startOnCom1(QStringLiteral("9600"));
    for (int i = 0; i < 3; ++i)
        main->mnuKontroll_Click();
    ASSERT_EQ(cc(1)->list.size(), 31);
    EXPECT_EQ(cc(1)->list.at(2), QStringLiteral("02"));  // the fixed list
    cc(1)->listIndex = 3;
    cc(1)->setLine_schlitten(300, 0x8000);
    cc(2)->listIndex = 2;
    cc(2)->setLine_schlitten(420, 0xC000);
    cc(3)->listIndex = -1;
    cc(3)->setLine_schlitten(500, 0x8000);

    click(QStringLiteral("mnuAchsenSuche"));
    for (int n : {1, 2, 3})
        EXPECT_EQ(cc(n)->list, listWith({1, 3})) << n;
    EXPECT_EQ(cc(1)->listIndex, 3);
    EXPECT_EQ(cc(1)->carriageLeft, 300);
    EXPECT_EQ(cc(1)->carriageColor, 0x8000u);
    EXPECT_EQ(cc(2)->listIndex, 2);
    EXPECT_EQ(cc(2)->carriageLeft, 160);
    EXPECT_EQ(cc(2)->carriageColor, 0xC0u);
    EXPECT_EQ(cc(3)->listIndex, -1);
    EXPECT_EQ(cc(3)->carriageColor, 0x8000u);

    // The automatic list refreshes open windows the same way before it
    // opens new ones.
    cc(2)->list.clear();
    click(QStringLiteral("mnuAchsenAus(1)"));
    EXPECT_EQ(cc(2)->list, listWith({1, 3}));
    EXPECT_EQ(cc(2)->listIndex, 2);
    EXPECT_EQ(main->CC.count(), 5);
}

TEST_F(AxisSearchTest, ManualListClosesEveryControlCenterAndListsAllAddresses)
{
    units({{"02", 9600}, {"01", 9600}});
    startOnCom1(QStringLiteral("9600"));
    click(QStringLiteral("mnuAchsenSuche"));
    click(QStringLiteral("mnuAchsenAus(1)"));
    main->mnuKontroll_Click();
    ASSERT_EQ(main->CC.count(), 3);

    click(QStringLiteral("mnuAchsenAus(2)"));
    EXPECT_TRUE(main->CC.isEmpty());
    EXPECT_EQ(main->CC_I, 0);
    EXPECT_FALSE(main->menuEntry(QStringLiteral("mnuAchsenAus(1)"))->isChecked());
    EXPECT_TRUE(main->menuEntry(QStringLiteral("mnuAchsenAus(2)"))->isChecked());
    ASSERT_EQ(downloadList.size(), 32);
    EXPECT_EQ(downloadList.first(), QStringLiteral("00"));
    EXPECT_EQ(downloadList.at(10), QStringLiteral("0A"));
    EXPECT_EQ(downloadList.last(), QStringLiteral("1F"));
    EXPECT_EQ(parameterList, downloadList);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main->mdiArea()->subWindowList().isEmpty());

    // A control center opened now gets the fixed list.
    main->mnuKontroll_Click();
    EXPECT_EQ(main->CC.at(0)->unitAddresses().at(5), QStringLiteral("05"));
}

TEST_F(AxisSearchTest, AutomaticListThatFailsToOpenAWindowLeavesNoPresetBehind)
{
    units({{"01", 9600}, {"02", 9600}, {"04", 9600}});
    startOnCom1(QStringLiteral("9600"));
    click(QStringLiteral("mnuAchsenSuche"));
    factoryThrowsAt = 2;
    click(QStringLiteral("mnuAchsenAus(1)"));
    EXPECT_EQ(main->CC.count(), 1);
    EXPECT_EQ(main->flagautomatik, 0);

    factoryThrowsAt = 0;
    main->mnuKontroll_Click();
    EXPECT_FALSE(main->subWindowOf(main->CC.at(1))->isMinimized());
}

}  // namespace
