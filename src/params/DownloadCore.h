#pragma once
// The EEPROM parameter window without widgets: 23 parameter rows of an axis
// controller (rows 14-20 unused), each with its read command, its write
// template, a value box in engineering units, a mark box and the reply; the
// read-out, the download of the marked rows, the two EEPROM stores, the
// address change and the baud burn.
//
// Values are converted with the axis snapshot taken at each read-out: raw to
// display (speed × vmin, acceleration × amin, distance and position ÷ motor
// factor, × 360 on a rotary axis) and display to raw, by two separate
// functions. A row keeps its field width: a raw value that does not fit is
// refused with a message. A box whose text is still the one a read or write
// put there sends that exact raw value back.

#include "ControlState.h"
#include "ParamWindowEnv.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class DownloadCore
{
public:
    static constexpr int MaxRows = 23;
    static constexpr int IdLength = 20;
    static constexpr quint32 Green = ParamWindowEnv::Green;
    static constexpr quint32 Red = ParamWindowEnv::Red;
    static inline const QString Caption = QStringLiteral("Download");
    static inline const QString AddressTitle = QStringLiteral("Adressenwechsel");
    static inline const QString Assign = QStringLiteral("Achsennummer schon vergeben!!!!!");
    static inline const QString NotAssignable = QStringLiteral("Achsennummer 1F kann nicht vergeben werden!");
    static inline const QString FieldTooSmall =
        QStringLiteral("Der Wert passt nicht in den Befehl und wird nicht gesendet: ");
    static inline const QString NotSentEmpty = QStringLiteral("nicht gesendet: leer");
    static inline const QString NotSentNumber = QStringLiteral("nicht gesendet: keine Zahl");

    enum class RowKind
    {
        Distance,
        VelocityRow,
        AccelerationRow,
        Position,
        Counter,
        Text,
        NoScaling
    };
    struct Zeile
    {
        const char* readCommand;
        const char* writeCommand;
        RowKind rowKind;
        const char* frameCaption;  // frame caption
        const char* captionText;
        const char* tooltip;
    };
    static const std::array<Zeile, MaxRows>& tabelle();
    static bool isUsed(int i) { return tabelle()[std::size_t(i)].rowKind != RowKind::NoScaling; }

    explicit DownloadCore(ParamWindowEnv env);

    // --- Controls -----------------------------------------------------------
    kit::ListControl cb_adressenauswahl, cb_Adressenwechsel, cb_baudbr;
    std::array<kit::Control, MaxRows> text_download, cb_markierung, lb_antwort, lb_unit;
    kit::Control sh_an_aus, cmd_auslesen, cmd_download, cmd_EEPROM, cmd_Kanal_EEPROM, cmd_Achsenwechsel, cmd_baudbr,
        cmd_exit;
    std::array<kit::Control, 2> cmd_KopEin;
    // Read and write tables; a write stores the command it built.
    QStringList Lesebefehle, Schreibbefehle;

    // --- Handlers -----------------------------------------------------------
    void Form_Activate();
    void cb_adressenauswahl_Click();
    void cmd_auslesen_Click();
    void cmd_download_Click();
    void text_download_Change(int i);
    void text_download_LostFocus(int i);
    void cmd_EEPROM_Click();
    void cmd_Kanal_EEPROM_Click();
    void cmd_Achsenwechsel_Click() { cb_Adressenwechsel.visible = true; }
    void cb_Adressenwechsel_Click();
    void cmd_baudbr_Click() { cb_baudbr.visible = true; }
    void cb_baudbr_Click();
    void cb_markierung_Click(int i);
    void cmd_KopEin_Click(int index);
    void cmd_exit_Click();
    // What closing does to the window itself (its exit button and the
    // second click on its menu entry).
    void closeView();
    void Button_enable();
    void Button_Disable();
    // The decimal-comma rule of the typed numbers (for the form's key filter).
    std::function<bool()> usesComma() const { return m_env.usesComma; }

    // --- Conversions (with the snapshot) ------------------------------------
    struct Snapshot
    {
        double Motfak = 1, vmax = 1, vmin = 1, amin = 1;
        int drehantrieb = 0;
    };
    const Snapshot& snapshot() const { return m_snap; }
    std::optional<double> rawToDisplay(int i, double rawValue) const;
    std::optional<double> displayToRaw(int i, double shownValue) const;
    // Shows a raw value in row i's box (empty when it cannot be converted).
    void wert_anzeigen(int i, double rawValue);
    // Green lamp and a unit chosen (a refilled address list chooses none).
    bool online() const { return sh_an_aus.colour == Green && cb_adressenauswahl.listIndex > 0 && !noUnit(); }
    void setDisplayIndex(int i) { cb_adressenauswahl.listIndex = i; }

private:
    void takeSnapshot();
    void setBox(int i, const QString& text);
    void setUnits();
    QString modeId(const QString& text) const;
    bool noUnit() const;

    ParamWindowEnv m_env;
    Snapshot m_snap;
    // The text a read or write put into a box, with its raw value.
    std::array<QString, MaxRows> m_shownText;
    std::array<std::optional<double>, MaxRows> m_raw;
    // The text a box held before the operator's edit.
    std::array<QString, MaxRows> m_previousText;
    std::array<QString, 31> Kopierpuffer;
};
