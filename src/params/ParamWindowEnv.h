#pragma once
// What the parameter window and the EEPROM window need of the program: the
// transport they own while they are open, the dialogs, the parameter models,
// and a few hooks into the main window (every hook has a harmless default).

#include "ControlState.h"
#include "Protocol.h"

#include <QString>

#include <functional>

class BusTransport;
class IUiServices;
class ParamsContext;

struct ParamWindowEnv
{
    BusTransport* bus = nullptr;
    IUiServices* ui = nullptr;
    ParamsContext* params = nullptr;
    // The main window's decimal-comma rule for typed numbers.
    std::function<bool()> usesComma = [] { return false; };
    // The address-list position of the current control center, -1 when none is open.
    std::function<int()> controlCenterIndex = [] { return -1; };
    // Records an address-list entry in the main window's axis table.
    std::function<void(const QString& text, int index)> arrayAchsenAe = [](const QString&, int) {};
    // The window's own exit: hidden, main window enabled, control centers
    // re-initialised, main loop running again.
    std::function<void()> closeView = [] {};

    // Lamp colours of the two windows: the unit answered, or not.
    static constexpr quint32 Green = 0xC000;
    static constexpr quint32 Red = 0xC0;

    // One exchange; "1" (no answer) also for a closed port.
    QString senden(const QString& command, double timeout = 0,
                   protocol::Rejection mode = protocol::Rejection::Show) const;
    // Puts `list` on the current control center's entry; false when none is open.
    bool followControlCenter(kit::ListControl& list) const;
};

// Numbers as the operator types them: the locale's decimal separator only,
// an optional sign where allowed; nothing else. Empty text is no number.
bool readNumber(const QString& text, bool usesComma, double& value);
// A number as plain text with the locale's separator ("47,6", "5217").
QString numberText(double value, bool usesComma);
