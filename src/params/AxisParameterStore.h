#pragma once
// The one parameter store of the program: the parameter sets of the 31 axes
// (0-30), their sample times and rotary flags, and the cursor `Index` that
// selects the axis every axis-indexed property works on. It lives as long as
// the program; windows read and write it and the parameter window is a view
// of it.
//
// `Index` is shared by all windows (the main loop moves it to the current
// control center's axis on every tick): set it and read within one handler.
// The setter stores any value of 0 or more; an axis-indexed access while
// `Index` is above 30 reads and writes nothing and throws AxisIndexError,
// which the caller catches (`indexValid()` tells beforehand).
//
// Setters store what they are given and send nothing; the calculation
// (MotorFactorCalculator) derives the drive values.

#include "Achsdatensatz.h"

#include <QString>

#include <array>
#include <stdexcept>

class OptionFlags;

class AxisIndexError : public std::out_of_range
{
public:
    explicit AxisIndexError(int index);
    int index() const { return m_index; }

private:
    int m_index;
};

class AxisParameterStore
{
public:
    static constexpr int Achsen = 31;
    // Sample time of an axis before its first calculation (a placeholder).
    static constexpr double StDefault = 124;

    // The rounding digits are kept by `flags` (the options dialog's list and
    // the configuration file use the same value).
    explicit AxisParameterStore(OptionFlags& flags);

    // Every axis back to the defaults; `Index` 0.
    void setDefaults();

    // --- the cursor --------------------------------------------------------
    int Index() const { return m_index; }
    // Below 0 stores 0; anything else is stored unchanged.
    void setIndex(int index) { m_index = index < 0 ? 0 : index; }
    bool indexValid() const { return m_index >= 0 && m_index < Achsen; }
    static bool axisValid(int axisNo) { return axisNo >= 0 && axisNo < Achsen; }

    // --- properties of axis `Index` (throw AxisIndexError) ------------------
    double Motfak() const { return cur().Motfak; }
    double st() const { return m_st[slot(m_index)]; }
    double vmin() const { return cur().vmin; }
    double vmax() const { return cur().vmax; }
    double amin() const { return cur().amin; }
    // The rotary flag as 0.0 or 1.0.
    double drehantrieb() const { return m_rotary[slot(m_index)] == 1 ? 1.0 : 0.0; }
    int Endschalter_Plus() const { return cur().Endschalter_Plus; }
    int Endschalter_minus() const { return cur().Endschalter_minus; }
    int Index_Plus() const { return cur().Index_Plus; }
    int Index_Minus() const { return cur().Index_Minus; }
    void setEndschalter_Plus(int v) { cur().Endschalter_Plus = v; }
    void setEndschalter_minus(int v) { cur().Endschalter_minus = v; }
    void setIndex_Plus(int v) { cur().Index_Plus = v; }
    void setIndex_Minus(int v) { cur().Index_Minus = v; }
    double PositionP() const { return cur().PositionP; }
    double PositionM() const { return cur().PositionM; }
    void setPositionP(double v) { cur().PositionP = v; }
    void setPositionM(double v) { cur().PositionM = v; }
    QString Achsenbezeichnung() const { return cur().Achsenbezeichnung; }
    void setAchsenbezeichnung(const QString& name) { cur().Achsenbezeichnung = name; }
    int Fahrart() const { return cur().Fahrart; }
    void setFahrart(int v) { cur().Fahrart = v; }

    // --- whole records, by axis number (throw AxisIndexError) ---------------
    // For the parameter window, the calculation and the configuration file.
    const Achsdatensatz& axisRecordAt(int axisNo) const { return m_achsen[slot(axisNo)]; }
    Achsdatensatz& axisRecordAt(int axisNo) { return m_achsen[slot(axisNo)]; }
    double stOf(int axisNo) const { return m_st[slot(axisNo)]; }
    void setSt(int axisNo, double st) { m_st[slot(axisNo)] = st; }
    // The rotary flag as stored (1 = rotary).
    int rotaryDriveFlag(int axisNo) const { return m_rotary[slot(axisNo)]; }
    void setDrehantrieb(int axisNo, int flag) { m_rotary[slot(axisNo)] = flag; }

    // List position of the rounding digits (0 = one decimal ... 5 = six).
    int rundungsstelle() const;
    void setRundungsstelle(int position);

private:
    static std::size_t slot(int axisNo)
    {
        if (!axisValid(axisNo))
            throw AxisIndexError(axisNo);
        return std::size_t(axisNo);
    }
    const Achsdatensatz& cur() const { return m_achsen[slot(m_index)]; }
    Achsdatensatz& cur() { return m_achsen[slot(m_index)]; }

    OptionFlags& m_flags;
    std::array<Achsdatensatz, Achsen> m_achsen{};
    std::array<double, Achsen> m_st{};
    std::array<int, Achsen> m_rotary{};
    int m_index = 0;
};
