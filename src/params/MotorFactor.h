#pragma once
// The motor-factor calculation of one axis: from the controller's prescaler
// and first loop register it derives the sample time `st`, and from the
// motor, gear and encoder data the motor factor `Motfak`, the speed ceiling
// `vmaxlimit`, the maximum speed `vmax` and the speed and acceleration of one
// raw controller unit (`vmin`, `amin`).
//
// Bus traffic: "[1sT]" (only with option flag 8, "Mot - Neu") and "[1RL]",
// to the unit the caller has selected. No answer means the controller
// defaults: prescaler 127, register 7C.
//
// Any zero divisor, non-finite or zero result, a register outside 15..249 or
// a motor factor that rounds to 0 ends the calculation with the one message
// "Berechnung ist Fehlerhaft!!". The prescaler and the sample time are stored
// as soon as they are known; the motor factor and the four speed values are
// stored together, only when all of them were computed, so a window never
// divides by a half-finished set.

#include <QString>

#include <functional>
#include <optional>

class AxisParameterStore;
class IUiServices;
class OptionFlags;
struct Achsdatensatz;

inline const QString CalculationFailed = QStringLiteral("Berechnung ist Fehlerhaft!!");

// Constants of the controller.
namespace motorfactor {
constexpr double DefaultPrescaler = 127;
inline const QString RegisterStandard = QStringLiteral("7C");
constexpr double ClockDivider = 16000000.0;
constexpr double SpeedFactor = 16.667;
constexpr double VmaxOld = 112;      // ceiling of vmax in units of vmin, older controller
constexpr double VmaxNew = 65535;    // the same with option flag 8
constexpr double FineDivider = 256;  // extra divisor of vmin with flag 8; divisor of amin
constexpr int RegisterMin = 15;
constexpr int RegisterMax = 249;
}  // namespace motorfactor

// The derived values of one axis, before they are stored.
struct DriveValues
{
    double Motfak = 0;  // rounded, half away from zero
    double MotorFactorUnrounded = 0;
    double vmax = 0;
    double vmin = 0;
    double vmaxlimit = 0;
    double amin = 0;
};

// Sample time from prescaler and loop register; nothing when not finite or 0.
std::optional<double> sampleTime(double prescaler, double register_);
// The drive values of a record for a sample time; nothing when a divisor is
// 0, a result is 0 or not finite, or the motor factor rounds to 0.
std::optional<DriveValues> driveValues(const Achsdatensatz& rec, double st, bool newMotorFactor);

// What the parameter window shows after a calculation. Empty texts (and a
// register of -1) were not reached and leave the window's control as it is.
struct MotorFactorDisplay
{
    int sb_regelkreisH = -1;  // loop-register scroll bar (the window sets it under its guard)
    QString lb_ST_Sec;        // "1.000ms"
    QString text_MFB7;        // motor factor "5217"
    QString lb_aufloesung;    // µm per count, degrees per count on a rotary axis
    QString text_MFB8;        // vmax
    QString text_MFB9;        // vmin
    QString text_MFB10;       // amin
};

enum class CalcResult
{
    Computed,      // all values stored
    Manuell,       // typed motor factor: only the prescaler was read
    Fehlerhaft,    // the message was shown; see the header comment for what was stored
    IndexInvalid,  // `Index` outside 0..30: nothing sent, nothing stored, no message
};

class MotorFactorCalculator
{
public:
    // Sends one command, returns the reply ("1" when none came).
    using Sender = std::function<QString(const QString&)>;

    MotorFactorCalculator(AxisParameterStore& store, const OptionFlags& flags, IUiServices& ui, Sender send);

    // The calculation for axis `Index` of the store. The caller has selected
    // the axis's unit on the bus.
    CalcResult motfaktor_berechnen();

    // Called at the end of every calculation that got as far as the register
    // (the parameter window shows the texts). Also kept in displayData().
    std::function<void(const MotorFactorDisplay&)> showValues;
    const MotorFactorDisplay& displayData() const { return m_display; }

    // The display texts of the results, in the locale's decimal separator.
    static QString formatSampleTime(double st, bool comma);
    static QString formatResolution(double motorFactorValue, bool rotary, bool comma);

private:
    QString send(const QString& command);

    AxisParameterStore& m_store;
    const OptionFlags& m_flags;
    IUiServices& m_ui;
    Sender m_send;
    MotorFactorDisplay m_display;
};
