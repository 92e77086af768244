#include "ProbeWindowCore.h"

#include "BusTransport.h"
#include "ControlCenterMath.h"
#include "Format.h"
#include "Guarded.h"
#include "Protocol.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <QRegularExpression>
#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>

namespace {

// One row per board type (list index of cb_Unitauswahl).
struct Layout
{
    int elementAddresses;
    std::array<bool, 4> frames;  // Frame1 … Frame4
    bool sampleTime, outputs, interpol0, interpol1, scaleFactor, factorAI, gridBox;
    const QString* gridText;     // nullptr: caption unchanged
    std::optional<bool> ip1000;  // interpolation factors: all eight, or 1, 2 and 4
    bool ikCheck, calibration;
};

const QString& G = ProbeWindowCore::Gitterkonstante;
const QString& A = ProbeWindowCore::Resolution;

const std::array<Layout, 8> Layouts{{
    {0, {true, false, false, false}, true, false, false, false, true, false, false, nullptr, {}, false, true},
    {0, {true, true, true, true}, true, false, false, false, true, false, false, nullptr, {}, false, true},
    {1, {true, true, true, false}, true, false, true, false, true, false, true, &G, true, false, true},
    {1, {true, true, true, false}, true, false, true, false, true, false, true, &A, false, false, true},
    {3, {true, true, false, false}, false, false, true, true, false, false, true, &G, true, false, false},
    {3, {true, true, false, false}, false, false, true, true, false, false, true, &A, false, false, false},
    {2, {true, true, false, false}, true, true, false, false, false, false, false, nullptr, {}, false, true},
    {4, {true, true, true, true}, true, false, false, false, true, true, true, &G, true, true, true},
}};

// Sample-time codes of Option5(0 … 6), 0,75 … 50,0 ms.
const std::array<QString, 7> ScanCodes{"0010", "0020", "0040", "0080", "0100", "0200", "0400"};
const std::array<QString, 9> Tips{"", "25", "50", "100", "200", "400", "500", "800", "1000"};

QStringList unitAddresses(std::initializer_list<std::pair<int, int>> ranges, int lastAddress = -1)
{
    QStringList out;
    for (const auto& [von, upTo] : ranges)
        for (int a = von; a <= upTo; ++a)
            out << hex2(a);
    if (lastAddress >= 0)
        out << hex2(lastAddress);
    return out;
}

// No reply in time, or none at all on a closed port.
bool staysSilent(const QString& antwort)
{
    return antwort == keine_Antwort || antwort.isEmpty();
}

}  // namespace

const QStringList ProbeWindowCore::ProbeTypes{"AK1",        "AK4",     "AK2IK1-IP1000", "AK2IK1-422",
                                              "IK2-IP1000", "IK2-422", "ADA2",          "Universal"};

QStringList ProbeWindowCore::elementAddresses(int element)
{
    switch (element) {
    case 0: return unitAddresses({{0x21, 0x2F}}, 0x20);
    case 1: return unitAddresses({{0x31, 0x3F}}, 0x30);
    case 2: return unitAddresses({{0x41, 0x4F}}, 0x40);
    case 3: return unitAddresses({{0x11, 0x15}, {0x17, 0x1F}}, 0x10);
    case 4: return unitAddresses({{0x11, 0x14}, {0x21, 0x24}, {0x31, 0x34}, {0x41, 0x44}, {0x51, 0x54}});
    default: return {};
    }
}

ProbeWindowCore::ProbeWindowCore(ProbeWindowEnv env) : m_env(std::move(env))
{
    const ProbeWindowEnv defaults;
    if (!m_env.bindInit)
        m_env.bindInit = defaults.bindInit;
    if (!m_env.initBoundTo)
        m_env.initBoundTo = defaults.initBoundTo;
    if (!m_env.unloadInit)
        m_env.unloadInit = defaults.unloadInit;
    if (!m_env.masks)
        m_env.masks = std::make_shared<BoardMasks>();

    cb_Unitauswahl.items = ProbeTypes;
    for (int e = 0; e < 5; ++e) {
        cb__Achsenauswahl[std::size_t(e)].items = elementAddresses(e);
        cb__Achsenauswahl[std::size_t(e)].visible = false;
    }
    aktiv_box.text = QStringLiteral("Messen");
    sh_an_aus.colour = Red;
    lb_Fehler.text = QStringLiteral("Befehl/Fehler/Antwort");
    for (int i = 0; i < ChannelCount; ++i) {
        const auto k = std::size_t(i);
        Check1[k].text = QString::number(i + 1);
        IK_check[k].text = QStringLiteral("IK");
        IK_check[k].visible = false;
        AI_check[k].text = QStringLiteral("AI");
        kanal[k].text = QStringLiteral("-1999,99");
        FaktorA[k].text = QStringLiteral("1");
        cmd_ZaehlerNull[k].text = QStringLiteral(">0<");
    }
    tb_faktor.text = tb_faktorAI.text = QStringLiteral("2560");
    tb_gitter.text = QStringLiteral("10");
    lb_gitter.text = Gitterkonstante;
    for (int n = 1; n <= 8; ++n) {
        wert0[std::size_t(n)].text = wert1[std::size_t(n)].text = QStringLiteral("0%1").arg(n);
        valueTip[std::size_t(n)] = Tips[std::size_t(n)];
    }
    wert0[0].visible = wert1[0].visible = false;
    interpol[0].text = QStringLiteral("Interpolation [ 1 ]");
    interpol[1].text = QStringLiteral("Interpolation [ 2 ]");
    Rahmen1.text = QStringLiteral("SampleTime [ms]");
    const std::array<QString, 7> timeLabels{"0,75", "1,50", "3,00", "6,25", "12,5", "25,0", "50,0"};
    for (std::size_t i = 0; i < timeLabels.size(); ++i)
        Option5[i].text = timeLabels[i];
    for (auto& s : sb_v)
        s = {.value = 0, .min = -2047, .max = 2047, .smallChange = 1, .largeChange = 100};
    Label3[0].text = Label3[1].text = QStringLiteral("0");
    cmd_Abgleich.text = CalibrationZero;
    for (int i = 1; i <= 8; ++i)
        cb_abgleich.items << QStringLiteral("K%1").arg(i);
    tb_abgleich.text = QStringLiteral("500");
    tb_achse.text = QStringLiteral("2");
    tb_anzahl.text = tb_startposition.text = tb_delta.text = QStringLiteral("0");
    tb_start.text = QStringLiteral("Start");
    lb_messpunkte.text = QStringLiteral("0");
    tb_encoder.text = tb_gear.text = tb_pitch.text = tb_tperiod.text = QStringLiteral("0");
    tb_read.text = QStringLiteral("Read");
    tb_write.text = QStringLiteral("Write");
    cmd_sign.text = QStringLiteral("Sign");
    cmd_status.text = QStringLiteral("Status");
    cmd_version.text = QStringLiteral("Version");
    cmd_Init.text = QStringLiteral("INIT");
    cmd_Init.colour = LightGray;
}

// --- helpers ---------------------------------------------------------------------------------

BusTransport& ProbeWindowCore::bus()
{
    return *m_env.bus;
}

bool ProbeWindowCore::usesComma() const
{
    return m_env.registry && m_env.registry->komma_frage;
}

std::optional<double> ProbeWindowCore::toNumber(const QString& text) const
{
    return controlDesk::readNumberField(text, usesComma());
}

QString ProbeWindowCore::senden(const QString& command, double timeout, protocol::Rejection mode)
{
    return bus().senden_empfangen(command, timeout, mode);
}

void ProbeWindowCore::postCommand(const QString& command)
{
    Befehl = command;
    flagsenden = 1;
}

void ProbeWindowCore::pickOption(std::array<kit::Control, 9>& group, int n)
{
    for (std::size_t i = 1; i < group.size(); ++i)
        group[i].checked = int(i) == n;
}

QString ProbeWindowCore::chosenAddress() const
{
    if (Unitindex < 0 || Unitindex >= int(cb__Achsenauswahl.size()))
        return {};
    return cb__Achsenauswahl[std::size_t(Unitindex)].selected();
}

void ProbeWindowCore::setLb_Fehler(const QString& text)
{
    // The mailbox's command and the board's reply: a mask write the board
    // accepted is its mask now.
    const qsizetype arrow = text.indexOf(QStringLiteral("--->"));
    if (arrow >= 0)
        m_env.masks->exchanged(chosenAddress(), text.left(arrow), text.mid(arrow + 4));
    lb_Fehler.text = text;
    if (m_view.show)
        m_view.show();
}

void ProbeWindowCore::setInitButtonColour(quint32 colour)
{
    cmd_Init.colour = colour;
    if (m_view.show)
        m_view.show();
}

// --- window events ---------------------------------------------------------------------------

void ProbeWindowCore::Form_Load()
{
    cb_Unitauswahl.listIndex = AK4;
    cb_Unitauswahl_Click();
    cb_abgleich.listIndex = 0;
}

void ProbeWindowCore::Form_Activate()
{
    if (m_env.registry)
        m_env.registry->CCT_Aktivieren(Tag);
}

void ProbeWindowCore::Form_Unload()
{
    if (m_env.initBoundTo() == std::optional<int>(Tag))
        m_env.unloadInit();
    if (!m_env.registry)
        return;
    Fensterpostfach& reg = *m_env.registry;
    reg.CCT_entfernen(*this);
    if (!reg.CCT.isEmpty())
        reg.CCT_Aktivieren(reg.CCT.numbers().last());
}

// --- board types and layouts -----------------------------------------------------------------

void ProbeWindowCore::setValueTips(bool ip1000)
{
    const std::array<int, 3> n{1, 2, 4};
    const std::array<QString, 3> tips =
        ip1000 ? std::array<QString, 3>{"25", "50", "200"} : std::array<QString, 3>{"1", "2", "4"};
    for (std::size_t i = 0; i < n.size(); ++i)
        valueTip[std::size_t(n[i])] = tips[i];
    for (int k : {3, 5, 6, 7, 8})
        wert0[std::size_t(k)].visible = wert1[std::size_t(k)].visible = ip1000;
}

void ProbeWindowCore::cb_Unitauswahl_Click()
{
    for (auto& axisList : cb__Achsenauswahl)
        axisList.visible = false;
    for (auto& box : IK_check)
        box.visible = false;
    BoxWidth = NormalWidth;
    sh_an_aus.colour = Red;
    const int t = unitType();
    if (t < 0 || t >= int(Layouts.size()))
        return;
    const Layout& l = Layouts[std::size_t(t)];
    cb__Achsenauswahl[std::size_t(l.elementAddresses)].visible = true;
    for (std::size_t i = 0; i < l.frames.size(); ++i)
        Frame[i].visible = l.frames[i];
    Rahmen1.visible = l.sampleTime;
    Frame5[0].visible = Frame5[1].visible = l.outputs;
    interpol[0].visible = l.interpol0;
    interpol[1].visible = l.interpol1;
    tb_faktor.visible = l.scaleFactor;
    tb_faktorAI.visible = l.factorAI;
    tb_gitter.visible = lb_gitter.visible = l.gridBox;
    if (l.gridText)
        lb_gitter.text = *l.gridText;
    for (auto& box : IK_check)
        box.visible = l.ikCheck;
    if (l.ip1000)
        setValueTips(*l.ip1000);
    cb_abgleich.visible = cmd_Abgleich.visible = tb_abgleich.visible = l.calibration;
    if (t == Universal)
        BoxWidth = UniversalWidth;
}

void ProbeWindowCore::cb__Achsenauswahl_Click(int index)
{
    flagachsenwechsel = 1;
    Unitindex = index;
}

// --- read-back of the board's settings ---------------------------------------------------------

int ProbeWindowCore::Initialisierung()
{
    const QScopedValueRollback<int> cycle(m_cycle, m_cycle + 1);
    const int readResult = readSettings();
    if (m_view.show)
        m_view.show();
    return readResult;
}

int ProbeWindowCore::readSettings()
{
    const QString unitAddress = chosenAddress();
    m_env.masks->reported(unitAddress, {});
    bus().einheit_waehlen(unitAddress);
    const QString status = senden(protocol::Status, 0.2, protocol::Rejection::Ignore);
    lb_Fehler.text = QStringLiteral("[0ST]--->") + status;
    Caption = cb_Unitauswahl.selected() + QStringLiteral("   ") + unitAddress;
    if (status.size() < 3) {
        sh_an_aus.colour = Red;
        return 0;
    }
    sh_an_aus.colour = Green;
    const int t = unitType();
    // Reads an interpolation digit (character 7) into its option group.
    const auto interpolation = [this](const QString& command, int element, std::array<kit::Control, 9>& group) {
        const QString antwort = senden(command);
        if (antwort.size() < 7)
            return;
        const QString digitText = antwort.mid(6, 1);
        Interpolationswert[std::size_t(element)] = digitText;
        const int n = digitText.toInt();
        if (n >= 1 && n <= 8)
            pickOption(group, n);
    };
    {
        EreignissperreGuard eventLock(bus());
        if (t == IK2_IP1000 || t == IK2_422) {
            interpolation(QStringLiteral("[1iP]"), 0, wert0);
            interpolation(QStringLiteral("[2iP]"), 1, wert1);
            for (int i = 0; i < 2; ++i) {
                Kanalfreigabe[std::size_t(i)] = 1;
                Check1[std::size_t(i)].checked = true;
            }
        } else {
            const QString waitTime = senden(QStringLiteral("[0fP]"));
            for (std::size_t i = 0; i < ScanCodes.size(); ++i)
                if (waitTime == QStringLiteral("[0fP!") + ScanCodes[i] + QLatin1Char(']'))
                    for (std::size_t j = 0; j < Option5.size(); ++j)
                        Option5[j].checked = i == j;
            const QString maskText = senden(QStringLiteral("[0k1]"));
            static const QRegularExpression reportedMask(QStringLiteral("^\\[0k1!([01]+)"));
            m_env.masks->reported(unitAddress, reportedMask.match(maskText).captured(1));
            for (int i = 0; i < ChannelCount; ++i) {
                const auto k = std::size_t(i);
                if (maskText.mid(5 + i, 1) == QLatin1String("1"))
                    Kanalfreigabe[k] = 1;
                if (Kanalfreigabe[k] == 1)
                    Check1[k].checked = true;
            }
        }
    }
    if (t == AK2IK1_IP1000 || t == AK2IK1_422) {
        EreignissperreGuard eventLock(bus());
        interpolation(QStringLiteral("[3iP]"), 0, wert0);
    }
    return 1;
}

// --- live read-out ---------------------------------------------------------------------------

bool ProbeWindowCore::showChannel(int i, const QString& fieldText, bool withScale, const QString& maskText)
{
    const auto k = std::size_t(i);
    // A factor or grating of 0 shows 0 less the zero offset, but that is no
    // reading of the channel.
    const auto factorA = toNumber(FaktorA[k].text);
    if (!factorA)
        return false;
    const double zaehler = hex_zu_wert24(fieldText);
    // A channel the board did not send reads as 0; that is shown, but it is
    // no reading to calibrate by.
    static const QRegularExpression sixHexDigits(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    const bool isComplete = sixHexDigits.match(fieldText).hasMatch() && *factorA != 0;
    if (withScale) {
        const auto gridBox = toNumber(tb_gitter.text);
        if (!gridBox)
            return false;
        Messwert[k] = zaehler;
        kanal[k].text = formatMask(*gridBox * (*factorA * Messwert[k]) - Nullpunkt[k], maskText, usesComma());
        return isComplete && *gridBox != 0;
    }
    const auto scaleFactor = toNumber(AI_check[k].checked ? tb_faktorAI.text : tb_faktor.text);
    if (!scaleFactor || *scaleFactor == 0)
        return false;
    Messwert[k] = zaehler / *scaleFactor;
    kanal[k].text = formatMask(*factorA * Messwert[k] - Nullpunkt[k], maskText, usesComma());
    return isComplete;
}

std::array<QString, ProbeWindowCore::ChannelCount> ProbeWindowCore::channelFields(const QString& antwort) const
{
    // "[0M1" and the status character, then six digits and one separator
    // per value, then "]" (the last separator may be left out).
    const qsizetype values = std::max<qsizetype>(0, (antwort.size() - 4) / 7);
    // The board's own mask; while it is unknown, the window's flags, which
    // keep a "1" the board may have dropped.
    QString mask = m_env.masks->mask(chosenAddress());
    if (mask.isEmpty())
        for (int i = 0; i < maskFlagCount(); ++i)
            mask += Kanalfreigabe[std::size_t(i)] == 1 ? QLatin1Char('1') : QLatin1Char('0');
    // A reply with one value per enabled channel leaves the others out; any
    // other reply holds every channel in its place. Without a gap in the
    // mask both come to the same.
    const bool byMask = values == mask.count(QLatin1Char('1'));
    std::array<QString, ChannelCount> fields;
    int next = 0;
    for (int i = 0; i < ChannelCount; ++i) {
        int position = i;
        if (byMask)
            position = mask.mid(i, 1) == QLatin1String("1") ? next++ : -1;
        if (position >= 0)
            fields[std::size_t(i)] = antwort.mid(7 * position + 5, 6);
    }
    return fields;
}

int ProbeWindowCore::maskFlagCount() const
{
    switch (unitType()) {
    case AK1: return 1;
    case AK4:
    case AK2IK1_IP1000:
    case AK2IK1_422: return 4;
    case ADA2: return 2;
    case Universal: return 8;
    default: return 0;
    }
}

bool ProbeWindowCore::isScaleInput(int i) const
{
    // The third channel of a mixed board is its scale input, whatever its box says.
    const bool mixedBoard = unitType() == AK2IK1_IP1000 || unitType() == AK2IK1_422;
    return IK_check[std::size_t(i)].checked || (i == 2 && mixedBoard);
}

int ProbeWindowCore::Aktualisieren()
{
    if (sh_an_aus.colour != Green)
        return 0;
    const QScopedValueRollback<int> cycle(m_cycle, m_cycle + 1);
    int readResult = 0;
    kit::guarded("frm_AKIK Aktualisieren", [this, &readResult] {
        m_wasRead.fill(false);
        bus().einheit_waehlen(chosenAddress());
        const int t = unitType();
        if (t == IK2_IP1000 || t == IK2_422) {
            for (int i = 0; i < 2; ++i) {
                const QString antwort = senden(QStringLiteral("[%1PA]").arg(i + 1));
                if (staysSilent(antwort)) {
                    // Silence: the lamp turns red and the box keeps its last reading.
                    sh_an_aus.colour = Red;
                    readResult = 0;
                    continue;
                }
                readResult = 1;
                if (Check1[std::size_t(i)].checked)
                    m_wasRead[std::size_t(i)] = showChannel(i, antwort.mid(5, 6), true, QStringLiteral("##0.000"));
            }
        } else if (t >= 0) {
            const QString antwort = senden(QStringLiteral("[0M1]"));
            if (staysSilent(antwort)) {
                sh_an_aus.colour = Red;
            } else {
                readResult = 1;
                const std::array<QString, ChannelCount> fields = channelFields(antwort);
                for (int i = 0; i < ChannelCount; ++i) {
                    const auto k = std::size_t(i);
                    if (!Check1[k].checked)
                        continue;
                    const bool withScale = isScaleInput(i);
                    m_wasRead[k] = showChannel(i, fields[k], withScale,
                                               withScale ? QStringLiteral("##0") : QStringLiteral("##0.00"));
                }
            }
        }
        dynamicMeasurement();
        if (flagsystem_write == 1)
            writeSystem();
        if (flagsystem_read == 1)
            readSystem();
    });
    if (m_view.show)
        m_view.show();
    return readResult;
}

void ProbeWindowCore::dynamicMeasurement()
{
    const QString a = axisText();
    if (flagdynm == 1) {
        const QString antwort =
            senden(QStringLiteral("[") + a + QStringLiteral("DPOS") + tb_anzahl.text + QLatin1Char(',') +
                   tb_startposition.text + QLatin1Char(',') + tb_delta.text + QLatin1Char(']'));
        QString serialText = antwort.mid(6, 10);
        // "?" marks a rejection, "!" the bus's acceptance: only a rejection
        // or an error number other than 0 is an error.
        const bool refused = serialText.contains(QLatin1Char('?'));
        serialText.remove(QLatin1Char(']')).remove(QLatin1Char('?')).remove(QLatin1Char('!'));
        bool ok = false;
        const double wert = serialText.toDouble(&ok);
        if (refused || (ok && wert != 0)) {
            tb_start.colour = ButtonFace;
            tb_start.checked = false;
            // The board refused: nothing runs, so nothing is polled.
            flagdynm = 0;
            m_env.ui->message(QStringLiteral("Error!! Number:") + serialText, QStringLiteral("Fehler"), MsgButtons::Ok);
            return;
        }
        flagdynm = 2;
    } else if (flagdynm == 2) {
        QString pointsText = senden(QStringLiteral("[") + a + QStringLiteral("Dp]")).mid(5, 10);
        pointsText.remove(QLatin1Char(']'));
        lb_messpunkte.text = pointsText;
        if (pointsText == tb_anzahl.text) {
            tb_start.colour = ButtonFace;
            tb_start.checked = false;
            tb_start_Click();
            if (flagdynm == 2)
                flagdynm = 0;
        }
    } else if (flagdynm == 3) {
        // The stop goes out once.
        senden(protocol::Stop);
        flagdynm = 0;
    }
}

void ProbeWindowCore::writeSystem()
{
    const QString a = axisText();
    senden(QStringLiteral("[") + a + QStringLiteral("RES") + tb_encoder.text + QLatin1Char(']'));
    senden(QStringLiteral("[") + a + QStringLiteral("GEA") + tb_gear.text + QLatin1Char(']'));
    // Numbers on the bus use "." whatever the locale.
    if (const auto pitch = toNumber(tb_pitch.text))
        senden(QStringLiteral("[") + a + QStringLiteral("PIT") + controlDesk::numberText(*pitch * 1000, false) +
               QLatin1Char(']'));
    senden(QStringLiteral("[") + a + QStringLiteral("TPR") + tb_tperiod.text + QLatin1Char(']'));
    flagsystem_write = 0;
}

void ProbeWindowCore::readSystem()
{
    const QString a = axisText();
    const auto readAnswer = [this, &a](const char* cmdText) {
        QString wert = senden(QStringLiteral("[") + a + QLatin1String(cmdText) + QLatin1Char(']')).mid(6, 10);
        return wert.remove(QLatin1Char(']'));
    };
    tb_encoder.text = readAnswer("rES");
    tb_gear.text = readAnswer("gEA");
    bool ok = false;
    const double pitch = readAnswer("pIT").toDouble(&ok);
    if (ok)
        tb_pitch.text = controlDesk::numberText(pitch / 1000, usesComma());
    tb_tperiod.text = readAnswer("tPR");
    flagsystem_read = 0;
}

// --- calibration -------------------------------------------------------------------------------

void ProbeWindowCore::Abgleich()
{
    const QScopedValueRollback<int> cycle(m_cycle, m_cycle + 1);
    kit::guarded("frm_AKIK Abgleich", [this] {
        const int n = cb_abgleich.listIndex;
        const QString chosenEntry = cb_abgleich.selected();
        if (chosenEntry.isEmpty())
            return;
        const int d = chosenEntry.right(1).toInt();
        if (d < 1 || d > ChannelCount)
            return;
        const QString c = QString::number(n + 1);
        // A step that reads the channel needs a fresh reading of that channel:
        // a box that was not refreshed (channel off, bad factor, silence)
        // would drive the search on a frozen value.
        const bool wasRead = m_wasRead[std::size_t(d - 1)];
        m_wasRead.fill(false);
        bus().einheit_waehlen(chosenAddress());
        const bool isReading = cmd_Abgleich.text == CalibrationStart || cmd_Abgleich.text == CalibrationAbort;
        if (isReading && !wasRead) {
            // The step waits; the result line says why.
            lb_Fehler.text = calibrationWaitReason(d);
        } else if (cmd_Abgleich.text == CalibrationStart) {
            calibrationOffset(n, d, c);
        } else if (cmd_Abgleich.text == CalibrationZero) {
            calibrationReset(n, c);
        } else if (cmd_Abgleich.text == CalibrationAbort) {
            calibrationGain(d, c);
        }
    });
    if (m_view.show)
        m_view.show();
}

QString ProbeWindowCore::calibrationWaitReason(int d) const
{
    const auto k = std::size_t(d - 1);
    const QString channelLabel = QStringLiteral("Kanal %1").arg(d);
    const auto isValidText = [this](const QString& text) {
        const auto v = toNumber(text);
        return v && *v != 0;
    };
    QString whyNot;
    if (sh_an_aus.colour != Green)
        whyNot = QStringLiteral("die Karte antwortet nicht");
    else if (!aktiv_box.checked)
        whyNot = QStringLiteral("\"Messen\" ist aus");
    else if (!Check1[k].checked)
        whyNot = channelLabel + QStringLiteral(" ist nicht angewählt");
    else if (!isValidText(FaktorA[k].text))
        whyNot = QStringLiteral("der Faktor von ") + channelLabel + QStringLiteral(" ist 0 oder keine Zahl");
    else if (!isValidText(tb_gitter.text) && isScaleInput(d - 1))
        whyNot = QStringLiteral("die Gitterkonstante ist 0 oder keine Zahl");
    else if (!isValidText(AI_check[k].checked ? tb_faktorAI.text : tb_faktor.text))
        whyNot = QStringLiteral("der Umrechnungsfaktor ist 0 oder keine Zahl");
    else
        whyNot = QStringLiteral("kein neuer Messwert von ") + channelLabel;
    return QStringLiteral("Abgleich wartet: ") + whyNot;
}

void ProbeWindowCore::calibrationReset(int n, const QString& c)
{
    Nullpunkt[std::size_t(n)] = 0;
    for (const char* cmdText : {"SO000000", "SP800000", "SM800000", "SW", "SR"})
        senden(QStringLiteral("[") + c + QLatin1String(cmdText) + QLatin1Char(']'));
    cmd_Abgleich.text = CalibrationStart;
}

void ProbeWindowCore::calibrationOffset(int n, int d, const QString& c)
{
    const auto f = toNumber(AI_check[std::size_t(n)].checked ? tb_faktorAI.text : tb_faktor.text);
    const auto v = toNumber(kanal[std::size_t(d - 1)].text);
    if (!f || !v)
        return;
    bool ok = false;
    const QString o = hex8(*v * *f, &ok).right(6);
    if (!ok)
        return;
    senden(QStringLiteral("[") + c + QStringLiteral("SO") + o + QLatin1Char(']'));
    senden(QStringLiteral("[") + c + QStringLiteral("SW]"));
    senden(QStringLiteral("[") + c + QStringLiteral("SR]"));
    cmd_Abgleich.enabled = true;
    Abgleich_P = QStringLiteral("800000");
    Abgleich_Schritt = 400000;
    flagabgleich = 0;
    m_fineReadings = {};
}

void ProbeWindowCore::ReadingRange::add(double v)
{
    low = isEmpty ? v : std::min(low, v);
    high = isEmpty ? v : std::max(high, v);
    isEmpty = false;
}

void ProbeWindowCore::calibrationGain(int d, const QString& c)
{
    const auto ist = toNumber(kanal[std::size_t(d - 1)].text);
    const auto t = toNumber(tb_abgleich.text);
    if (!ist || !t)
        return;
    Abgleich_Istwert = *ist;
    if (Abgleich_Schritt <= GainFineStep) {
        if (*ist <= *t)
            m_fineReadings[0].add(*ist);
        if (*ist >= *t)
            m_fineReadings[1].add(*ist);
    }
    bool isDone = false;
    // Moves P one step down (stepDirection 1) or up (2); the search is finished
    // at the first reversal made with step 1.
    const auto stepOnce = [this, &isDone](int stepDirection) {
        const double p = hex_zu_wert24(Abgleich_P) + (stepDirection == 2 ? Abgleich_Schritt : -Abgleich_Schritt);
        Abgleich_P = hex8(p).right(6);
        gainTravel = (Abgleich_Richtung == stepDirection ? gainTravel : 0) + Abgleich_Schritt;
        const int opposite = stepDirection == 1 ? 2 : 1;
        if (Abgleich_Schritt == 1 && Abgleich_Richtung == opposite)
            isDone = true;
        if (Abgleich_Richtung == opposite)
            Abgleich_Schritt /= 4;
        if (Abgleich_Schritt < 1)
            Abgleich_Schritt = 1;
        Abgleich_Richtung = stepDirection;
    };
    if (*t < Abgleich_Istwert)
        stepOnce(1);
    else if (*t > Abgleich_Istwert)
        stepOnce(2);
    // The last reversal is only a result when the reading it was made on
    // stands at the target, as far as the reading's own scatter lets it
    // (see GainSpreadFactor); a reversal across a jump of the reading (where
    // the register wraps) misses by a large part of the target.
    // (A hair of slack for decimal fractions such as 500 - 499.99.)
    const double spread = std::max(m_fineReadings[0].spread(), m_fineReadings[1].spread());
    const double tolerance = GainSpreadFactor * (spread + displayStep(d - 1));
    const bool atTarget = std::abs(Abgleich_Istwert - *t) <= tolerance * (1 + 1e-9);
    senden(QStringLiteral("[") + c + QStringLiteral("SP") + Abgleich_P + QLatin1Char(']'));
    senden(QStringLiteral("[") + c + QStringLiteral("SW]"));
    if (isDone && atTarget)
        calibrationEnd(c);
    senden(QStringLiteral("[") + c + QStringLiteral("SR]"));
    if (isDone && !atTarget)
        stopGainSearch(TargetMissedMessage);
    else if (!isDone && gainTravel >= GainTurn)
        stopGainSearch(GainNotFollowedMessage);  // it would go round the register for ever
}

void ProbeWindowCore::stopGainSearch(const QString& reason)
{
    // As a cancel: the registers stay as last written.
    cmd_Abgleich.text = CalibrationZero;
    flagabgleich = 0;
    cmd_Abgleich.enabled = true;
    lb_Fehler.text = reason;
    QString text = reason + QStringLiteral(".\n") + NothingBurned;
    if (unitType() == AK1)
        text += QLatin1Char('\n') + UseGuidedWindow;
    if (m_env.ui)
        m_env.ui->message(text, QStringLiteral("Fehler"), MsgButtons::Ok);
}

void ProbeWindowCore::calibrationEnd(const QString& c)
{
    // The final positive gain is in use (written just before); the negative
    // one follows, and both are burned together.
    cmd_Abgleich.text = CalibrationZero;
    flagabgleich = 0;
    // P as an unsigned 24-bit number; the register reads back signed, so the
    // value is wrapped in a wide integer first.
    const qint64 p = qint64(hex_zu_wert24(Abgleich_P)) & 0xFFFFFF;
    const QString m = QString::number((0x1000000 - p) & 0xFFFFFF, 16).toUpper().rightJustified(6, QLatin1Char('0'));
    senden(QStringLiteral("[") + c + QStringLiteral("SM") + m + QLatin1Char(']'));
    senden(QStringLiteral("[") + c + QStringLiteral("SW]"));
    senden(QStringLiteral("[0ff0") + c + QLatin1Char(']'), 3.0);
    cmd_Abgleich.enabled = true;
}

void ProbeWindowCore::cmd_Abgleich_Click()
{
    flagabgleich = 1;
    if (cmd_Abgleich.text == CalibrationStart) {
        cmd_Abgleich.text = CalibrationAbort;
        gainTravel = 0;
        m_fineReadings = {};
    } else if (cmd_Abgleich.text == CalibrationAbort) {
        cmd_Abgleich.text = CalibrationZero;
        flagabgleich = 0;
    }
}

void ProbeWindowCore::cmd_Abgleich_MouseUp(int button)
{
    if (button != 2)
        return;
    cmd_Abgleich.text = CalibrationZero;
    flagabgleich = 0;
}

// --- commands and inputs -----------------------------------------------------------------------

void ProbeWindowCore::Check1_Click(int index)
{
    if (bus().Ereignissperre != 0 || index < 0 || index >= ChannelCount)
        return;
    Kanalfreigabe[std::size_t(index)] = Check1[std::size_t(index)].checked ? 1 : 0;
    const int flags = maskFlagCount();
    if (flags == 0)
        return;  // the scale board has no mask
    QString maskText;
    for (int i = 0; i < flags; ++i)
        maskText += Kanalfreigabe[std::size_t(i)] == 1 ? QLatin1Char('1') : QLatin1Char('0');
    postCommand(QStringLiteral("[0K1") + maskText + QLatin1Char(']'));
}

void ProbeWindowCore::cmd_ZaehlerNull_Click(int index)
{
    if (index < 0 || index >= ChannelCount)
        return;
    const auto k = std::size_t(index);
    const int t = unitType();
    if (t == IK2_IP1000 || t == IK2_422) {
        // An IK2 board has two counters.
        if (index > 1)
            return;
        Nullpunkt[k] = 0;
        postCommand(QStringLiteral("[%1PR]").arg(index + 1));
        return;
    }
    if ((t == AK2IK1_IP1000 || t == AK2IK1_422) && index == 2) {
        Nullpunkt[2] = 0;
        postCommand(QStringLiteral("[3PR]"));
        return;
    }
    // The channel's unzeroed value as the read-out computes it; a factor that
    // is not a number leaves the zero as it is.
    const auto factorA = toNumber(FaktorA[k].text);
    if (!factorA)
        return;
    double wert = *factorA * Messwert[k];
    if (IK_check[k].checked) {
        const auto gridBox = toNumber(tb_gitter.text);
        if (!gridBox)
            return;
        wert *= *gridBox;
    }
    Nullpunkt[k] = wert;
}

void ProbeWindowCore::cmd_ZaehlerNull_MouseUp(int index, int button)
{
    if (button == 2 && index >= 0 && index < ChannelCount)
        Nullpunkt[std::size_t(index)] = 0;
}

void ProbeWindowCore::cmd_sign_Click()
{
    postCommand(QStringLiteral("[0PL]"));
}

void ProbeWindowCore::cmd_status_Click()
{
    postCommand(protocol::Status);
}

void ProbeWindowCore::cmd_version_Click()
{
    postCommand(protocol::Version);
}

void ProbeWindowCore::cmd_Init_Click()
{
    m_env.bindInit(Tag);
}

void ProbeWindowCore::Option5_MouseDown(int index)
{
    if (bus().Ereignissperre != 0 || index < 0 || index >= int(ScanCodes.size()))
        return;
    postCommand(QStringLiteral("[0FP") + ScanCodes[std::size_t(index)] + QLatin1Char(']'));
}

void ProbeWindowCore::sb_v_Change(int index)
{
    if (index != 3 && index != 4)
        return;
    const auto k = std::size_t(index - 3);
    const int v = sb_v[k].value;
    Label3[k].text = formatMask(v / 204.7, QStringLiteral("##0.000"), usesComma());
    postCommand(QStringLiteral("[%1DA").arg(index) + hex8(v).right(4) + QLatin1Char(']'));
}

void ProbeWindowCore::wert0_Click(int index)
{
    if (bus().Ereignissperre != 0 || index < 1 || index > 8)
        return;
    const int t = unitType();
    const QString digit = t == AK2IK1_IP1000 || t == AK2IK1_422 ? QStringLiteral("3") : QStringLiteral("1");
    postCommand(QStringLiteral("[") + digit + QStringLiteral("IP") + wert0[std::size_t(index)].text + QLatin1Char(']'));
    Interpolationswert[0] = QString::number(index);
}

void ProbeWindowCore::wert1_Click(int index)
{
    if (bus().Ereignissperre != 0 || index < 1 || index > 8)
        return;
    postCommand(QStringLiteral("[2IP") + wert1[std::size_t(index)].text + QLatin1Char(']'));
    Interpolationswert[1] = QString::number(index);
}

void ProbeWindowCore::tb_read_Click()
{
    flagsystem_read = 1;
}

void ProbeWindowCore::tb_write_Click()
{
    flagsystem_write = 1;
}

void ProbeWindowCore::tb_start_Click()
{
    if (tb_start.checked) {
        tb_start.colour = Green;
        flagdynm = 1;
    } else {
        tb_start.colour = ButtonFace;
        if (flagdynm == 2)
            flagdynm = 3;
    }
}
