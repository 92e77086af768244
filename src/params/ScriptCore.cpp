#include "ScriptCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Clock.h"
#include "Guarded.h"
#include "Protocol.h"
#include "UiServices.h"
#include "ValueFile.h"
#include "globale_Funktionen.h"

#include <QDir>
#include <QFileInfo>

ScriptCore::ScriptCore(ScriptEnv env) : m_env(std::move(env))
{
    for (int i = 0; i < MaxRows; ++i) {
        lb_Befehl[i].colour = Gray;
        Befehlszeilen << QString();
    }
}

// --- Window events -------------------------------------------------------------------

void ScriptCore::Form_Load()
{
    cb_adressenauswahl.clear();
    for (int i = 0; i <= 31; ++i)
        cb_adressenauswahl.addItem(hex2(i));
    cb_adressenauswahl.addItem(QStringLiteral("31"));
}

void ScriptCore::Form_Activate()
{
    if (const auto index = m_env.controlCenterIndex()) {
        // An index this list does not have leaves the choice as it is.
        if (*index >= 0 && *index < cb_adressenauswahl.items.size())
            cb_adressenauswahl.listIndex = *index;
    }
    cb_adressenauswahl_Click();
}

void ScriptCore::cb_adressenauswahl_Click()
{
    const QString unitAddress = cb_adressenauswahl.selected();
    const int index = cb_adressenauswahl.listIndex;
    if (index < 0)
        return;
    if (unitAddress.isEmpty()) {
        // A list position without a unit: the previous unit must not answer for it.
        sh_an_aus.colour = Red;
    } else {
        pickUnit(unitAddress);
        const QString antwort = m_env.bus->senden_empfangen(protocol::Status, 0.2);
        if (antwort.size() > 8 || index == 0) {
            sh_an_aus.colour = Green;
            AblLD.enabled = true;
            AblSP.enabled = true;
        } else {
            sh_an_aus.colour = Red;
        }
    }
    for (kit::Control& l : lb_Befehl) {
        l.text.clear();
        l.colour = Gray;
    }
}

void ScriptCore::text_Befehl_Change(int Index)
{
    if (Index < 0 || Index >= MaxRows)
        return;
    // The script is saved in Windows-1252: other characters are refused.
    keepWindows1252(text_Befehl[Index].text);
    befehleaktualisieren(Index, text_Befehl[Index].text);
}

void ScriptCore::befehleaktualisieren(int Index, const QString& Befehl)
{
    if (Index >= 0 && Index < MaxRows)
        Befehlszeilen[Index] = Befehl;
}

void ScriptCore::setLines(const QStringList& lines)
{
    for (int i = 0; i < MaxRows; ++i) {
        text_Befehl[i].text = lines.value(i);
        befehleaktualisieren(i, text_Befehl[i].text);
    }
}

void ScriptCore::lb_Befehl_MouseDown(int Index, int Button)
{
    if (Button != 2 || Index < 0 || Index >= MaxRows)
        return;
    lb_Befehl[Index].text = senden(text_Befehl[Index].text, protocol::DefaultTimeout, true);
}

void ScriptCore::Command1_Click()
{
    for (int i = 0; i < MaxRows; ++i) {
        lb_Befehl[i].text.clear();
        lb_Befehl[i].colour = Gray;
        text_Befehl[i].text.clear();
        befehleaktualisieren(i, QString());
    }
    cmd_readout.enabled = true;
    cmd_download.enabled = true;
}

void ScriptCore::Check1_Click()
{
    Check1.colour = Check1.checked ? LoopColor : SingleColor;
    Check1.text = Check1.checked ? QStringLiteral("Loop") : QStringLiteral("Single");
}

void ScriptCore::cmd_exit_Click()
{
    closeView();
    m_env.leaveScript();
}

void ScriptCore::closeView()
{
    n = 74;
    flagpollen = 0;
    if (isRunning()) {
        m_abbruch = true;
        Check1.checked = false;
        Check1_Click();
    }
}

// --- Transform -----------------------------------------------------------------------

void ScriptCore::cmd_readout_Click()
{
    if (!greenLamp())
        return;
    if (m_env.ui->message(TransformQuestion, QStringLiteral("Transform"), MsgButtons::YesNo) != MsgResult::Yes)
        return;
    cmd_download.enabled = true;
    transformieren();
    caption = caption.left(std::max<qsizetype>(0, caption.size() - 3)) + QStringLiteral("dqv");
}

void ScriptCore::transformieren()
{
    QStringList lines, replies;
    for (int i = 0; i < MaxRows; ++i) {
        lines << text_Befehl[i].text;
        replies << lb_Befehl[i].text;
    }
    setLines(scriptText::transformieren(lines, replies));
}

// --- Script file ---------------------------------------------------------------------

void ScriptCore::reportFile(const QString& name)
{
    m_env.ui->message(QStringLiteral("Die Datei ") + name + QStringLiteral(" konnte nicht geladen werden!!"));
}

bool ScriptCore::befehlssatzladen(const QString& aktion)
{
    QString pathName;
    if (aktion == QLatin1String("auto")) {
        pathName = QDir(m_env.programFolder()).filePath(AutoFile);
    } else {
        FileDialogRequest r;
        r.filter = Filter;
        r.folder = m_env.programFolder();
        pathName = m_env.ui->openFile(r);
        if (pathName.isEmpty())
            return false;  // cancelled: nothing happens
    }
    const QString name = QFileInfo(pathName).fileName();
    const auto bytes = readFileBytes(pathName);
    if (!bytes) {
        reportFile(name);
        return false;
    }
    // Parsed whole before anything changes; a short file never leaves lines
    // of the previous script behind.
    const scriptText::ScriptFile dataFile = scriptText::parseScriptFile(*bytes);
    caption = name;
    for (kit::Control& l : lb_Befehl) {
        l.text.clear();
        l.colour = Gray;
    }
    setLines(dataFile.lines);
    m_env.comMotflag();
    if (!dataFile.complete) {
        reportFile(name);
        return false;
    }
    return true;
}

QByteArray ScriptCore::fileText() const
{
    return scriptText::scriptFileData(Befehlszeilen).value_or(QByteArray());
}

bool ScriptCore::befehlssatzspeichern()
{
    FileDialogRequest r;
    r.folder = m_env.programFolder();
    r.fileName = caption;
    for (const QString& ext : {QStringLiteral("dqv"), QStringLiteral("dwl")}) {
        if (caption.endsWith(ext)) {
            r.defaultExt = ext;
            r.filter = Filter;
        }
    }
    const QString pathName = m_env.ui->saveFile(r);
    if (pathName.isEmpty())
        return false;
    const auto data = scriptText::scriptFileData(Befehlszeilen);
    if (!data || !writeValueFile(pathName, *data)) {
        reportFile(QFileInfo(pathName).fileName());
        return false;
    }
    m_env.comMotflag();
    return true;
}

// --- Interpreter ---------------------------------------------------------------------

void ScriptCore::cmd_download_Click()
{
    if (!greenLamp() || isRunning())
        return;  // a second run while one is under way is refused
    skript_ausfuehren();
}

void ScriptCore::skript_ausfuehren()
{
    m_comment = 0;
    m_group = 0;
    m_zeitlimit = 0;
    m_abbruch = false;
    flagpollen = 0;
    beginPass();
}

void ScriptCore::beginPass()
{
    zaehler.text = QString::number(zaehler.text.toLongLong() + 1);
    n = 0;
    m_phase = Phase::Line;
}

void ScriptCore::endRun()
{
    m_phase = Phase::Idle;
    m_abbruch = false;
}

void ScriptCore::stopScript()
{
    Check1.checked = false;
    Check1_Click();
    n = MaxRows;
}

void ScriptCore::pickUnit(const QString& unitAddress)
{
    m_unitAddress = unitAddress;
    m_env.bus->einheit_waehlen(unitAddress);
}

QString ScriptCore::senden(const QString& command, double timeout, bool raw)
{
    selectUnit();
    // A line that is a whole command frame is read by its echo, as the
    // program's own commands are: a stray or a late reply in front of it is
    // passed over. A line whose echo cannot be known (round brackets, no
    // frame) takes the first whole frame that comes.
    const bool typed = raw && !scriptText::isCommandFrame(command);
    const QString antwort = typed ? m_env.bus->sendTyped(command, timeout, protocol::Rejection::Show)
                                  : m_env.bus->senden_empfangen(command, timeout, protocol::Rejection::Show);
    return answerOrNone(antwort);
}

QString ScriptCore::pollMotion()
{
    selectUnit();
    return answerOrNone(m_env.bus->senden_empfangen(protocol::Poll, PollTimeout, protocol::Rejection::Show));
}

void ScriptCore::selectUnit()
{
    if (!m_unitAddress.isEmpty() && m_env.bus->aktiveEinheit() != m_unitAddress)
        m_env.bus->einheit_waehlen(m_unitAddress);
}

QString ScriptCore::answerOrNone(const QString& antwort)
{
    // A closed port answers nothing at all: that is no answer, not an empty one.
    return antwort.isEmpty() ? keine_Antwort : antwort;
}

double ScriptCore::nextStepIn() const
{
    if (m_phase != Phase::Pause || m_abbruch)
        return 0.0;
    return std::max(0.0, m_pauseEnd - m_env.clock->now());
}

void ScriptCore::runToEnd()
{
    while (isRunning()) {
        const double d = nextStepIn();
        if (d > 0)
            m_env.clock->sleep(d);
        step();
    }
}

bool ScriptCore::step()
{
    switch (m_phase) {
    case Phase::Idle: return false;
    case Phase::Pause:
        if (!m_abbruch && m_env.clock->now() < m_pauseEnd)
            return true;
        m_phase = Phase::Line;
        finishLine(false);
        return isRunning();
    case Phase::Line: break;
    }
    if (m_abbruch) {
        endRun();
        return false;
    }
    if (n < 0 || n >= MaxRows) {
        finishLine(false);
        return isRunning();
    }
    // A fault inside a line ends the run: the line would fail again on every
    // following step.
    if (!kit::guarded("skript_ausfuehren", [this] { runLine(); }))
        endRun();
    return isRunning();
}

void ScriptCore::runLine()
{
    const int i = n;
    kit::Control& label = lb_Befehl[i];
    // The label of the line about to run starts empty, so a reply shown
    // belongs to this pass.
    label.text.clear();
    label.colour = Gray;
    const QString t = text_Befehl[i].text;
    if (scriptText::isCommentMarker(t))
        m_comment ^= 1;
    if (m_comment != 0) {
        finishLine(false);
        return;
    }

    bool stay = false;
    bool pause = false;
    bool motionLost = false;
    if (flagpollen == 1) {
        const QString antwort = pollMotion();
        if (antwort == protocol::PollMoving) {
            stay = true;
        } else {
            label.text = antwort;
            flagpollen = 0;
            motionLost = antwort == keine_Antwort;
        }
    } else {
        label.colour = Started;
        if (scriptText::isAddressLine(t)) {
            pickUnit(t);
            m_group = scriptText::opensGroup(t) ? 1 : 0;
        }
        if (scriptText::isEepromStore(t)) {
            m_zeitlimit = StoreTimeout;
        } else if (const auto ms = ValueFileReader::parseNumber(tb_wait.text)) {
            m_zeitlimit = *ms / 1000.0;
        }
        QString sent;
        if (scriptText::isMove(t)) {
            std::optional<QString> cmdText;
            try {
                cmdText = scriptText::moveCommand(t, m_env.store->Motfak());
            } catch (const AxisIndexError&) {
                cmdText.reset();
            }
            if (!cmdText) {
                // Nothing is sent: a move the line does not describe exactly
                // must not become a move to 0.
                label.text = keine_Antwort;
                stopScript();
                finishLine(false);
                return;
            }
            sent = *cmdText;
            label.text = senden(sent, m_zeitlimit);
        } else if (scriptText::isRawCommand(t)) {
            sent = t;
            label.text = senden(sent, m_zeitlimit, true);
        }
        if (scriptText::isPause(t)) {
            m_pauseEnd = m_env.clock->now() + scriptText::pauseMilliseconds(t) / 1000.0;
            pause = true;
        }
        if (label.text != keine_Antwort)
            label.colour = Gray;
        if (scriptText::startsMotion(label.text)) {
            flagpollen = 1;
            stay = true;
        }
    }

    if (scriptText::isPositionCheck(t) && label.text != scriptText::PositionOk) {
        label.text = keine_Antwort;
        stopScript();
    } else if (m_group == 0 && (label.text == keine_Antwort || scriptText::isRejection(label.text))) {
        // A run that gives up on a moving unit tells it to stop.
        if (motionLost)
            senden(protocol::Stop, PollTimeout);
        stopScript();
    }
    if (pause && n < MaxRows && !m_abbruch) {
        m_phase = Phase::Pause;
        return;
    }
    finishLine(stay);
}

void ScriptCore::finishLine(bool stay)
{
    if (m_abbruch) {
        endRun();
        return;
    }
    if (!stay)
        ++n;
    if (n >= 0 && n < MaxRows)
        return;
    // The pass has ended.
    if (Check1.checked) {
        beginPass();
        return;
    }
    endRun();
}
