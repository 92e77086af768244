// Time of one measurement pass (zeichnen) of the servo recorder with every
// channel switched on, the drift run recording and the traces drawn, against
// a moving simulated axis on the in-process bus with no reply delay. Prints
// "pass_us_median <microseconds>".

#include "AxisParameterStore.h"
#include "Clock.h"
#include "CoreContext.h"
#include "OptionFlags.h"
#include "RecorderCore.h"
#include "Settings.h"
#include "SimAxis.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimLoopReadouts.h"
#include "SimUsbBridge.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
// The current control center: only its address list is read.
class Achse final : public IControlCenter
{
public:
    int Initialisierung() override { return 1; }
    int Aktualisieren() override { return 1; }
    void auslesen() override {}
    QStringList adressen() const override { return {QStringLiteral("01")}; }
    int adressenIndex() const override { return 0; }
    void setAdressenIndex(int) override {}
    void adressenLeeren() override {}
    void adresseAnfuegen(const QString&) override {}
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
    QTemporaryDir dir;

    auto clock = std::make_unique<SteadyClock>();
    IClock* uhr = clock.get();
    SimBus bus(*clock);
    bus.addUnit(QStringLiteral("01"));
    addLoopReadouts(bus, QStringLiteral("01"));
    SimAxis axis(bus, QStringLiteral("01"));
    auto serial = std::make_unique<SimSerialPort>(bus);
    serial->setCommPort(1);
    serial->setSettings(QStringLiteral("9600"));
    serial->open();
    CoreContext core(std::make_unique<AppSettings>(dir.filePath(QStringLiteral("s.ini"))),
                     std::make_unique<RecordingUiServices>(), std::move(clock), std::move(serial),
                     std::make_unique<SimUsbBridge>(bus, false));
    setCurrentTransport(&core.transport());

    OptionFlags flags;
    flags.setOn(OptionFlags::MotNeu, true);
    AxisParameterStore store(flags);
    Fensterpostfach registry;
    Achse achse;
    registry.CC.add(1, &achse);
    registry.CC_I = 1;

    RecorderEnv env;
    env.bus = &core.transport();
    env.store = &store;
    env.options = &flags;
    env.registry = &registry;
    env.ui = &core.ui();
    env.clock = uhr;
    RecorderCore r(env);
    r.CCIndex = 1;
    r.Form_Load(1700);
    r.Form_Activate();
    r.cb_wP.checked = r.cb_tw.checked = r.cb_K8.checked = r.cb_PC.checked = r.cb_eW.checked = true;
    r.cb_Messung.checked = true;
    r.cb_Messung_MouseUp();
    r.Check1.checked = true;
    r.Check1_Click();

    constexpr int kWarmUp = 200;
    constexpr int kRuns = 2001;
    std::vector<double> times;
    times.reserve(kRuns);
    for (int i = 0; i < kWarmUp + kRuns; ++i) {
        // Back and forth over 10 mm, so every pass draws a segment.
        const int phase = i % 400;
        axis.setPosition((phase < 200 ? phase : 400 - phase) * 260);
        const auto t0 = std::chrono::steady_clock::now();
        r.zeichnen();
        const auto t1 = std::chrono::steady_clock::now();
        if (i >= kWarmUp)
            times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::nth_element(times.begin(), times.begin() + kRuns / 2, times.end());
    std::printf("pass_us_median %.1f\n", times[kRuns / 2]);
    return 0;
}
