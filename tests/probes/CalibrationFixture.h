#pragma once
// The guided calibration core on the in-process serial port of a simulated
// bus: an analog probe board at "21", a fake clock that moves only when the
// code waits, and recorded dialogs and beeps.
#include "AK_AbgleichCore.h"
#include "AnalogBoardDouble.h"
#include "Clock.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "UiServices.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

// Readable lists of commands in assertion messages.
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{' << list.join(QStringLiteral(" | ")).toStdString() << '}';
}

class CalibrationFixture : public ::testing::Test
{
protected:
    CalibrationFixture() { port.open(); }

    AK_AbgleichEnv env()
    {
        AK_AbgleichEnv e;
        e.port = &port;
        e.clock = &clock;
        e.ui = &ui;
        return e;
    }

    // AK4 at address "21" with channel A measuring.
    void ak4(AK_AbgleichCore& c)
    {
        c.OAkX[1].checked = true;
        c.OAkX_Click(1);
        c.AKNR_Click(0);
        c.Check1[0].checked = true;
        c.Check1_Click();
        c.aktiv.checked = true;
        bus.clearTraffic();
    }

    // Runs the step machine until `until` holds or the run ends; the clock
    // jumps over each wait.
    void run(
        const std::function<bool()>& until = [] { return false; }, int limit = 20000)
    {
        for (int i = 0; i < limit && core.running() && !until(); ++i) {
            clock.advance(core.nextStepIn());
            core.step();
        }
    }
    void runTo(AK_AbgleichCore::Phase phase)
    {
        run([&] { return core.phase() == phase; });
    }

    // Commands sent, as "selection command".
    QStringList traffic() const
    {
        QStringList out;
        for (const auto& [selection, command] : bus.traffic())
            out << selection + QLatin1Char(' ') + command;
        return out;
    }
    // Register writes (SO, SP, SM) among the commands sent.
    QStringList registerWrites() const
    {
        QStringList out;
        for (const auto& t : bus.traffic())
            if (t.second.size() == 11 && t.second.mid(2, 1) == QLatin1String("S"))
                out << t.second;
        return out;
    }

    FakeClock clock{0.0001};
    SimBus bus{clock};
    SimSerialPort port{bus};
    RecordingUiServices ui;
    AnalogBoardDouble& board = AnalogBoardDouble::install(bus, QStringLiteral("21"));
    AK_AbgleichCore core{env()};
};
