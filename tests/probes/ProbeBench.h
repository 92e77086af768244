#pragma once
// The simulated-bus workbench with one measuring board of each kind (AK4
// "21", AK1 "22", IK2 "11", AKIK "31", ADA2 "41", AK16 "51"), a registry
// and a probe-window core with what the main loop does to it.

#include "ProbeWindowCore.h"
#include "SimProbeBoard.h"
#include "SimWorkbench.h"

#include <memory>

class ProbeBench : public SimWorkbench
{
public:
    using Kind = SimProbeBoard::Kind;

    ProbeBench() : SimWorkbench(setup())
    {
        for (const auto& [address, kind] : boards())
            installProbeBoard(unit(address), kind);
        registry.komma_frage = true;
    }

    SimProbeBoard& board(const QString& address) { return *probeBoardOf(unit(address)); }

    ProbeWindowEnv env()
    {
        ProbeWindowEnv e;
        e.bus = &core->transport();
        e.ui = dialogs;
        e.registry = &registry;
        e.masks = masks;
        e.bindInit = [this](int n) { boundIndex = n; };
        e.initBoundTo = [this] { return boundIndex; };
        e.unloadInit = [this] {
            ++unload;
            boundIndex.reset();
        };
        return e;
    }

    // A window of board type `unitType`, registered as window n and current,
    // with `address` picked and initialised as the main loop does it.
    ProbeWindowCore& windowUnderTest(int unitType, const QString& address, int n = 1)
    {
        auto w = std::make_unique<ProbeWindowCore>(env());
        ProbeWindowCore& c = *w;
        windows.push_back(std::move(w));
        c.Tag = n;
        registry.CCT.add(n, &c);
        c.Form_Load();
        c.cb_Unitauswahl.listIndex = unitType;
        c.cb_Unitauswahl_Click();
        c.aktiv_box.checked = true;
        for (int e = 0; e < 5; ++e) {
            const int i = int(c.cb__Achsenauswahl[std::size_t(e)].items.indexOf(address));
            if (c.cb__Achsenauswahl[std::size_t(e)].visible && i >= 0) {
                c.cb__Achsenauswahl[std::size_t(e)].listIndex = i;
                c.cb__Achsenauswahl_Click(e);
            }
        }
        registry.CCT_Aktivieren(n);
        tick(c);
        initTraffic = commands();
        bus->clearTraffic();
        return c;
    }

    // One main-loop pass over one window: read-out, unit change, mailbox,
    // calibration step.
    void tick(ProbeWindowCore& c)
    {
        if (c.aktiv() == 1)
            c.Aktualisieren();
        transport().einheit_waehlen(c.chosenAddress());
        if (c.flagachsenwechsel == 1) {
            c.Initialisierung();
            c.flagachsenwechsel = 0;
        }
        if (c.flagsenden == 1) {
            c.antwort = transport().senden_empfangen(c.Befehl, c.Befehl.mid(1, 3) == QLatin1String("0ff") ? 3.0 : 0,
                                                     protocol::Rejection::Show);
            c.setLb_Fehler(c.Befehl + QStringLiteral("--->") + c.antwort);
            c.flagsenden = 0;
        }
        if (c.flagabgleich == 1)
            c.Abgleich();
    }

    // The commands the host sent, without the selection.
    QStringList commands() const
    {
        QStringList out;
        for (const auto& t : bus->traffic())
            out << t.second;
        return out;
    }

    Fensterpostfach registry;
    std::shared_ptr<BoardMasks> masks = std::make_shared<BoardMasks>();
    std::vector<std::unique_ptr<ProbeWindowCore>> windows;
    // The commands of the last window's initialisation.
    QStringList initTraffic;
    std::optional<int> boundIndex;
    int unload = 0;

private:
    static std::vector<std::pair<QString, Kind>> boards()
    {
        return {{"21", Kind::AK4},  {"22", Kind::AK1},  {"11", Kind::IK2},
                {"31", Kind::AKIK}, {"41", Kind::ADA2}, {"51", Kind::AK16}};
    }
    static Setup setup()
    {
        Setup s;
        s.units.clear();
        for (const auto& b : boards())
            s.units << b.first;
        return s;
    }
};
