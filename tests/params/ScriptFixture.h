#pragma once
// The script window's core against the simulated bus of the shared workbench:
// axes 05 and 06 with the read-out registers, a parameter store whose axis 0
// has motor factor 5217, and replies paced at the line's character time so
// motions progress while the script polls.
#include "AxisParameterStore.h"
#include "OptionFlags.h"
#include "ScriptCore.h"
#include "SimReadout.h"
#include "SimWorkbench.h"

#include <gtest/gtest.h>

#include <memory>

class ScriptFixture : public ::testing::Test
{
protected:
    ScriptFixture()
    {
        wb.bus->setPacing(true);
        installReadoutRegisters(wb.unit(QStringLiteral("05")));
        installReadoutRegisters(wb.unit(QStringLiteral("06")));
        store.axisRecordAt(0).Motfak = 5217;
        core = std::make_unique<ScriptCore>(env());
        core->Form_Load();
    }

    ScriptEnv env()
    {
        ScriptEnv e;
        e.bus = &wb.transport();
        e.ui = wb.dialogs;
        e.clock = wb.clock;
        e.store = &store;
        e.programFolder = [this] { return wb.home.path(); };
        e.comMotflag = [this] { ++motorFlag; };
        e.controlCenterIndex = [this] { return ccIndex; };
        return e;
    }

    // Chooses unit `address` of the list, which turns the lamp green when it answers.
    void choose(const QString& address)
    {
        core->cb_adressenauswahl.listIndex = int(core->cb_adressenauswahl.items.indexOf(address));
        core->cb_adressenauswahl_Click();
    }

    void lines(const QStringList& texts)
    {
        QStringList all = texts;
        while (all.size() < ScriptCore::MaxRows)
            all << QString();
        core->setLines(all);
    }

    // Runs the started script to its end in at most `maxSteps` steps: a run
    // that does not end (a stop rule that no longer stops a loop) fails the
    // test instead of hanging it.
    bool runToEnd(int maxSteps = 20000)
    {
        for (int n = 0; n < maxSteps && core->isRunning(); ++n) {
            const double d = core->nextStepIn();
            if (d > 0)
                wb.clock->sleep(d);
            core->step();
        }
        if (core->isRunning())
            ADD_FAILURE() << "the run did not end within " << maxSteps << " steps";
        return !core->isRunning();
    }

    // Runs the script on unit 05 and returns the commands sent ("05 [0ST]").
    QStringList run(const QStringList& texts)
    {
        lines(texts);
        choose(QStringLiteral("05"));
        wb.bus->clearTraffic();
        core->cmd_download_Click();
        runToEnd();
        return wb.traffic();
    }

    QString reply(int i) const { return core->lb_Befehl[i].text; }

    SimWorkbench wb{{.units = {QStringLiteral("05"), QStringLiteral("06")}, .serial = {}}};
    OptionFlags flags;
    AxisParameterStore store{flags};
    std::optional<int> ccIndex;
    int motorFlag = 0;
    std::unique_ptr<ScriptCore> core;
};
