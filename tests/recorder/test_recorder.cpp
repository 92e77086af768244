// The servo recorder against the simulated axis and its loop model: the
// channel decoders and the gauge split, the latches, drawing and restarting
// the traces, the drift labels, the run control in both modes, the scale
// inputs, and the window closed while its loop runs.
#include "MainWindowDoubles.h"

#include "AxisParameterStore.h"
#include "GaugeHost.h"
#include "Install.h"
#include "InstallRecorder.h"
#include "ParamsContext.h"
#include "frm_main.h"
#include "OptionFlags.h"
#include "RecorderCore.h"
#include "SimLoopReadouts.h"
#include "frm_eW.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLibrary>
#include <QMouseEvent>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QCheckBox>

#include <gtest/gtest.h>

namespace {

struct JoystickInput
{
    const char* reply;
    bool twelve;
    int offset;
    double wert;
};

class EwDecoder : public ::testing::TestWithParam<JoystickInput>
{
};

TEST_P(EwDecoder, ReadsTheValueField)
{
    const JoystickInput e = GetParam();
    EXPECT_EQ(RecorderCore::ewValue(QString::fromLatin1(e.reply), e.twelve, e.offset), e.wert) << e.reply;
}

INSTANTIATE_TEST_SUITE_P(
    Replies, EwDecoder,
    ::testing::Values(JoystickInput{"[1eW!800]", true, 0, -2048}, JoystickInput{"[1eW!7FF]", true, 0, 2047},
                      JoystickInput{"[1eW!800]", true, 10, -2058}, JoystickInput{"[1eW!7FF]", true, 10, 2057},
                      JoystickInput{"[1eW!005]", true, 10, 15}, JoystickInput{"[1eW!FFB]", true, 10, -15},
                      JoystickInput{"[1eW!80]", false, 0, -128}, JoystickInput{"[1eW!7F]", false, 0, 127},
                      JoystickInput{"1", true, 3, 3}));

TEST(RecorderDecoders, SignRulesAndGaugeSplit)
{
    EXPECT_EQ(RecorderCore::twValue("[1TW!FFFF]"), -1);
    EXPECT_EQ(RecorderCore::twValue("[1TW!8000]"), -32768);
    EXPECT_EQ(RecorderCore::k8Value("[1K8!00FF]"), -1);
    EXPECT_EQ(RecorderCore::k8Value("[1K8!0100]"), 0);
    EXPECT_EQ(RecorderCore::pcValue("[1PC!FFFF]"), -1);
    EXPECT_EQ(RecorderCore::pcTrackValue("[1PC!FFFF]"), -1);
    // The offset field rounds to a whole number; no number or no 16 bits: none.
    EXPECT_EQ(RecorderCore::ewOffset("1.6", false) + RecorderCore::ewOffset("2,5", true), 4);
    EXPECT_EQ(RecorderCore::ewOffset("-7", false) + RecorderCore::ewOffset("40000", false), -7);
    using A = std::array<int, 3>;
    EXPECT_EQ(RecorderCore::splitValue(1789, true), (A{1789, 0, 0}));
    EXPECT_EQ(RecorderCore::splitValue(1790, true), (A{1789, 0, 1790}));
    EXPECT_EQ(RecorderCore::splitValue(-1790, true), (A{-1789, -1790, 0}));
    EXPECT_EQ(RecorderCore::splitValue(111, false), (A{111, 0, 0}));
    EXPECT_EQ(RecorderCore::splitValue(112, false), (A{111, 0, 112}));
}

class RecorderTest : public ::testing::Test
{
protected:
    RecorderTest()
    {
        addLoopReadouts(*wb.bus, QStringLiteral("01"));
        addLoopReadouts(*wb.bus, QStringLiteral("02"));
        flags.setOn(OptionFlags::NewMotorFactor, true);
        cc.list = {QStringLiteral("01"), QStringLiteral("02")};
        cc.listIndex = 0;
        registry.CC.add(1, &cc);
        registry.CC_I = 1;
        core.CCIndex = 1;
        core.Form_Load(1200);
        core.Form_Activate();
    }
    RecorderEnv env()
    {
        RecorderEnv e;
        e.bus = &wb.transport();
        e.store = &store;
        e.options = &flags;
        e.registry = &registry;
        e.ui = wb.dialogs;
        e.clock = wb.clock;
        e.holdMainLoop = [this] {
            ++holds;
            return MainLoopHold([this] { --holds; });
        };
        return e;
    }
    void start(bool loop = false)
    {
        core.cb_an_aus.checked = loop;
        core.cb_Messung.checked = true;
        core.cb_Messung_MouseUp();
    }
    // Stands the axis at mm.
    void stand(double mm) { wb.axis().setPosition(qint32(std::lround(mm * 5217))); }
    int redInLine(int y, int von, int upTo) const
    {
        int n = 0;
        for (int x = std::max(0, von); x <= upTo && x < RecorderCore::GraphWidth; ++x)
            n += core.pb_graph.pixelColor(x, y) == QColor(Qt::red) ? 1 : 0;
        return n;
    }

    SimWorkbench wb;
    OptionFlags flags;
    AxisParameterStore store{flags};
    Fensterpostfach registry;
    EventLog log;
    ControlCenterDouble cc{log};
    int holds = 0;
    RecorderCore core{env()};
};

TEST_F(RecorderTest, DefaultScaleLabelsAndGaugeRanges)
{
    EXPECT_EQ(core.Label1.text, "-80.0000");
    EXPECT_EQ(core.lb_mitte.text, "0.0000");
    EXPECT_EQ(core.Label2.text, "80.0000");
    EXPECT_EQ(core.toviv[RecorderCore::Toviv_pos].min, 1791);
    EXPECT_EQ(core.toviv[RecorderCore::Toviv_neg].min, -2048);
    // The zero row of the eW scale reads 0 %.
    core.pb_graph_MouseMove(8191, core.y_offset_ew);
    EXPECT_EQ(core.Label10.text, "00.00");
    EXPECT_EQ(core.Label8.text, "0.000000");
}

TEST_F(RecorderTest, FirstPassStoresSecondDrawsAJumpRestarts)
{
    core.lb_farbeEW.listIndex = 1;  // red
    stand(0);
    start();
    EXPECT_EQ(core.FlagEW, 1);
    const int zeile = int(core.y_offset_ew);
    const double x0 = core.x_vor;
    EXPECT_EQ(redInLine(zeile, int(x0) - 20, int(x0) + 20), 0);
    stand(2);
    core.abfragen();
    EXPECT_GT(redInLine(zeile, int(x0) + 1, int(core.x_vor) - 1), 5);
    EXPECT_EQ(core.line_Pos, core.x_vor);
    EXPECT_EQ(core.HScroll1.value, int(std::lround(core.x_vor)));

    // More than 3000 pixels further: nothing drawn, the traces start there.
    const double vorher = core.x_vor;
    stand(500);
    core.abfragen();
    EXPECT_GT(core.x_vor - vorher, 3000);
    EXPECT_EQ(redInLine(zeile, int(vorher) + 1, int(core.x_vor)), 0);
    stand(501);
    core.abfragen();
    EXPECT_GT(redInLine(zeile, int(core.x_vor) - 6, int(core.x_vor) - 1), 3);
}

TEST_F(RecorderTest, LatchedChannelsAreNotResentUntilTheUnitChanges)
{
    core.cb_wP.checked = core.cb_tw.checked = true;
    wb.unit().rejectNext(QStringLiteral("[1wP]"), 0x05);
    wb.unit().setHandler(QStringLiteral("1TW"),
                         [](SimUnit&, const SimCommand&) { return std::optional<QByteArray>(QByteArray()); });
    start();
    EXPECT_EQ(core.sperre_wp, 1);
    EXPECT_EQ(core.sperre_tw, 1);
    EXPECT_EQ(wb.dialogs->messages.size(), 1);
    wb.bus->clearTraffic();
    core.abfragen();
    EXPECT_FALSE(wb.traffic().join(' ').contains("[1wP]"));
    EXPECT_FALSE(wb.traffic().join(' ').contains("[1TW]"));
    cc.listIndex = 1;
    core.abfragen();
    EXPECT_TRUE(wb.traffic().contains("02 [1wP]"));
    EXPECT_TRUE(wb.traffic().contains("02 [1TW]"));
    EXPECT_EQ(core.toviv[RecorderCore::Toviv_w].value, 0x80);
}

TEST_F(RecorderTest, NoPassStartsInsideAnOpenBox)
{
    // The main loop's tick and the loop's timer fire while a rejection box is open.
    core.cb_wP.checked = true;
    wb.unit().rejectNext(QStringLiteral("[1wP]"), 0x05);
    start(true);
    wb.transport().einheit_waehlen(QStringLiteral("01"));  // as the control center's update does
    wb.dialogs->onMessage = [&](const auto&) {
        wb.bus->clearTraffic();
        core.abfragen();
        core.loopStep();
        EXPECT_TRUE(wb.traffic().isEmpty());
    };
    core.loopStep();
    EXPECT_EQ(wb.dialogs->messages.size(), 1);
}

TEST_F(RecorderTest, DriftLabelsCountTheSecondsOfTheRun)
{
    stand(0);
    start();
    core.Check1.checked = true;
    core.Check1_Click();
    EXPECT_TRUE(core.cb_drift.checked);
    EXPECT_EQ(core.driftmerker, 1);
    core.abfragen();
    EXPECT_EQ(core.driftmerker, 2);
    EXPECT_EQ(core.lb_zeit[0].text, "0");
    wb.clock->advance(2.5);
    wb.axis().setPosition(3);
    core.abfragen();
    EXPECT_EQ(core.lb_zeit[0].text, "2.5s");
    EXPECT_EQ(core.zeit_index, 1);
    core.abfragen();  // standing still: no new label
    EXPECT_EQ(core.zeit_index, 1);
    // Starting a measurement ends the drift run; with the joystick moving
    // its first pass arms no new one.
    wb.unit(QStringLiteral("01")).setInputWord(0x16);
    wb.unit(QStringLiteral("01")).setHandler(QStringLiteral("1kJ"), [](SimUnit&, const SimCommand&) {
        return std::optional<QByteArray>("[1kJ!0000000000]");
    });
    core.cb_Messung.checked = false;
    core.cb_Messung_MouseUp();
    start();
    EXPECT_EQ(core.driftmerker, 0);
}

// Ticking "Drift" arms a run when the axis rests: no joystick code in
// "[0IN]" (no "[1kJ]" sent, so its character 15 is missing), or a joystick
// whose "[1kJ]" character 15 is "1" or no digit. Any other digit disarms.
struct JoystickCase
{
    const char* name;
    quint32 inputWord;  // the input word: its low byte is the joystick code
    const char* kj;     // the "[1kJ]" reply, or nullptr for the simulated one
    bool kjSent;
    bool armed;
};

class DriftArming : public RecorderTest, public ::testing::WithParamInterface<JoystickCase>
{
};

TEST_P(DriftArming, FollowsTheJoystickRestDigit)
{
    const JoystickCase& c = GetParam();
    wb.unit(QStringLiteral("01")).setInputWord(c.inputWord);
    if (c.kj) {
        const QByteArray reply = c.kj;
        wb.unit(QStringLiteral("01")).setHandler(QStringLiteral("1kJ"), [reply](SimUnit&, const SimCommand&) {
            return reply;
        });
    }
    stand(0);
    start();
    core.cb_drift.checked = true;
    core.driftmerker = c.armed ? 0 : 1;
    wb.bus->clearTraffic();
    core.abfragen();
    EXPECT_EQ(wb.traffic().join(u'|').contains(QStringLiteral("[1kJ]")), c.kjSent);
    if (c.armed)
        EXPECT_GE(core.driftmerker, 1);
    else
        EXPECT_EQ(core.driftmerker, 0);
}

INSTANTIATE_TEST_SUITE_P(Recorder, DriftArming,
                         ::testing::Values(JoystickCase{"NoJoystickCode", 0x00, nullptr, false, true},
                                           JoystickCase{"OtherInputs", 0x1234500, nullptr, false, true},
                                           JoystickCase{"SlowJoystickResting", 0x16, "[1kJ!0000000001]", true, true},
                                           JoystickCase{"FastJoystickResting", 0x0C, "[1kJ!0000000001]", true, true},
                                           JoystickCase{"RestDigitMissing", 0x16, "[1kJ!000000000]", true, true},
                                           JoystickCase{"RestDigitNoDigit", 0x16, "[1kJ!000000000x]", true, true},
                                           JoystickCase{"JoystickMoving", 0x16, "[1kJ!0000000000]", true, false},
                                           JoystickCase{"JoystickOtherDigit", 0x0C, "[1kJ!0000000007]", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// The grid of the graph: grey rows every 17 pixels, none at 17 and 255
// (the limit lines stand there), the zero row black.
enum class GridKind
{
    Grey,
    Blank,
    Zero
};

class GridRow : public RecorderTest, public ::testing::WithParamInterface<std::pair<int, GridKind>>
{
};

TEST_P(GridRow, HasItsColour)
{
    const auto [row, kind] = GetParam();
    const QColor background = core.pb_graph.pixelColor(100, 20);
    const QColor expected = kind == GridKind::Grey   ? QColor(0xC0, 0xC0, 0xC0)
                            : kind == GridKind::Zero ? QColor(Qt::black)
                                                     : background;
    EXPECT_NE(background, QColor(0xC0, 0xC0, 0xC0));
    EXPECT_EQ(core.pb_graph.pixelColor(100, row), expected) << row;
}

INSTANTIATE_TEST_SUITE_P(Recorder, GridRow,
                         ::testing::Values(std::pair{0, GridKind::Grey}, std::pair{17, GridKind::Blank},
                                           std::pair{34, GridKind::Grey}, std::pair{136, GridKind::Zero},
                                           std::pair{238, GridKind::Grey}, std::pair{255, GridKind::Blank},
                                           std::pair{272, GridKind::Grey}));

TEST_F(RecorderTest, GaugeRangesOfBothBitWidths)
{
    using R = std::pair<int, int>;
    const auto range = [this](int i) { return R{core.toviv[std::size_t(i)].min, core.toviv[std::size_t(i)].max}; };
    // 12 bit ("Mot - Neu" ticked).
    EXPECT_EQ(range(RecorderCore::Toviv_neg), (R{-2048, -1791}));
    EXPECT_EQ(range(RecorderCore::Toviv_power), (R{-1790, 1790}));
    EXPECT_EQ(range(RecorderCore::Toviv_pos), (R{1791, 2047}));
    flags.setOn(OptionFlags::NewMotorFactor, false);
    core.Form_Activate();
    EXPECT_EQ(range(RecorderCore::Toviv_neg), (R{-128, -113}));
    EXPECT_EQ(range(RecorderCore::Toviv_power), (R{-112, 112}));
    EXPECT_EQ(range(RecorderCore::Toviv_pos), (R{113, 127}));
}

TEST_F(RecorderTest, RunModesHoldTheMainLoopOnlyInLoopModeAndStopCentres)
{
    start();
    EXPECT_EQ(holds, 0);
    EXPECT_FALSE(core.text_plus.enabled);
    core.cb_Messung.checked = false;
    core.cb_Messung_MouseUp();
    EXPECT_EQ(core.FlagEW, 3);
    EXPECT_EQ(core.HScroll1.value, 8191);
    EXPECT_TRUE(core.cb_an_aus.enabled);

    start(true);
    EXPECT_EQ(holds, 1);
    EXPECT_TRUE(core.isLooping());
    log.clear();
    core.loopStep();
    EXPECT_TRUE(log.join(' ').contains("Aktualisieren"));
    core.cmd_exit_Click();
    EXPECT_EQ(holds, 0);
    EXPECT_FALSE(core.isLooping());
    EXPECT_EQ(core.FlagEW, 3);
    EXPECT_EQ(core.cb_Messung.text, "Start");
}

TEST_F(RecorderTest, AxisEndChecksAndGain)
{
    core.text_minus.text = QStringLiteral("20");
    core.text_plus.text = QStringLiteral("10");
    core.text_minus_LostFocus();
    EXPECT_EQ(wb.dialogs->messages.value(0).text, "Falsche Eingabe!! Die Zahl muss kleiner sein als 10 !!");
    EXPECT_EQ(wb.dialogs->messages.value(0).title, "Fehler");
    // The other field's check is locked while the first one waits for a correction.
    core.text_plus_LostFocus();
    EXPECT_EQ(wb.dialogs->messages.size(), 1);
    core.text_minus.text = QStringLiteral("-40");
    core.text_minus_LostFocus();
    EXPECT_EQ(wb.dialogs->messages.size(), 1);
    EXPECT_EQ(core.lb_mitte.text, "-15");
    core.HScroll1_Change();
    EXPECT_EQ(core.Label1.text, "-40.0000");

    core.text_minus.text.clear();
    core.text_minus_LostFocus();
    EXPECT_EQ(wb.dialogs->messages.size(), 1);

    // A gain of 0 keeps the old scale and becomes 1 on leaving.
    const double vorher = core.y_faktor_ew;
    core.text_minus.text = QStringLiteral("-40");
    core.text_faktor.text = QStringLiteral("0");
    core.text_faktor_Change();
    EXPECT_EQ(core.y_faktor_ew, vorher);
    core.text_faktor_LostFocus();
    EXPECT_EQ(core.text_faktor.text, "1");
    core.text_faktor.text = QStringLiteral("2");
    core.text_faktor_Change();
    EXPECT_DOUBLE_EQ(core.y_faktor_ew, vorher * 2);
}

TEST_F(RecorderTest, PointLabelsSitBesideTheClickAndWrap)
{
    core.Form_MouseDown(2, 100, 50, 1200);
    EXPECT_EQ(core.lb_punkte[0].left, 100);
    EXPECT_TRUE(core.lb_punkte[0].label.text.startsWith("PA="));
    core.Form_MouseDown(2, 1000, 50, 1200);
    EXPECT_LT(core.lb_punkte[1].left, 1000);
    for (int i = 0; i < 29; ++i)
        core.Form_MouseDown(2, 10, 10, 1200);
    EXPECT_EQ(core.punkt_index, 0);
    core.cmd_clear_Click();
    EXPECT_EQ(core.lb_punkte[0].top, RecorderCore::PointParkTop);
    EXPECT_TRUE(core.lb_punkte[0].label.text.isEmpty());
}

TEST_F(RecorderTest, WindowWithoutGaugeLibraryAndClosedDuringItsLoop)
{
    // No registry entry, and no gauge library shipped in the program folder.
    GaugeHost host(*wb.dialogs, wb.home.file(QStringLiteral("components.ini")), wb.home.path());
    const qsizetype vorher = wb.dialogs->messages.size();
    frm_eW w(env(), host, 1200);
    EXPECT_EQ(wb.dialogs->messages.size(), vorher + 1);
    ASSERT_EQ(w.gauges().size(), RecorderCore::GaugeCount);
    EXPECT_FALSE(w.gauges()[0].isLive());

    RecorderCore& c = w.core();
    c.CCIndex = 1;
    c.Form_Activate();
    w.show();
    w.findChild<QCheckBox*>(QStringLiteral("cb_an_aus"))->click();
    w.findChild<QPushButton*>(QStringLiteral("cb_Messung"))->click();
    EXPECT_TRUE(c.isLooping());
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_GE(c.FlagEW, 1);
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(c.isLooping());
    EXPECT_EQ(holds, 0);
    EXPECT_EQ(c.an_aus, 0);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

TEST_F(RecorderTest, ARightPressPlacesAPointLabelOnlyOnTheBackground)
{
    GaugeHost host(*wb.dialogs, wb.home.file(QStringLiteral("components.ini")));
    frm_eW w(env(), host, 1200);
    w.show();
    RecorderCore& c = w.core();
    const auto rightPress = [](QWidget* target, QPoint at) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::RightButton,
                          Qt::RightButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &press);
    };
    // On labels of the window: the press reaches the window, and does nothing.
    for (const char* name : {"Label1", "Label2", "lb_mitte"}) {
        auto* label = w.findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_TRUE(label) << name;
        rightPress(label, QPoint(2, 2));
    }
    EXPECT_EQ(c.punkt_index, 0);
    EXPECT_EQ(c.lb_punkte[0].label.text, QStringLiteral("0"));
    // On the background: one label.
    QPoint free(-1, -1);
    for (int y = w.height() - 1; y > 0 && free.x() < 0; y -= 4)
        for (int x = 1; x < w.width() && free.x() < 0; x += 4)
            if (!w.childAt(QPoint(x, y)))
                free = QPoint(x, y);
    ASSERT_GE(free.x(), 0);
    rightPress(&w, free);
    EXPECT_EQ(c.punkt_index, 1);
    EXPECT_TRUE(c.lb_punkte[0].label.text.startsWith(QStringLiteral("PA=")));
}

TEST_F(RecorderTest, RecordingOfAMoveWithLiveGauges)
{
    // The gauge library registered as the program's tool does it.
    const QString components = wb.home.file(QStringLiteral("components.ini"));
    qputenv("KELVANE_COMPONENT_REGISTRY", components.toLocal8Bit());
    QLibrary lib(QStringLiteral(LEVELON_PLUGIN_FILE));
    auto reg = reinterpret_cast<levelon::RegisterServerFn>(lib.resolve(levelon::RegisterServerSymbol));
    ASSERT_TRUE(reg);
    ASSERT_EQ(reg(), levelon::ServerOk);
    qunsetenv("KELVANE_COMPONENT_REGISTRY");
    GaugeHost host(*wb.dialogs, components);
    frm_eW w(env(), host, 1200);
    ASSERT_TRUE(w.gauges().value(RecorderCore::Toviv_power).isLive());
    RecorderCore& c = w.core();
    c.CCIndex = 1;
    c.Form_Activate();
    w.show();

    // 40 mm at positioning speed, polled every 20 ms.
    c.cb_PC.checked = c.cb_K8.checked = c.cb_tw.checked = true;
    c.lb_farbeEW.listIndex = 3;
    c.cb_Messung.checked = true;
    c.cb_Messung_MouseUp();
    wb.transport().einheit_waehlen(QStringLiteral("01"));
    wb.transport().senden_empfangen(QStringLiteral("[1FA00032F28]"), 0, protocol::Rejection::Show);
    int highestSwing = 0;
    for (int i = 0; i < 300; ++i) {
        wb.clock->advance(0.02);
        c.abfragen();
        highestSwing = std::max(highestSwing, c.toviv[RecorderCore::Toviv_power].value);
    }
    EXPECT_GT(highestSwing, 100);
    EXPECT_NEAR(c.pos_ist, 40, 0.01);
    int blau = 0;
    for (int x = int(c.x_vor) - 200; x < int(c.x_vor); ++x)
        for (int y = 0; y < RecorderCore::GraphHeight; ++y)
            blau += c.pb_graph.pixelColor(x, y) == QColor(Qt::blue) ? 1 : 0;
    EXPECT_GT(blau, 50);
    c.pb_graph_MouseMove(c.x_vor - 100, 80);
    w.render();
    const QString file = qEnvironmentVariable("KELVANE_RECORDER_SCREENSHOT");
    if (!file.isEmpty())
        EXPECT_TRUE(w.grab().save(file));
}

TEST(RecorderInFrame, SingleMdiChildThatFlagZeroClosesWhenGreyed)
{
    SimWorkbench wb;
    frm_main frame(*wb.core);
    ParamsContext params(wb.core->ui(), frame.optionFlags(), wb.core->transport());
    installRecorder(frame, params);
    installOptions(frame);
    frame.optionFlags().setOn(OptionFlags::EWWindow, true);
    IRecorder* r = frame.recorder();
    ASSERT_TRUE(r);
    ASSERT_TRUE(frame.subWindowOf(r));
    frame.show();
    r->Show();
    EXPECT_TRUE(frame.subWindowOf(r)->isVisible());
    // Activating it before it is bound keeps the current control center.
    frame.CC_I = 7;
    static_cast<RecorderCore*>(r)->Form_Activate();
    EXPECT_EQ(frame.CC_I, 7);
    EXPECT_EQ(r->an_aus, 1);
    frame.optionFlags().setText(OptionFlags::EWWindow, QStringLiteral("2"));
    EXPECT_FALSE(frame.subWindowOf(r)->isVisible());
    EXPECT_EQ(r->an_aus, 0);
    EXPECT_EQ(frame.recorder(), r);
    // The exit button hides and disables it; showing it again enables it.
    r->Show();
    static_cast<RecorderCore*>(r)->cmd_exit_Click();
    EXPECT_FALSE(frame.subWindowOf(r)->isVisible());
    EXPECT_FALSE(r->form()->isEnabled());
    r->Show();
    EXPECT_TRUE(r->form()->isEnabled());
}

TEST(RecorderInFrame, ClosingUnloadsSoThatTheNextUseLoadsANewWindow)
{
    SimWorkbench wb;
    frm_main frame(*wb.core);
    ParamsContext params(wb.core->ui(), frame.optionFlags(), wb.core->transport());
    installRecorder(frame, params);
    frame.show();
    IRecorder* r = frame.recorder();
    ASSERT_TRUE(r);
    r->Show();
    auto* old = static_cast<RecorderCore*>(r);
    old->cb_drift.checked = true;
    old->lb_punkte[0].label.text = QStringLiteral("PA=1");
    // What unbinding from a control center does.
    ASSERT_TRUE(r->form()->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame.frm_eW, nullptr);
    auto* fresh = static_cast<RecorderCore*>(frame.recorder());
    ASSERT_TRUE(fresh);
    EXPECT_FALSE(fresh->cb_drift.checked);
    EXPECT_EQ(fresh->lb_punkte[0].label.text, QStringLiteral("0"));
    EXPECT_EQ(fresh->lb_farbeEW.listIndex, 0);
    // The exit button only hides: the window and its state stay.
    fresh->Show();
    fresh->cb_drift.checked = true;
    fresh->cmd_exit_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frame.recorder(), fresh);
    EXPECT_TRUE(fresh->cb_drift.checked);
}

}  // namespace
