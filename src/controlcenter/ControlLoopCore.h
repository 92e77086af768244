#pragma once
// The control-loop window without its widgets: the four loop registers of the
// axis of one control center (sample time, Zero[D], Pole[I], Gain[P]) with
// their bars and hexadecimal boxes, the store to EEPROM, the record time base
// and the step-response recording with its speed curve.
//
// Bus discipline: handlers only raise the window's request flags (or post
// into the bound control center's mailbox); the main loop calls
// `regelkreisauslesen`, `regelkreisschreiben`, `eepromspeichern` and
// `Diag_Aufzeichnung` while that control center's unit is selected. The
// window serves only the control center it is bound to (`CCIndex`): while
// another one is current its requests wait.

#include "Fensterpostfach.h"
#include "MotorFactor.h"

#include "ControlState.h"
#include "Protocol.h"

#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class BusTransport;
class IUiServices;
class OptionFlags;

// What the control-loop window uses of the program around it. Every hook has
// a no-op default.
struct ControlLoopEnv
{
    BusTransport* bus = nullptr;
    IUiServices* ui = nullptr;
    const OptionFlags* options = nullptr;
    // CC, CC_I, Flaganzcom and komma_frage.
    Fensterpostfach* registry = nullptr;
    // Recalculates the current axis from its loop registers; its sample time
    // in seconds afterwards.
    std::function<CalcResult()> motfaktor_berechnen = [] { return CalcResult::IndexInvalid; };
    std::function<double()> st = [] { return 0.0; };

    ControlLoopEnv completed() const;
};

class ControlLoopCore : public IControlLoopWindow
{
public:
    static inline const QString NoStep =
        QStringLiteral("Die Sprungantwort wurde nicht gestartet: die Achse hat nicht geantwortet.");
    static inline const QString NoRecording =
        QStringLiteral("Die Aufzeichnung der Sprungantwort ist unvollständig und wird nicht gezeichnet: ");
    static inline const QString NoScale = QStringLiteral(
        "Die Sprungantwort wird nicht gezeichnet: Positioniergeschwindigkeit oder Abtastzeit der Achse ist 0.");
    static inline const QString DistanceError = QStringLiteral(
        "Die Strecke liegt außerhalb des Zählbereichs der Achse (±8388607 Inkremente) und wird nicht gefahren!");
    static inline const QString NoReply = QStringLiteral("keine Antwort");
    // Entries of the record: 101 positions of six digits, one every seven
    // characters after "[1XL!".
    static constexpr int ValueCount = 101;
    static constexpr int RecordingLength = 5 + ValueCount * 7 - 1;
    static constexpr double StepTime = 30.0;
    static constexpr double EepromTime = 5.0;
    static constexpr double WriteTime = 0.2;

    // Picture coordinates (twips) of the design lines.
    static constexpr int X0 = 500, X1 = 6000;
    static constexpr int YPlus = 900, YZero = 3000, YMinus = 5100;
    static constexpr int YTop = 555, YBottom = 5405;

    // One drawn line in picture coordinates with its colour (0x00BBGGRR).
    struct PlotLine
    {
        double x1, y1, x2, y2;
        quint32 rgbColor;
        bool operator==(const PlotLine&) const = default;
    };
    // How the window shows the state and draws into its persistent picture.
    struct View
    {
        QWidget* form = nullptr;
        std::function<void()> show;
        std::function<void(const PlotLine&)> zeichnen;
        std::function<void()> clearPicture;
        std::function<void()> closeView;
        // Gives the focus to the distance box text_strecke.
        std::function<void()> focusDistanceBox = {};
    };

    explicit ControlLoopCore(ControlLoopEnv env);
    void setView(View view);
    QWidget* form() const override { return m_view.form; }

    // --- IControlLoopWindow -----------------------------------------------------
    bool servesControlCenter(int n) const override { return an_aus == 1 && n == CCIndex; }
    void Diag_Aufzeichnung(int& Aufzeichnungsschritt) override;
    void regelkreisauslesen() override;
    void regelkreisschreiben() override;
    void eepromspeichern() override;
    // Binding by a control center's button ends here: the window sets itself
    // up for the new binding and makes its control center current.
    void SetFocus() override;

    // --- set-up, activation and unloading ----------------------------------------
    void Form_Activate();
    void Form_Unload();
    void Button_enable();
    void Button_Disable();

    // --- handlers ------------------------------------------------------------------
    void ob_zeit_Click(int index);
    void sb_regelkreisH_Change();
    void sb_regelkreisV_Change(int index);  // 2, 3 or 4
    void cmd_save_Click() { FlagRegeleeprom = 1; }
    void cmd_Diag_Click(int index);  // 1 "start +", 2 "start -", 3 "abs(0)"
    void cmd_clear_Click();
    void cmd_STOPP_Click();
    void cmd_exit_Click();
    bool usesComma() const;

    // --- private state (readable for the window and the tests) -------------------
    QString Zeitbasis;
    int Zeitindex = 0;
    int FlagLesen = 0;
    int Farbzaehler = 0;
    quint32 DrawColor = 0;
    QString Caption;

    // --- controls --------------------------------------------------------------------
    kit::ListControl text_strecke;
    kit::Control cmd_STOPP, cmd_save, cmd_exit, cmd_clear, lb_ST_Sec;
    kit::RangeControl sb_regelkreisH{124, 15, 249, 1, 10};
    // Bars 2, 3 and 4 at positions 0, 1 and 2.
    std::array<kit::RangeControl, 3> sb_regelkreisV{};
    // Boxes 1 to 4 at positions 0 to 3.
    std::array<kit::Control, 4> text_regelP;
    std::array<kit::Control, 9> ob_zeit;
    // Buttons 1 to 3 at positions 0 to 2.
    std::array<kit::Control, 3> cmd_Diag;
    std::array<kit::Control, 3> Vdia;
    kit::Control Check1, cb_wiederholen;

private:
    // The bound control center, or nullptr when it has gone.
    IControlCenter* boundCenter() const;
    QString senden(const QString& cmdText, double waitTime = 0,
                   protocol::Rejection mode = protocol::Rejection::Show) const;
    void report(const QString& text) const;
    void showValues() const;
    void showStSec();
    void nextColor();
    // Runs the step and fetches the record; false when the recording ends
    // without a curve (the stop path ran or a message said why).
    bool startStep(int& stepState);
    void drawCurve(const QList<qint32>& w, double vP, double T, double z);
    void recordingEnd(int& stepState);
    void drawSegment(double x1, double y1, double x2, double y2);
    std::optional<QList<qint32>> readRecording(const QString& antwort) const;

    ControlLoopEnv m_env;
    View m_view;
};
