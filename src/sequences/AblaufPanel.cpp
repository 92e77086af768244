// The manual panel of the sequence window: commands queued by buttons and
// sent by the next 100 ms tick, manual moves, the index search, the AK4
// maximum and minimum values and the position displays; and leaving the window.
#include "AblaufCore.h"
#include "AblaufText.h"

#include "Format.h"
#include "Protocol.h"

#include <QScopedValueRollback>

#include <algorithm>

namespace {
constexpr QLatin1String Commands[] = {protocol::Status,       protocol::Version,      protocol::Inputs,
                                      QLatin1String("[0CI]"), QLatin1String("[0PL]"), QLatin1String("[0pe]"),
                                      protocol::Poll,         QLatin1String("[1PR]"), protocol::Stop};
const char* const TypeDigits[] = {"0", "1", "2", "3", "4", "5", "7", "8", "C"};
}  // namespace

QString AblaufCore::commandOf(int index)
{
    if (index < 0 || index >= int(std::size(Commands)))
        return {};
    return Commands[index];
}

void AblaufCore::queue(const QString& command)
{
    Handbefehl = command;
    Handbefehl_offen = 1;
}

void AblaufCore::CBefehl_Click(int index)
{
    const QString c = commandOf(index);
    if (!c.isEmpty())
        queue(c);
}

void AblaufCore::c1if_Click()
{
    queue(QStringLiteral("[1IF]"));
    tIndex3.text = QStringLiteral("Index ?");
    Indexsuche_aktiv = 1;
}

void AblaufCore::CSWEIN_Click()
{
    queue(QStringLiteral("[0SE2]"));
    for (int d = 0; d < 8; ++d) {
        Con[d].visible = true;
        Display[d].visible = true;
    }
}

void AblaufCore::CEMaxMin_Click()
{
    queue(QStringLiteral("[0ME]"));
    MaxMin_aktiv = 1;
    for (int d = 0; d < 8; ++d) {
        Con[d].text = QStringLiteral("0");
        Display[d].text = QStringLiteral("0");
    }
}

void AblaufCore::VTyp_Change()
{
    const int v = std::clamp(VTyp.value, 0, 8);
    tTyp.text = QLatin1String(TypeDigits[v]);
}

void AblaufCore::VBox_Change()
{
    tBox.text = QString::number(std::clamp(VBox.value, 0, 15), 16).toUpper();
}

bool AblaufCore::panelModule()
{
    AktTyp = VTyp.value;
    AktBox = VBox.value;
    if (hasAddress(AktTyp, AktBox))
        return true;
    // Rows without a selection would talk to whichever unit was selected last.
    LHinweis.text = QStringLiteral("no address for type ") + tTyp.text + QStringLiteral(" box ") + tBox.text;
    return false;
}

void AblaufCore::Cposbox_Click(int index)
{
    if (!panelModule())
        return;
    Adresse_waehlen();
    Indexsuche_aktiv = 0;
    QString text = TPosWeg.text;
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    const double travelMm = seqtext::leadingNumber(text);
    switch (index) {
    case 0:
    case 1: {
        // A box whose leading number has no digit ("", "-", "--5", "..5")
        // would read as 0: with ABS a move to position 0 that nobody typed.
        if (!seqtext::hasLeadingNumber(text)) {
            LHinweis.text = QStringLiteral("no distance entered");
            return;
        }
        const double w = index == 0 ? travelMm : -travelMm;
        if (OPosArt0.checked)
            MotAbs(w);
        else if (OPosArt1.checked)
            MotRel(w);
        break;
    }
    case 2: queue(QStringLiteral("[1FA00000000]")); break;
    case 3: queue(protocol::Stop); break;
    default: break;
    }
}

void AblaufCore::motManual(const QString& prefix, double Weg)
{
    const double scaleFactor = Faktortabelle[std::clamp(AktTyp, 0, 15)][std::clamp(AktBox, 0, 15)];
    if (scaleFactor == 0 && Weg != 0) {
        // With no factor the move would drive the axis to 0 counts.
        LHinweis.text = QStringLiteral("no factor set (MF) for this type and box");
        return;
    }
    const auto digits = seqtext::Hex_8(Weg * scaleFactor);
    if (!digits) {
        LHinweis.text = QStringLiteral("count beyond 32 bits");
        return;
    }
    queue(prefix + *digits + QLatin1Char(']'));
}

void AblaufCore::Timer1_Timer()
{
    if (m_inPanelTick)
        return;
    const QScopedValueRollback<bool> inTickGuard(m_inPanelTick, true);
    if (Handbefehl_offen == 1) {
        LED.colour = Green;
        Handbefehl_offen = 0;
        if (panelModule()) {
            Adresse_waehlen();
            Sendetext = Handbefehl;
            Ablaufsenden();
            LHinweis.text = Handbefehl + Empfangstext;
            Handantwort = Empfangstext;
        } else {
            Handantwort.clear();
        }
    }
    if (MaxMin_aktiv == 1)
        MAXMINlesen();
    if (Indexsuche_aktiv == 1) {
        if (!panelModule()) {
            Indexsuche_aktiv = 0;
        } else {
            Adresse_waehlen();
            Sendetext = QStringLiteral("[1IA]");
            Ablaufsenden();
            if (!Empfangstext.startsWith(QLatin1String("[1IA!"))) {
                tIndex3.text = QStringLiteral("Index ?");
            } else {
                Indexsuche_aktiv = 0;
                const double Zahlwert = seqtext::HexWert(Empfangstext.mid(7, 6));
                const double scaleFactor = Faktortabelle[std::clamp(AktTyp, 0, 15)][AktBox];
                // Without a factor the index is shown in counts.
                const double position = scaleFactor != 0 ? Zahlwert / scaleFactor : Zahlwert;
                tIndex3.text = formatMask(position, QStringLiteral("#####0.00"), m_env.usesComma());
                LED.colour = Green;
                Sendetext = QStringLiteral("[1IS]");
                Ablaufsenden();
            }
        }
    }
    if (Don0.checked) {
        for (int d = 0; d < 30 && Don0.checked; ++d) {
            if (!Con[d].checked)
                continue;
            if (d == 15)
                DPosition(m_displayType15, m_displayBox15, d + 1);
            else if (d < 16)
                DPosition(0, d + 1, d + 1);
            else
                DPosition(1, d - 15, d + 1);
            Display[d].text = Positionstext[d + 1];
        }
    }
}

void AblaufCore::DPosition(int typx, int boxx, int PAchse)
{
    AktTyp = typx;
    AktBox = boxx;
    if (!hasAddress(typx, boxx) || PAchse < 0 || PAchse > 30)
        return;
    Adresse_waehlen();
    Zeitlimit = 1;
    Sendetext = protocol::Position;
    Ablaufsenden();
    if (Empfangstext.isEmpty())
        Don0.checked = false;
    const double Zahlwert = seqtext::HexWert(Empfangstext.mid(5, 8));
    const double scaleFactor = typx < 16 && boxx < 16 ? Faktortabelle[typx][boxx] : 0.0;
    if (scaleFactor > 0 && Empfangstext.size() >= 14)
        Positionstext[PAchse] =
            formatMask(Zahlwert / scaleFactor / 1000.0, QStringLiteral("###0.00000"), m_env.usesComma());
    else
        Positionstext[PAchse] = formatMask(Zahlwert, QStringLiteral("########0"), m_env.usesComma());
}

void AblaufCore::Hexabcd(const QString& antwort)
{
    for (int k = 1; k <= 4; ++k)
        Kanalwert[k] = seqtext::HexWertAK(antwort.mid(5 + (k - 1) * 7, 6));
}

namespace {
void showChannels(AblaufCore& c, int firstChannel, const QString& heading, bool usesComma)
{
    for (int k = 0; k < 4; ++k) {
        c.Con[firstChannel + 2 * k].text = heading;
        c.Display[firstChannel + 2 * k].text = formatMask(c.Kanalwert[k + 1], QStringLiteral("####0.00"), usesComma);
    }
}
}  // namespace

void AblaufCore::MAXMINlesen()
{
    if (!panelModule()) {
        MaxMin_aktiv = 0;
        return;
    }
    Adresse_waehlen();
    Sendetext = QStringLiteral("[0MH]");
    Ablaufsenden();
    Hexabcd(Empfangstext);
    showChannels(*this, 0, QStringLiteral("MAX"), m_env.usesComma());
    Sendetext = QStringLiteral("[0ML]");
    Ablaufsenden();
    Hexabcd(Empfangstext);
    showChannels(*this, 1, QStringLiteral("MIN"), m_env.usesComma());
}

namespace {
// Runs ticks until the queued command has gone out (a tick that is already
// running elsewhere cannot send it; then the next timer tick does).
void sendNow(AblaufCore& c)
{
    for (int i = 0; i < 3 && c.Handbefehl_offen == 1; ++i)
        c.Timer1_Timer();
}
}  // namespace

void AblaufCore::CMAX_Click()
{
    queue(QStringLiteral("[0MH]"));
    sendNow(*this);
    if (Handbefehl_offen == 1)
        return;
    Hexabcd(Handantwort);
    showChannels(*this, 0, QStringLiteral("MAX"), m_env.usesComma());
}

void AblaufCore::CMin_Click()
{
    queue(QStringLiteral("[0ML]"));
    sendNow(*this);
    if (Handbefehl_offen == 1)
        return;
    Hexabcd(Handantwort);
    showChannels(*this, 1, QStringLiteral("MIN"), m_env.usesComma());
}

void AblaufCore::CAMaxMin_Click()
{
    MaxMin_aktiv = 0;
    queue(QStringLiteral("[0MA]"));
    sendNow(*this);
    CMAX_Click();
    CMin_Click();
}

void AblaufCore::cmd_exit_Click()
{
    CStop_Click();
    // The end of the motion of the last sequence line (one poll: the stop
    // request ends the wait).
    if (hasAddress(ZeilenTyp, ZeilenBox)) {
        AktTyp = ZeilenTyp;
        AktBox = ZeilenBox;
        Adresse_waehlen();
        Sendetext = protocol::Poll;
        Ablaufsenden();
    }
    m_phase = Phase::Idle;
    m_timer1On = true;
    CStart.enabled = true;
    Abbruch = 0;
    Zyklen = 0;
    Fehlerzahl = 0;
    lFehler.text = QStringLiteral("0");
    lNA.text = QStringLiteral("0");
    // While the window is away the main window may close the port: closed
    // when the window is back, it was not lost here.
    m_portInUse = false;
}
