#pragma once
// Saving and loading the configuration file, and filling one axis from a
// per-motor start configuration.
//
//   speichern("manuell" | "auto")  writes every axis, both command lists, the
//                                  option flags, rotary flags and rounding digits
//   laden("manuell" | "auto")      reads them back
//   ueberschreiben(ident, Achse)   fills one axis from
//                                  <program folder>/StartKonfigurationen/<ident>.qvm
//
// "manuell" asks for the file in a dialog (cancel: silent, nothing happens);
// "auto" uses autost.qvm in the program folder. A file is parsed completely
// before anything is used: a short, damaged or unreadable file changes
// nothing and shows "Die Datei <name> konnte nicht geladen werden!!" (a
// missing autost.qvm is not reported: the defaults stay). Saving replaces the
// file atomically; a failed save keeps the old file and shows the same message.

#include "ConfigFormat.h"

#include <QString>

#include <functional>

class AxisParameterStore;
class CommandList;
class IUiServices;
class OptionFlags;
struct FileDialogRequest;

class ConfigFile
{
public:
    static inline const QString Manuell = QStringLiteral("manuell");
    static inline const QString Auto = QStringLiteral("auto");
    static inline const QString StartFile = QStringLiteral("autost.qvm");
    static inline const QString StartFolder = QStringLiteral("StartKonfigurationen");
    static inline const QString Filter = QStringLiteral("Datendateien(*.qvm)|*.qvm|Alle Dateien|*.*");

    ConfigFile(AxisParameterStore& store, CommandList& init, CommandList& init2, OptionFlags& flags, IUiServices& ui);

    // Each returns true when the file was written or applied.
    bool speichern(const QString& aktion);
    bool laden(const QString& aktion);
    bool ueberschreiben(const QString& aktion, int Achse);

    // Called at the end of every save (a cancelled one included) and of every
    // load that was not cancelled in its dialog, whether it succeeded or not,
    // so that the main loop sets up every control center again (`com_motflag` = 1).
    std::function<void()> setComMotflag;

    // The message for a file that could not be read or written.
    static QString failureMessage(const QString& name);
    // The dialog of both "manuell" cases.
    static FileDialogRequest dialogRequest();
    // The start file of a motor ident, or the empty text when the ident names
    // none (it must begin "00000" and hold only letters and digits).
    static QString startConfigurationPath(const QString& ident);

    // Everything the file holds, from the live models, and back.
    ConfigContent collect() const;
    void apply(const ConfigContent& content);

private:
    bool fail(const QString& name);

    AxisParameterStore& m_store;
    CommandList& m_init;
    CommandList& m_init2;
    OptionFlags& m_flags;
    IUiServices& m_ui;
};
