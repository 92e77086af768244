#pragma once
// The sequence window's core against the in-process simulated bus: two axes
// (01, 02), a fake clock that moves only when the code waits, and recorded
// dialogs.
#include "AblaufCore.h"
#include "Clock.h"
#include "SimAxis.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "TestSupport.h"
#include "UiServices.h"

#include <gtest/gtest.h>

#include <algorithm>

class AblaufFixture : public ::testing::Test
{
protected:
    AblaufFixture()
    {
        // Replies take the line's real character time, so motions progress.
        bus.setPacing(true);
        bus.addUnit(QStringLiteral("01"));
        bus.addUnit(QStringLiteral("02"));
        port.open();
    }

    AblaufEnv env()
    {
        AblaufEnv e;
        e.port = &port;
        e.clock = &clock;
        e.ui = &ui;
        e.programFolder = [this] { return home.path(); };
        e.schreibe = [this](const QString& reply, const QString& line) { recorded << line + QLatin1Char('|') + reply; };
        e.focusStart = [this] { ++focusStarts; };
        e.answered = [this](const QString& a, const QString& c, const QString&) { answered << a + u' ' + c; };
        return e;
    }

    void lines(const QStringList& texts)
    {
        for (int i = 0; i < AblaufCore::MaxRows; ++i)
            core.pZeile[i].text = i < texts.size() ? texts.at(i) : QString();
    }

    void run(const QStringList& texts)
    {
        lines(texts);
        bus.clearTraffic();
        core.CStart_Click();
        // As the program's run loop, but bounded: a run that does not end
        // fails the test instead of hanging it.
        for (int i = 0; core.isRunning(); ++i) {
            if (i == MaxRunSteps) {
                ADD_FAILURE() << "the run did not end within " << MaxRunSteps << " steps";
                core.CStop_Click();
                for (int k = 0; k < 10 && core.isRunning(); ++k)
                    core.step();
                return;
            }
            const double d = core.nextStepIn();
            if (d > 0)
                clock.sleep(std::min(d, MaxStepWait));
            core.step();
        }
    }
    static constexpr int MaxRunSteps = 200000;
    static constexpr double MaxStepWait = 3600;

    // Commands sent, as "selection command" ("01 [0ST]").
    QStringList traffic() const
    {
        QStringList out;
        for (const auto& [selection, command] : bus.traffic())
            out << selection + QLatin1Char(' ') + command;
        return out;
    }

    // Commands that reached a unit other than the broadcast address.
    QStringList unitTraffic() const
    {
        QStringList out;
        for (const QString& t : traffic())
            if (!t.startsWith(QLatin1String("00 ")))
                out << t;
        return out;
    }

    SimUnit& unit(const char* address) { return *bus.unit(QLatin1String(address)); }

    FakeClock clock;
    SimBus bus{clock};
    SimSerialPort port{bus};
    RecordingUiServices ui;
    TempHome home;
    QStringList recorded;
    QStringList answered;  // unit and command of each exchange told to other windows' models
    int focusStarts = 0;   // times CStart was given the focus
    AblaufCore core{env()};
};
