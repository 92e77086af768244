#pragma once
// The microscope stage simulator without its widgets: the field of view of
// the chosen objective over two axis controllers (X and Y), its diagonal grid
// and scale labels, the spot at the polled stage position, re-centring on a
// click, the two spring-back speed bars and the joystick mode.
//
// Polling runs either once per main-loop tick ("Start Timer": the main loop
// calls `abfragen` while `flagaktiv` is 1) or in the window's own fast loop
// ("Start Fast"): the main loop is held and the window calls `fastStep`
// again and again from its event loop until the toggle is released. Every
// way out of the fast loop (untick, close, a failed pass) runs the stop
// branch, which releases the main loop.
//
// Speed requests are kept per axis until the main loop's next `sende`, so a
// drag of one bar never overwrites the pending stop of the other.

#include "ControlState.h"
#include "Fensterpostfach.h"
#include "MainLoopHold.h"

#include <QLineF>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class AxisParameterStore;
class BusTransport;

struct StageSimEnv
{
    BusTransport* bus = nullptr;
    // The parameter store: its cursor `Index` and the motor factor.
    AxisParameterStore* store = nullptr;
    std::function<bool()> usesComma = [] { return false; };
    // Asks the main loop to initialise every control center again.
    std::function<void()> comMotflag = [] {};
    // Holds the main loop while the fast loop runs.
    std::function<MainLoopHold()> holdMainLoop = [] { return MainLoopHold(); };
};

class StageSimCore : public IStageSimulator
{
public:
    static inline const QString Caption = QStringLiteral("Mikroskop_Simulator");
    // The field picture pb_gitter, square, in twips; the spot shape1.
    static constexpr int Field = 6000;
    static constexpr int Spot = 375;
    // Fixed crosshair (LineX vertical, LineY horizontal) and the centre the
    // spot placement uses.
    static constexpr int Crosshair = 2970;
    static constexpr int Middle = 3000;
    static constexpr quint32 SpotColor = 0x0080FF;
    static constexpr quint32 GridColor = 0xC0C0C0;
    static constexpr int Bar = 14;  // the speed bars run from -14 to 14

    struct Objektiv
    {
        const char* item;
        double sichtfeld;  // mm
        double spacing;    // grid spacing in twips
        double half, quarter;
    };
    static const std::array<Objektiv, 10> Objektivtabelle;
    // Scale labels: X from left to right, then Y from top to bottom.
    enum Scale
    {
        Label4,
        LabelXT,
        LabelXM,
        LabelXH,
        LabelX,
        LabelY,
        LabelYH,
        LabelYM,
        LabelYT,
        Label0,
        Scales
    };
    static const std::array<const char*, Scales> ScaleNames;

    explicit StageSimCore(StageSimEnv env);

    // --- Controls -----------------------------------------------------------------
    kit::ListControl Combo1;
    std::array<kit::ListControl, 2> cb__Achsenauswahl;  // 0 = X, 1 = Y
    std::array<kit::Control, 2> Option1;                // 0 = fast, 1 = slow
    kit::Control cb_messen, cb_messenschnell;
    kit::Control lb_cc_1, lb_cc_2;  // Y and X bar values
    kit::RangeControl ScrollX{.value = 0, .min = -Bar, .max = Bar};
    kit::RangeControl ScrollY{.value = 0, .min = -Bar, .max = Bar};
    std::array<kit::Control, Scales> scaleLabels;
    // What pb_gitter shows: the grid lines in twips (cleared with the
    // picture) and the spot's top-left corner.
    QList<QLineF> gridBox;
    double shape1Left = Middle - Spot / 2.0;
    double shape1Top = Middle - Spot / 2.0;

    // --- State --------------------------------------------------------------------
    double sichtfeld = 0, massstab = 0, offsetX = 0;
    double refX = 0, refY = 0, posX = 0, posY = 0;
    QString antwortPA;
    std::array<double, Scales> skalenversatz{};
    QString joystickart;
    int schiebeflag = 0;
    // Pending speeds (two hexadecimal digits) per axis, 0 = X, 1 = Y, and a
    // pending joystick-mode change; `flagCC` is non-zero while any is pending.
    std::array<std::optional<QString>, 2> ccwert;
    bool modeOpen = false;

    // How a view shows this state (after a main-loop call); the form is placed
    // into the MDI area. Without a view the core runs headless.
    struct View
    {
        QWidget* form = nullptr;
        std::function<void()> render;
    };
    void setView(View view) { m_view = std::move(view); }
    QWidget* form() const override { return m_view.form; }

    // --- IStageSimulator ------------------------------------------------------------
    void abfragen() override;
    void sende() override;
    void setCombo1ListIndex(int index) override;

    // --- Handlers -------------------------------------------------------------------
    void Form_Load();
    // Closing: polling ends; a running measurement is stopped as by its toggle.
    void Form_Unload();
    void Option1_Click(int index);
    void Combo1_Click();
    void linien(double spacing);
    void rechnelabels();
    void pb_gitter_MouseDown();
    // `button`: 1 = left.
    void cb_messen_MouseUp(int button);
    void cb_messenschnell_MouseUp(int button);
    // axis 0 = X bar, 1 = Y bar.
    void Scroll_Scroll(int axis);
    void Scroll_Change(int axis);
    void Scroll_KeyUp(int axis);

    // --- Fast loop ------------------------------------------------------------------
    bool fastRunning() const { return m_fast; }
    // One round of the fast loop: reads both axes and places the spot; a
    // failed round ends the loop through its stop branch.
    void fastStep();

private:
    enum class ReadMode
    {
        Single,
        FastSpeed
    };
    kit::RangeControl& bar(int axis) { return axis == 0 ? ScrollX : ScrollY; }
    kit::Control& barLabel(int axis) { return axis == 0 ? lb_cc_2 : lb_cc_1; }
    static int barCode(int axis) { return axis == 0 ? 2 : 1; }
    // Moves the parameter cursor to the axis and selects its unit.
    void selectAxis(int axis);
    // One axis read; false when the pass has to end.
    bool readAxis(int axis, ReadMode readMode);
    void setSpot();
    bool runPass(ReadMode readMode);
    void controlsFree(bool freeNow, kit::Control& otherButton);
    void timerStop();
    void fastStop();

    StageSimEnv m_env;
    View m_view;
    bool m_fast = false;
    bool m_inStep = false;  // a fast round is under way
    MainLoopHold m_hold;
};
