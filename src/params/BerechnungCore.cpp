#include "BerechnungCore.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "ConfigFile.h"
#include "Format.h"
#include "ParamsContext.h"
#include "globale_Funktionen.h"
#include "Protocol.h"

#include <QScopedValueRollback>

namespace {
// The value of box n in the record; boxes 8 to 10 are results.
double* recordField(Achsdatensatz& r, int n)
{
    switch (n) {
    case 0: return &r.Spannungskonstante;
    case 1: return &r.Spannung;
    case 2: return &r.Gear;
    case 3: return &r.leadscrew;
    case 4: return &r.Inkremente;
    case 5: return &r.Interpolationsfaktor;
    case 6: return &r.Motorkonstante;
    case 7: return &r.Motfak;
    case 8: return &r.vmax;
    case 9: return &r.vmin;
    case 10: return &r.amin;
    default: return nullptr;
    }
}
}  // namespace

BerechnungCore::BerechnungCore(ParamWindowEnv env) : m_env(std::move(env))
{
    for (int i = 0; i <= 30; ++i)
        cb_adressenauswahl.addItem(hex2(i));
    chb_Massstab.text = QStringLiteral("Maßstabsachse");
    ob_MotFak[0].text = QStringLiteral("Mot-Faktor berechnen");
    ob_MotFak[1].text = QStringLiteral("Eingabe Mot-Faktor");
    ob_MotFak[0].checked = true;
    cmd_Berechnung.text = QStringLiteral("Berechnung");
    cmd_IM.text = QStringLiteral("Motordaten (IM) auslesen");
    cmd_KopEin[0].text = QStringLiteral("Copy");
    cmd_KopEin[1].text = QStringLiteral("Paste");
    cmd_KopEin[1].enabled = false;
    cmd_exit.text = QStringLiteral("Exit");
    sh_an_aus.colour = Red;
    text_regelP.text = QStringLiteral("7C");
    chb_Massstab_Click();  // "Encoder", "Inkr./U" (stores nothing before an axis is chosen)
    chb_drehantrieb.checked = false;
    Label3.text = QStringLiteral("counts/mm");
    Label5.text = Label6.text = QStringLiteral("mm/s");
    Label7.text = QStringLiteral("mm/s²");
    Label8.text = QStringLiteral("µm");
    boxStates();
}

bool BerechnungCore::noUnit() const
{
    const int i = cb_adressenauswahl.listIndex;
    return i < 0 || i >= AxisParameterStore::Achsen || (i > 0 && cb_adressenauswahl.selected().isEmpty());
}

void BerechnungCore::pickUnit()
{
    m_env.bus->einheit_waehlen(cb_adressenauswahl.selected());
}

void BerechnungCore::motfaktor_berechnen()
{
    if (noUnit())
        return;
    pickUnit();
    m_env.params->store().setIndex(cb_adressenauswahl.listIndex);
    m_env.params->motfaktor_berechnen();
}

void BerechnungCore::showValues(const MotorFactorDisplay& d)
{
    if (sb_regelkreisH.contains(d.sb_regelkreisH)) {
        sb_regelkreisH.value = m_controlLoop = d.sb_regelkreisH;
        text_regelP.text = hex2(d.sb_regelkreisH);
    }
    if (!d.lb_ST_Sec.isEmpty())
        lb_ST_Sec.text = d.lb_ST_Sec;
    if (!d.text_MFB7.isEmpty())
        text_MFB[7].text = d.text_MFB7;
    if (!d.lb_aufloesung.isEmpty())
        lb_aufloesung.text = d.lb_aufloesung;
    if (!d.text_MFB8.isEmpty())
        text_MFB[8].text = d.text_MFB8;
    if (!d.text_MFB9.isEmpty())
        text_MFB[9].text = d.text_MFB9;
    if (!d.text_MFB10.isEmpty())
        text_MFB[10].text = d.text_MFB10;
}

void BerechnungCore::Form_Activate()
{
    if (m_env.followControlCenter(cb_adressenauswahl))
        cb_adressenauswahl_Click();
}

void BerechnungCore::showBoxes()
{
    const bool usesComma = m_env.usesComma();
    Achsdatensatz& r = m_env.params->store().axisRecordAt(cb_adressenauswahl.listIndex);
    for (int n : {1, 6, 2, 3, 5, 0, 4, 8, 9, 10, 7})
        text_MFB[std::size_t(n)].text = numberText(*recordField(r, n), usesComma);
    text_MFB[9].text = formatMask(r.vmin, QStringLiteral("######0.000000"), usesComma);
}

void BerechnungCore::cb_adressenauswahl_Click()
{
    if (cb_adressenauswahl.listIndex < 0)
        return;
    if (noUnit()) {
        // No axis: the previous axis's data must not stand under the red
        // lamp as if they were this entry's. Nothing is stored.
        sh_an_aus.colour = Red;
        for (kit::Control& box : text_MFB)
            box.text.clear();
        text_Achsenbezeichnung.text.clear();
        lb_aufloesung.text.clear();
        return;
    }
    AxisParameterStore& store = m_env.params->store();
    const int axisNo = cb_adressenauswahl.listIndex;
    store.setIndex(axisNo);
    const Achsdatensatz& r = store.axisRecordAt(axisNo);
    ob_MotFak[0].checked = r.Motfak_manuell != 1;
    ob_MotFak[1].checked = r.Motfak_manuell == 1;
    boxStates();
    {
        // The previous unit is still selected here: the rotary box's
        // calculation waits for the one on this axis's unit below.
        const QScopedValueRollback<bool> axisChoice(m_axisChoice, true);
        setTickBox(r.Massstabsachse == 1, store.rotaryDriveFlag(axisNo) == 1);
    }
    showBoxes();
    text_Achsenbezeichnung.text = r.Achsenbezeichnung;
    cb_ESP.checked = r.Endschalter_Plus == 1;
    cb_ESM.checked = r.Endschalter_minus == 1;
    cb_IP.checked = r.Index_Plus == 1;
    cb_IM.checked = r.Index_Minus == 1;
    // No resolution for a motor factor of 0.
    lb_aufloesung.text = r.Motfak == 0
                             ? QString()
                             : formatMask(1.0 / r.Motfak * 1000.0, QStringLiteral("######0.000"), m_env.usesComma());

    pickUnit();
    if (m_env.senden(protocol::Status).size() == 14 || axisNo == 0) {
        sh_an_aus.colour = Green;
        motfaktor_berechnen();
    } else {
        sh_an_aus.colour = Red;
    }
    const QString reply = m_env.senden(QStringLiteral("[1RL]"));
    text_regelP.text = reply == keine_Antwort ? QStringLiteral("7C") : reply.mid(5, 2);
    const double wert = hex_zu_wert24(text_regelP.text);
    if (sb_regelkreisH.contains(int(wert)) && !text_regelP.text.isEmpty())
        sb_regelkreisH.value = m_controlLoop = int(wert);
}

void BerechnungCore::flagSave(int Achsdatensatz::*recordField, const kit::Control& box)
{
    if (!noUnit())
        m_env.params->store().axisRecordAt(cb_adressenauswahl.listIndex).*recordField = box.checked ? 1 : 0;
}

void BerechnungCore::cb_ESP_Click()
{
    flagSave(&Achsdatensatz::Endschalter_Plus, cb_ESP);
}

void BerechnungCore::cb_ESM_Click()
{
    flagSave(&Achsdatensatz::Endschalter_minus, cb_ESM);
}

void BerechnungCore::cb_IP_Click()
{
    flagSave(&Achsdatensatz::Index_Plus, cb_IP);
}

void BerechnungCore::cb_IM_Click()
{
    flagSave(&Achsdatensatz::Index_Minus, cb_IM);
}

void BerechnungCore::chb_drehantrieb_Click()
{
    const bool isRotary = chb_drehantrieb.checked;
    Label3.text = isRotary ? QStringLiteral("counts/U") : QStringLiteral("counts/mm");
    Label5.text = Label6.text = isRotary ? QStringLiteral("U/s") : QStringLiteral("mm/s");
    Label7.text = isRotary ? QStringLiteral("U/s²") : QStringLiteral("mm/s²");
    Label8.text = isRotary ? QStringLiteral("Grad") : QStringLiteral("µm");
    if (noUnit())
        return;
    m_env.params->store().setDrehantrieb(cb_adressenauswahl.listIndex, isRotary ? 1 : 0);
    if (!m_axisChoice)
        motfaktor_berechnen();
}

void BerechnungCore::chb_Massstab_Click()
{
    const bool an = chb_Massstab.checked;
    lb_Scale.text = an ? QStringLiteral("Scale") : QStringLiteral("Encoder");
    Label1_3.text = an ? QStringLiteral("GK [µm]") : QStringLiteral("Inkr./U");
    if (!noUnit())
        m_env.params->store().axisRecordAt(cb_adressenauswahl.listIndex).Massstabsachse = an ? 1 : 0;
}

void BerechnungCore::setTickBox(bool massstab, bool isRotary)
{
    // As if the operator ticked them: their handlers run only on a change.
    if (chb_Massstab.checked != massstab) {
        chb_Massstab.checked = massstab;
        chb_Massstab_Click();
    }
    if (chb_drehantrieb.checked != isRotary) {
        chb_drehantrieb.checked = isRotary;
        chb_drehantrieb_Click();
    }
}

void BerechnungCore::boxStates()
{
    const bool manuell = ob_MotFak[1].checked;
    for (int n = 0; n <= 6; ++n)
        text_MFB[std::size_t(n)].enabled = !manuell;
    text_MFB[7].enabled = manuell;
    text_MFB[8].enabled = text_MFB[9].enabled = text_MFB[10].enabled = false;
    cmd_Berechnung.enabled = !manuell;
}

void BerechnungCore::ob_MotFak_Click(int index)
{
    ob_MotFak[0].checked = index == 0;
    ob_MotFak[1].checked = index == 1;
    boxStates();
    if (!noUnit())
        m_env.params->store().axisRecordAt(cb_adressenauswahl.listIndex).Motfak_manuell = index == 1 ? 1 : 0;
}

void BerechnungCore::text_MFB_LostFocus(int n)
{
    if (n < 0 || n > 7)
        return;
    kit::Control& box = text_MFB[std::size_t(n)];
    if (box.text.trimmed().isEmpty())
        box.text = QStringLiteral("1");
    if (noUnit())
        return;
    double v = 0;
    if (readNumber(box.text, m_env.usesComma(), v))
        *recordField(m_env.params->store().axisRecordAt(cb_adressenauswahl.listIndex), n) = v;
}

void BerechnungCore::cmd_Berechnung_Click()
{
    motfaktor_berechnen();
}

void BerechnungCore::sb_regelkreisH_Change()
{
    const int newValue = sb_regelkreisH.value;
    if (noUnit()) {
        sb_regelkreisH.value = m_controlLoop;
        return;
    }
    pickUnit();
    const QString reply = m_env.senden(QStringLiteral("[1RL]"));
    // Only a complete read gives the other three registers to write back.
    if (reply.size() != 14 || protocol::replyStatus(reply) != protocol::ReplyStatus::Done) {
        sb_regelkreisH.value = m_controlLoop;
        return;
    }
    const QString rest = reply.mid(7, 9);
    text_regelP.text = hex2(newValue);
    QString antwort;
    if (sh_an_aus.colour == Green)
        antwort = m_env.senden(QStringLiteral("[1RS") + text_regelP.text + rest, 0.2, protocol::Rejection::QueryStatus);
    if (antwort != QLatin1String("[1RS!]"))
        m_env.senden(QStringLiteral("[1RP") + text_regelP.text + rest);
    m_controlLoop = newValue;
    motfaktor_berechnen();
}

void BerechnungCore::cmd_IM_Click()
{
    if (noUnit())
        return;
    pickUnit();
    const QString ident = m_env.senden(QStringLiteral("[1iM]")).mid(5, 8);
    m_env.params->configFile().ueberschreiben(ident, cb_adressenauswahl.listIndex);
    cb_adressenauswahl_Click();
}

void BerechnungCore::cmd_KopEin_Click(int index)
{
    if (noUnit())
        return;
    AxisParameterStore& store = m_env.params->store();
    const int axisNo = cb_adressenauswahl.listIndex;
    Achsdatensatz& r = store.axisRecordAt(axisNo);
    if (index == 0) {
        Zwischenablage = Copy{r.Spannung,
                              r.Motorkonstante,
                              r.Gear,
                              r.leadscrew,
                              r.Interpolationsfaktor,
                              r.Spannungskonstante,
                              r.Inkremente,
                              r.vmin,
                              r.vmax,
                              r.amin,
                              r.Motfak,
                              r.Massstabsachse,
                              r.Motfak_manuell,
                              store.rotaryDriveFlag(axisNo)};
        cmd_KopEin[1].enabled = true;
        return;
    }
    if (!Zwischenablage)
        return;
    const Copy& k = *Zwischenablage;
    r.Spannung = k.Spannung;
    r.Motorkonstante = k.Motorkonstante;
    r.Gear = k.Gear;
    r.leadscrew = k.leadscrew;
    r.Interpolationsfaktor = k.Interpolationsfaktor;
    r.Spannungskonstante = k.Spannungskonstante;
    r.Inkremente = k.Inkremente;
    r.vmin = k.vmin;
    r.vmax = k.vmax;
    r.amin = k.amin;
    r.Motfak = k.Motfak;
    r.Motfak_manuell = k.Motfak_manuell;
    r.Massstabsachse = k.Massstabsachse;
    store.setDrehantrieb(axisNo, k.drehantrieb);
    const bool usesComma = m_env.usesComma();
    for (int n = 0; n < BoxCount; ++n)
        text_MFB[std::size_t(n)].text = numberText(*recordField(r, n), usesComma);
    ob_MotFak[0].checked = k.Motfak_manuell != 1;
    ob_MotFak[1].checked = k.Motfak_manuell == 1;
    boxStates();
    setTickBox(k.Massstabsachse == 1, k.drehantrieb == 1);
}

void BerechnungCore::cmd_exit_Click()
{
    m_env.closeView();
}

void BerechnungCore::Button_enable()
{
    for (kit::Control* c : {&cmd_Berechnung, &cmd_KopEin[0], &cb_IM, &cb_ESM, &cb_ESP, &cb_IP, &chb_Massstab,
                            &ob_MotFak[0], &ob_MotFak[1]})
        c->enabled = true;
    boxStates();
}

void BerechnungCore::Button_Disable()
{
    for (kit::Control* c : {&cmd_Berechnung, &cmd_KopEin[0], &cmd_KopEin[1], &ob_MotFak[0], &ob_MotFak[1], &cb_ESP,
                            &cb_ESM, &cb_IP, &cb_IM, &chb_Massstab})
        c->enabled = false;
    for (int n = 0; n <= 6; ++n)
        text_MFB[std::size_t(n)].enabled = false;
}
