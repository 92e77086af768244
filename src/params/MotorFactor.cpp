#include "MotorFactor.h"

#include "AxisParameterStore.h"
#include "BusTransport.h"
#include "Format.h"
#include "OptionFlags.h"
#include "Protocol.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <cmath>

using namespace motorfactor;

namespace {
bool usable(double v)
{
    return std::isfinite(v) && v != 0.0;
}

// No answer, a closed port or a rejection: the controller tells nothing.
bool silent(const QString& reply)
{
    return reply == keine_Antwort || reply.isEmpty() || protocol::replyStatus(reply) == protocol::ReplyStatus::Refused;
}
}  // namespace

std::optional<double> sampleTime(double prescaler, double register_)
{
    const double st = (prescaler + 1) * (register_ + 1) / ClockDivider;
    if (!usable(st))
        return std::nullopt;
    return st;
}

std::optional<DriveValues> driveValues(const Achsdatensatz& r, double st, bool newMotorFactor)
{
    if (!usable(st))
        return std::nullopt;
    DriveValues v;
    double m = 0;
    if (r.Massstabsachse == 1) {
        // Inkremente is the grating constant in µm here.
        if (!usable(r.Inkremente))
            return std::nullopt;
        m = 1000.0 / r.Inkremente * r.Interpolationsfaktor * r.Motorkonstante;
    } else {
        if (!usable(r.leadscrew))
            return std::nullopt;
        m = r.Interpolationsfaktor * r.Inkremente * r.Motorkonstante * r.Gear / r.leadscrew;
    }
    if (!usable(m))
        return std::nullopt;

    const double vmaxDivisor = r.Spannungskonstante * r.Gear;
    if (!usable(vmaxDivisor))
        return std::nullopt;
    v.vmax = r.leadscrew * r.Spannung * SpeedFactor / vmaxDivisor;

    // vmin and amin use the motor factor before rounding.
    v.vmin = 1.0 / (m * st);
    if (newMotorFactor) {
        v.vmin = v.vmin / FineDivider;
        v.vmaxlimit = v.vmin * VmaxNew;
    } else {
        v.vmaxlimit = v.vmin * VmaxOld;
    }
    v.amin = 1.0 / (st * st * m) / FineDivider;
    // A lead screw of 0 (a scale axis needs none) gives a maximum speed of 0:
    // a value, not a failure.
    if (!std::isfinite(v.vmax) || !usable(v.vmin) || !usable(v.vmaxlimit) || !usable(v.amin))
        return std::nullopt;
    if (v.vmax > v.vmaxlimit)
        v.vmax = v.vmaxlimit;

    // Whole counts, halves away from zero; a factor below 0.5 is no factor.
    v.MotorFactorUnrounded = m;
    v.Motfak = std::round(m);
    if (!usable(v.Motfak))
        return std::nullopt;
    return v;
}

MotorFactorCalculator::MotorFactorCalculator(AxisParameterStore& store, const OptionFlags& flags, IUiServices& ui,
                                             Sender send)
    : m_store(store), m_flags(flags), m_ui(ui), m_send(std::move(send))
{
}

QString MotorFactorCalculator::send(const QString& command)
{
    return m_send(command);
}

QString MotorFactorCalculator::formatSampleTime(double st, bool comma)
{
    return formatMask(st * 1000.0, QStringLiteral("#0.000"), comma) + QStringLiteral("ms");
}

QString MotorFactorCalculator::formatResolution(double motorFactorValue, bool rotary, bool comma)
{
    double resolution = 1.0 / motorFactorValue * 1000.0;  // µm per count
    if (rotary)
        resolution = resolution * 360.0 / 1000.0;  // degrees per count
    // Five decimals, a sixth only when it is not 0.
    QString text = formatMask(resolution, QStringLiteral("######0.000000"), comma);
    if (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    return text;
}

CalcResult MotorFactorCalculator::motfaktor_berechnen()
{
    if (!m_store.indexValid())
        return CalcResult::IndexInvalid;
    const int axisNo = m_store.Index();
    Achsdatensatz& rec = m_store.axisRecordAt(axisNo);

    double prescaler = DefaultPrescaler;
    if (m_flags.on(OptionFlags::NewMotorFactor)) {
        const QString reply = send(QStringLiteral("[1sT]"));
        if (!silent(reply))
            prescaler = hex_zu_wert24(reply.mid(5, 4));
    }
    rec.Vorteiler = prescaler;

    if (rec.Motfak_manuell == 1)
        return CalcResult::Manuell;

    const QString reply = send(QStringLiteral("[1RL]"));
    const QString registerText = reply == keine_Antwort || reply.isEmpty() ? RegisterStandard : reply.mid(5, 2);

    const bool comma = dezimalkomma();
    MotorFactorDisplay displayData;
    auto finish = [&](CalcResult result) {
        m_display = displayData;
        if (showValues)
            showValues(displayData);
        if (result == CalcResult::Fehlerhaft)
            m_ui.message(CalculationFailed, {}, MsgButtons::Ok);
        return result;
    };

    const double reg = hex_zu_wert24(registerText);
    if (registerText.isEmpty() || reg < RegisterMin || reg > RegisterMax)
        return finish(CalcResult::Fehlerhaft);
    displayData.sb_regelkreisH = int(reg);

    const auto st = sampleTime(prescaler, reg);
    if (!st)
        return finish(CalcResult::Fehlerhaft);
    m_store.setSt(axisNo, *st);
    displayData.lb_ST_Sec = formatSampleTime(*st, comma);

    const auto v = driveValues(rec, *st, m_flags.on(OptionFlags::NewMotorFactor));
    if (!v)
        return finish(CalcResult::Fehlerhaft);
    rec.Motfak = v->Motfak;
    rec.vmax = v->vmax;
    rec.vmin = v->vmin;
    rec.vmaxlimit = v->vmaxlimit;
    rec.amin = v->amin;

    displayData.text_MFB7 = formatMask(v->Motfak, QStringLiteral("0"), comma);
    displayData.lb_aufloesung = formatResolution(v->Motfak, m_store.rotaryDriveFlag(axisNo) == 1, comma);
    displayData.text_MFB8 = formatMask(v->vmax, QStringLiteral("######0.000000"), comma);
    displayData.text_MFB9 = formatMask(v->vmin, QStringLiteral("######0.000000"), comma);
    displayData.text_MFB10 = formatMask(v->amin, QStringLiteral("######0.000000"), comma);
    return finish(CalcResult::Computed);
}
