#include "ControlLoopCore.h"

#include "BusTransport.h"
#include "ControlCenterMath.h"
#include "Format.h"
#include "OptionFlags.h"
#include "Protocol.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <QRegularExpression>

#include <cmath>

namespace {
constexpr double MaxCounter = 8388607;
// Drawing colours of successive recordings: black, blue, red, green, orange, magenta.
constexpr std::array<quint32, 6> Colors{0x000000, 0xFF0000, 0x0000FF, 0x00C000, 0x0080FF, 0xFF00FF};
const QStringList DistancesMm{"0,1", "0,2", "0,5", "1", "2", "5", "10", "20", "50", "100"};
const QStringList Times{"0,1s", "0,2s", "0,5s", "1s", "2s", "4s", "5s", "8s", "10s"};
}  // namespace

ControlLoopEnv ControlLoopEnv::completed() const
{
    ControlLoopEnv e = *this;
    const ControlLoopEnv d;
    if (!e.motfaktor_berechnen)
        e.motfaktor_berechnen = d.motfaktor_berechnen;
    if (!e.st)
        e.st = d.st;
    return e;
}

ControlLoopCore::ControlLoopCore(ControlLoopEnv env) : m_env(env.completed())
{
    for (auto& bar : sb_regelkreisV)
        bar = kit::RangeControl{0, 0, 255, 1, 10};
    // The presets follow the separator of the locale the distance is read in.
    for (const QString& mm : DistancesMm)
        text_strecke.addItem(usesComma() ? mm : QString(mm).replace(QLatin1Char(','), QLatin1Char('.')));
    text_strecke.text = text_strecke.items.at(0);
    for (std::size_t i = 0; i < ob_zeit.size(); ++i)
        ob_zeit[i].text = Times.at(qsizetype(i));
    cmd_save.text = QStringLiteral("save ");
    Caption = QStringLiteral("Controlparameter");
    Vdia[0].text = QStringLiteral("V");
    Vdia[2].text = QStringLiteral("100%");
}

void ControlLoopCore::setView(View view)
{
    m_view = std::move(view);
}

bool ControlLoopCore::usesComma() const
{
    return m_env.registry && m_env.registry->komma_frage;
}

IControlCenter* ControlLoopCore::boundCenter() const
{
    return m_env.registry ? m_env.registry->CC.item(CCIndex) : nullptr;
}

QString ControlLoopCore::senden(const QString& cmdText, double waitTime, protocol::Rejection mode) const
{
    return m_env.bus ? m_env.bus->senden_empfangen(cmdText, waitTime, mode) : QString();
}

void ControlLoopCore::report(const QString& text) const
{
    showValues();
    if (m_env.ui)
        m_env.ui->message(text, {}, MsgButtons::Ok, MsgIcon::Exclamation);
}

void ControlLoopCore::showValues() const
{
    if (m_view.show)
        m_view.show();
}

// --- binding, activation, unloading ----------------------------------------------------------

void ControlLoopCore::SetFocus()
{
    TrackedWindow::SetFocus();
    Form_Activate();
}

void ControlLoopCore::Form_Activate()
{
    if (an_aus == 0) {
        FlagControlparameter = 1;
        an_aus = 1;
        FlagRegelkreisaus = 1;
        // A write or store still waiting was meant for the previous binding.
        FlagRegelkreisschreiben = 0;
        FlagRegeleeprom = 0;
        ob_zeit_Click(Zeitindex < 1 ? 3 : Zeitindex);
        IControlCenter* cc = boundCenter();
        Caption = QStringLiteral("Controlparameter --") + (cc ? cc->windowCaption() : QString());
        if (cc)
            cc->bindToolButton(IControlCenter::ToolButton::ControlLoop);
    }
    if (m_env.registry && boundCenter())
        m_env.registry->CC_Aktivieren(CCIndex);
    showValues();
}

void ControlLoopCore::Form_Unload()
{
    FlagControlparameter = 0;
    an_aus = 0;
    if (IControlCenter* cc = boundCenter())
        cc->releaseToolButton(IControlCenter::ToolButton::ControlLoop);
    cmd_clear_Click();
}

void ControlLoopCore::Button_enable()
{
    for (kit::Control* c : {&cmd_Diag[0], &cmd_Diag[1], &cmd_Diag[2], &cmd_clear, &cmd_save, &cmd_exit})
        c->enabled = true;
}

void ControlLoopCore::Button_Disable()
{
    for (kit::Control* c : {&cmd_Diag[0], &cmd_Diag[1], &cmd_Diag[2], &cmd_clear, &cmd_save, &cmd_exit})
        c->enabled = false;
}

// --- handlers --------------------------------------------------------------------------------

void ControlLoopCore::ob_zeit_Click(int index)
{
    if (index < 0 || index >= int(ob_zeit.size()))
        return;
    for (std::size_t i = 0; i < ob_zeit.size(); ++i)
        ob_zeit[i].checked = int(i) == index;
    const QString caption = ob_zeit[std::size_t(index)].text;
    const int wert =
        int(std::lround(QString(caption).chopped(1).replace(QLatin1Char(','), QLatin1Char('.')).toDouble() * 10));
    Vdia[1].text = QStringLiteral("t=") + caption;
    if (IControlCenter* cc = boundCenter()) {
        cc->Befehl_senden = QStringLiteral("[1XT") + hex4(wert) + QLatin1Char(']');
        cc->flagsenden = 1;
        cc->FlagAuslesen = 1;
    }
    Zeitbasis = QString::number(wert);
    cmd_clear_Click();
    Zeitindex = index;
}

void ControlLoopCore::sb_regelkreisH_Change()
{
    FlagRegelkreisschreiben = 1;
}

void ControlLoopCore::sb_regelkreisV_Change(int index)
{
    if (FlagLesen == 0 && index >= 2 && index <= 4)
        FlagRegelkreisschreiben = index;
}

void ControlLoopCore::cmd_Diag_Click(int index)
{
    Button_Disable();
    FlagAufzeichnung = index;
}

void ControlLoopCore::cmd_clear_Click()
{
    if (m_view.clearPicture)
        m_view.clearPicture();
    // A dropped request leaves nothing that would enable the buttons again.
    if (FlagAufzeichnung != 0)
        Button_enable();
    FlagAufzeichnung = 0;
}

void ControlLoopCore::cmd_STOPP_Click()
{
    FlagAufzeichnung = 0;
    if (m_env.registry)
        m_env.registry->Flaganzcom = 0;
    Button_enable();
    if (IControlCenter* cc = boundCenter())
        cc->cmd_STOPP_Click();
    showValues();
}

void ControlLoopCore::cmd_exit_Click()
{
    cmd_save.text = QStringLiteral("save");
    if (m_view.closeView)
        m_view.closeView();
    else
        Form_Unload();
}

// --- loop registers ------------------------------------------------------------------------------

void ControlLoopCore::showStSec()
{
    lb_ST_Sec.text = formatMask(m_env.st() * 1000, QStringLiteral("#0.000"), usesComma()) + QStringLiteral("ms");
}

void ControlLoopCore::regelkreisschreiben()
{
    const int k = FlagRegelkreisschreiben;
    if (k < 1 || k > 4)
        return;
    const int wert = k == 1 ? sb_regelkreisH.value : sb_regelkreisV[std::size_t(k - 2)].value;
    text_regelP[std::size_t(k - 1)].text = hex2(wert);
    QString register_;
    for (const kit::Control& t : text_regelP)
        register_ += t.text;
    // All four registers go out together: without the three others from a
    // complete read the command would be short and shift its fields.
    static const QRegularExpression Four(QStringLiteral("^[0-9A-Fa-f]{8}$"));
    if (!Four.match(register_).hasMatch()) {
        text_regelP[std::size_t(k - 1)].text.clear();
        FlagRegelkreisaus = 1;
        showValues();
        return;
    }
    if (senden(QStringLiteral("[1RS") + register_ + QLatin1Char(']'), WriteTime, protocol::Rejection::QueryStatus) !=
        QLatin1String("[1RS!]"))
        senden(QStringLiteral("[1RP") + register_ + QLatin1Char(']'));
    m_env.motfaktor_berechnen();
    showStSec();
    showValues();
    // The operator goes on with the next step's distance.
    if (m_view.focusDistanceBox)
        m_view.focusDistanceBox();
}

void ControlLoopCore::regelkreisauslesen()
{
    FlagLesen = 1;
    static const QRegularExpression Antwort(QStringLiteral("^\\[1RL!([0-9A-Fa-f]{8})\\]$"));
    const QRegularExpressionMatch m = Antwort.match(senden(QStringLiteral("[1RL]")));
    if (m.hasMatch()) {
        const QString hex = m.captured(1).toUpper();
        // Set by the program: no bar raises a write.
        std::optional<EreignissperreGuard> eventLock;
        if (m_env.bus)
            eventLock.emplace(*m_env.bus);
        for (int k = 1; k <= 4; ++k) {
            const QString t = hex.mid((k - 1) * 2, 2);
            text_regelP[std::size_t(k - 1)].text = t;
            const int wert = int(std::lround(hex_zu_wert24(t)));
            kit::RangeControl& bar = k == 1 ? sb_regelkreisH : sb_regelkreisV[std::size_t(k - 2)];
            // A sample-time register outside the bar's range is shown only in its box.
            if (bar.contains(wert))
                bar.value = wert;
        }
    } else {
        // The registers are unknown now: the boxes no longer show another
        // axis's values, and no write can be built from them.
        for (kit::Control& t : text_regelP)
            t.text.clear();
    }
    showStSec();
    FlagLesen = 0;
    showValues();
}

void ControlLoopCore::eepromspeichern()
{
    cmd_save.text = QStringLiteral("??");
    Button_Disable();
    showValues();
    const QString antwort = senden(QStringLiteral("[0ff01]"), EepromTime);
    Button_enable();
    cmd_save.text = antwort.isEmpty() || antwort == keine_Antwort ? NoReply : antwort;
    showValues();
}

// --- step response ---------------------------------------------------------------------------------

void ControlLoopCore::nextColor()
{
    if (++Farbzaehler > int(Colors.size()))
        Farbzaehler = 1;
    DrawColor = Colors[std::size_t(Farbzaehler - 1)];
}

void ControlLoopCore::Diag_Aufzeichnung(int& Aufzeichnungsschritt)
{
    if (!m_env.registry)
        return;
    m_env.registry->Flaganzcom = 1;
    if (Aufzeichnungsschritt == 1 && !startStep(Aufzeichnungsschritt))
        return;
    if (FlagAufzeichnung != 3) {
        Aufzeichnungsschritt = 3;
        senden(QStringLiteral("[0pe]"));
        const QString recording = senden(QStringLiteral("[1XL]"), StepTime);
        const QString v = senden(QStringLiteral("[1vP]"));
        const bool newMotor = m_env.options && m_env.options->on(OptionFlags::NewMotorFactor);
        const double vP = hex_zu_wert24(v.mid(newMotor ? 5 : 7, 2));
        const double T = std::round((sb_regelkreisH.value + 1) * 16.0 / 2000.0 * 1000.0) / 1000.0;
        const double z = Zeitbasis.toDouble();
        const std::optional<QList<qint32>> w = readRecording(recording);
        if (!w)
            report(NoRecording + recording.left(40));
        else if (vP == 0 || T == 0 || z == 0)
            report(NoScale);
        else
            drawCurve(*w, vP, T, z);
    }
    recordingEnd(Aufzeichnungsschritt);
}

bool ControlLoopCore::startStep(int& stepState)
{
    nextColor();
    IControlCenter* cc = boundCenter();
    const std::optional<double> mm = controlDesk::readNumberField(text_strecke.text, usesComma());
    const double d = (cc ? cc->motfak_holen() : 0) * mm.value_or(0);
    if (FlagAufzeichnung == 3) {
        if (cc)
            cc->cmd_FahreNull_Click();
        return true;
    }
    if (!std::isfinite(d) || std::abs(std::round(d)) > MaxCounter) {
        cmd_STOPP_Click();
        report(DistanceError);
        stepState = 1;
        return false;
    }
    const QString argument = hex8(FlagAufzeichnung == 1 ? d : -d);
    senden(QStringLiteral("[0pa]"));
    const QString antwort = senden(QStringLiteral("[1XR") + argument + QLatin1Char(']'), StepTime);
    const bool keine = antwort.isEmpty() || antwort == keine_Antwort;
    if (keine || protocol::replyStatus(antwort) == protocol::ReplyStatus::Refused) {
        cmd_STOPP_Click();
        if (keine)
            report(NoStep);
        stepState = 1;
        return false;
    }
    return true;
}

std::optional<QList<qint32>> ControlLoopCore::readRecording(const QString& antwort) const
{
    if (!antwort.startsWith(QLatin1String("[1XL!")) || antwort.size() < RecordingLength)
        return std::nullopt;
    static const QRegularExpression Hex(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    QList<qint32> w;
    for (int n = 0; n < ValueCount; ++n) {
        const QString fieldText = antwort.mid(7 * n + 5, 6);
        if (!Hex.match(fieldText).hasMatch())
            return std::nullopt;
        w << qint32(hex_zu_wert24(fieldText));
    }
    return w;
}

void ControlLoopCore::drawSegment(double x1, double y1, double x2, double y2)
{
    if (m_view.zeichnen)
        m_view.zeichnen({x1, y1, x2, y2, DrawColor});
}

void ControlLoopCore::drawCurve(const QList<qint32>& w, double vP, double T, double z)
{
    const double S = z * vP / T;
    // Picture height of one unit of speed: from the zero line to the plus line.
    const double unitHeight = YZero - YPlus;
    if (!Check1.checked) {
        const double k = unitHeight / S;
        double px = X0, py = YZero;
        for (int i = 1; i < ValueCount; ++i) {
            const double y = YZero - double(w[i] - w[i - 1]) * k;
            const double x = X0 + 55.0 * i;
            if (std::abs(y) - std::abs(py) < 4200)
                drawSegment(px, py, x, y);
            px = x;
            py = y;
        }
    } else {
        std::array<double, 99> Y{};
        for (int j = 0; j < 99; ++j) {
            const double v = T * double(w[j + 1] - w[j]) / z / vP;
            Y[std::size_t(j)] = std::floor(YZero - unitHeight * v);
        }
        const double dx = double(X1 - X0) / 97;
        for (int m = 0; m < 97; ++m)
            drawSegment(X0 + m * dx, Y[std::size_t(m)], X0 + (m + 1) * dx, Y[std::size_t(m + 1)]);
    }
}

void ControlLoopCore::recordingEnd(int& stepState)
{
    stepState = 1;
    const int f = FlagAufzeichnung;
    FlagAufzeichnung = 0;
    if (m_env.registry)
        m_env.registry->Flaganzcom = 0;
    Button_enable();
    if (cb_wiederholen.checked && (f == 1 || f == 2))
        cmd_Diag_Click(f == 1 ? 2 : 1);
    showValues();
}
