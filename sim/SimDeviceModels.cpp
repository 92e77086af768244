// The device model each type of unit gets, kept apart from SimUnit.cpp so
// that the unit does not depend on the models built over it.
#include "SimAxis.h"
#include "SimUnit.h"

std::unique_ptr<SimDeviceModel> makeDeviceModel(UnitType type)
{
    if (type == UnitType::Mot)
        return std::make_unique<SimAxisModel>();
    if (type == UnitType::AK)
        return std::make_unique<SimProbeModel>();
    return std::make_unique<SimBoardModel>();
}
