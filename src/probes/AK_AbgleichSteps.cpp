// The guided calibration of one probe channel as a step machine: each step
// does one look at the operator's answer (with a fresh reading where the
// prompt shows the live value), or one half of a gain write: the writes
// before the 0.1 s pause, or the read-back and reading after it. The window
// runs step() from a single-shot timer, so every other control stays usable
// between two steps.
#include "AK_AbgleichCore.h"

#include "Clock.h"
#include "UiServices.h"

#include <QRegularExpression>
#include <QScopedValueRollback>

#include <cmath>

namespace {
const QString AnswerGoOn = QStringLiteral("13");
const QString AnswerStop = QStringLiteral("27");

// Six upper-case hexadecimal digits of a register value.
QString sixDigits(qint64 v)
{
    return QStringLiteral("%1").arg(v, 6, 16, QLatin1Char('0')).toUpper();
}

// The number at the start of the text, with a point as the separator ("700.00 ym"
// gives 700); no digits give 0.
double leadingNumber(const QString& text)
{
    static const QRegularExpression formatted(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)"));
    const QRegularExpressionMatch m = formatted.match(text);
    return m.hasMatch() ? m.captured(0).trimmed().toDouble() : 0.0;
}
}  // namespace

double AK_AbgleichCore::standardValue() const
{
    return leadingNumber(Soll.text);
}

void AK_AbgleichCore::showReading()
{
    Ist.text = formatted(Messwert0, QStringLiteral("####0.00"));
}

double AK_AbgleichCore::nextStepIn() const
{
    if (!running())
        return -1;
    return std::max(0.0, m_due - m_env.clock->now());
}

void AK_AbgleichCore::waitFor(double seconds)
{
    m_due = m_env.clock->now() + seconds;
}

// --- Registers -----------------------------------------------------------------------------

void AK_AbgleichCore::Register_lesen()
{
    send(QLatin1Char('[') + Kanalziffer + QStringLiteral("SR]"));
    textx.text = Sendebefehl + Antworttext;
    // The two gain fields, at the same reply positions whatever the direction
    // box says: the board lists first the register that FaktorP goes to.
    Registertext_P = Antworttext.mid(12, 6);
    Registertext_M = Antworttext.mid(19, 6);
    const auto hexValue = [](const QString& t) {
        bool ok = false;
        const qint64 v = t.toLongLong(&ok, 16);
        return ok ? v : 0;
    };
    Verstaerkung_P = hexValue(Registertext_P);
    Verstaerkung_M = hexValue(Registertext_M);
    fakP.text = Registertext_P;
    fakM.text = Registertext_M;
}

void AK_AbgleichCore::Verstaerkung_schreiben()
{
    const QString p6 = fakP.text.right(6);
    const QString m6 = fakM.text.right(6);
    const QString k = QLatin1Char('[') + Kanalziffer;
    const QString first = chAK1.checked ? QStringLiteral("SM") : QStringLiteral("SP");
    const QString second = chAK1.checked ? QStringLiteral("SP") : QStringLiteral("SM");
    send(k + first + p6 + QLatin1Char(']'));
    send(k + second + m6 + QLatin1Char(']'));
    send(k + QStringLiteral("SW]"));
    // The read-back follows after a pause of 0.1 s (completeGainStep).
}

void AK_AbgleichCore::beginGainStep(qint64 p)
{
    // Kept in 64 bits modulo 2^24, so a long search never overflows and every
    // value goes out with six digits.
    const qint64 P = ((p % RegisterRange) + RegisterRange) % RegisterRange;
    Verstaerkung_P = P;
    fakP.text = sixDigits(P);
    Verstaerkung_M = (RegisterRange - P) % RegisterRange;
    fakM.text = sixDigits(Verstaerkung_M);
    Verstaerkung_schreiben();
    m_gainStepOpen = true;
    waitFor(0.1);
}

void AK_AbgleichCore::completeGainStep()
{
    m_gainStepOpen = false;
    Register_lesen();
    Timer1_Timer();
    showReading();
    waitFor(0);
}

// --- The procedure -------------------------------------------------------------------------

void AK_AbgleichCore::StartAbgl_Click()
{
    // A calibration stopped by a silent board may be started again.
    if (m_phase == Phase::Halted) {
        m_phase = Phase::Idle;
        m_silentCommand.clear();
    }
    if (m_phase != Phase::Idle)
        return;
    Tastencode.clear();
    Soll.text = QStringLiteral("0.00");
    Timer1.enabled = false;
    weiterA.enabled = false;
    Kanalziffer = channelDigit();
    if (Kanalziffer == QLatin1String("0")) {
        m_env.ui->beep();
        Bedhinw.text = QStringLiteral("Kein Kanal angewählt !");
        Timer1.enabled = true;
        return;
    }
    Bedhinw.text = QStringLiteral("Kanal ") + Kanalziffer;
    textx.text.clear();
    StartAbgl.enabled = false;
    weiterA.enabled = true;
    abbruchA.enabled = true;
    m_phase = Phase::FirstAnswer;
    waitFor(0);
}

void AK_AbgleichCore::abbruchA_Click()
{
    if (Abgleich.visible) {
        Abgleich.visible = false;
        weiterA.enabled = false;
    }
    Tastencode = AnswerStop;
}

void AK_AbgleichCore::resetToNominal()
{
    const QString k = QLatin1Char('[') + Kanalziffer;
    Register_lesen();
    send(k + QStringLiteral("SP800000]"));
    messwert.text = Sendebefehl;
    send(k + QStringLiteral("SM800000]"));
    send(k + QStringLiteral("SO000000]"));
    send(k + QStringLiteral("SW]"));
    send(k + QStringLiteral("SR]"));
    textx.text = Sendebefehl + Antworttext;
    Register_lesen();
    fakP.text = sixDigits(Verstaerkung_P);
    fakM.text = sixDigits(Verstaerkung_M);
    Bedhinw.text = QStringLiteral("Einstellnormal auf 0 ym einstellen");
}

void AK_AbgleichCore::setOffset()
{
    const QString k = QLatin1Char('[') + Kanalziffer;
    Timer1_Timer();
    // The raw reading with the standard at 0 becomes the offset.
    send(k + QStringLiteral("SO") + Kanalhex[0] + QLatin1Char(']'));
    send(k + QStringLiteral("SW]"));
    send(k + QStringLiteral("SR]"));
    textx.text = Sendebefehl + Antworttext;
    Bedhinw.text = QStringLiteral("Offset korrigiert");
    Register_lesen();
    fakP.text = sixDigits(Verstaerkung_P);
    fakM.text = sixDigits(Verstaerkung_M);
}

void AK_AbgleichCore::askForStandard()
{
    Soll.text = OAkX[3].checked ? QStringLiteral("2000.00") : QStringLiteral("700.00");
    if (ChTesa.checked)
        Soll.text = QStringLiteral("784.40");
    Bedhinw.text = QStringLiteral("Einstellnormal auf ") + Soll.text + QStringLiteral(" ym einstellen");
}

void AK_AbgleichCore::finish()
{
    m_phase = Phase::Idle;
    m_gainStepOpen = false;
    m_silentCommand.clear();
    Timer1.enabled = true;
    StartAbgl.enabled = true;
    weiterA.enabled = false;
    Bedhinw.text = QStringLiteral("Ende");
    Soll.text = QStringLiteral("0");
    Ist.text = QStringLiteral("0");
    fakM.text = QStringLiteral("0");
    fakP.text = QStringLiteral("0");
}

void AK_AbgleichCore::abort()
{
    if (burning()) {
        m_burnIndex = -1;
        m_burnSequence.clear();
        Antwortfrist = 2;
        Timer1.enabled = true;
    }
    if (m_phase != Phase::Idle)
        finish();
}

void AK_AbgleichCore::cmd_exit_Click()
{
    abort();
    Timer1.enabled = false;
    hidden();
}

void AK_AbgleichCore::step()
{
    if (!running() || m_env.clock->now() < m_due)
        return;
    // "Burn all" runs to its end before the calibration goes on.
    if (burning()) {
        burnStep();
        return;
    }
    {
        const QScopedValueRollback<bool> inProcedure(m_inProcedure, true);
        procedureStep();
    }
    if (!m_silentCommand.isEmpty() && m_phase != Phase::Idle && m_phase != Phase::Halted)
        halt();
}

void AK_AbgleichCore::halt()
{
    // Nothing more is written; the operator ends with "Abbruch" or starts anew.
    m_phase = Phase::Halted;
    m_gainStepOpen = false;
    Tastencode.clear();
    Bedhinw.text = QStringLiteral("Keine Antwort auf ") + m_silentCommand + QStringLiteral(": Abgleich angehalten");
    StartAbgl.enabled = true;
    weiterA.enabled = false;
    abbruchA.enabled = true;
    waitFor(AnswerPoll);
}

void AK_AbgleichCore::procedureStep()
{
    if (m_gainStepOpen) {
        completeGainStep();
        return;
    }
    const bool liveReading =
        m_phase == Phase::OffsetPrompt || m_phase == Phase::StandardPrompt || m_phase == Phase::LastAnswer;
    if (liveReading) {
        Timer1_Timer();
        showReading();
    }
    const double reading = std::abs(Messwert0);
    switch (m_phase) {
    case Phase::Idle: return;
    case Phase::FirstAnswer:
        if (Tastencode.isEmpty())
            return waitFor(AnswerPoll);
        if (Tastencode != AnswerGoOn)
            return finish();
        Tastencode.clear();
        resetToNominal();
        m_phase = Phase::OffsetPrompt;
        return waitFor(0);
    case Phase::OffsetPrompt:
        if (Tastencode.isEmpty())
            return waitFor(AnswerPoll);
        if (Tastencode == AnswerStop)
            return finish();
        Tastencode.clear();
        setOffset();
        askForStandard();
        m_phase = Phase::StandardPrompt;
        return waitFor(0);
    case Phase::StandardPrompt:
        // "Abbruch" ends at once; "weiter" takes effect once the standard is
        // in place (the reading passes half of it).
        if (Tastencode == AnswerStop)
            return finish();
        if (Tastencode.isEmpty() || !(reading > standardValue() / 2))
            return waitFor(AnswerPoll);
        Tastencode.clear();
        Schritt = 0x100000;
        Durchlauf = 0;
        m_phase = Phase::CoarseSearch;
        return waitFor(0);
    case Phase::CoarseSearch:
        if (reading >= standardValue() && Tastencode != AnswerStop)
            return beginGainStep(Verstaerkung_P + Schritt);
        if (Tastencode == AnswerStop)
            return finish();
        m_phase = Phase::PassStart;
        return waitFor(0);
    case Phase::PassStart:
        Timer1_Timer();
        m_phase = Phase::PassDown;
        return beginGainStep(Verstaerkung_P - Schritt);
    case Phase::PassDown:
        if (!(reading > standardValue()) && Tastencode != AnswerStop)
            return beginGainStep(Verstaerkung_P - Schritt);
        if (Tastencode == AnswerStop)
            return finish();
        m_phase = Phase::PassBack;
        return beginGainStep(Verstaerkung_P + Schritt);
    case Phase::PassBack:
        ++Durchlauf;
        Schritt >>= 4;
        m_phase = Durchlauf >= 6 ? Phase::LastAnswer : Phase::PassStart;
        return waitFor(0);
    case Phase::LastAnswer:
        if (Tastencode.isEmpty())
            return waitFor(AnswerPoll);
        if (Tastencode != AnswerStop)
            Tastencode.clear();
        return finish();
    case Phase::Halted:
        if (Tastencode == AnswerStop)
            return finish();
        return waitFor(AnswerPoll);
    }
}
