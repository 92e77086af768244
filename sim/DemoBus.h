#pragma once
// The units of the demonstration bus that the program serves when the
// simulated bus is enabled, and that kelvane-bussim serves with --demo.

class SimBus;

// Axes "01" and "02"; the measuring boards AK4 "21", AK1 "22", IK2 "11",
// AKIK "31", ADA2 "41" and AK16 "51"; all at 9600 baud.
void populateDemoBus(SimBus& bus);
