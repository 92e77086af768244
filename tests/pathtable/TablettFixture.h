#pragma once
// A path table core over the simulated bus with units "01" and "02", a
// square drawing box of 2000 × 2000 twips (so 1 mm = 1000 twips at zoom 1),
// and helpers that draw strokes and read points back in millimetres.
#include "AxisParameterStore.h"
#include "OptionFlags.h"
#include "SimWorkbench.h"
#include "TablettCore.h"

#include <gtest/gtest.h>

#include <QPointF>

#include <initializer_list>

class TablettFixture : public ::testing::Test
{
protected:
    TablettFixture() : store(flags)
    {
        env.bus = &wb.transport();
        env.ui = wb.dialogs;
        env.store = &store;
        env.clock = wb.clock;
        env.programFolder = [this] { return wb.home.path(); };
        env.releaseMainLoop = [this] { ++freigaben; };
        env.hideWindow = [this] { ++versteckt; };
        env.komma = [this] { return komma; };
        t = std::make_unique<TablettCore>(env);
        t->setZeichenflaeche(2000, 2000);
        t->Form_Load();
    }

    // One stroke: pressed at the first point, moved through the others, released.
    void strich(std::initializer_list<QPointF> punkte)
    {
        auto it = punkte.begin();
        t->pb_Zeichnung_MouseDown(1, it->x(), it->y());
        for (++it; it != punkte.end(); ++it)
            t->pb_Zeichnung_MouseMove(it->x(), it->y());
        t->pb_Zeichnung_MouseUp(1);
    }
    // A straight stroke from the centre to the right, `mm` long, in two points.
    void gerade(double mm) { strich({{1000, 1000}, {1000 + mm * 1000, 1000}}); }
    QPointF mm(int i) const
    {
        return {t->skala.mmX(t->bahn.bahnX[std::size_t(i)]), t->skala.mmY(t->bahn.bahnY[std::size_t(i)])};
    }

    SimWorkbench wb;
    OptionFlags flags;
    AxisParameterStore store;
    TablettEnv env;
    std::unique_ptr<TablettCore> t;
    int freigaben = 0;
    int versteckt = 0;
    bool komma = false;
};
