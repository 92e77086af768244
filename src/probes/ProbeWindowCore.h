#pragma once
// The probe-board window without its widgets: one window serves one
// measuring board (probe, scale, mixed or output board) of one of eight
// board types. It holds the state of every control (named as the window's
// controls), the layouts of the board types, the read-back of a board's
// settings (`Initialisierung`), the per-tick read-out (`Aktualisieren`),
// the in-place offset and gain calibration (`Abgleich`) and the handlers of
// its buttons and boxes.
//
// Bus discipline: handlers only post into the mailbox (`Befehl`,
// `flagsenden`), which the main loop sends for the current window; the bus is
// used by Initialisierung, Aktualisieren and Abgleich, which the main loop
// calls, and each of them selects the window's unit first.

#include "BoardMasks.h"
#include "Fensterpostfach.h"

#include "ControlState.h"
#include "Protocol.h"

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class BusTransport;
class IUiServices;

// What a probe window uses of the program around it. Every hook has a no-op
// default.
struct ProbeWindowEnv
{
    BusTransport* bus = nullptr;
    IUiServices* ui = nullptr;
    // CCT, CCT_I and komma_frage.
    Fensterpostfach* registry = nullptr;
    // The initialisation list window of the probe windows: binds it to
    // window n and brings it up; the number it is bound to (nothing while it
    // is closed or unbound); closes it.
    std::function<void(int n)> bindInit = [](int) {};
    std::function<std::optional<int>()> initBoundTo = [] { return std::optional<int>(); };
    std::function<void()> unloadInit = [] {};
    // The boards' channel masks, shared with every window that writes them;
    // left empty, the window keeps its own.
    std::shared_ptr<BoardMasks> masks;
};

class ProbeWindowCore : public IProbeWindow
{
public:
    static constexpr quint32 Green = 0xC000;  // lamp: the unit answered
    static constexpr quint32 Red = 0xC0;      // lamp: not initialised or silent
    static constexpr quint32 LightGray = 0xE0E0E0;
    static constexpr quint32 ButtonFace = kit::DefaultColour;  // the system button face
    static constexpr int ChannelCount = 8;
    static constexpr int NormalWidth = 7510;  // window width in twips
    static constexpr int UniversalWidth = 15700;
    static inline const QString Title = QStringLiteral("AK - IK - ADA");
    static inline const QString Gitterkonstante = QStringLiteral("Gitterkonstante          µm");
    static inline const QString Resolution = QStringLiteral("     Auflösung          IK/µm");
    static inline const QString CalibrationZero = QStringLiteral("Abgleich_Nullen");
    static inline const QString CalibrationStart = QStringLiteral("Start");
    static inline const QString CalibrationAbort = QStringLiteral("Abbruch");

    // Board types, by list index of cb_Unitauswahl.
    enum ProbeType
    {
        AK1,
        AK4,
        AK2IK1_IP1000,
        AK2IK1_422,
        IK2_IP1000,
        IK2_422,
        ADA2,
        Universal
    };
    static const QStringList ProbeTypes;
    // The five address lists of cb__Achsenauswahl.
    static QStringList elementAddresses(int element);

    explicit ProbeWindowCore(ProbeWindowEnv env);

    // --- the window that shows this core ----------------------------------------
    struct View
    {
        QWidget* form = nullptr;
        std::function<void()> show;  // shows the state (after a tick)
        std::function<void()> focusInit;
    };
    void setView(View view) { m_view = std::move(view); }
    QWidget* form() const override { return m_view.form; }

    // --- IProbeWindow ---------------------------------------------------------------
    int aktiv() const override { return aktiv_box.checked ? 1 : 0; }
    int Initialisierung() override;
    int Aktualisieren() override;
    void Abgleich() override;
    QString chosenAddress() const override;
    // The main loop writes a mailbox command's result here ("[0K11011]--->"
    // and the reply); an accepted mask write is the board's mask from then on.
    void setLb_Fehler(const QString& text) override;
    void setInitButtonColour(quint32 colour) override;

    // --- window events ------------------------------------------------------------
    void Form_Load();
    void Form_Activate();
    void Form_Unload();
    bool isInCycle() const { return m_cycle > 0; }

    // --- handlers -------------------------------------------------------------------
    void cb_Unitauswahl_Click();
    void cb__Achsenauswahl_Click(int index);
    void Check1_Click(int index);
    void cmd_ZaehlerNull_Click(int index);
    void cmd_ZaehlerNull_MouseUp(int index, int button);
    void cmd_sign_Click();
    void cmd_status_Click();
    void cmd_version_Click();
    void cmd_Init_Click();
    void Option5_MouseDown(int index);
    // index 3 or 4, the slider's new value already in sb_v.
    void sb_v_Change(int index);
    void wert0_Click(int index);
    void wert1_Click(int index);
    void tb_read_Click();
    void tb_write_Click();
    void tb_start_Click();
    void cmd_Abgleich_Click();
    void cmd_Abgleich_MouseUp(int button);

    // --- controls ---------------------------------------------------------------------
    QString Caption = Title;
    int BoxWidth = NormalWidth;  // window width in twips
    kit::ListControl cb_Unitauswahl;
    std::array<kit::ListControl, 5> cb__Achsenauswahl;
    kit::Control aktiv_box;  // "Messen"
    kit::Control sh_an_aus, lb_Fehler;
    std::array<kit::Control, ChannelCount> Check1, IK_check, AI_check, kanal, FaktorA, cmd_ZaehlerNull;
    // Frame1 … Frame4 and the four frames of channels 5 to 8.
    std::array<kit::Control, ChannelCount> Frame;
    kit::Control tb_faktor, tb_faktorAI, tb_gitter, lb_gitter;
    // Option buttons 1 … 8 (element 0 unused) and their tool tips.
    std::array<kit::Control, 9> wert0, wert1;
    std::array<QString, 9> valueTip;
    std::array<kit::Control, 2> interpol, Frame5, Label3;  // Frame5/Label3: outputs 3 and 4
    std::array<kit::RangeControl, 2> sb_v;                 // sb_v(3), sb_v(4)
    kit::Control Rahmen1;
    std::array<kit::Control, 7> Option5;
    kit::Control cmd_Abgleich, tb_abgleich;
    kit::ListControl cb_abgleich;
    kit::Control tb_achse, tb_anzahl, tb_startposition, tb_delta, tb_start, lb_messpunkte;
    kit::Control tb_encoder, tb_gear, tb_pitch, tb_tperiod, tb_read, tb_write;
    kit::Control cmd_sign, cmd_status, cmd_version, cmd_Init;

    // --- window state -------------------------------------------------------------------
    std::array<double, ChannelCount> Messwert{};
    std::array<double, ChannelCount> Nullpunkt{};
    std::array<int, ChannelCount> Kanalfreigabe{};
    std::array<QString, 2> Interpolationswert;
    int flagdynm = 0;
    int flagsystem_write = 0;
    int flagsystem_read = 0;
    double Abgleich_Istwert = 0;
    QString Abgleich_P = QStringLiteral("800000");
    double Abgleich_Schritt = 400000;
    int Abgleich_Richtung = 0;
    // How far P has moved in one direction since the search began or last
    // reversed. A whole turn of the register (0x1000000) without a reversal
    // means no gain brings the reading to the target: the channel does not
    // follow the positive gain register.
    double gainTravel = 0;
    static constexpr double GainTurn = 0x1000000;
    static inline const QString GainNotFollowedMessage =
        QStringLiteral("Abgleich abgebrochen: der Messwert folgt der Verstärkung nicht");
    // The search ended its last reversal with the reading off the target by
    // more than the reading itself scatters: a channel whose reading falls as
    // the gain rises is steered round the register to where it wraps, where a
    // step towards the target throws the reading far past it, and that gain
    // must not be burned.
    //
    // The last reading stands at the target when it lies within
    // GainSpreadFactor times (the reading's own spread plus the box's last
    // digit) of it. The reading's own spread is the widest scatter of the
    // readings on one side of the target taken at the fine steps (at most
    // GainFineStep, about a 20000th of the nominal gain), where a step moves the
    // reading by far less than the board's noise does. Readings on opposite
    // sides are never compared: across the wrap one side reads far below the
    // target and the other far above, and that jump is no scatter.
    static constexpr double GainFineStep = 400;
    static constexpr double GainSpreadFactor = 3;
    static inline const QString TargetMissedMessage =
        QStringLiteral("Abgleich abgebrochen: der Messwert hat den Sollwert nicht erreicht");
    static inline const QString NothingBurned = QStringLiteral("Es wurde nichts gebrannt.");
    // The one-channel board's gain registers run the other way; its
    // calibration belongs to the guided window, which knows the direction.
    static inline const QString UseGuidedWindow =
        QStringLiteral("Die AK1 bitte im Fenster \"AK-Abgleich\" abgleichen.");

    int unitType() const { return cb_Unitauswahl.listIndex; }
    bool usesComma() const;
    // A box's text as a number with the locale's decimal separator.
    std::optional<double> toNumber(const QString& text) const;

private:
    BusTransport& bus();
    QString senden(const QString& command, double timeout = 0, protocol::Rejection mode = protocol::Rejection::Show);
    void postCommand(const QString& command);
    // The body of Initialisierung.
    int readSettings();
    void pickOption(std::array<kit::Control, 9>& group, int n);
    void setValueTips(bool ip1000);
    // One channel of the channel poll from its six-digit field; true when the
    // box now shows a value the board sent (not when a factor is unusable or
    // the field is missing).
    bool showChannel(int i, const QString& fieldText, bool withScale, const QString& maskText);
    // The field of each channel in a "[0M1]" reply, empty where it holds none.
    std::array<QString, ChannelCount> channelFields(const QString& antwort) const;
    // How many channel flags the mask command of the board type carries
    // (0: the board type has no mask).
    int maskFlagCount() const;
    void dynamicMeasurement();
    void writeSystem();
    void readSystem();
    void calibrationReset(int n, const QString& c);
    void calibrationOffset(int n, int d, const QString& c);
    void calibrationGain(int d, const QString& c);
    void calibrationEnd(const QString& c);
    // Ends a gain search that cannot reach its target as a cancel does,
    // with nothing burned, and tells the operator why.
    void stopGainSearch(const QString& reason);
    // Channel i is read as a scale input (counts times the grating): its box
    // ("##0") or an analog one ("##0.00").
    bool isScaleInput(int i) const;
    // The smallest step the box of channel i shows: its last digit.
    double displayStep(int i) const { return isScaleInput(i) ? 1.0 : 0.01; }
    QString axisText() const { return tb_achse.text; }

    ProbeWindowEnv m_env;
    View m_view;
    int m_cycle = 0;
    // Per channel: the latest read-out refreshed its box from an answered
    // poll; a calibration step uses them up.
    std::array<bool, ChannelCount> m_wasRead{};
    // The lowest and highest reading of the gain search's fine steps, below
    // (0) and above (1) the target; a reading at the target is on both sides.
    struct ReadingRange
    {
        double low = 0;
        double high = 0;
        bool isEmpty = true;
        void add(double v);
        double spread() const { return high - low; }
    };
    std::array<ReadingRange, 2> m_fineReadings;
    // Why a calibration step that needs a fresh reading of channel d waits.
    QString calibrationWaitReason(int d) const;
};
