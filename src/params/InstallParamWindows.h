#pragma once
// Wires the parameter window ("Mot.-Gear.-Enc.data") and the EEPROM window
// ("Download in Achse") into the main window: both are created hidden at
// start and shown and hidden by their menu entries (the main loop is held
// while one is open); the axis search and the address-list entries fill
// their address lists; the motor-factor calculation shows its results in
// the parameter window.

class ParamsContext;
class frm_Berechnung;
class frm_Download;
class frm_main;

struct ParamWindows
{
    frm_Berechnung* calculation = nullptr;
    frm_Download* download = nullptr;
};

ParamWindows installParamWindows(frm_main& frame, ParamsContext& params);
