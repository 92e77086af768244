#pragma once
// One axis's parameter set: motor, gear and encoder data and the drive values
// derived from them, 24 values in the order the configuration file stores
// them. The member initialisers are the defaults every axis starts with.

#include <QString>

struct Achsdatensatz
{
    double Inkremente = 128;          // counts per motor revolution; grating constant [µm] on a scale axis
    double Spannung = 24;             // supply voltage [V]
    double Motorkonstante = 4;        // counting factor of the motor encoder
    double Gear = 485;                // gear ratio (x : 1)
    double leadscrew = 47.6;          // travel per gear output revolution [mm/U]
    double Interpolationsfaktor = 1;  // interpolation of encoder or scale
    double Spannungskonstante = 3;    // motor voltage constant [V/1000U]
    double Reservewert = 0;           // kept in the file, used by nothing
    double vmaxlimit = 0;             // speed ceiling from the calculation
    double Motfak = 5217;             // counts per mm, or per revolution on a rotary axis
    double Vorteiler = 0;             // sample-time prescaler of the controller
    int Massstabsachse = 0;           // 1 = measured by a linear scale
    int Motfak_manuell = 0;           // 1 = motor factor typed in, not calculated
    QString Achsenbezeichnung;        // axis name
    int Endschalter_Plus = 1;         // 1 = plus limit switch used
    int Endschalter_minus = 1;        // 1 = minus limit switch used
    int Index_Plus = 1;               // 1 = index searched in plus direction
    int Index_Minus = 1;              // 1 = index searched in minus direction
    double PositionP = 0;             // stored plus position
    double PositionM = 0;             // stored minus position
    int Fahrart = 0;                  // drive mode of the control center
    double vmax = 1;                  // maximum speed [mm/s or U/s]
    double vmin = 1;                  // speed of one raw speed unit
    double amin = 1;                  // acceleration of one raw acceleration unit

    static constexpr int ValueCount = 24;

    bool operator==(const Achsdatensatz&) const = default;
};

// Calls `f` on the 24 fields in file order. `R` is Achsdatensatz or
// const Achsdatensatz; `f` is called with double&, int& or QString&.
template <class R, class F>
void everyField(R& r, F&& f)
{
    f(r.Inkremente);
    f(r.Spannung);
    f(r.Motorkonstante);
    f(r.Gear);
    f(r.leadscrew);
    f(r.Interpolationsfaktor);
    f(r.Spannungskonstante);
    f(r.Reservewert);
    f(r.vmaxlimit);
    f(r.Motfak);
    f(r.Vorteiler);
    f(r.Massstabsachse);
    f(r.Motfak_manuell);
    f(r.Achsenbezeichnung);
    f(r.Endschalter_Plus);
    f(r.Endschalter_minus);
    f(r.Index_Plus);
    f(r.Index_Minus);
    f(r.PositionP);
    f(r.PositionM);
    f(r.Fahrart);
    f(r.vmax);
    f(r.vmin);
    f(r.amin);
}
