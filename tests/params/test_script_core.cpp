// The script window's core against the simulated bus: the interpreter's line
// forms and stop rules, the unit choice, closing during a run, single lines
// and the script file.
#include "Clock.h"
#include "ScriptFixture.h"
#include "SimServoLoop.h"

#include <QFile>

#include <stdexcept>
#include <cstring>
#include <string>

using namespace Qt::StringLiterals;

namespace {

using Script = ScriptFixture;

TEST_F(Script, GoldenRunSelectsMovesPollsStoresAndPauses)
{
    const double start = wb.clock->now();
    const QStringList sent = run({u"05"_s, u"MA1000"_s, u"WZ10"_s, u"[0ff01]"_s, u"MR-250"_s});
    ASSERT_GE(sent.size(), 5);
    EXPECT_EQ(sent.at(0), u"05 [1MA00001461]"_s);
    const qsizetype store = sent.indexOf(u"05 [0ff01]"_s);
    ASSERT_GT(store, 2);
    for (qsizetype i = 1; i < store; ++i)
        EXPECT_EQ(sent.at(i), u"05 [0po]"_s);
    EXPECT_EQ(sent.at(store + 1), u"05 [1MRFFFFFAE8]"_s);
    for (qsizetype i = store + 2; i < sent.size(); ++i)
        EXPECT_EQ(sent.at(i), u"05 [0po]"_s);
    EXPECT_GT(sent.size(), store + 2);  // the relative move was polled too
    EXPECT_EQ(wb.axis(u"05"_s).position(), 5217 - 1304);
    EXPECT_EQ(reply(1), u"[1MA!]"_s);  // the answer that ended the poll
    EXPECT_EQ(reply(3), u"[0ff!]"_s);
    EXPECT_EQ(core->lb_Befehl[1].colour, ScriptCore::Gray);
    EXPECT_GE(wb.clock->now() - start, 0.010);
    EXPECT_EQ(core->zaehler.text, u"1"_s);
    EXPECT_FALSE(core->isRunning());
}

TEST_F(Script, StoreLinesWaitTenSecondsOtherLinesTheWaitTime)
{
    choose(u"05"_s);
    wb.unit(u"05"_s).clearReceived();
    wb.unit(u"05"_s).setReplyDelay(1.0);
    lines({u"[0ff01]"_s, u"[0VN]"_s, u"[0ST]"_s});
    core->cmd_download_Click();
    runToEnd();
    EXPECT_EQ(reply(0), u"[0ff!]"_s);
    EXPECT_EQ(reply(1), u"1"_s);
    EXPECT_EQ(core->lb_Befehl[1].colour, ScriptCore::Started);
    EXPECT_FALSE(wb.unit(u"05"_s).received().contains(u"[0ST]"_s));

    // With a longer wait time the same replies arrive in time (once the late
    // reply of the first run is gone).
    wb.clock->advance(2.0);
    core->tb_wait.text = u"1500"_s;
    core->cmd_download_Click();
    runToEnd();
    EXPECT_TRUE(reply(2).startsWith(u"[0ST!"_s));
}

// A store line waits up to 10 s whatever the wait time says; a reply just
// inside comes in, one just beyond is a time-out that stops the run.
class StoreTimeOut : public ScriptFixture, public ::testing::WithParamInterface<std::pair<double, const char*>>
{
};

TEST_P(StoreTimeOut, TenSecondsForAStoreLine)
{
    const auto [replyLag, antwort] = GetParam();
    lines({u"[0ff01]"_s});
    choose(u"05"_s);
    wb.unit(u"05"_s).setReplyDelay(replyLag);
    core->cmd_download_Click();
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(reply(0), QString::fromLatin1(antwort)) << replyLag;
}

// The simulated store itself adds half a second to the reply delay.
INSTANTIATE_TEST_SUITE_P(Delays, StoreTimeOut, ::testing::Values(std::pair{9.0, "[0ff!]"}, std::pair{10.0, "1"}),
                         [](const auto& info) { return info.param.first < 9.5 ? "JustInside" : "JustBeyond"; });

// The lamp turns green when the status reply is longer than 8 characters.
class LampBoundary : public ScriptFixture, public ::testing::WithParamInterface<std::pair<const char*, bool>>
{
};

TEST_P(LampBoundary, LongerThanEightCharactersIsAnAnswer)
{
    const auto [antwort, isGreen] = GetParam();
    const QByteArray bytes(antwort);
    wb.unit(u"05"_s).setHandler(u"0ST"_s,
                                [bytes](SimUnit&, const SimCommand&) -> std::optional<QByteArray> { return bytes; });
    choose(u"05"_s);
    EXPECT_EQ(core->sh_an_aus.colour, isGreen ? ScriptCore::Green : ScriptCore::Red) << antwort;
}

INSTANTIATE_TEST_SUITE_P(Replies, LampBoundary,
                         ::testing::Values(std::pair{"[0ST!00]", false}, std::pair{"[0ST!000]", true},
                                           std::pair{"[0ST!00000000]", true}),
                         [](const auto& info) { return "Length" + std::to_string(std::strlen(info.param.first)); });

struct StopCase
{
    const char* name;
    QStringList script;
    std::function<void(SimWorkbench&)> setup;
    QStringList sent;  // commands after the unit choice
    int stopLine;      // -1: the run went through
    QString stopLabel;
};

class StopRules : public ScriptFixture, public ::testing::WithParamInterface<StopCase>
{
};

TEST_P(StopRules, StopOrPass)
{
    const StopCase& c = GetParam();
    core->Check1.checked = true;  // a stop also ends a loop
    core->Check1_Click();
    lines(c.script);
    choose(u"05"_s);
    c.setup(wb);
    wb.bus->clearTraffic();
    core->cmd_download_Click();
    if (c.stopLine < 0) {
        // A loop that goes through runs a second pass.
        for (int n = 0; n < 20000 && core->isRunning() && core->zaehler.text == u"1"_s; ++n)
            core->step();
        EXPECT_EQ(core->zaehler.text, u"2"_s) << "the loop ran a second pass";
        core->Check1.checked = false;
        runToEnd();
    } else {
        runToEnd();
        EXPECT_EQ(reply(c.stopLine), c.stopLabel);
        EXPECT_FALSE(core->Check1.checked);
        EXPECT_EQ(core->Check1.text, u"Single"_s);
        EXPECT_EQ(core->zaehler.text, u"1"_s);
    }
    QStringList sent;
    for (const QString& t : wb.traffic())
        sent << t.section(u' ', 1);
    EXPECT_EQ(sent.mid(0, c.sent.size()), c.sent);
    if (c.stopLine >= 0) {
        EXPECT_EQ(sent.size(), c.sent.size());
    }
}

const auto nothing = [](SimWorkbench&) {};
const auto silent05 = [](SimWorkbench& wb) { wb.unit(u"05"_s).setSilent(true); };

INSTANTIATE_TEST_SUITE_P(
    Lines, StopRules,
    ::testing::Values(
        StopCase{"TimeOut", {u"[0VN]"_s, u"[0ST]"_s}, silent05, {u"[0VN]"_s}, 0, u"1"_s},
        StopCase{
            "PortClosed", {u"[0VN]"_s, u"[0ST]"_s}, [](SimWorkbench& wb) { wb.core->serial().close(); }, {}, 0, u"1"_s},
        StopCase{"Rejection", {u"[0XY]"_s, u"[0ST]"_s}, nothing, {u"[0XY]"_s}, 0, u"[0XY?0005]"_s},
        StopCase{"GroupAll", {u"00"_s, u"[0VN]"_s, u"[0ST]"_s}, nothing, {u"[0VN]"_s, u"[0ST]"_s}, -1, {}},
        StopCase{"GroupF", {u"FF"_s, u"[0XY]"_s, u"[0ST]"_s}, nothing, {u"[0XY]"_s, u"[0ST]"_s}, -1, {}},
        StopCase{"GroupEnds",
                 {u"00"_s, u"[0VN]"_s, u"05"_s, u"[0XY]"_s, u"[0ST]"_s},
                 nothing,
                 {u"[0VN]"_s, u"[0XY]"_s},
                 3,
                 u"[0XY?0005]"_s},
        StopCase{"PositionWrong",
                 {u"[7PA]"_s, u"[0ST]"_s},
                 [](SimWorkbench& wb) { wb.axis(u"05"_s).setPosition(5); },
                 {u"[7PA]"_s},
                 0,
                 u"1"_s},
        StopCase{"PositionRight", {u"[7PA]"_s, u"[0ST]"_s}, nothing, {u"[7PA]"_s, u"[0ST]"_s}, -1, {}},
        // A stray in front of the poll replies must not end the wait: the way
        // back would start from where the axis was, and miss 0.
        StopCase{"StrayBeforePollReplies",
                 {u"MR1000"_s, u"MR-1000"_s, u"[7PA]"_s},
                 [](SimWorkbench& wb) { wb.unit(u"05"_s).setStrayBefore("[0po", "[9XX!STRAY]"); },
                 {u"[1MR00001461]"_s, u"[0po]"_s},
                 -1,
                 {}},
        // A stray in front of every reply: a line that is a command frame
        // reads its own, so its move is polled to the end and the way back
        // reaches 0.
        StopCase{"StrayBeforeLineReplies",
                 {u"[1FA00001461]"_s, u"[1FA00000000]"_s, u"[7PA]"_s},
                 [](SimWorkbench& wb) { wb.unit(u"05"_s).setStrayBefore("[", "[9XX!STRAY]"); },
                 {u"[1FA00001461]"_s, u"[0po]"_s},
                 -1,
                 {}},
        // A move whose poll gets no answer is told to stop.
        StopCase{"PollTimeOut",
                 {u"MR1000"_s, u"[0ST]"_s},
                 [](SimWorkbench& wb) {
                     wb.unit(u"05"_s).setHandler(u"0po"_s, [](SimUnit&, const SimCommand&) { return QByteArray(); });
                 },
                 {u"[1MR00001461]"_s, u"[0po]"_s, u"[1BR]"_s},
                 0,
                 u"1"_s},
        StopCase{"BadMove", {u"MA12x"_s, u"[0ST]"_s}, nothing, {}, 0, u"1"_s},
        StopCase{"BadMoveInGroup", {u"00"_s, u"MA12x"_s, u"[0ST]"_s}, nothing, {}, 1, u"1"_s},
        StopCase{"Comments", {u"#"_s, u"[0XY]"_s, u"#"_s, u"#x"_s, u"[0ST]"_s}, nothing, {u"[0ST]"_s}, -1, {}}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

TEST_F(Script, LoopCountsPassesAndCommentModeCarriesOver)
{
    core->Check1.checked = true;
    core->Check1_Click();
    EXPECT_EQ(core->Check1.text, u"Loop"_s);
    EXPECT_EQ(core->Check1.colour, ScriptCore::LoopColor);
    // One "#": every second pass starts in comment mode.
    lines({u"[0ST]"_s, u"#"_s, u"[0VN]"_s});
    choose(u"05"_s);
    wb.bus->clearTraffic();
    core->cmd_download_Click();
    while (core->zaehler.text != u"4"_s)
        core->step();
    core->Check1.checked = false;
    runToEnd();
    const QStringList sent = wb.traffic();
    EXPECT_EQ(sent, (QStringList{u"05 [0ST]"_s, u"05 [0VN]"_s, u"05 [0ST]"_s, u"05 [0VN]"_s}));
}

TEST_F(Script, ClosingEndsTheRunCutsThePauseAndSkipsTheStores)
{
    QStringList script{u"[0ST]"_s, u"WZ5000"_s, u"[0VN]"_s};
    while (script.size() < 75)
        script << QString();
    script << u"[0ff01]"_s << u"[0ff00]"_s << u"[0ff09]"_s;
    lines(script);
    core->Check1.checked = true;
    choose(u"05"_s);
    wb.bus->clearTraffic();
    core->cmd_download_Click();
    core->step();
    core->step();  // now in the pause
    ASSERT_GT(core->nextStepIn(), 1.0);
    // "Download" during a run is refused.
    core->cmd_download_Click();
    EXPECT_EQ(core->zaehler.text, u"1"_s);
    core->flagpollen = 1;
    const double before = wb.clock->now();
    core->closeView();
    EXPECT_EQ(core->nextStepIn(), 0.0);
    runToEnd();
    EXPECT_LT(wb.clock->now() - before, 1.0);
    EXPECT_EQ(wb.traffic(), QStringList{u"05 [0ST]"_s});
    EXPECT_FALSE(core->Check1.checked);
    EXPECT_EQ(core->n, 74);
    EXPECT_EQ(core->flagpollen, 0);
}

TEST_F(Script, ExchangesGoToTheWindowsUnitWhenAnotherWindowSelectedOneMeanwhile)
{
    lines({u"[0VN]"_s, u"[0ST]"_s, u"06"_s});
    choose(u"05"_s);
    wb.bus->clearTraffic();
    core->cmd_download_Click();
    core->step();
    wb.transport().einheit_waehlen(u"06"_s);  // another window, between two lines
    core->step();
    core->step();
    wb.transport().einheit_waehlen(u"05"_s);
    core->lb_Befehl_MouseDown(0, 2);  // the script's last unit
    EXPECT_EQ(wb.traffic(), (QStringList{u"05 [0VN]"_s, u"05 [0ST]"_s, u"06 [0VN]"_s}));
}

// The recorded step response is about 750 ms on the wire at 9600 baud, far
// beyond the 200 ms wait time: it has begun in time, so it is read whole,
// and each short reply after it stands at its own line.
TEST_F(Script, AReplyLongerThanTheWaitTimeIsReadWholeAndTheNextRepliesStayTheirOwn)
{
    installServoLoop(wb.unit(u"05"_s));
    EXPECT_EQ(core->tb_wait.text, u"200"_s);
    run({u"[1XL]"_s, u"[1PA]"_s, u"[0VN]"_s, u"[0ST]"_s});
    EXPECT_TRUE(reply(0).startsWith(u"[1XL!"_s)) << qPrintable(reply(0).left(40));
    EXPECT_TRUE(reply(0).endsWith(u"]"_s));
    EXPECT_GT(reply(0).size(), 700);
    EXPECT_TRUE(reply(1).startsWith(u"[1PA!"_s)) << qPrintable(reply(1).left(40));
    EXPECT_TRUE(reply(2).startsWith(u"[0VN!"_s)) << qPrintable(reply(2).left(40));
    EXPECT_EQ(reply(3), u"[0ST!00000000]"_s);
}

TEST_F(Script, AFaultInsideALineEndsTheRunInsteadOfRepeatingTheLine)
{
    struct BrokenClock final : IClock
    {
        double now() const override { throw std::runtime_error("clock"); }
        void sleep(double) override {}
    } broken;
    ScriptEnv e = env();
    e.clock = &broken;
    core = std::make_unique<ScriptCore>(e);
    core->Form_Load();
    EXPECT_TRUE(run({u"WZ10"_s, u"[0ST]"_s}).isEmpty());
    EXPECT_FALSE(core->isRunning());
}

TEST_F(Script, UnitChoiceTurnsTheLampAndFollowsTheControlCenter)
{
    core->lb_Befehl[3].text = u"old"_s;
    choose(u"05"_s);
    EXPECT_EQ(core->sh_an_aus.colour, ScriptCore::Green);
    EXPECT_EQ(reply(3), QString());
    choose(u"07"_s);  // no unit there: "Download" and "Transform" do nothing
    EXPECT_EQ(core->sh_an_aus.colour, ScriptCore::Red);
    core->cmd_download_Click();
    core->cmd_readout_Click();
    EXPECT_FALSE(core->isRunning());
    EXPECT_TRUE(wb.dialogs->messages.isEmpty());
    choose(u"00"_s);  // the first entry always counts as answering
    EXPECT_EQ(core->sh_an_aus.colour, ScriptCore::Green);
    // An empty entry (no unit found there) is no unit: red, nothing sent.
    core->cb_adressenauswahl.items[6] = QString();
    wb.bus->clearTraffic();
    choose(QString());
    EXPECT_EQ(core->sh_an_aus.colour, ScriptCore::Red);
    EXPECT_TRUE(wb.traffic().isEmpty());

    // Activation follows the current control center's choice, within the list.
    ccIndex = 5;
    core->Form_Activate();
    EXPECT_EQ(core->sh_an_aus.colour, ScriptCore::Green);
    ccIndex = 99;
    core->Form_Activate();
    EXPECT_EQ(core->cb_adressenauswahl.selected(), u"05"_s);
}

TEST_F(Script, TransformAsksRewritesAndRenamesTheCaption)
{
    // Line 0 keeps its reply through the run, and the rejected line 2 is emptied.
    run({u"[1ct]"_s, u"[1vP]"_s, u"[0XY]"_s});
    wb.dialogs->answers << MsgResult::No;
    core->cmd_readout_Click();
    EXPECT_EQ(core->text_Befehl[0].text, u"[1ct]"_s);
    EXPECT_EQ(core->caption, u"Download"_s);
    core->cmd_download.enabled = false;
    core->cmd_readout_Click();
    EXPECT_EQ(wb.dialogs->messages.last().text, ScriptCore::TransformQuestion);
    EXPECT_EQ(wb.dialogs->messages.last().title, u"Transform"_s);
    EXPECT_EQ(core->Befehlszeilen.mid(0, 3), (QStringList{u"[1Ct05]"_s, u"[1VP0032]"_s, QString()}));
    EXPECT_EQ(core->Befehlszeilen.at(77), u"[0ff09]"_s);
    EXPECT_TRUE(core->cmd_download.enabled);
    EXPECT_EQ(core->caption, u"Downldqv"_s);
}

TEST_F(Script, FilesLoadAndSaveWithTheirMessages)
{
    lines({u"05"_s, u"[0PSa, b  c]"_s, QString(), u"  x "_s});
    const QString pathName = wb.home.file(u"s.dwl"_s);
    // Saving while the caption is "Download": that name, no filter, no extension.
    wb.dialogs->fileAnswers << pathName;
    EXPECT_TRUE(core->befehlssatzspeichern());
    EXPECT_EQ(wb.dialogs->fileRequests.last().fileName, u"Download"_s);
    EXPECT_TRUE(wb.dialogs->fileRequests.last().filter.isEmpty() &&
                wb.dialogs->fileRequests.last().defaultExt.isEmpty());
    EXPECT_EQ(motorFlag, 1);

    // Loading replaces every line and clears the replies; the caption names the file.
    const QByteArray bytes = core->fileText();
    core->Command1_Click();
    core->lb_Befehl[0].text = u"r"_s;
    wb.dialogs->fileAnswers << pathName;
    EXPECT_TRUE(core->befehlssatzladen());
    EXPECT_EQ(core->Befehlszeilen.at(3), u"  x "_s);
    EXPECT_EQ(reply(0), QString());
    EXPECT_EQ(core->caption, u"s.dwl"_s);
    EXPECT_EQ(core->fileText(), bytes);
    wb.dialogs->fileAnswers << pathName;
    core->befehlssatzspeichern();
    EXPECT_EQ(wb.dialogs->fileRequests.last().defaultExt, u"dwl"_s);

    // A cancelled dialog loads nothing; a missing file keeps lines and caption.
    EXPECT_FALSE(core->befehlssatzladen());
    wb.dialogs->fileAnswers << wb.home.file(u"fehlt.dqv"_s);
    EXPECT_FALSE(core->befehlssatzladen());
    EXPECT_EQ(wb.dialogs->messages.last().text, u"Die Datei fehlt.dqv konnte nicht geladen werden!!"_s);
    EXPECT_EQ(core->caption, u"s.dwl"_s);
    EXPECT_EQ(core->text_Befehl[0].text, u"05"_s);

    // A short file: its lines, the rest empty, and the message.
    QFile shortFile(wb.home.file(u"autost.dwl"_s));
    ASSERT_TRUE(shortFile.open(QIODevice::WriteOnly));
    shortFile.write("\"[0ST]\"\r\n");
    shortFile.close();
    EXPECT_FALSE(core->befehlssatzladen(u"auto"_s));
    EXPECT_EQ(core->Befehlszeilen.mid(0, 2), (QStringList{u"[0ST]"_s, QString()}));
    EXPECT_EQ(core->caption, u"autost.dwl"_s);
    EXPECT_EQ(wb.dialogs->messages.size(), 2);
}

}  // namespace

namespace {

TEST_F(Script, LinesKeepToTheScriptFilesCodePage)
{
    core->text_Befehl[2].text = u"[0VN]Ω ✓ µ€"_s;
    core->text_Befehl_Change(2);
    EXPECT_EQ(core->text_Befehl[2].text, u"[0VN]  µ€"_s);
    EXPECT_EQ(core->Befehlszeilen[2], u"[0VN]  µ€"_s);
}

}  // namespace
