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
        env.releaseMainLoop = [this] { ++enables; };
        env.hideWindow = [this] { ++hiddenCount; };
        env.usesComma = [this] { return usesComma; };
        t = std::make_unique<TablettCore>(env);
        t->setDrawingArea(2000, 2000);
        t->Form_Load();
    }

    // One stroke: pressed at the first point, moved through the others, released.
    void drawStroke(std::initializer_list<QPointF> pointList)
    {
        auto it = pointList.begin();
        t->pb_Zeichnung_MouseDown(1, it->x(), it->y());
        for (++it; it != pointList.end(); ++it)
            t->pb_Zeichnung_MouseMove(it->x(), it->y());
        t->pb_Zeichnung_MouseUp(1);
    }
    // A straight stroke from the centre to the right, `mm` long, in two points.
    void straightStroke(double mm) { drawStroke({{1000, 1000}, {1000 + mm * 1000, 1000}}); }
    QPointF mm(int i) const
    {
        return {t->pathScale.mmX(t->pathModel.bahnX[std::size_t(i)]),
                t->pathScale.mmY(t->pathModel.bahnY[std::size_t(i)])};
    }

    SimWorkbench wb;
    OptionFlags flags;
    AxisParameterStore store;
    TablettEnv env;
    std::unique_ptr<TablettCore> t;
    int enables = 0;
    int hiddenCount = 0;
    bool usesComma = false;
};
