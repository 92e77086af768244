#pragma once
// The units of the demonstration bus that the program serves when the
// simulated bus is enabled, and that kelvane-bussim serves with --demo.

class SimBus;

// Axes "01" and "02", a probe board "21" and a scale board "11", all at
// 9600 baud.
void populateDemoBus(SimBus& bus);
