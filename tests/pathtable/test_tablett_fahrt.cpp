// The drive of the path against two simulated controllers that run position
// tables: the exact command sequence with its unit selections, the table
// counters and releases of two axes, unanswered tables, stopping, leaving
// the window during a drive, and the checks made before anything is sent.
#include "TablettFixture.h"

#include "SimPathAxis.h"
#include "SimSerialPort.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

// The simulated port, logging selections and commands as the program writes them.
class LogPort final : public ISerialPort
{
public:
    LogPort(SimBus& bus, QStringList& log) : m_sim(bus), m_log(log) { m_sim.open(); }
    void setCommPort(int n) override { m_sim.setCommPort(n); }
    int commPort() const override { return m_sim.commPort(); }
    void setSettings(const QString& s) override { m_sim.setSettings(s); }
    QString settings() const override { return m_sim.settings(); }
    bool open() override { return m_sim.open(); }
    void close() override { m_sim.close(); }
    bool isOpen() const override { return m_sim.isOpen(); }
    int inBufferCount() override { return m_sim.inBufferCount(); }
    QByteArray input() override { return m_sim.input(); }
    bool output(const QByteArray& d) override
    {
        m_log << (d.startsWith('\x12') ? u"select "_s + QString::fromLatin1(d.mid(1)) : QString::fromLatin1(d));
        return m_sim.output(d);
    }
    bool waitForInput(int msecs) override { return m_sim.waitForInput(msecs); }
    QString lastError() const override { return m_sim.lastError(); }

private:
    SimSerialPort m_sim;
    QStringList& m_log;
};

class Drive : public ::testing::Test
{
protected:
    Drive() : store(flags)
    {
        SimWorkbench::Setup s;
        s.serial = [this](SimBus& bus) { return std::make_unique<LogPort>(bus, log); };
        wb = std::make_unique<SimWorkbench>(s);
        for (const QString& a : {u"01"_s, u"02"_s})
            wb->unit(a).setModel(std::make_unique<SimPathAxisModel>());
        TablettEnv env;
        env.bus = &wb->transport();
        env.ui = wb->dialogs;
        env.store = &store;
        env.clock = wb->clock;
        env.releaseMainLoop = [this] { enableAt = int(log.size()); };
        t = std::make_unique<TablettCore>(env);
        t->setDrawingArea(2000, 2000);
        t->Form_Load();
    }
    // Points in mm (1000 twips a mm, 0 mm at the centre), one stroke.
    void drawStroke(std::initializer_list<QPointF> mm)
    {
        auto it = mm.begin();
        t->pb_Zeichnung_MouseDown(1, 1000 + it->x() * 1000, 1000 - it->y() * 1000);
        for (++it; it != mm.end(); ++it)
            t->pb_Zeichnung_MouseMove(1000 + it->x() * 1000, 1000 - it->y() * 1000);
        t->pb_Zeichnung_MouseUp(1);
    }
    QString sentLines() const { return log.join(u'|'); }
    qint32 position(const QString& a) { return wb->axis(a).position(); }

    OptionFlags flags;
    AxisParameterStore store;
    QStringList log;
    std::unique_ptr<SimWorkbench> wb;
    std::unique_ptr<TablettCore> t;
    int enableAt = -1;
};

QString patternOf(std::initializer_list<QString> postParts)
{
    QString out;
    for (const QString& t : postParts)
        out += t.startsWith(u'(') ? t : QRegularExpression::escape(t) + u"\\|"_s;
    return out;
}

TEST_F(Drive, OneStrokeOnUnit01FollowsTheSequence)
{
    // A message from elsewhere in front of every poll reply ends no move early.
    wb->unit(u"01"_s).setStrayBefore("[0po", "[9XX!STRAY]");
    drawStroke({{0, 0}, {0.1, 0}, {0.2, 0}});  // 0, 522 and 1043 counts at 5217 counts/mm
    t->tasteneingabe(83);
    t->moveToEnd();
    const QString roundPattern = u"(select 02\\|select 01\\|\\[1PL\\]\\|select 01\\|\\[0po\\]\\|)"_s;
    const QRegularExpression expectedText(
        u"^"_s +
        patternOf({u"select 01"_s, u"[1MA00000000]"_s, u"[0po]"_s, u"(select 01\\|\\[0po\\]\\|)*"_s, u"select 01"_s,
                   u"[1PE]"_s, u"select 02"_s, u"select 01"_s, u"[1PK00020A1000041310]"_s, u"select 01"_s,
                   u"[1SA00000413]"_s, u"[0po]"_s}) +
        roundPattern + patternOf({u"select 01"_s, u"[1PW]"_s, u"select 02"_s, u"[1PW]"_s}) + roundPattern + u"*"_s +
        patternOf({u"select 01"_s, u"[1PE]"_s}) + u"select 02$"_s);
    EXPECT_TRUE(expectedText.match(sentLines()).hasMatch()) << sentLines().toStdString();
    EXPECT_EQ(position(u"01"_s), 1043);
    EXPECT_EQ(t->lb_PK.text, u"[1PK00020A1000041310][1PK0000001000000010]"_s);
    EXPECT_TRUE(t->lb_fahrzeit.text.startsWith(u"Fahrzeit :"_s));
    EXPECT_TRUE(t->lb_fahrzeit.text.endsWith(u's'));
    EXPECT_EQ(t->pathModel.strichzahl, 1);
    // A red dot at each end position: on 0 mm for Y without unit "02".
    ASSERT_EQ(t->drawing().drawnDots.size() - std::count_if(t->drawing().drawnDots.begin(),
                                                            t->drawing().drawnDots.end(),
                                                            [](const auto& p) { return p.widthPx == 4; }),
              2u);
    EXPECT_NEAR(t->drawing().drawnDots.back().spot.x(), 1000 + 1043.0 / 5217 * 1000, 1e-6);
    EXPECT_NEAR(t->drawing().drawnDots.back().spot.y(), 1000, 1e-6);
}

TEST_F(Drive, TwoAxesGetTheirTablesInTurnAndStepTogether)
{
    // A message from elsewhere in front of unit 02's poll replies ends no
    // move early either.
    wb->unit(u"02"_s).setStrayBefore("[0po", "[9XX!STRAY]");
    t->cb_achse2.checked = true;
    drawStroke({{0, 0}, {0.1, -0.1}, {0.2, -0.3}, {0.3, -0.2}});
    t->tasteneingabe(83);
    t->moveToEnd();
    const QString s = sentLines();
    EXPECT_TRUE(s.contains(u"select 01|[1PK00020A100004131000061D10]|select 02|[1PK"_s)) << s.toStdString();
    EXPECT_TRUE(s.contains(u"]|select 01|[1SA0000061D]|[0po]|select 02|[1SA"_s)) << s.toStdString();
    // One release to both units for each common counter: entries 0, 1 and 2 at least.
    EXPECT_GE(s.count(u"select 01|[1PW]|select 02|[1PW]"_s), 3);
    EXPECT_EQ(s.count(u"[1PW]"_s), 2 * s.count(u"select 01|[1PW]|select 02|[1PW]"_s));
    EXPECT_EQ(position(u"01"_s), 1565);
    EXPECT_EQ(position(u"02"_s), -1043);
    // Each table run ends on its own final echo, not on a poll's time-out.
    const QStringList exchanges = wb->core->log().lines();
    EXPECT_FALSE(exchanges.contains(u"[0po]-->1"_s)) << exchanges.join(u'|').toStdString();
    EXPECT_EQ(exchanges.count(u"[0po]-->[1SA!]"_s), 2);
    // The second stroke of a drawing after the drive starts where it should.
    drawStroke({{0.5, 0.5}});
    EXPECT_EQ(t->pathModel.strichzahl, 2);
    EXPECT_EQ(t->pathModel.strichanfang[1], 4);
}

TEST_F(Drive, AMoveWhosePollGetsNoAnswerEndsTheDriveWithAStop)
{
    wb->unit(u"01"_s).setHandler(u"0po"_s, [](SimUnit&, const SimCommand&) { return QByteArray(); });
    drawStroke({{0, 0}, {0.1, 0}});
    t->tasteneingabe(83);
    t->moveToEnd();
    EXPECT_EQ(log.mid(log.indexOf(u"[0po]"_s)), QStringList({u"[0po]"_s, u"select 01"_s, u"[1BR]"_s}));
}

TEST_F(Drive, AnUnansweredTableSkipsThatStrokesRun)
{
    wb->unit(u"01"_s).setHandler(u"1PK"_s, [](SimUnit&, const SimCommand&) { return QByteArray(); });
    t->lb_timeout.text = u"0.3"_s;
    drawStroke({{0, 0}, {0.1, 0}});
    drawStroke({{0.2, 0.2}, {0.3, 0.2}});
    t->tasteneingabe(83);
    t->moveToEnd();
    const QString s = sentLines();
    EXPECT_EQ(s.count(u"[1PK"_s), 2);
    EXPECT_EQ(s.count(u"[1SA"_s), 0);
    EXPECT_EQ(s.count(u"[1MA"_s), 2);
    EXPECT_EQ(t->lb_Ant.text, u"1"_s);
}

TEST_F(Drive, NothingChangesThePathWhileItIsDrivenAndStopBrakes)
{
    drawStroke({{0, 0}, {0.1, 0}, {0.2, 0}, {0.3, 0}});
    drawStroke({{0.5, 0.5}, {0.6, 0.5}});
    const Path vorher = t->pathModel;
    t->tasteneingabe(83);
    while (t->moveStep() && !log.contains(u"[1PL]"_s)) {
    }
    // Clear, redraw, import, a second start, drawing, Z-Zoom and the view
    // are refused while the path is driven.
    wb->dialogs->fileAnswers << wb->home.file(u"bahn.txt"_s);
    for (const int keyValue : {67, 90, 112, 83})
        t->tasteneingabe(keyValue);
    t->pb_Zeichnung_MouseDown(1, 10, 10);
    t->pb_Zeichnung_MouseMove(20, 20);
    t->cb_ZZ.text = u"2"_s;
    t->cb_ZZ_LostFocus();
    t->cb_zoom.text = u"2"_s;
    t->cb_zoom_LostFocus();
    EXPECT_EQ(t->pathModel.bahnX, vorher.bahnX);
    EXPECT_EQ(t->pathModel.punktzahl, vorher.punktzahl);
    EXPECT_EQ(t->cb_ZZ.text, u"1"_s);
    EXPECT_EQ(t->tb_minus.text, u"1.0000"_s);
    EXPECT_TRUE(wb->dialogs->fileRequests.isEmpty());
    ASSERT_TRUE(t->moving());

    t->button_Click(3);
    EXPECT_FALSE(t->moving());
    EXPECT_EQ(log.last(), u"[1BR]"_s);
    EXPECT_LT(log.lastIndexOf(u"[1PE]"_s), log.indexOf(u"[1PL]"_s));
    EXPECT_EQ(sentLines().count(u"[1MA"_s), 1);
    // The stroke count the drive used as its cursor is whole again.
    EXPECT_EQ(t->pathModel.strichzahl, 2);
}

TEST_F(Drive, AStrokeHeldWhenTheDriveStartsGrowsNoFurther)
{
    drawStroke({{0, 0}, {0.1, 0}});
    t->pb_Zeichnung_MouseDown(1, 1500, 1500);
    t->tasteneingabe(83);
    ASSERT_TRUE(t->moving());
    t->pb_Zeichnung_MouseMove(1600, 1600);
    EXPECT_EQ(t->pathModel.punktzahl, 3);
}

TEST_F(Drive, LeavingTheWindowStopsTheDriveBeforeTheMainLoopRuns)
{
    drawStroke({{0, 0}, {0.1, 0}, {0.2, 0}});
    for (const int keyValue : {27, 80}) {
        if (keyValue == 80)
            drawStroke({{0, 0}, {0.1, 0}, {0.2, 0}});
        log.clear();
        t->tasteneingabe(83);
        t->moveStep();
        ASSERT_TRUE(t->moving());
        t->tasteneingabe(keyValue);
        EXPECT_FALSE(t->moving());
        ASSERT_GT(enableAt, 0);
        EXPECT_EQ(log.at(enableAt - 1), u"[1BR]"_s) << keyValue;
        EXPECT_EQ(log.size(), enableAt);
        t->openForm();
    }
}

TEST_F(Drive, NothingIsSentForAPathThatCannotBeDriven)
{
    t->tasteneingabe(83);  // empty path
    drawStroke({{0, 0}, {0.2, 0}});
    t->tb_zeit.text = u"5"_s;
    t->tasteneingabe(83);
    t->tb_zeit.text = u"10"_s;
    store.axisRecordAt(1).Motfak = 1e8;  // 0.2 mm beyond the 24-bit counter
    t->tasteneingabe(83);
    store.axisRecordAt(1).Motfak = 5217;
    t->clear();
    t->pb_Zeichnung_MouseDown(1, 0, 0);
    for (int i = 1; i <= 501; ++i)
        t->pb_Zeichnung_MouseMove(i, 0);
    t->pb_Zeichnung_MouseUp(1);
    t->tasteneingabe(83);
    EXPECT_TRUE(log.isEmpty());
    EXPECT_FALSE(t->moving());
    EXPECT_EQ(wb->dialogs->texts(),
              (QStringList{TablettCore::TimeMessage, TablettCore::RangeMessage, TablettCore::TableMessage}));
}

TEST_F(Drive, BothTargetsMustFitUnit02TickedOrNot)
{
    // Unit "02" is not ticked, yet its target is computed for every point.
    drawStroke({{0.1, 0.2}, {0.2, 0.2}});
    store.axisRecordAt(2).Motfak = 1e15;
    t->tasteneingabe(83);
    EXPECT_FALSE(t->moving());
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(wb->dialogs->texts(), QStringList{TablettCore::RangeMessage});

    // A factor changed after the start ends the drive at the next point,
    // with its message and nothing of that point sent.
    for (const int axis : {2, 1}) {
        store.axisRecordAt(2).Motfak = store.axisRecordAt(1).Motfak = 5217;
        wb->dialogs->clear();
        t->tasteneingabe(83);
        ASSERT_TRUE(t->moving());
        store.axisRecordAt(axis).Motfak = axis == 2 ? 1e15 : 1e8;
        EXPECT_FALSE(t->moveStep()) << axis;
        EXPECT_FALSE(t->moving());
        EXPECT_TRUE(log.isEmpty());
        EXPECT_EQ(wb->dialogs->texts(), QStringList{TablettCore::RangeMessage});
        EXPECT_EQ(t->pathModel.strichzahl, 1);
    }

    // The edge of the 24-bit counter on each axis: ±8388607 counts are
    // driven, 8388608 is refused (points at ±0.5 mm, twice the counts per mm).
    t->cb_achse2.checked = true;
    for (const int axis : {1, 2}) {
        for (const auto& [counts, move] :
             {std::pair{8388607.0, u"[1MA007FFFFF]"_s}, std::pair{-8388607.0, u"[1MAFF800001]"_s},
              std::pair{8388608.0, QString()}}) {
            t->clear();
            drawStroke({{counts < 0 ? -0.5 : 0.5, counts < 0 ? -0.5 : 0.5}});
            store.axisRecordAt(1).Motfak = store.axisRecordAt(2).Motfak = 5217;
            store.axisRecordAt(axis).Motfak = 2 * std::abs(counts);
            log.clear();
            wb->dialogs->clear();
            t->tasteneingabe(83);
            EXPECT_EQ(t->moving(), !move.isEmpty()) << axis << ' ' << counts;
            EXPECT_EQ(t->moveStep(), !move.isEmpty());
            EXPECT_EQ(sentLines().contains(u"select 0%1|%2"_s.arg(axis).arg(move)), !move.isEmpty());
            EXPECT_EQ(wb->dialogs->texts(), move.isEmpty() ? QStringList{TablettCore::RangeMessage} : QStringList());
            t->button_Click(3);
        }
    }
}

TEST_F(Drive, AStrokeOfExactlyFiveHundredTableEntriesIsDriven)
{
    t->pb_Zeichnung_MouseDown(1, 1000, 1000);
    for (int i = 1; i <= 500; ++i)
        t->pb_Zeichnung_MouseMove(1000 + i, 1000);
    t->pb_Zeichnung_MouseUp(1);
    t->tasteneingabe(83);
    EXPECT_TRUE(t->moving());
    EXPECT_TRUE(wb->dialogs->texts().isEmpty());
    t->button_Click(3);
}

TEST_F(Drive, GreenDotsShowTheActualPositionOnThePath)
{
    // Dots drawn during the move to the first point stand at (0, 0): no
    // position has been read yet. The others are checked.
    const auto greenDots = [this] {
        std::vector<QPointF> out;
        for (const auto& p : t->drawing().drawnDots) {
            if (p.rgbColor == TablettCore::GreenPoint && p.spot != QPointF(0, 0)) {
                EXPECT_EQ(p.widthPx, 4);
                out.push_back(p.spot);
            }
        }
        return out;
    };
    // One axis: along X between the stroke's ends, on a fixed row for Y.
    drawStroke({{0, 0}, {0.1, 0}, {0.2, 0}});
    t->tasteneingabe(83);
    t->moveToEnd();
    std::vector<QPointF> dots = greenDots();
    ASSERT_FALSE(dots.empty());
    for (const QPointF& p : dots) {
        EXPECT_GE(p.x(), 1000 - 1e-6);
        EXPECT_LE(p.x(), 1200 + 1e-6);
        EXPECT_EQ(p.y(), 6656);
    }
    // Two axes: both coordinates from the units' positions, on the diagonal.
    t->clear();
    t->cb_achse2.checked = true;
    drawStroke({{0, 0}, {0.1, 0.1}, {0.2, 0.2}});
    t->tasteneingabe(83);
    t->moveToEnd();
    dots = greenDots();
    ASSERT_FALSE(dots.empty());
    for (const QPointF& p : dots) {
        EXPECT_GE(p.x(), 1000 - 1e-6);
        EXPECT_LE(p.x(), 1200 + 1e-6);
        EXPECT_NEAR(p.y(), 2000 - p.x(), 30);
    }
}

}  // namespace
