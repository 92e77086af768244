// Time of one measurement pass (zeichnen) of the servo recorder with every
// channel switched on, the drift run recording and the traces drawn, against
// a moving simulated axis on the in-process bus with no reply delay. Prints
// "pass_us_median <microseconds>".

#include "AxisParameterStore.h"
#include "BenchBus.h"
#include "OptionFlags.h"
#include "RecorderCore.h"
#include "SimAxis.h"
#include "SimLoopReadouts.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {
// The current control center: only its address list is read.
class Achse final : public IControlCenter
{
public:
    int Initialisierung() override { return 1; }
    int Aktualisieren() override { return 1; }
    void auslesen() override {}
    QStringList unitAddresses() const override { return {QStringLiteral("01")}; }
    int addressesIndex() const override { return 0; }
    void setAddressesIndex(int) override {}
    void clearAddresses() override {}
    void appendAddress(const QString&) override {}
    int line_schlitten_Left() const override { return 0; }
    quint32 line_schlitten_BackColor() const override { return 0; }
    void setLine_schlitten(int, quint32) override {}
};
}  // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    BenchBus b;
    IClock* clockSource = b.clock;
    b.bus.addUnit(QStringLiteral("01"));
    addLoopReadouts(b.bus, QStringLiteral("01"));
    SimAxis axis(b.bus, QStringLiteral("01"));
    CoreContext& core = *b.core;

    OptionFlags flags;
    flags.setOn(OptionFlags::NewMotorFactor, true);
    AxisParameterStore store(flags);
    Fensterpostfach registry;
    Achse benchAxis;
    registry.CC.add(1, &benchAxis);
    registry.CC_I = 1;

    RecorderEnv env;
    env.bus = &core.transport();
    env.store = &store;
    env.options = &flags;
    env.registry = &registry;
    env.ui = &core.ui();
    env.clock = clockSource;
    RecorderCore r(env);
    r.CCIndex = 1;
    r.Form_Load(1700);
    r.Form_Activate();
    r.cb_wP.checked = r.cb_tw.checked = r.cb_K8.checked = r.cb_PC.checked = r.cb_eW.checked = true;
    r.cb_Messung.checked = true;
    r.cb_Messung_MouseUp();
    r.Check1.checked = true;
    r.Check1_Click();

    const double median = medianMicros(200, 2001, [&](int i) {
        // Back and forth over 10 mm, so every pass draws a segment.
        const int phase = i % 400;
        axis.setPosition((phase < 200 ? phase : 400 - phase) * 260);
        r.zeichnen();
        return true;
    });
    std::printf("pass_us_median %.1f\n", median);
    return 0;
}
