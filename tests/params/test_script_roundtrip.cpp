// A controller copied through a script: a read-out of unit 05 is transformed
// into a write script, saved as dqv, loaded into a fresh window and run
// against unit 06, which then holds 05's parameters in its working memory and,
// after the store lines, in its EEPROM.
#include "ScriptFixture.h"

#include "SimEeprom.h"
#include "SimServoLoop.h"

using namespace Qt::StringLiterals;

namespace {

using ScriptCopy = ScriptFixture;

TEST_F(ScriptCopy, ReadOutTransformedAndDownloadedReproducesTheController)
{
    SimAxisModel& sourceRecord = wb.axis(u"05"_s).model();
    const auto loop05 = installServoLoop(wb.unit(u"05"_s));
    const auto loop06 = installServoLoop(wb.unit(u"06"_s));
    loop05->register_->loopRegister = "80445566";
    // Every register of the memory gets a value of its own, and one read line.
    QStringList auslesen{u"05"_s};
    int k = 1;
    for (const SimRegister& r : sourceRecord.eeprom().registers()) {
        const QByteArray wert =
            r.text ? QByteArray("Achse 5, Tisch ").append(QByteArray::number(k)).leftJustified(r.width)
                   : QByteArray::number(k * 0x11, 16).toUpper().rightJustified(r.width, '0').right(r.width);
        ASSERT_TRUE(sourceRecord.eeprom().setValue(r.write, wert)) << r.write.constData();
        ++k;
        // The identifier in RAM has no read the transform turns into its write.
        if (r.write != "0LS")
            auslesen << u"[%1]"_s.arg(QString::fromLatin1(sourceRecord.eeprom().readName(r)));
    }
    auslesen << u"[1RL]"_s << u"[0Vn]"_s << u"[0VN]"_s;
    run(auslesen);
    ASSERT_FALSE(reply(int(auslesen.size()) - 1).isEmpty());
    core->cmd_readout_Click();
    const QString dataFile = wb.home.file(u"kopie.dqv"_s);
    wb.dialogs->fileAnswers << dataFile;
    ASSERT_TRUE(core->befehlssatzspeichern());
    EXPECT_EQ(wb.dialogs->fileRequests.last().defaultExt, u"dqv"_s);

    // A fresh window loads the script and runs it against unit 06.
    core = std::make_unique<ScriptCore>(env());
    core->Form_Load();
    wb.dialogs->fileAnswers << dataFile;
    ASSERT_TRUE(core->befehlssatzladen());
    EXPECT_EQ(core->text_Befehl[0].text, u"05"_s);
    core->setLines(QStringList{u"06"_s} + core->Befehlszeilen.mid(1));
    choose(u"06"_s);
    wb.bus->clearTraffic();
    core->cmd_download_Click();
    runToEnd();
    EXPECT_EQ(wb.traffic().last(), u"06 [0ff09]"_s);
    for (int i = 0; i < ScriptCore::MaxRows; ++i)
        EXPECT_FALSE(scriptText::isRejection(reply(i)) || reply(i) == keine_Antwort)
            << i << " " << core->text_Befehl[i].text.toStdString() << " -> " << reply(i).toStdString();

    SimEeprom& targetPos = wb.axis(u"06"_s).model().eeprom();
    for (const SimRegister& r : sourceRecord.eeprom().registers()) {
        if (r.write == "0LS")
            continue;
        EXPECT_EQ(targetPos.value(r.write), sourceRecord.eeprom().value(r.write)) << r.write.constData();
        EXPECT_EQ(targetPos.stored(r.write), sourceRecord.eeprom().value(r.write)) << r.write.constData();
    }
    EXPECT_EQ(loop06->register_->loopRegister, "80445566");
}

}  // namespace
