// The path table's rules without widgets: the view range and its labels,
// strokes and markers, resampling with its refusals, Z-Zoom, clearing and
// closing, capacity, and the commands of the keys and buttons.
#include "TablettFixture.h"

#include "SimUnit.h"

using namespace Qt::StringLiterals;

namespace {

TEST_F(TablettFixture, ViewEdgesFollowTheBoxAndZoomAndOffsets)
{
    t->setDrawingArea(4000, 2000);
    t->Form_Load();
    EXPECT_EQ(t->lb_plus.text, u"-2.0000"_s);
    EXPECT_EQ(t->tb_plus.text, u"2.0000"_s);
    EXPECT_EQ(t->lb_minus.text, u"-1.0000"_s);
    EXPECT_EQ(t->tb_minus.text, u"1.0000"_s);
    EXPECT_EQ(t->lb_nullplus.text, u"0.0000"_s);
    EXPECT_EQ(t->lb_viertelX.text, u"-1.0000"_s);
    EXPECT_EQ(t->lb_dreiviertelX.text, u"1.0000"_s);
    EXPECT_EQ(t->lb_viertelY.text, u"0.5000"_s);
    EXPECT_EQ(t->lb_dreiviertelY.text, u"-0.5000"_s);
    // A right click at the centre reads 0 mm.
    t->pb_Zeichnung_MouseDown(2, 2000, 1000);
    EXPECT_EQ(t->lb_punkte[0].text, u"X:0 Y:0"_s);

    // Offset X 1 on a square box shows the path 1 mm further right.
    t->setDrawingArea(2000, 2000);
    t->tb_offsetX.text = u"1"_s;
    t->tb_offsetX_LostFocus();
    EXPECT_EQ(t->lb_plus.text, u"-2.0000"_s);
    EXPECT_EQ(t->tb_plus.text, u"0.0000"_s);

    // A decimal-comma locale writes every label with a comma.
    usesComma = true;
    t->cb_zoom.text = u"0,5"_s;
    t->cb_zoom_LostFocus();
    EXPECT_EQ(t->lb_minus.text, u"-0,5000"_s);
    EXPECT_EQ(t->lb_plus.text, u"-1,5000"_s);

    // A zoom that leaves the view no extent, or no number, is refused.
    for (const QString& z : {u"0"_s, u"0,00001"_s, u"abc"_s}) {
        t->cb_zoom.text = z;
        t->cb_zoom_LostFocus();
        EXPECT_EQ(t->lb_minus.text, u"-0,5000"_s) << z.toStdString();
        EXPECT_EQ(t->tb_minus.text, u"0,5000"_s);
    }
}

TEST_F(TablettFixture, CloseAndReopenLeaveEdgesFieldsAndDriveInAgreement)
{
    t->tb_offsetX.text = u"0.25"_s;
    t->tb_offsetX_LostFocus();
    t->tb_offsetY.text = u"0.5"_s;
    t->tb_offsetY_LostFocus();
    t->cb_zoom.text = u"2"_s;
    t->cb_zoom_LostFocus();
    ASSERT_NEAR(t->pathScale.mmX(1000), -0.25, 1e-9);
    ASSERT_NEAR(t->pathScale.mmY(1000), -0.5, 1e-9);
    t->tasteneingabe(27);
    t->openForm();
    // The centre of the box lies where the offset fields say, at the zoom shown.
    EXPECT_EQ(t->tb_offsetX.text, u"0"_s);
    EXPECT_EQ(t->tb_offsetY.text, u"0"_s);
    EXPECT_EQ(t->cb_zoom.text, u"1"_s);
    EXPECT_NEAR(t->pathScale.mmX(1000), 0, 1e-9);
    EXPECT_NEAR(t->pathScale.mmY(1000), 0, 1e-9);
    EXPECT_EQ(t->lb_plus.text, u"-1.0000"_s);
    EXPECT_EQ(t->tb_minus.text, u"1.0000"_s);
    // An offset set after reopening moves only its own axis, from there.
    t->tb_offsetY.text = u"0.5"_s;
    t->tb_offsetY_LostFocus();
    EXPECT_NEAR(t->pathScale.mmX(1000), 0, 1e-9);
    EXPECT_NEAR(t->pathScale.mmY(1000), -0.5, 1e-9);
    // The drive takes its scale from the same edges: a point drawn at the
    // centre is driven to the offset the field shows.
    drawStroke({{1000, 1000}});
    t->computeScale();
    EXPECT_NEAR(mm(1).y(), -0.5, 1e-9);
}

TEST_F(TablettFixture, StrokesRecordTheirStartsAndMoveCounts)
{
    drawStroke({{100, 100}, {110, 100}, {120, 100}, {130, 100}, {140, 100}, {150, 100}});
    drawStroke({{300, 300}, {310, 300}, {320, 300}, {330, 300}});
    EXPECT_EQ(t->pathModel.punktzahl, 10);
    EXPECT_EQ(t->pathModel.strichanfang[0], 0);
    EXPECT_EQ(t->pathModel.strichanfang[1], 6);
    EXPECT_EQ(t->pathModel.strichzahl, 2);
    EXPECT_EQ(t->drawing().linien.size(), 8u);
    // A press without a move is one point, one stroke and " 0".
    drawStroke({{500, 500}});
    EXPECT_EQ(t->pathModel.punktzahl, 11);
    EXPECT_EQ(t->lb_fahrzeit.text, u"Fahrzeit : 5 3 0"_s);
    // Moves without a pressed left button draw nothing.
    t->pb_Zeichnung_MouseMove(900, 900);
    EXPECT_EQ(t->pathModel.punktzahl, 11);
}

TEST_F(TablettFixture, MarkersStandBesideTheirPointAndWrapAfterEleven)
{
    t->pb_Zeichnung_MouseDown(2, 500, 700);
    EXPECT_EQ(t->lb_punkte[0].text, u"X:-0.5 Y:0.3"_s);
    EXPECT_EQ(t->lb_punkte_pos[0], QPointF(500, 700));  // left half: to the right
    t->pb_Zeichnung_MouseDown(2, 1500, 700);
    EXPECT_EQ(t->lb_punkte_pos[1].x(), 1500 - env.textWidth(t->lb_punkte[1].text));
    for (int i = 2; i < 11; ++i)
        t->pb_Zeichnung_MouseDown(2, 1000, 1000);
    EXPECT_EQ(t->markerindex, 0);
    t->pb_Zeichnung_MouseDown(2, 1000, 1000);
    EXPECT_EQ(t->lb_punkte[0].text, u"X:0 Y:0"_s);
    // Dragging keeps the grip inside the label.
    t->lb_punkte_MouseDown(0, 30, 20);
    t->pb_Zeichnung_DragOver(0, 400, 400);
    EXPECT_EQ(t->lb_punkte_pos[0], QPointF(370, 380));
}

TEST(PathThinning, InsertsPointsEveryDeltaAndKeepsAResampledPath)
{
    struct Fall
    {
        double partLength;
        std::vector<double> expectedText;
    };
    for (const Fall& f : {Fall{2.3, {0, 0.5, 1.0, 1.5, 2.0, 2.3}}, Fall{2.05, {0, 0.5, 1.0, 1.5, 2.05}}}) {
        Path b;
        b.appendPoint(0, 0);
        b.appendPoint(f.partLength * 1000, 0);
        b.strichzahl = 1;
        const Thinning v = bahn_verdichten(b, 0.5, 0.001);
        ASSERT_TRUE(v.ok);
        ASSERT_EQ(v.pathModel.punktzahl, int(f.expectedText.size()));
        for (int i = 1; i <= v.pathModel.punktzahl; ++i)
            EXPECT_NEAR(v.pathModel.bahnX[std::size_t(i)] / 1000, f.expectedText[std::size_t(i - 1)], 1e-9);
        EXPECT_EQ(v.zaehler, std::vector<int>{int(f.expectedText.size()) - 1});
        const Thinning thinnedAgain = bahn_verdichten(v.pathModel, 0.5, 0.001);
        EXPECT_EQ(thinnedAgain.pathModel.punktzahl, v.pathModel.punktzahl);
        EXPECT_EQ(thinnedAgain.pathModel.bahnX, v.pathModel.bahnX);
    }
    // Stroke starts move with the inserted points; an empty path stays empty.
    Path two;
    for (double x : {0.0, 1000.0, 5000.0, 6000.0})
        two.appendPoint(x, 0);
    two.strichanfang[1] = 2;
    two.strichzahl = 2;
    const Thinning v = bahn_verdichten(two, 0.5, 0.001);
    EXPECT_EQ(v.zaehler, (std::vector<int>{2, 2}));
    EXPECT_EQ(v.pathModel.strichanfang[1], 3);
    EXPECT_EQ(bahn_verdichten(Path(), 0.5, 0.001).pathModel.punktzahl, 0);
    // No spacing, or a result beyond the path's room, is refused.
    EXPECT_FALSE(bahn_verdichten(two, 0, 0.001).ok);
    EXPECT_FALSE(bahn_verdichten(two, std::nan(""), 0.001).ok);
    EXPECT_FALSE(bahn_verdichten(two, 0.0001, 0.001).ok);
}

// A point is inserted every delta along a segment as long as it stays more
// than 0.2 delta short of the segment's end.
struct MarginCase
{
    double delta, length;
    int inserted;
};

class ResamplingMargin : public ::testing::TestWithParam<MarginCase>
{
};

TEST_P(ResamplingMargin, KeepsAFifthOfTheSpacingBeforeTheEnd)
{
    Path b;
    b.appendPoint(0, 0);
    b.appendPoint(GetParam().length * 1000, 0);
    b.strichzahl = 1;
    const Thinning v = bahn_verdichten(b, GetParam().delta, 0.001);
    ASSERT_TRUE(v.ok);
    EXPECT_EQ(v.pathModel.punktzahl, 2 + GetParam().inserted);
}

INSTANTIATE_TEST_SUITE_P(PathThinning, ResamplingMargin,
                         ::testing::Values(MarginCase{0.5, 2.09, 3}, MarginCase{0.5, 2.11, 4}, MarginCase{1.0, 1.19, 0},
                                           MarginCase{1.0, 1.21, 1}, MarginCase{0.1, 0.119, 0},
                                           MarginCase{0.1, 0.121, 1}));

TEST_F(TablettFixture, RedrawResamplesAndShowsTheCounts)
{
    straightStroke(2.3);
    t->tasteneingabe(90);
    EXPECT_EQ(t->pathModel.punktzahl, 6);
    EXPECT_NEAR(mm(2).x(), 0.5, 1e-9);
    EXPECT_NEAR(mm(5).x(), 2.0, 1e-9);
    EXPECT_EQ(t->lb_fahrzeit.text, u" 5"_s);
    EXPECT_EQ(t->sh_an_aus.colour, TablettCore::Green);
    EXPECT_EQ(t->punkttabelle[1][1], 5);
    EXPECT_EQ(t->drawing().linien.size(), 5u);
}

TEST_F(TablettFixture, AStrokeOverFiveHundredTablePointsLeavesThePath)
{
    t->cb_zoom.text = u"200"_s;  // room for strokes some 250 mm long
    t->cb_zoom_LostFocus();
    const double unitScale = t->pathScale.skalaX;
    drawStroke({{0, 1000}, {250.0 / unitScale, 1000}});
    t->tasteneingabe(90);
    ASSERT_EQ(t->lb_fahrzeit.text, u" 500"_s);  // 499 inserted and the start
    t->clear();
    drawStroke({{0, 1000}, {250.6 / unitScale, 1000}});
    const Path vorher = t->pathModel;
    t->lb_fahrzeit.text = u" 7"_s;
    t->punktetext = u" 7"_s;
    t->tasteneingabe(90);
    EXPECT_EQ(t->sh_an_aus.colour, TablettCore::Red);
    EXPECT_EQ(t->pathModel.punktzahl, 2);
    EXPECT_EQ(t->pathModel.bahnX, vorher.bahnX);
    EXPECT_EQ(t->lb_fahrzeit.text, u" 7"_s);
    // A spacing that is no positive number is refused the same way.
    for (const QString& d : {u"0"_s, u""_s, u"x"_s}) {
        t->tb_delta.text = d;
        t->sh_an_aus.colour = TablettCore::Green;
        t->tasteneingabe(90);
        EXPECT_EQ(t->sh_an_aus.colour, TablettCore::Red);
        EXPECT_EQ(t->pathModel.punktzahl, 2);
    }
}

TEST_F(TablettFixture, ZZoomScalesAboutZeroAndComesBack)
{
    t->tb_delta.text = u"100000"_s;  // no points inserted
    drawStroke({{1000, 1000}, {1500, 700}, {1800, 1200}});
    const QPointF a = mm(2), b = mm(3);
    t->cb_ZZ.text = u"2"_s;
    t->cb_ZZ_LostFocus();
    EXPECT_NEAR(mm(2).x(), 2 * a.x(), 1e-9);
    t->cb_ZZ.text = u"4"_s;
    t->cb_ZZ_LostFocus();
    EXPECT_NEAR(mm(3).y(), 4 * b.y(), 1e-9);
    t->cb_ZZ.text = u"1"_s;
    t->cb_ZZ_LostFocus();
    EXPECT_NEAR(mm(2).x(), a.x(), 1e-9);
    EXPECT_NEAR(mm(3).y(), b.y(), 1e-9);
    // The same factor again and a factor 0 change nothing.
    for (const QString& f : {u"1"_s, u"0"_s}) {
        t->cb_ZZ.text = f;
        t->cb_ZZ_LostFocus();
        EXPECT_NEAR(mm(2).x(), a.x(), 1e-9);
        EXPECT_EQ(t->cb_ZZ.text, u"1"_s);
    }
}

TEST_F(TablettFixture, ClearAndCloseEmptyThePathAndItsStrokes)
{
    drawStroke({{100, 100}, {200, 200}});
    drawStroke({{300, 300}, {400, 400}});
    t->pb_Zeichnung_MouseDown(2, 100, 100);
    t->cb_ZZ.text = u"2"_s;
    t->cb_ZZ_LostFocus();
    t->tasteneingabe(67);
    EXPECT_EQ(t->pathModel.punktzahl, 0);
    EXPECT_EQ(t->pathModel.strichzahl, 0);
    EXPECT_EQ(t->cb_ZZ.text, u"1"_s);
    EXPECT_TRUE(t->ZZ_alt.isEmpty());
    EXPECT_TRUE(t->lb_punkte[0].text.isEmpty());
    EXPECT_EQ(t->lb_punkte_pos[0], QPointF(2640, 8430));
    EXPECT_TRUE(t->drawing().linien.empty());
    EXPECT_EQ(t->markerindex, 1);

    // Esc: points and strokes go, the main loop is released, the window hides.
    drawStroke({{100, 100}, {200, 200}});
    drawStroke({{300, 300}, {400, 400}});
    t->tasteneingabe(27);
    EXPECT_EQ(t->Tag, u"0"_s);
    EXPECT_EQ(t->pathModel.punktzahl, 0);
    EXPECT_EQ(t->pathModel.strichzahl, 0);
    EXPECT_EQ(enables, 1);
    EXPECT_EQ(hiddenCount, 1);
    // Opened again, a new path starts its first stroke at its first point.
    t->openForm();
    EXPECT_EQ(t->Tag, u"1"_s);
    drawStroke({{100, 100}, {200, 200}});
    EXPECT_EQ(t->pathModel.strichzahl, 1);
    EXPECT_EQ(t->pathModel.strichanfang[0], 0);
    // "P" hides and releases as well, and keeps the path.
    t->tasteneingabe(80);
    EXPECT_EQ(enables, 2);
    EXPECT_EQ(t->pathModel.punktzahl, 2);
}

TEST_F(TablettFixture, DrawingStopsAtTheLimitsWithOneNote)
{
    for (int s = 0; s < pathModel::MaxStrokes; ++s)
        drawStroke({{double(s), 0}});
    drawStroke({{5, 5}, {6, 6}});
    EXPECT_EQ(t->pathModel.strichzahl, pathModel::MaxStrokes);
    EXPECT_EQ(t->pathModel.punktzahl, pathModel::MaxStrokes);
    EXPECT_EQ(wb.dialogs->texts(), QStringList{TablettCore::FullMessage});

    t->clear();
    wb.dialogs->clear();
    t->pb_Zeichnung_MouseDown(1, 0, 0);
    for (int i = 0; i < pathModel::MaxPoints + 20; ++i)
        t->pb_Zeichnung_MouseMove(i % 100, 0);
    t->pb_Zeichnung_MouseUp(1);
    EXPECT_EQ(t->pathModel.punktzahl, pathModel::MaxPoints);
    EXPECT_EQ(wb.dialogs->texts(), QStringList{TablettCore::FullMessage});
}

TEST_F(TablettFixture, CommandsGoToTheirUnits)
{
    t->Text1.text = u"[1PA]"_s;
    t->Text1_Enter();
    t->tasteneingabe(82);
    t->button_Click(3);
    t->cb_achse2.checked = true;
    t->button_Click(3);
    EXPECT_EQ(wb.traffic(), (QStringList{u"01 [1PA]"_s, u"02 [1PA]"_s, u"01 [1GX]"_s, u"02 [1GX]"_s, u"01 [1BR]"_s,
                                         u"01 [1BR]"_s, u"02 [1BR]"_s}));
    EXPECT_TRUE(t->Tag.isEmpty());
    // The manual table goes to the unit selected last; silence shows "1".
    wb.unit(u"02"_s).setSilent(true);
    t->lb_PK.text = u"[1PK00000010]"_s;
    t->lb_timeout.text = u"x"_s;
    t->cb_PK_Click();
    EXPECT_EQ(t->lb_Ant.text, u"1"_s);
    EXPECT_EQ(wb.transport().Wartezeit(), 20.0);
    t->lb_timeout.text = u"0"_s;
    t->cb_PK_Click();
    EXPECT_EQ(wb.transport().Wartezeit(), 0.2);
}

TEST_F(TablettFixture, TimeFieldKeepsTwoCharacters)
{
    for (const auto& [ein, fromBounds] :
         {std::pair{u"5"_s, u"05"_s}, {u"1234"_s, u"34"_s}, {u""_s, u""_s}, {u"12"_s, u"12"_s}}) {
        t->tb_zeit.text = ein;
        t->tb_zeit_LostFocus();
        EXPECT_EQ(t->tb_zeit.text, fromBounds);
    }
}

}  // namespace
