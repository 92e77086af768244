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

#include <cmath>

namespace {
const QString Weiter = QStringLiteral("13");
const QString Abbruch = QStringLiteral("27");

// Six upper-case hexadecimal digits of a register value.
QString sechsStellen(qint64 v)
{
    return QStringLiteral("%1").arg(v, 6, 16, QLatin1Char('0')).toUpper();
}

// The number at the start of the text, with a point as the separator ("700.00 ym"
// gives 700); no digits give 0.
double fuehrendeZahl(const QString& text)
{
    static const QRegularExpression zahl(QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)"));
    const QRegularExpressionMatch m = zahl.match(text);
    return m.hasMatch() ? m.captured(0).trimmed().toDouble() : 0.0;
}
} // namespace

double AK_AbgleichCore::sollwert() const
{
    return fuehrendeZahl(Soll.text);
}

void AK_AbgleichCore::zeigeIst()
{
    Ist.text = zahl(Messwert0, QStringLiteral("####0.00"));
}

double AK_AbgleichCore::nextStepIn() const
{
    if (!laeuft())
        return -1;
    return std::max(0.0, m_faellig - m_env.clock->now());
}

void AK_AbgleichCore::warten(double sekunden)
{
    m_faellig = m_env.clock->now() + sekunden;
}

// --- Registers -----------------------------------------------------------------------------

void AK_AbgleichCore::Register_lesen()
{
    senden(QLatin1Char('[') + Kanalziffer + QStringLiteral("SR]"));
    textx.text = Sendebefehl + Antworttext;
    Registertext_P = Antworttext.mid(12, 6);
    Registertext_M = Antworttext.mid(19, 6);
    const auto wert = [](const QString& t) {
        bool ok = false;
        const qint64 v = t.toLongLong(&ok, 16);
        return ok ? v : 0;
    };
    Verstaerkung_P = wert(Registertext_P);
    Verstaerkung_M = wert(Registertext_M);
    fakP.text = Registertext_P;
    fakM.text = Registertext_M;
}

void AK_AbgleichCore::Verstaerkung_schreiben()
{
    const QString p6 = fakP.text.right(6);
    const QString m6 = fakM.text.right(6);
    const QString k = QLatin1Char('[') + Kanalziffer;
    const QString erstes = chAK1.checked ? QStringLiteral("SM") : QStringLiteral("SP");
    const QString zweites = chAK1.checked ? QStringLiteral("SP") : QStringLiteral("SM");
    senden(k + erstes + p6 + QLatin1Char(']'));
    senden(k + zweites + m6 + QLatin1Char(']'));
    senden(k + QStringLiteral("SW]"));
    // The read-back follows after a pause of 0.1 s (schrittAbschliessen).
}

void AK_AbgleichCore::schrittBeginnen(qint64 p)
{
    // Kept in 64 bits modulo 2^24, so a long search never overflows and every
    // value goes out with six digits.
    const qint64 P = ((p % Registerumfang) + Registerumfang) % Registerumfang;
    Verstaerkung_P = P;
    fakP.text = sechsStellen(P);
    Verstaerkung_M = (Registerumfang - P) % Registerumfang;
    fakM.text = sechsStellen(Verstaerkung_M);
    Verstaerkung_schreiben();
    m_schrittOffen = true;
    warten(0.1);
}

void AK_AbgleichCore::schrittAbschliessen()
{
    m_schrittOffen = false;
    Register_lesen();
    Timer1_Timer();
    zeigeIst();
    warten(0);
}

// --- The procedure -------------------------------------------------------------------------

void AK_AbgleichCore::StartAbgl_Click()
{
    if (m_phase != Phase::Idle)
        return;
    Tastencode.clear();
    Soll.text = QStringLiteral("0.00");
    Timer1.enabled = false;
    weiterA.enabled = false;
    Kanalziffer = kanalziffer();
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
    warten(0);
}

void AK_AbgleichCore::abbruchA_Click()
{
    if (Abgleich.visible) {
        Abgleich.visible = false;
        weiterA.enabled = false;
    }
    Tastencode = Abbruch;
}

void AK_AbgleichCore::aufNennwerte()
{
    const QString k = QLatin1Char('[') + Kanalziffer;
    Register_lesen();
    senden(k + QStringLiteral("SP800000]"));
    messwert.text = Sendebefehl;
    senden(k + QStringLiteral("SM800000]"));
    senden(k + QStringLiteral("SO000000]"));
    senden(k + QStringLiteral("SW]"));
    senden(k + QStringLiteral("SR]"));
    textx.text = Sendebefehl + Antworttext;
    Register_lesen();
    fakP.text = sechsStellen(Verstaerkung_P);
    fakM.text = sechsStellen(Verstaerkung_M);
    Bedhinw.text = QStringLiteral("Einstellnormal auf 0 ym einstellen");
}

void AK_AbgleichCore::offsetSetzen()
{
    const QString k = QLatin1Char('[') + Kanalziffer;
    Timer1_Timer();
    // The raw reading with the standard at 0 becomes the offset.
    senden(k + QStringLiteral("SO") + Kanalhex[0] + QLatin1Char(']'));
    senden(k + QStringLiteral("SW]"));
    senden(k + QStringLiteral("SR]"));
    textx.text = Sendebefehl + Antworttext;
    Bedhinw.text = QStringLiteral("Offset korrigiert");
    Register_lesen();
    fakP.text = sechsStellen(Verstaerkung_P);
    fakM.text = sechsStellen(Verstaerkung_M);
}

void AK_AbgleichCore::standardAbfragen()
{
    Soll.text = OAkX[3].checked ? QStringLiteral("2000.00") : QStringLiteral("700.00");
    if (ChTesa.checked)
        Soll.text = QStringLiteral("784.40");
    Bedhinw.text = QStringLiteral("Einstellnormal auf ") + Soll.text + QStringLiteral(" ym einstellen");
}

void AK_AbgleichCore::ende()
{
    m_phase = Phase::Idle;
    m_schrittOffen = false;
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
    if (brennt()) {
        m_brennIndex = -1;
        m_brennfolge.clear();
        Antwortfrist = 2;
        Timer1.enabled = true;
    }
    if (m_phase != Phase::Idle)
        ende();
}

void AK_AbgleichCore::cmd_exit_Click()
{
    abort();
    Timer1.enabled = false;
}

void AK_AbgleichCore::step()
{
    if (!laeuft() || m_env.clock->now() < m_faellig)
        return;
    // "Burn all" runs to its end before the calibration goes on.
    if (brennt()) {
        brennschritt();
        return;
    }
    if (m_schrittOffen) {
        schrittAbschliessen();
        return;
    }
    const bool live = m_phase == Phase::OffsetPrompt || m_phase == Phase::StandardPrompt || m_phase == Phase::LastAnswer;
    if (live) {
        Timer1_Timer();
        zeigeIst();
    }
    const double ist = std::abs(Messwert0);
    switch (m_phase) {
    case Phase::Idle: return;
    case Phase::FirstAnswer:
        if (Tastencode.isEmpty())
            return warten(Wartetakt);
        if (Tastencode != Weiter)
            return ende();
        Tastencode.clear();
        aufNennwerte();
        m_phase = Phase::OffsetPrompt;
        return warten(0);
    case Phase::OffsetPrompt:
        if (Tastencode.isEmpty())
            return warten(Wartetakt);
        if (Tastencode == Abbruch)
            return ende();
        Tastencode.clear();
        offsetSetzen();
        standardAbfragen();
        m_phase = Phase::StandardPrompt;
        return warten(0);
    case Phase::StandardPrompt:
        // "Abbruch" ends at once; "weiter" takes effect once the standard is
        // in place (the reading passes half of it).
        if (Tastencode == Abbruch)
            return ende();
        if (Tastencode.isEmpty() || !(ist > sollwert() / 2))
            return warten(Wartetakt);
        Tastencode.clear();
        m_schritt = 0x100000;
        m_durchlauf = 0;
        m_phase = Phase::CoarseSearch;
        return warten(0);
    case Phase::CoarseSearch:
        if (ist >= sollwert() && Tastencode != Abbruch)
            return schrittBeginnen(Verstaerkung_P + m_schritt);
        if (Tastencode == Abbruch)
            return ende();
        m_phase = Phase::PassStart;
        return warten(0);
    case Phase::PassStart:
        Timer1_Timer();
        m_phase = Phase::PassDown;
        return schrittBeginnen(Verstaerkung_P - m_schritt);
    case Phase::PassDown:
        if (!(ist > sollwert()) && Tastencode != Abbruch)
            return schrittBeginnen(Verstaerkung_P - m_schritt);
        if (Tastencode == Abbruch)
            return ende();
        m_phase = Phase::PassBack;
        return schrittBeginnen(Verstaerkung_P + m_schritt);
    case Phase::PassBack:
        ++m_durchlauf;
        m_schritt >>= 4;
        m_phase = m_durchlauf >= 6 ? Phase::LastAnswer : Phase::PassStart;
        return warten(0);
    case Phase::LastAnswer:
        if (Tastencode.isEmpty())
            return warten(Wartetakt);
        if (Tastencode != Abbruch)
            Tastencode.clear();
        return ende();
    }
}
