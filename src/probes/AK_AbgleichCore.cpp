// The guided calibration window's board selection, its own exchange on the
// serial port, the measuring step and the single commands.
#include "AK_AbgleichCore.h"

#include "Clock.h"
#include "LineReply.h"
#include "ControlCenterMath.h"
#include "Format.h"
#include "Protocol.h"
#include "SerialPort.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <cmath>

namespace {
// One row per board type: caption, channels shown, whether the gain
// registers run the other way, the address range and the caption of CINR(0).
struct Board
{
    const char* name;
    int channels;
    bool reversed;
    int base;
    const char* cinr0;
};
constexpr Board Boards[AK_AbgleichCore::BoardTypes] = {
    {"AK1", 1, false, 0x20, "50"}, {"AK4", 4, true, 0x20, "50"},  {"AK2IK1", 2, true, 0x30, "50"},
    {"ADA2", 2, true, 0x40, "40"}, {"AK16", 1, true, 0x50, "50"},
};
constexpr int ADA2 = 3;
constexpr int AK16 = 4;

QString hex2(int v)
{
    return QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper();
}

const char* const SampleTimeCommands[] = {"[0FP0010]", "[0FP0020]", "[0FP0040]", "[0FP0080]",
                                          "[0FP0100]", "[0FP0200]", "[0FP0400]"};
const char* const AnalogOutputCommands[] = {"[3DA07FF]", "[3DA03FF]", "[3DA0000]", "[3DAFBFF]", "[3DAF801]"};
// Carrier commands of channels 2 to 4 (channel 1 has its own fields): 20 kHz, 13 kHz.
const char* const CarrierCommands[3][2] = {
    {"[2FQ4189]", "[2FQ2A99]"}, {"[3FQ4100]", "[3FQ3800]"}, {"[4FQ4100]", "[4FQ3600]"}};
}  // namespace

AK_AbgleichCore::AK_AbgleichCore(AK_AbgleichEnv env) : m_env(std::move(env))
{
    if (!m_env.masks)
        m_env.masks = std::make_shared<BoardMasks>();
    for (int i = 0; i < BoardTypes; ++i)
        OAkX[i].text = QLatin1String(Boards[i].name);
    // The design captions before a board type is picked.
    for (int i = 0; i < Addresses - 1; ++i) {
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
    for (int c = 0; c < Channels; ++c) {
        kanal[c].text = QStringLiteral("-1999,99");
        factorBoxes[c].text = QStringLiteral("1");
        spanBoxes[c].text = QStringLiteral("0");
        spanBoxes[c].visible = false;
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

QString AK_AbgleichCore::formatted(double v, const QString& mask) const
{
    return formatMask(v, mask, decimalComma());
}

// --- Exchange ----------------------------------------------------------------------------

void AK_AbgleichCore::selectUnit(const QString& address)
{
    if (!m_env.port->isOpen())
        return;
    if (m_env.writeSelection)
        m_env.writeSelection(address);
    else
        line::writeOnPort(*m_env.port, *m_env.clock, protocol::selection(address).toLatin1());
    m_selectedUnit = address;
    m_busUnitAtSelection = m_env.busUnit();
}

void AK_AbgleichCore::shown()
{
    m_selectedUnit.clear();
    selectOwnBoard();
}

void AK_AbgleichCore::selectOwnBoard()
{
    const int a = selectedAddress();
    if (a < 0)
        return;
    if (m_selectedUnit.isEmpty() || m_env.busUnit() != m_busUnitAtSelection)
        selectUnit(AKNR[a].text);
}

void AK_AbgleichCore::AKsenden()
{
    ISerialPort& port = *m_env.port;
    IClock& clock = *m_env.clock;
    Laufzeit = 0;
    int writes = 0;
    // A calibration step that met a silent board writes nothing more.
    if (m_inProcedure && !m_silentCommand.isEmpty()) {
        Antworttext.clear();
        return;
    }
    selectOwnBoard();
    for (;;) {
        if (writes == MaxWrites)
            return;
        Antworttext.clear();
        Startzeit = clock.now();
        // A closed port answers nothing: it counts as a silent board. The
        // reply is read by the bus line's rule (the reply period counts until
        // its first character; waiting bytes are dropped before the write).
        // A reply without end is cut at the bound, the rest drained, and
        // counts as no answer.
        if (port.isOpen()) {
            const line::PortExchange x = line::exchangeOnPort(port, clock, Sendebefehl.toLatin1(), Antwortfrist);
            if (x.reply.end != line::ReplyEnd::Capped)
                Antworttext = QString::fromLatin1(x.reply.bytes);
            Laufzeit = clock.now() - Startzeit;
        }
        if (Antworttext.isEmpty()) {
            messwert.text = QStringLiteral("MSG?");
            if (m_phase != Phase::Idle) {
                // While a calibration runs the board stays selected: its
                // register writes must never reach another board at the
                // base address. The calibration stops instead.
                if (m_inProcedure)
                    m_silentCommand = Sendebefehl;
            } else if (!AKNR[15].checked) {
                // The base address of the type; its status request runs only
                // when it was not selected already.
                AKNR_Click(15);
            }
            aktiv.checked = false;
        }
        if (protocol::replyStatus(Antworttext) == protocol::ReplyStatus::Refused) {
            m_env.ui->beep();
            ++writes;
            continue;
        }
        break;
    }
    // A mask write the board took is its mask for every window.
    m_env.masks->exchanged(m_selectedUnit, Sendebefehl, Antworttext);
    empfang.text = Antworttext;
    Antwortfrist = 2;
}

void AK_AbgleichCore::send(const QString& command)
{
    Sendebefehl = command;
    AKsenden();
}

void AK_AbgleichCore::sendAndShow(const QString& command)
{
    send(command);
    messwert.text = Sendebefehl + Antworttext;
}

// --- Read-out ----------------------------------------------------------------------------

std::optional<double> AK_AbgleichCore::Faktor_rechnen(const QString& hex) const
{
    const std::optional<double> divisor = controlDesk::readNumberField(tb_faktor.text, decimalComma());
    if (!divisor || *divisor == 0)
        return std::nullopt;
    return hex_zu_wert24(hex) / *divisor;
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
    const auto part = [this](int von, int partLength) { return M1Antwort.mid(von - 1, partLength); };
    const QString none = QStringLiteral("0");
    switch (M1Antwort.size()) {
    case 13: Kanalhex = {part(6, 6), none, none, none}; break;
    case 20: Kanalhex = {part(6, 6), part(13, 6), none, none}; break;
    case 27: Kanalhex = {part(6, 6), part(13, 6), part(20, 6), none}; break;
    case 34: Kanalhex = {part(6, 6), part(13, 6), part(20, 6), part(27, 6)}; break;
    case 15: Kanalhex = {part(2, 6), part(9, 6), none, none}; break;
    default: break;
    }
    // Without a usable divisor the values stay as they were.
    if (!Faktor_rechnen(none))
        return;
    int p = 0;
    for (int c = 0; c < Channels; ++c)
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
    for (int c = 0; c < Channels; ++c) {
        const double f = controlDesk::readNumberField(factorBoxes[c].text, decimalComma()).value_or(1.0);
        Anzeigewert[c] = Kanalwert[c] * f - Nullwert[c];
        kanal[c].text = formatted(Anzeigewert[c], QStringLiteral("####0.00"));
    }
    for (int c = 0; c < Channels; ++c) {
        Maxwert[c] = std::max(Maxwert[c], Anzeigewert[c]);
        Minwert[c] = std::min(Minwert[c], Anzeigewert[c]);
    }
    for (int c = 0; c < Channels; ++c) {
        Spanne[c] = Maxwert[c] - Minwert[c];
        spanBoxes[c].text = formatted(Spanne[c], QStringLiteral("####0.000"));
    }
}

// --- Layouts -----------------------------------------------------------------------------

void AK_AbgleichCore::EinKanal()
{
    for (int i = 1; i < Channels; ++i) {
        Check1[i].visible = false;
        kanal[i].visible = false;
        zeroButtons[i].visible = false;
        factorBoxes[i].visible = false;
        spanBoxes[i].visible = false;
    }
}

void AK_AbgleichCore::ZweiKanal()
{
    Vierkanal();
    for (int i = 2; i < Channels; ++i) {
        Check1[i].visible = false;
        kanal[i].visible = false;
        zeroButtons[i].visible = false;
        factorBoxes[i].visible = false;
        spanBoxes[i].visible = false;
    }
}

void AK_AbgleichCore::Vierkanal()
{
    // The span boxes keep their visibility: "Max/Min" shows them.
    for (int i = 0; i < Channels; ++i) {
        Check1[i].visible = true;
        kanal[i].visible = true;
        zeroButtons[i].visible = true;
        factorBoxes[i].visible = true;
    }
}

// --- Board type and address --------------------------------------------------------------

int AK_AbgleichCore::boardType() const
{
    for (int i = 0; i < BoardTypes; ++i)
        if (OAkX[i].checked)
            return i;
    return -1;
}

int AK_AbgleichCore::selectedAddress() const
{
    for (int i = 0; i < Addresses; ++i)
        if (AKNR[i].checked)
            return i;
    return -1;
}

void AK_AbgleichCore::selectOption(std::array<kit::Control, Addresses>& options, int index)
{
    for (int i = 0; i < Addresses; ++i)
        options[i].checked = i == index;
}

void AK_AbgleichCore::OAkX_Click(int index)
{
    if (index < 0 || index >= BoardTypes)
        return;
    // The port is opened before anything is written to it.
    if (!m_env.port->isOpen())
        m_env.port->open();
    for (int i = 0; i < BoardTypes; ++i)
        OAkX[i].checked = i == index;
    const Board& p = Boards[index];
    aktiv.checked = false;
    FADADA.visible = false;
    for (int c = 0; c < Channels; ++c) {
        if (Check1[c].checked) {
            Check1[c].checked = false;
            Check1_Click();
        }
    }
    if (p.channels == 1)
        EinKanal();
    else if (p.channels == 2)
        ZweiKanal();
    else
        Vierkanal();
    if (index == ADA2)
        FADADA.visible = true;
    chAK1.checked = p.reversed;
    for (int i = 0; i < Addresses - 1; ++i) {
        AKNR[i].text = hex2(p.base + 1 + i);
        CINR[i + 1].text = hex2(p.base + 1 + i);
    }
    AKNR[15].text = hex2(p.base);
    CINR[0].text = QLatin1String(p.cinr0);
    if (const int a = selectedAddress(); a >= 0) {
        selectUnit(AKNR[a].text);
        send(protocol::Status);
        messwert.text = protocol::Status + Antworttext;
    }
    AK_Nr.visible = true;
}

void AK_AbgleichCore::AKNR_Click(int index)
{
    if (index < 0 || index >= Addresses)
        return;
    selectOption(AKNR, index);
    Antwortfrist = 0.2;
    selectUnit(AKNR[index].text);
    send(protocol::Status);
    messwert.text = protocol::Status + Antworttext;
    Antwortfrist = 2;
}

// --- Commands ----------------------------------------------------------------------------

void AK_AbgleichCore::Burn00_Click()
{
    Antwortfrist = 10;
    sendAndShow(QStringLiteral("[0ff00]"));
}

void AK_AbgleichCore::Nr_AK_Click()
{
    Antwortfrist = 2;
    sendAndShow(QStringLiteral("[0CI]"));
}

void AK_AbgleichCore::CINR_Click(int index)
{
    if (index < 0 || index >= Addresses)
        return;
    selectOption(CINR, index);
    // CINR(0) names no number of the type's range: it writes nothing.
    if (index > 0) {
        Antwortfrist = 2;
        sendAndShow(QStringLiteral("[0CS") + CINR[index].text + QLatin1Char(']'));
    }
    CIY.visible = false;
}

void AK_AbgleichCore::Check1_Click()
{
    const auto flagOf = [this](int c) { return Check1[c].checked ? QStringLiteral("1") : QStringLiteral("0"); };
    switch (boardType()) {
    case 0:
    case 1:
    case 2:
        for (int c = 0; c < Channels; ++c)
            Kanalmaske[c] = flagOf(c);
        K1Befehl = boardType() == 0 ? QStringLiteral("[0K1") + Kanalmaske[0] + QLatin1Char(']')
                                    : QStringLiteral("[0K1") + Kanalmaske.at(0) + Kanalmaske.at(1) + Kanalmaske.at(2) +
                                          Kanalmaske.at(3) + QLatin1Char(']');
        break;
    case ADA2:
        Kanalmaske[0] = flagOf(0);
        Kanalmaske[1] = flagOf(1);
        K1Befehl = QStringLiteral("[0K1") + Kanalmaske[0] + Kanalmaske[1] + QLatin1Char(']');
        break;
    case AK16:
        Kanalmaske[0] = QStringLiteral("1");
        K1Befehl = QStringLiteral("[0K11000000000000000]");
        break;
    default: break;
    }
    sendAndShow(K1Befehl);
}

void AK_AbgleichCore::frequenz_Click(int index)
{
    messwert.text.clear();
    m_env.ui->beep();
    if (index == 0) {
        if (Option0[0].checked)
            sendAndShow(Frequenz1_20);
        else if (Option0[1].checked)
            sendAndShow(Frequenz1_13);
    } else if (index == 1) {
        if (Option1[0].checked)
            sendAndShow(QLatin1String(CarrierCommands[0][0]));
        else if (Option1[1].checked)
            sendAndShow(QLatin1String(CarrierCommands[0][1]));
    }
}

void AK_AbgleichCore::Option_Click(int frame, int index)
{
    if (frame < 0 || frame >= Channels || index < 0 || index > 1)
        return;
    std::array<kit::Control, 2>* options[] = {&Option0, &Option1, &Option2, &Option3};
    (*options[frame])[index].checked = true;
    (*options[frame])[1 - index].checked = false;
    if (frame == 0)
        sendAndShow(index == 0 ? Frequenz1_20 : Frequenz1_13);
    else
        sendAndShow(QLatin1String(CarrierCommands[frame - 1][index]));
}

void AK_AbgleichCore::Option5_Click(int index)
{
    if (index < 0 || index >= int(Option5.size()))
        return;
    for (int i = 0; i < int(Option5.size()); ++i)
        Option5[i].checked = i == index;
    Timer1.enabled = false;
    sendAndShow(QLatin1String(SampleTimeCommands[index]));
    Timer1.enabled = true;
}

void AK_AbgleichCore::OADADA_Click(int index)
{
    if (index < 0 || index >= int(OADADA.size()))
        return;
    for (int i = 0; i < int(OADADA.size()); ++i)
        OADADA[i].checked = i == index;
    sendAndShow(QLatin1String(AnalogOutputCommands[index]));
}

void AK_AbgleichCore::Command1_Click()
{
    sendAndShow(messwert.text);
}

void AK_AbgleichCore::Command2_Click()
{
    messwert.text = Sendebefehl;
    sendAndShow(Sendebefehl);
}

void AK_AbgleichCore::abgl_Click()
{
    Bedhinw.text.clear();
    if (Abgleich.visible) {
        Abgleich.visible = false;
        if (boardType() == AK16)
            send(QStringLiteral("[1SA]"));
    } else {
        Abgleich.visible = true;
        StartAbgl.enabled = true;
        abbruchA.enabled = true;
        if (boardType() == AK16)
            send(QStringLiteral("[1SE]"));
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

void AK_AbgleichCore::resetSpan(int c)
{
    if (c < 0 || c >= Channels)
        return;
    Maxwert[c] = -99999;
    Minwert[c] = 99999;
}

void AK_AbgleichCore::Maxmin_Click()
{
    const int t = boardType();
    if (t < 0)
        return;
    if (!Maxmin.checked) {
        for (auto& s : spanBoxes)
            s.visible = false;
        return;
    }
    for (int c = 0; c < Boards[t].channels; ++c) {
        resetSpan(c);
        spanBoxes[c].visible = true;
    }
}

void AK_AbgleichCore::zeroReleased(int c)
{
    if (c < 0 || c >= Channels)
        return;
    Nullwert[c] = controlDesk::readNumberField(factorBoxes[c].text, decimalComma()).value_or(1.0) * Kanalwert[c];
}

QString AK_AbgleichCore::channelDigit() const
{
    // The lowest ticked channel wins.
    QString k = QStringLiteral("0");
    for (int c = Channels - 1; c >= 0; --c)
        if (Check1[c].checked)
            k = QString::number(c + 1);
    return k;
}

void AK_AbgleichCore::Register_Click()
{
    Kanalziffer = channelDigit();
    sendAndShow(QLatin1Char('[') + Kanalziffer + QStringLiteral("SR]"));
}

// --- "Burn all" ----------------------------------------------------------------------------

void AK_AbgleichCore::Befehl2_Click()
{
    if (burning())
        return;
    Timer1.enabled = false;
    m_burnSequence.clear();
    const int t = boardType();
    if (t >= 0) {
        for (int c = 1; c <= Boards[t].channels; ++c)
            m_burnSequence << QStringLiteral("[0ff0%1]").arg(c);
        m_burnSequence << QStringLiteral("[0ff00]");
    }
    m_burnIndex = 0;
    burnStep();
}

void AK_AbgleichCore::burnStep()
{
    if (m_burnIndex < m_burnSequence.size()) {
        Antwortfrist = 10;
        sendAndShow(m_burnSequence.at(m_burnIndex));
        ++m_burnIndex;
    }
    if (m_burnIndex < m_burnSequence.size()) {
        // One second before the next burn; the window stays usable meanwhile.
        m_due = m_env.clock->now() + 1.0;
        return;
    }
    m_burnIndex = -1;
    m_burnSequence.clear();
    Antwortfrist = 2;
    Timer1.enabled = true;
}
