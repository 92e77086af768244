#include "DownloadCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Format.h"
#include "ParamsContext.h"
#include "Protocol.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <cmath>

namespace {
constexpr double Limit24 = 8388607;
const QString Bitte = QStringLiteral("??");
const QStringList BaudRates{QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                            QStringLiteral("57600"), QStringLiteral("115200")};

bool isHex(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!(c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ||
              (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    return true;
}

bool isAccepted(const QString& reply)
{
    return reply.size() >= 6 && protocol::replyStatus(reply) == protocol::ReplyStatus::Done;
}
}  // namespace

const std::array<DownloadCore::Zeile, DownloadCore::MaxRows>& DownloadCore::tabelle()
{
    using A = RowKind;
    static const std::array<Zeile, MaxRows> t{{
        {"[1dP]", "[1DP00000000]", A::Distance, "Different", "deltaposition", ""},
        {"[1pS]", "[1PS00000000]", A::Distance, "Different", "trailing distance", ""},
        {"[1vP]", "[1VP0000]", A::VelocityRow, "Abs. Rel ", "v-->Abs u. Rel", ""},
        {"[1aP]", "[1AP0000]", A::AccelerationRow, "Abs. Rel ", "a-->Abs u. Rel", ""},
        {"[1vE]", "[1VE0000]", A::VelocityRow, "Limit", "v-->Limit", ""},
        {"[1aE]", "[1AE0000]", A::AccelerationRow, "Limit", "a-->Limit", ""},
        {"[1vT]", "[1VT0000]", A::VelocityRow, "Joystick", "v-->Joy", ""},
        {"[1aT]", "[1AT0000]", A::AccelerationRow, "Joystick", "a-->Joy", ""},
        {"[1l5]", "[1L500000000]", A::Position, "Software Limits", "software Limit -", ""},
        {"[1l6]", "[1L600000000]", A::Position, "Software Limits", "software Limit +", ""},
        {"[1dS]", "[1DS00000000]", A::Counter, "Different", "superpos-delta", ""},
        {"[1iW]", "[1IW00000000]", A::Position, "Manuell index search", "[1IW] ", "search distance"},
        {"[1iO]", "[1IO00000000]", A::Position, "Manuell index search", "[1IO] ", "Offset"},
        {"[1iP]", "[1IP00000000]", A::Position, "Manuell index search", "[1IP] ", "position counter reset"},
        {"", "", A::NoScaling, "", "", ""},
        {"", "", A::NoScaling, "", "", ""},
        {"", "", A::NoScaling, "", "", ""},
        {"", "", A::NoScaling, "", "", ""},
        {"", "", A::NoScaling, "", "", ""},
        {"", "", A::NoScaling, "", "", ""},
        {"", "", A::NoScaling, "", "", ""},
        {"[0LL]", "[0LS00000000000000000000]", A::Text, "Kanalkennung", "Kanalkennung RAM", ""},
        {"[0PL]", "[0PS00000000000000000000]", A::Text, "Kanalkennung", "Kanalkennung EEPROM", ""},
    }};
    return t;
}

DownloadCore::DownloadCore(ParamWindowEnv env) : m_env(std::move(env))
{
    // adressliste_fuellen, lesebefehle_setzen, schreibbefehle_setzen
    for (int i = 0; i <= 30; ++i)
        cb_adressenauswahl.addItem(hex2(i));
    for (int i = 0; i <= 31; ++i)
        cb_Adressenwechsel.addItem(hex2(i));
    cb_baudbr.items = BaudRates;
    cb_Adressenwechsel.visible = cb_baudbr.visible = false;
    for (const Zeile& z : tabelle()) {
        Lesebefehle << QString::fromLatin1(z.readCommand);
        Schreibbefehle << QString::fromLatin1(z.writeCommand);
    }
    for (int i = 0; i < MaxRows; ++i) {
        const bool inUse = isUsed(i);
        text_download[std::size_t(i)].visible = cb_markierung[std::size_t(i)].visible = inUse;
        lb_antwort[std::size_t(i)].visible = lb_unit[std::size_t(i)].visible = inUse;
    }
    cb_markierung[22].visible = true;  // "Alles markieren"
    cb_markierung[22].text = QStringLiteral("Alles markieren");
    cmd_auslesen.text = QStringLiteral("Readout");
    cmd_download.text = QStringLiteral("Download");
    cmd_EEPROM.text = QStringLiteral("EEPROM");
    cmd_Kanal_EEPROM.text = QStringLiteral("K-EEPROM");
    cmd_Achsenwechsel.text = QStringLiteral("Adresswechsel");
    cmd_baudbr.text = QStringLiteral("Baudrate brennen");
    cmd_KopEin[0].text = QStringLiteral("Copy");
    cmd_KopEin[1].text = QStringLiteral("Paste");
    cmd_KopEin[1].enabled = false;
    cmd_exit.text = QStringLiteral("Exit");
    sh_an_aus.colour = Red;
    cmd_auslesen.enabled = cmd_download.enabled = cmd_EEPROM.enabled = cmd_Kanal_EEPROM.enabled = false;
    setUnits();
}

void DownloadCore::setBox(int i, const QString& text)
{
    text_download[std::size_t(i)].text = text;
    m_previousText[std::size_t(i)] = text;
}

QString DownloadCore::modeId(const QString& text) const
{
    QString out;
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() <= 0x7E && c != QLatin1Char('[') && c != QLatin1Char(']'))
            out += c;
        if (out.size() == IdLength)
            break;
    }
    return out;
}

bool DownloadCore::noUnit() const
{
    const int i = cb_adressenauswahl.listIndex;
    return i >= AxisParameterStore::Achsen || (i > 0 && cb_adressenauswahl.selected().isEmpty());
}

void DownloadCore::takeSnapshot()
{
    AxisParameterStore& store = m_env.params->store();
    store.setIndex(cb_adressenauswahl.listIndex);
    if (!store.indexValid())
        return;
    m_snap.Motfak = store.Motfak();
    m_snap.vmax = store.vmax();
    m_snap.vmin = store.vmin();
    m_snap.amin = store.amin();
    m_snap.drehantrieb = int(std::lround(store.drehantrieb()));
}

void DownloadCore::setUnits()
{
    const bool isRotary = m_snap.drehantrieb == 1;
    for (int i = 0; i < MaxRows; ++i) {
        QString e;
        switch (tabelle()[std::size_t(i)].rowKind) {
        case RowKind::VelocityRow: e = isRotary ? QStringLiteral("U/s") : QStringLiteral("mm/s"); break;
        case RowKind::AccelerationRow: e = isRotary ? QStringLiteral("U/s²") : QStringLiteral("mm/s²"); break;
        case RowKind::Distance:
        case RowKind::Position: e = isRotary ? QStringLiteral("Grad") : QStringLiteral("mm"); break;
        case RowKind::Counter: e = QStringLiteral("counts"); break;
        default: break;
        }
        lb_unit[std::size_t(i)].text = e;
    }
}

std::optional<double> DownloadCore::rawToDisplay(int i, double rawValue) const
{
    double d = rawValue;
    switch (tabelle()[std::size_t(i)].rowKind) {
    case RowKind::VelocityRow: d = rawValue * m_snap.vmin; break;
    case RowKind::AccelerationRow: d = rawValue * m_snap.amin; break;
    case RowKind::Distance:
    case RowKind::Position:
        if (m_snap.Motfak == 0)
            return std::nullopt;
        d = rawValue / m_snap.Motfak;
        if (m_snap.drehantrieb == 1)
            d *= 360;
        break;
    case RowKind::Counter: break;
    default: return std::nullopt;
    }
    if (!std::isfinite(d))
        return std::nullopt;
    return d;
}

std::optional<double> DownloadCore::displayToRaw(int i, double shownValue) const
{
    double r = shownValue;
    switch (tabelle()[std::size_t(i)].rowKind) {
    case RowKind::VelocityRow:
        if (m_snap.vmin == 0)
            return std::nullopt;
        r = shownValue / m_snap.vmin;
        break;
    case RowKind::AccelerationRow:
        if (m_snap.amin == 0)
            return std::nullopt;
        r = shownValue / m_snap.amin;
        break;
    case RowKind::Distance:
    case RowKind::Position:
        r = shownValue * m_snap.Motfak;
        if (m_snap.drehantrieb == 1)
            r /= 360;
        break;
    case RowKind::Counter: break;
    default: return std::nullopt;
    }
    if (!std::isfinite(r))
        return std::nullopt;
    return r;
}

void DownloadCore::wert_anzeigen(int i, double rawValue)
{
    const auto d = rawToDisplay(i, rawValue);
    if (!d) {
        setBox(i, {});
        m_shownText[std::size_t(i)].clear();
        m_raw[std::size_t(i)].reset();
        return;
    }
    const QString text =
        formatMask(*d, i <= 1 ? QStringLiteral("######0.0000") : QStringLiteral("######0.000"), m_env.usesComma());
    setBox(i, text);
    m_shownText[std::size_t(i)] = text;
    m_raw[std::size_t(i)] = rawValue;
}

void DownloadCore::Form_Activate()
{
    if (m_env.followControlCenter(cb_adressenauswahl))
        cb_adressenauswahl_Click();
    else if (online())
        // While the window was hidden other windows may have selected theirs.
        m_env.bus->einheit_waehlen(cb_adressenauswahl.selected());
}

void DownloadCore::cb_adressenauswahl_Click()
{
    if (cb_adressenauswahl.listIndex < 0)
        return;
    for (int i = 0; i < MaxRows; ++i) {
        lb_antwort[std::size_t(i)].text.clear();
        setBox(i, {});
        cb_markierung[std::size_t(i)].checked = false;
        m_shownText[std::size_t(i)].clear();
        m_raw[std::size_t(i)].reset();
    }
    const auto offline = [this] {
        sh_an_aus.colour = Red;
        Button_Disable();
        cmd_exit.enabled = true;
    };
    if (noUnit()) {
        offline();
        return;
    }
    m_env.bus->einheit_waehlen(cb_adressenauswahl.selected());
    if (cb_adressenauswahl.listIndex <= 0) {
        // The first entry reaches every unit: nothing may be read or written.
        offline();
        return;
    }
    if (m_env.senden(protocol::Status, 0.2).size() == 14) {
        sh_an_aus.colour = Green;
        Button_enable();
        cmd_auslesen_Click();
        cmd_Kanal_EEPROM.text = QStringLiteral("K-EEPROM");
        cmd_EEPROM.text = QStringLiteral("EEPROM");
    } else {
        offline();
    }
}

void DownloadCore::cmd_auslesen_Click()
{
    takeSnapshot();
    setUnits();
    if (!online())
        return;
    for (int i = 0; i < MaxRows; ++i) {
        const QString cmdText = Lesebefehle.value(i);
        if (cmdText.isEmpty())
            continue;
        const QString reply = m_env.senden(cmdText, 0.1);
        lb_antwort[std::size_t(i)].text = reply;
        if (tabelle()[std::size_t(i)].rowKind == RowKind::Text) {
            if (!isAccepted(reply) || reply.size() != 26) {
                setBox(i, {});
                continue;
            }
            QString wert = reply.mid(5, IdLength);
            while (wert.endsWith(QLatin1Char(' ')))
                wert.chop(1);
            if (!wert.isEmpty())
                setBox(i, modeId(wert));
            continue;
        }
        const int digitCount = Schreibbefehle.value(i).size() - 5;
        const QString payload = reply.mid(5, digitCount);
        if (!isAccepted(reply) || reply.size() != digitCount + 6 || payload.size() != digitCount || !isHex(payload)) {
            wert_anzeigen(i, std::nan(""));  // a failed read leaves the box empty
            continue;
        }
        wert_anzeigen(i, hex_zu_wert24(payload));
    }
}

void DownloadCore::text_download_Change(int i)
{
    if (tabelle()[std::size_t(i)].rowKind == RowKind::Text)
        text_download[std::size_t(i)].text = modeId(text_download[std::size_t(i)].text);
}

void DownloadCore::text_download_LostFocus(int i)
{
    kit::Control& box = text_download[std::size_t(i)];
    const RowKind rowKind = tabelle()[std::size_t(i)].rowKind;
    if (rowKind == RowKind::NoScaling)
        return;
    if (rowKind == RowKind::Text) {
        setBox(i, modeId(box.text));
        return;
    }
    // A value as read or written stays as it is.
    if (!box.text.isEmpty() && box.text == m_shownText[std::size_t(i)])
        return;
    const bool usesComma = m_env.usesComma();
    const double scaleFactor = m_snap.drehantrieb == 1 ? 360.0 : 1.0;
    std::optional<double> lowerBound, upperBound;
    double emptyFlag = 1;
    switch (rowKind) {
    case RowKind::VelocityRow:
        emptyFlag = m_snap.vmin;
        lowerBound = m_snap.vmin;
        upperBound = m_snap.vmax;
        break;
    case RowKind::AccelerationRow:
        emptyFlag = m_snap.amin;
        lowerBound = m_snap.amin;
        upperBound = 10000;
        break;
    case RowKind::Position:
        if (m_snap.Motfak != 0) {
            lowerBound = -(Limit24 - 1) / m_snap.Motfak * scaleFactor;
            upperBound = Limit24 / m_snap.Motfak * scaleFactor;
        }
        break;
    case RowKind::Distance:
        if (m_snap.Motfak != 0)
            upperBound = Limit24 / m_snap.Motfak * scaleFactor;
        break;
    case RowKind::Counter:
        lowerBound = 1;
        upperBound = Limit24;
        break;
    default: break;
    }
    double v = emptyFlag;
    if (!box.text.trimmed().isEmpty() && !readNumber(box.text, usesComma, v)) {
        box.text = m_previousText[std::size_t(i)];
        return;
    }
    if (lowerBound && v < *lowerBound)
        v = *lowerBound;
    if (upperBound && v > *upperBound)
        v = *upperBound;
    setBox(i, formatMask(v, QStringLiteral("######0.0000"), usesComma));
}

void DownloadCore::cmd_download_Click()
{
    if (!online())
        return;
    const bool usesComma = m_env.usesComma();
    for (int i = 0; i <= 21; ++i) {
        const std::size_t s = std::size_t(i);
        const QString commandTemplate = Schreibbefehle.value(i);
        if (commandTemplate.isEmpty() || !cb_markierung[s].checked || !cb_markierung[s].enabled)
            continue;
        QString payload;
        if (commandTemplate.size() == 25) {
            // An empty identifier is written as 20 blanks: that clears it.
            payload = modeId(text_download[s].text).leftJustified(IdLength, QLatin1Char(' '));
        } else {
            const QString t = text_download[s].text.trimmed();
            if (t.isEmpty()) {
                lb_antwort[s].text = NotSentEmpty;
                continue;
            }
            std::optional<double> rawValue;
            if (t == m_shownText[s] && m_raw[s]) {
                rawValue = m_raw[s];
            } else {
                double shownValue = 0;
                if (!readNumber(t, usesComma, shownValue)) {
                    lb_antwort[s].text = NotSentNumber;
                    continue;
                }
                rawValue = displayToRaw(i, shownValue);
            }
            const int digitCount = commandTemplate.size() - 5;
            bool ok = false;
            if (rawValue)
                payload = hexN(*rawValue, digitCount, &ok);
            const double wholePart = rawValue ? std::nearbyint(*rawValue) : 0;
            const bool fits =
                ok && payload.size() == digitCount &&
                (digitCount == 4 ? wholePart >= 0 : (wholePart >= -(Limit24 + 1) && wholePart <= Limit24));
            if (!fits) {
                m_env.ui->message(FieldTooSmall + QString::fromLatin1(tabelle()[s].captionText).trimmed(), Caption,
                                  MsgButtons::Ok);
                continue;
            }
        }
        const QString cmdText = commandTemplate.left(4) + payload + QLatin1Char(']');
        Schreibbefehle[i] = cmdText;
        lb_antwort[s].text = m_env.senden(cmdText, 0.1);
        if (commandTemplate.size() != 25)
            wert_anzeigen(i, hex_zu_wert24(payload));
    }
}

void DownloadCore::cmd_EEPROM_Click()
{
    if (!online())
        return;
    cmd_EEPROM.text = Bitte;
    Button_Disable();
    cmd_EEPROM.text = m_env.senden(QStringLiteral("[0ff01]"), 5);
    Button_enable();
}

void DownloadCore::cmd_Kanal_EEPROM_Click()
{
    if (!online())
        return;
    cmd_Kanal_EEPROM.text = Bitte;
    const QString t = modeId(text_download[22].text).leftJustified(IdLength, QLatin1Char(' '));
    Schreibbefehle[22] = QStringLiteral("[0PS") + t + QLatin1Char(']');
    lb_antwort[22].text = m_env.senden(Schreibbefehle[22], 0.2);
    Button_Disable();
    const QString reply = m_env.senden(QStringLiteral("[0ff09]"), 2);
    Button_enable();
    cmd_Kanal_EEPROM.text = reply;
}

void DownloadCore::cb_Adressenwechsel_Click()
{
    const int newValue = cb_Adressenwechsel.listIndex;
    if (newValue < 1 || !online())
        return;
    const QString newText = cb_Adressenwechsel.selected();
    if (newValue >= AxisParameterStore::Achsen) {
        m_env.ui->message(NotAssignable, AddressTitle, MsgButtons::Ok);
        return;
    }
    const int previousIndex = cb_adressenauswahl.listIndex;
    const QString previousText = cb_adressenauswahl.selected();
    m_env.bus->einheit_waehlen(newText);
    const bool isFree = m_env.senden(protocol::Status, 0.2) == keine_Antwort;
    MsgResult antwort = MsgResult::No;
    if (!isFree)
        m_env.ui->message(Assign, AddressTitle, MsgButtons::Ok);
    else
        antwort = m_env.ui->message(QStringLiteral("Wollen Sie die Achsnummer von ") + previousText +
                                        QStringLiteral(" nach ") + newText + QStringLiteral(" vergeben?"),
                                    AddressTitle, MsgButtons::YesNo, MsgIcon::Question);
    m_env.bus->einheit_waehlen(previousText);
    if (!isFree || antwort != MsgResult::Yes)
        return;
    if (!isAccepted(m_env.senden(QStringLiteral("[0CS") + newText + QLatin1Char(']'), 0.2)))
        return;
    m_env.arrayAchsenAe(newText, newValue);
    m_env.arrayAchsenAe(QString(), previousIndex);
    if (newValue >= cb_adressenauswahl.items.size())
        return;
    if (cb_adressenauswahl.items.at(newValue).isEmpty())
        cb_adressenauswahl.items[newValue] = newText;
    cb_adressenauswahl.listIndex = newValue;
    cb_adressenauswahl_Click();
    const bool wasOnline = online();
    Button_Disable();
    m_env.senden(QStringLiteral("[0ff00]"), 4);
    if (wasOnline)
        Button_enable();
    else
        cmd_exit.enabled = true;
}

void DownloadCore::cb_baudbr_Click()
{
    const int k = cb_baudbr.listIndex;
    if (cb_adressenauswahl.listIndex < 1 || !online() || k < 0 || k >= BaudRates.size()) {
        cb_baudbr.listIndex = -1;
        return;
    }
    const QString questionText = QStringLiteral("Wollen Sie die Baudrate ") + BaudRates.at(k) +
                                 QStringLiteral(" in Achse ") + cb_adressenauswahl.selected() +
                                 QStringLiteral(" brennen?");
    if (m_env.ui->message(questionText, AddressTitle, MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes)
        return;
    m_env.senden(QStringLiteral("[0B%1]").arg(k + 1), 0.2);
    m_env.senden(QStringLiteral("[0ff00]"), 4);
}

void DownloadCore::cb_markierung_Click(int i)
{
    if (i != 22)
        return;
    for (int k = 0; k <= 21; ++k)
        if (isUsed(k))
            cb_markierung[std::size_t(k)].checked = cb_markierung[22].checked;
}

void DownloadCore::cmd_KopEin_Click(int index)
{
    if (index == 0) {
        for (int i = 0; i < MaxRows; ++i)
            Kopierpuffer[std::size_t(i)] = text_download[std::size_t(i)].text;
        cmd_KopEin[1].enabled = true;
        return;
    }
    for (int i = 0; i < MaxRows; ++i) {
        const QString& t = Kopierpuffer[std::size_t(i)];
        setBox(i, tabelle()[std::size_t(i)].rowKind == RowKind::Text ? modeId(t) : t);
    }
}

void DownloadCore::cmd_exit_Click()
{
    m_env.closeView();
}

void DownloadCore::closeView()
{
    cmd_EEPROM.text = QStringLiteral("EEPROM");
    cmd_Kanal_EEPROM.text = QStringLiteral("K-EEPROM");
    cb_Adressenwechsel.visible = cb_baudbr.visible = false;
}

void DownloadCore::Button_enable()
{
    for (kit::Control* c : {&cmd_baudbr, &cmd_KopEin[0], &cmd_KopEin[1], &cmd_Achsenwechsel, &cmd_auslesen,
                            &cmd_download, &cmd_EEPROM, &cmd_exit, &cmd_Kanal_EEPROM})
        c->enabled = true;
    for (int i = 0; i <= 13; ++i)
        cb_markierung[std::size_t(i)].enabled = text_download[std::size_t(i)].enabled = true;
}

void DownloadCore::Button_Disable()
{
    for (kit::Control* c : {&cmd_baudbr, &cmd_KopEin[0], &cmd_KopEin[1], &cmd_Achsenwechsel, &cmd_auslesen,
                            &cmd_download, &cmd_EEPROM, &cmd_exit, &cmd_Kanal_EEPROM})
        c->enabled = false;
    for (int i = 0; i <= 13; ++i)
        cb_markierung[std::size_t(i)].enabled = text_download[std::size_t(i)].enabled = false;
}
