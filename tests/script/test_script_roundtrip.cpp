// A controller copied through a script: a read-out of unit 05 is transformed
// into a write script, saved as dqv, loaded into a fresh window and run
// against unit 06, which then holds 05's parameters.
#include "ScriptFixture.h"

#include "SimServoLoop.h"

using namespace Qt::StringLiterals;

namespace {

using ScriptCopy = ScriptFixture;

// The stored registers by write name, and the read line of each.
const QList<QPair<QByteArray, QString>> Register = {
    {"1VP", u"[1vP]"_s}, {"1AP", u"[1aP]"_s}, {"1VT", u"[1vT]"_s}, {"1AT", u"[1aT]"_s}, {"1VE", u"[1vE]"_s},
    {"1AE", u"[1aE]"_s}, {"1L5", u"[1l5]"_s}, {"1L6", u"[1l6]"_s}, {"1DP", u"[1dP]"_s}, {"1PS", u"[1pS]"_s},
    {"1DS", u"[1dS]"_s}, {"1IW", u"[1iW]"_s}, {"1IO", u"[1iO]"_s}, {"1IP", u"[1iP]"_s}, {"0PS", u"[0PL]"_s},
};

TEST_F(ScriptCopy, ReadOutTransformedAndDownloadedReproducesTheController)
{
    SimAxisModel& quelle = wb.axis(u"05"_s).model();
    const QByteArray werte[] = {"0040",     "0200",     "0011",     "0120",     "0013",     "0130",     "FFF00000",
                                "00100000", "00000200", "00001000", "00000300", "00000050", "00000060", "00000070"};
    for (int i = 0; i < 14; ++i)
        quelle.setParameter(Register[i].first, werte[i]);
    quelle.setParameter("0PS", "Achse 5, Tisch links");
    readout->registerDump = "8D0102030405060A";
    readout->kanaltyp = "0C";
    const auto schleife05 = installServoLoop(wb.unit(u"05"_s));
    const auto schleife06 = installServoLoop(wb.unit(u"06"_s));
    schleife05->register_->regelkreis = "80445566";

    QStringList auslesen{u"05"_s};
    for (const auto& r : Register)
        auslesen << r.second;
    auslesen << u"[1Rl]"_s << u"[1ct]"_s << u"[1RL]"_s << u"[0Vn]"_s << u"[0VN]"_s;
    run(auslesen);
    ASSERT_FALSE(core->lb_Befehl[auslesen.size() - 1].text.isEmpty());
    core->cmd_readout_Click();
    EXPECT_EQ(core->caption, u"Downldqv"_s);
    EXPECT_EQ(core->Befehlszeilen.at(1), u"[1VP0040]"_s);
    EXPECT_EQ(core->Befehlszeilen.at(15), u"[0PSAchse 5, Tisch links]"_s);
    const QString datei = wb.home.file(u"kopie.dqv"_s);
    wb.dialogs->fileAnswers << datei;
    ASSERT_TRUE(core->befehlssatzspeichern());
    EXPECT_EQ(wb.dialogs->fileRequests.last().defaultExt, u"dqv"_s);

    // A fresh window loads the script and runs it against unit 06.
    core = std::make_unique<ScriptCore>(env());
    core->Form_Load();
    wb.dialogs->fileAnswers << datei;
    ASSERT_TRUE(core->befehlssatzladen());
    EXPECT_EQ(core->text_Befehl[0].text, u"05"_s);
    core->setZeilen(QStringList{u"06"_s} + core->Befehlszeilen.mid(1));
    choose(u"06"_s);
    wb.bus->clearTraffic();
    core->cmd_download_Click();
    core->runToEnd();
    EXPECT_FALSE(core->Check1.checked);
    EXPECT_EQ(wb.traffic().last(), u"06 [0ff09]"_s);
    for (int i = 0; i < ScriptCore::Zeilen; ++i)
        EXPECT_FALSE(skript::isRejection(core->lb_Befehl[i].text) || core->lb_Befehl[i].text == keine_Antwort)
            << i << " " << core->text_Befehl[i].text.toStdString() << " -> " << core->lb_Befehl[i].text.toStdString();

    SimAxisModel& ziel = wb.axis(u"06"_s).model();
    for (const auto& r : Register)
        EXPECT_EQ(ziel.parameter(r.first), quelle.parameter(r.first)) << r.first.constData();
    EXPECT_EQ(readout06->registerDump, readout->registerDump);
    EXPECT_EQ(readout06->kanaltyp, readout->kanaltyp);
    EXPECT_EQ(schleife06->register_->regelkreis, "80445566");
}

}  // namespace
