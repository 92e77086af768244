#include "AxisParameterStore.h"

#include "OptionFlags.h"

AxisIndexError::AxisIndexError(int index)
    : std::out_of_range("axis index " + std::to_string(index) + " outside 0..30"), m_index(index)
{
}

AxisParameterStore::AxisParameterStore(OptionFlags& flags) : m_flags(flags)
{
    setDefaults();
}

void AxisParameterStore::setDefaults()
{
    for (int a = 0; a < Achsen; ++a) {
        // Name, stored positions and drive mode keep what they hold.
        Achsdatensatz d;
        Achsdatensatz& r = m_achsen[std::size_t(a)];
        d.Achsenbezeichnung = r.Achsenbezeichnung;
        d.PositionP = r.PositionP;
        d.PositionM = r.PositionM;
        d.Fahrart = r.Fahrart;
        r = d;
        m_st[std::size_t(a)] = StDefault;
        m_rotary[std::size_t(a)] = 0;
    }
    m_index = 0;
}

int AxisParameterStore::rundungsstelle() const
{
    return m_flags.digitIndex();
}

void AxisParameterStore::setRundungsstelle(int position)
{
    m_flags.setDigitIndex(position);
}
