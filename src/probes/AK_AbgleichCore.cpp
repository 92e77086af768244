// The guided calibration window's board selection, its own exchange on the
// serial port, the measuring step and the single commands.
#include "AK_AbgleichCore.h"

#include "Clock.h"
#include "ControlCenterMath.h"
#include "Format.h"
#include "SerialPort.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <cmath>

namespace {
// One row per board type: caption, channels shown, whether the gain
// registers run the other way, the address range and the caption of CINR(0).
struct Platine
{
    const char* name;
    int kanaele;
    bool laufrichtung;
    int basis;
    const char* cinr0;
};
constexpr Platine Platinen[AK_AbgleichCore::Typen] = {
    {"AK1", 1, false, 0x20, "50"}, {"AK4", 4, true, 0x20, "50"},  {"AK2IK1", 2, true, 0x30, "50"},
    {"ADA2", 2, true, 0x40, "40"}, {"AK16", 1, true, 0x50, "50"},
};
constexpr int ADA2 = 3;
constexpr int AK16 = 4;

QString hex2(int v)
{
    return QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper();
}

const char* const Abtastbefehle[] = {"[0FP0010]", "[0FP0020]", "[0FP0040]", "[0FP0080]",
                                     "[0FP0100]", "[0FP0200]", "[0FP0400]"};
const char* const Analogbefehle[] = {"[3DA07FF]", "[3DA03FF]", "[3DA0000]", "[3DAFBFF]", "[3DAF801]"};
// Carrier commands of channels 2 to 4 (channel 1 has its own fields): 20 kHz, 13 kHz.
const char* const Traegerbefehle[3][2] = {{"[2FQ4189]", "[2FQ2A99]"}, {"[3FQ4100]", "[3FQ3800]"}, {"[4FQ4100]", "[4FQ3600]"}};
} // namespace

AK_AbgleichCore::AK_AbgleichCore(AK_AbgleichEnv env) : m_env(std::move(env))
{
    for (int i = 0; i < Typen; ++i)
        OAkX[i].text = QLatin1String(Platinen[i].name);
    // The design captions before a board type is picked.
    for (int i = 0; i < Adressen - 1; ++i) {
        AKNR[i].text = hex2(0x21 + i);
        CINR[i + 1].text = hex2(0x21 + i);
    }
    AKNR[15].text = QStringLiteral("20");
    CINR[0].text = QStringLiteral("20");
    AK_Nr.visible = false;
    CIY.visible = false;
    FADADA.visible = false;
    Abgleich.visible = false;
    weiterA.enabled = false;
    abbruchA.enabled = false;
    for (int c = 0; c < Kanaele; ++c) {
        kanal[c].text = QStringLiteral("-1999,99");
        Faktor[c].text = QStringLiteral("1");
        Spannbox[c].text = QStringLiteral("0");
        Spannbox[c].visible = false;
    }
    // Form_Load.
    Maxwert.fill(-9999);
    Minwert.fill(9999);
    Nullwert.fill(0);
    Antwortfrist = 2;
    K1Befehl = QStringLiteral("[0K11000]");
    Frequenz1_20 = QStringLiteral("[1FQ3F92]");
    Frequenz1_13 = QStringLiteral("[1FQ2C13]");
}

QString AK_AbgleichCore::zahl(double v, const QString& maske) const
{
    return formatMask(v, maske, komma());
}

// --- Exchange ----------------------------------------------------------------------------

void AK_AbgleichCore::waehlen(const QString& adresse)
{
    if (m_env.port->isOpen())
        m_env.port->output(QByteArray(1, char(18)) + adresse.toLatin1());
}

void AK_AbgleichCore::AKsenden()
{
    ISerialPort& port = *m_env.port;
    IClock& clock = *m_env.clock;
    Laufzeit = 0;
    int versuche = 0;
    if (port.isOpen() && port.inBufferCount() > 0)
        port.input();
    for (;;) {
        if (versuche == Sendeversuche)
            return;
        Antworttext.clear();
        Startzeit = clock.now();
        // A closed port answers nothing: it counts as a silent board.
        if (port.isOpen()) {
            port.output(Sendebefehl.toLatin1());
            for (;;) {
                Antworttext += QString::fromLatin1(port.input());
                Laufzeit = clock.now() - Startzeit;
                if (Antworttext.endsWith(QLatin1Char(']')) || Laufzeit > Antwortfrist || !port.isOpen())
                    break;
                port.waitForInput(std::max(1, int(std::ceil((Antwortfrist - Laufzeit) * 1000.0)) + 1));
            }
        }
        if (Antworttext.isEmpty()) {
            messwert.text = QStringLiteral("MSG?");
            // The base address of the type; its status request runs only
            // when it was not selected already.
            if (!AKNR[15].checked)
                AKNR_Click(15);
            aktiv.checked = false;
        }
        if (Antworttext.size() >= 5 && Antworttext.at(4) == QLatin1Char('?')) {
            m_env.ui->beep();
            ++versuche;
            continue;
        }
        break;
    }
    empfang.text = Antworttext;
    Antwortfrist = 2;
}

void AK_AbgleichCore::senden(const QString& befehl)
{
    Sendebefehl = befehl;
    AKsenden();
}

void AK_AbgleichCore::einzeln(const QString& befehl)
{
    senden(befehl);
    messwert.text = Sendebefehl + Antworttext;
}

// --- Read-out ----------------------------------------------------------------------------

std::optional<double> AK_AbgleichCore::Faktor_rechnen(const QString& hex) const
{
    const std::optional<double> teiler = leitstand::zahlLesen(tb_faktor.text, komma());
    if (!teiler || *teiler == 0)
        return std::nullopt;
    return hex_zu_wert24(hex) / *teiler;
}

void AK_AbgleichCore::Messwert_holen()
{
    Sendebefehl = QStringLiteral("[0M1]");
    AKsenden();
    M1Antwort = Antworttext;
    Antworttext.clear();
}

void AK_AbgleichCore::Messwert_zerlegen()
{
    const auto teil = [this](int von, int laenge) { return M1Antwort.mid(von - 1, laenge); };
    const QString null = QStringLiteral("0");
    switch (M1Antwort.size()) {
    case 13: Kanalhex = {teil(6, 6), null, null, null}; break;
    case 20: Kanalhex = {teil(6, 6), teil(13, 6), null, null}; break;
    case 27: Kanalhex = {teil(6, 6), teil(13, 6), teil(20, 6), null}; break;
    case 34: Kanalhex = {teil(6, 6), teil(13, 6), teil(20, 6), teil(27, 6)}; break;
    case 15: Kanalhex = {teil(2, 6), teil(9, 6), null, null}; break;
    default: break;
    }
    // Without a usable divisor the values stay as they were.
    if (!Faktor_rechnen(null))
        return;
    int p = 0;
    for (int c = 0; c < Kanaele; ++c)
        Kanalwert[c] = Kanalmaske[c] == QLatin1String("1") ? *Faktor_rechnen(Kanalhex[p++]) : 0.0;
    Messwert0 = *Faktor_rechnen(Kanalhex[0]);
}

void AK_AbgleichCore::Timer1_Timer()
{
    if (!aktiv.checked) {
        for (auto& k : kanal)
            k.text = QStringLiteral("0");
        return;
    }
    if (!Faktor_rechnen(QStringLiteral("0")))
        return;
    Messwert_holen();
    Messwert_zerlegen();
    for (int c = 0; c < Kanaele; ++c) {
        const double f = leitstand::zahlLesen(Faktor[c].text, komma()).value_or(1.0);
        Anzeigewert[c] = Kanalwert[c] * f - Nullwert[c];
        kanal[c].text = zahl(Anzeigewert[c], QStringLiteral("####0.00"));
    }
    for (int c = 0; c < Kanaele; ++c) {
        Maxwert[c] = std::max(Maxwert[c], Anzeigewert[c]);
        Minwert[c] = std::min(Minwert[c], Anzeigewert[c]);
    }
    for (int c = 0; c < Kanaele; ++c) {
        Spanne[c] = Maxwert[c] - Minwert[c];
        Spannbox[c].text = zahl(Spanne[c], QStringLiteral("####0.000"));
    }
}

// --- Layouts -----------------------------------------------------------------------------

void AK_AbgleichCore::EinKanal()
{
    for (int i = 1; i < Kanaele; ++i) {
        Check1[i].visible = false;
        kanal[i].visible = false;
        Null[i].visible = false;
        Faktor[i].visible = false;
        Spannbox[i].visible = false;
    }
}

void AK_AbgleichCore::ZweiKanal()
{
    Vierkanal();
    for (int i = 2; i < Kanaele; ++i) {
        Check1[i].visible = false;
        kanal[i].visible = false;
        Null[i].visible = false;
        Faktor[i].visible = false;
        Spannbox[i].visible = false;
    }
}

void AK_AbgleichCore::Vierkanal()
{
    // The span boxes keep their visibility: "Max/Min" shows them.
    for (int i = 0; i < Kanaele; ++i) {
        Check1[i].visible = true;
        kanal[i].visible = true;
        Null[i].visible = true;
        Faktor[i].visible = true;
    }
}

// --- Board type and address --------------------------------------------------------------

int AK_AbgleichCore::typ() const
{
    for (int i = 0; i < Typen; ++i)
        if (OAkX[i].checked)
            return i;
    return -1;
}

int AK_AbgleichCore::gewaehlteAdresse() const
{
    for (int i = 0; i < Adressen; ++i)
        if (AKNR[i].checked)
            return i;
    return -1;
}

void AK_AbgleichCore::waehleOption(std::array<kit::Control, Adressen>& feld, int index)
{
    for (int i = 0; i < Adressen; ++i)
        feld[i].checked = i == index;
}

void AK_AbgleichCore::OAkX_Click(int index)
{
    if (index < 0 || index >= Typen)
        return;
    // The port is opened before anything is written to it.
    if (!m_env.port->isOpen())
        m_env.port->open();
    for (int i = 0; i < Typen; ++i)
        OAkX[i].checked = i == index;
    const Platine& p = Platinen[index];
    aktiv.checked = false;
    FADADA.visible = false;
    for (int c = 0; c < Kanaele; ++c) {
        if (Check1[c].checked) {
            Check1[c].checked = false;
            Check1_Click();
        }
    }
    if (p.kanaele == 1)
        EinKanal();
    else if (p.kanaele == 2)
        ZweiKanal();
    else
        Vierkanal();
    if (index == ADA2)
        FADADA.visible = true;
    chAK1.checked = p.laufrichtung;
    for (int i = 0; i < Adressen - 1; ++i) {
        AKNR[i].text = hex2(p.basis + 1 + i);
        CINR[i + 1].text = hex2(p.basis + 1 + i);
    }
    AKNR[15].text = hex2(p.basis);
    CINR[0].text = QLatin1String(p.cinr0);
    if (const int a = gewaehlteAdresse(); a >= 0) {
        waehlen(AKNR[a].text);
        senden(QStringLiteral("[0ST]"));
        messwert.text = QStringLiteral("[0ST]") + Antworttext;
    }
    AK_Nr.visible = true;
}

void AK_AbgleichCore::AKNR_Click(int index)
{
    if (index < 0 || index >= Adressen)
        return;
    waehleOption(AKNR, index);
    Antwortfrist = 0.2;
    waehlen(AKNR[index].text);
    senden(QStringLiteral("[0ST]"));
    messwert.text = QStringLiteral("[0ST]") + Antworttext;
    Antwortfrist = 2;
}

// --- Commands ----------------------------------------------------------------------------

void AK_AbgleichCore::Burn00_Click()
{
    Antwortfrist = 10;
    einzeln(QStringLiteral("[0ff00]"));
}

void AK_AbgleichCore::Nr_AK_Click()
{
    Antwortfrist = 2;
    einzeln(QStringLiteral("[0CI]"));
}

void AK_AbgleichCore::CINR_Click(int index)
{
    if (index < 0 || index >= Adressen)
        return;
    waehleOption(CINR, index);
    // CINR(0) names no number of the type's range: it writes nothing.
    if (index > 0) {
        Antwortfrist = 2;
        einzeln(QStringLiteral("[0CS") + CINR[index].text + QLatin1Char(']'));
    }
    CIY.visible = false;
}

void AK_AbgleichCore::Check1_Click()
{
    const auto flag = [this](int c) { return Check1[c].checked ? QStringLiteral("1") : QStringLiteral("0"); };
    switch (typ()) {
    case 0:
    case 1:
    case 2:
        for (int c = 0; c < Kanaele; ++c)
            Kanalmaske[c] = flag(c);
        K1Befehl = typ() == 0 ? QStringLiteral("[0K1") + Kanalmaske[0] + QLatin1Char(']')
                              : QStringLiteral("[0K1") + Kanalmaske.at(0) + Kanalmaske.at(1) + Kanalmaske.at(2) +
                                    Kanalmaske.at(3) + QLatin1Char(']');
        break;
    case ADA2:
        Kanalmaske[0] = flag(0);
        Kanalmaske[1] = flag(1);
        K1Befehl = QStringLiteral("[0K1") + Kanalmaske[0] + Kanalmaske[1] + QLatin1Char(']');
        break;
    case AK16:
        Kanalmaske[0] = QStringLiteral("1");
        K1Befehl = QStringLiteral("[0K11000000000000000]");
        break;
    default: break;
    }
    einzeln(K1Befehl);
}

void AK_AbgleichCore::frequenz_Click(int index)
{
    messwert.text.clear();
    m_env.ui->beep();
    if (index == 0) {
        if (Option0[0].checked)
            einzeln(Frequenz1_20);
        else if (Option0[1].checked)
            einzeln(Frequenz1_13);
    } else if (index == 1) {
        if (Option1[0].checked)
            einzeln(QLatin1String(Traegerbefehle[0][0]));
        else if (Option1[1].checked)
            einzeln(QLatin1String(Traegerbefehle[0][1]));
    }
}

void AK_AbgleichCore::Option_Click(int frame, int index)
{
    if (frame < 0 || frame >= Kanaele || index < 0 || index > 1)
        return;
    std::array<kit::Control, 2>* optionen[] = {&Option0, &Option1, &Option2, &Option3};
    (*optionen[frame])[index].checked = true;
    (*optionen[frame])[1 - index].checked = false;
    if (frame == 0)
        einzeln(index == 0 ? Frequenz1_20 : Frequenz1_13);
    else
        einzeln(QLatin1String(Traegerbefehle[frame - 1][index]));
}

void AK_AbgleichCore::Option5_Click(int index)
{
    if (index < 0 || index >= int(Option5.size()))
        return;
    for (int i = 0; i < int(Option5.size()); ++i)
        Option5[i].checked = i == index;
    Timer1.enabled = false;
    einzeln(QLatin1String(Abtastbefehle[index]));
    Timer1.enabled = true;
}

void AK_AbgleichCore::OADADA_Click(int index)
{
    if (index < 0 || index >= int(OADADA.size()))
        return;
    for (int i = 0; i < int(OADADA.size()); ++i)
        OADADA[i].checked = i == index;
    einzeln(QLatin1String(Analogbefehle[index]));
}

void AK_AbgleichCore::Command1_Click()
{
    einzeln(messwert.text);
}

void AK_AbgleichCore::Command2_Click()
{
    messwert.text = Sendebefehl;
    einzeln(Sendebefehl);
}

void AK_AbgleichCore::abgl_Click()
{
    Bedhinw.text.clear();
    if (Abgleich.visible) {
        Abgleich.visible = false;
        if (typ() == AK16)
            senden(QStringLiteral("[1SA]"));
    } else {
        Abgleich.visible = true;
        StartAbgl.enabled = true;
        abbruchA.enabled = true;
        if (typ() == AK16)
            senden(QStringLiteral("[1SE]"));
    }
}

void AK_AbgleichCore::ChTesa_Click()
{
    Soll.text = ChTesa.checked ? QStringLiteral("784.40") : QStringLiteral("700.00");
}

void AK_AbgleichCore::Interv_Click()
{
    // Only a whole number of milliseconds the timer can take changes the interval.
    bool ok = false;
    const int ms = tint.text.trimmed().toInt(&ok);
    if (ok && ms > 0)
        Timer1.interval = ms;
}

void AK_AbgleichCore::Spanne_Click(int c)
{
    if (c < 0 || c >= Kanaele)
        return;
    Maxwert[c] = -99999;
    Minwert[c] = 99999;
}

void AK_AbgleichCore::Maxmin_Click()
{
    const int t = typ();
    if (t < 0)
        return;
    if (!Maxmin.checked) {
        for (auto& s : Spannbox)
            s.visible = false;
        return;
    }
    for (int c = 0; c < Platinen[t].kanaele; ++c) {
        Spanne_Click(c);
        Spannbox[c].visible = true;
    }
}

void AK_AbgleichCore::Null_Click(int c)
{
    if (c < 0 || c >= Kanaele)
        return;
    Nullwert[c] = leitstand::zahlLesen(Faktor[c].text, komma()).value_or(1.0) * Kanalwert[c];
}

QString AK_AbgleichCore::kanalziffer() const
{
    // The lowest ticked channel wins.
    QString k = QStringLiteral("0");
    for (int c = Kanaele - 1; c >= 0; --c)
        if (Check1[c].checked)
            k = QString::number(c + 1);
    return k;
}

void AK_AbgleichCore::Register_Click()
{
    Kanalziffer = kanalziffer();
    einzeln(QLatin1Char('[') + Kanalziffer + QStringLiteral("SR]"));
}

// --- "Burn all" ----------------------------------------------------------------------------

void AK_AbgleichCore::Befehl2_Click()
{
    if (brennt())
        return;
    Timer1.enabled = false;
    m_brennfolge.clear();
    const int t = typ();
    if (t >= 0) {
        for (int c = 1; c <= Platinen[t].kanaele; ++c)
            m_brennfolge << QStringLiteral("[0ff0%1]").arg(c);
        m_brennfolge << QStringLiteral("[0ff00]");
    }
    m_brennIndex = 0;
    brennschritt();
}

void AK_AbgleichCore::brennschritt()
{
    if (m_brennIndex < m_brennfolge.size()) {
        Antwortfrist = 10;
        einzeln(m_brennfolge.at(m_brennIndex));
        ++m_brennIndex;
    }
    if (m_brennIndex < m_brennfolge.size()) {
        // One second before the next burn; the window stays usable meanwhile.
        m_faellig = m_env.clock->now() + 1.0;
        return;
    }
    m_brennIndex = -1;
    m_brennfolge.clear();
    Antwortfrist = 2;
    Timer1.enabled = true;
}
