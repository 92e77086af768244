#pragma once
// The control names of the main window's menu entries. They also name the
// holder of a main-loop hold taken for the entry's window, so one spelling
// serves the menu, the hold and the window that releases it.

#include <QString>

namespace Menu {
inline const QString Laden = QStringLiteral("mnuLaden");
inline const QString Speichern = QStringLiteral("mnuSpeichern");
inline const QString SKladen = QStringLiteral("mnu_SKladen");
inline const QString SKspeichern = QStringLiteral("mnu_SKspeichern");
inline const QString Befehlssatzladen = QStringLiteral("mnuBefehlssatzladen");
inline const QString Befehlssatzspeichern = QStringLiteral("mnuBefehlssatzspeichern");
inline const QString sekbefehlssatzladen = QStringLiteral("mnusekbefehlssatzladen");
inline const QString sekbefehlsatzspeichern = QStringLiteral("mnusekbefehlsatzspeichern");
inline const QString Kontroll = QStringLiteral("mnuKontroll");
inline const QString MGED = QStringLiteral("mnuMGED");
inline const QString Download = QStringLiteral("mnuDownload");
inline const QString AchsenSuche = QStringLiteral("mnuAchsenSuche");
inline const QString COMOptions = QStringLiteral("mnuCOMOptions");
inline const QString TasterC = QStringLiteral("mnuTasterC");
inline const QString Kommunikation = QStringLiteral("mnuKommunikation");
inline const QString rrBefehl = QStringLiteral("mnurrBefehl");
inline const QString MSim = QStringLiteral("mnuMSim");
inline const QString Download2 = QStringLiteral("mnuDownload2");
inline const QString IR = QStringLiteral("mnuIR");
inline const QString Joystick_Abgleich = QStringLiteral("mnuJoystick_Abgleich");
inline const QString Tablett = QStringLiteral("mnuTablett");
inline const QString MultiT = QStringLiteral("mnuMultiT");
inline const QString Ablauf = QStringLiteral("mnuAblauf");
inline const QString AKabgleich = QStringLiteral("mnuAKabgleich");
inline const QString Ba = QStringLiteral("mnuBa");
inline const QString CF = QStringLiteral("mnuCF");
inline const QString Optionen = QStringLiteral("mnuOptionen");
}  // namespace Menu

// Holders of a main-loop hold that are no menu entry.
namespace Holder {
// The servo-loop recorder, while it records.
inline const QString Recorder = QStringLiteral("frm_eW");
}  // namespace Holder
