#pragma once
// The servo-loop recorder without its widgets: the run control (per tick or
// in its own loop), the measurement pass `zeichnen` over the current control
// center's axis (position and velocity, the optional channels wP, TW, K8, PC
// and eW with their latches, the joystick rest test and the drift run), the
// five vertical gauges' values and ranges, and the wide persistent graph
// with its scales, grid, pan, labels, read-outs and point labels.
//
// The graph is an image of 16382 × 273 pixels that keeps what is drawn on it
// until it is cleared; a pass adds one segment per trace. The window shows
// the part of it that the pan position puts into the viewport.
//
// Loop mode holds the main loop; the window then calls `loopStep`
// once per pass of its event loop (the control center's update and one
// measurement pass), so stop, exit and close act between rounds. Every way
// out of a run (stop, exit, close, unbinding, the "888" reply) runs the stop
// branch, which releases the main loop.

#include "ControlState.h"
#include "Fensterpostfach.h"
#include "MainLoopHold.h"

#include <QImage>
#include <QString>

#include <array>
#include <functional>

class AxisParameterStore;
class BusTransport;
class IClock;
class IUiServices;
class OptionFlags;

struct RecorderEnv
{
    BusTransport* bus = nullptr;
    AxisParameterStore* store = nullptr;
    const OptionFlags* options = nullptr;
    // CC, CC_I and CC_Aktivieren.
    Fensterpostfach* registry = nullptr;
    IUiServices* ui = nullptr;
    IClock* clock = nullptr;
    std::function<bool()> usesComma = [] { return false; };
    // Holds the main loop while the loop mode runs.
    std::function<MainLoopHold()> holdMainLoop = [] { return MainLoopHold(); };
};

class RecorderCore : public IRecorder
{
public:
    static inline const QString Caption = QStringLiteral("eW");
    static constexpr int GraphWidth = 16382;  // W_g, also HScroll1's maximum
    static constexpr int GraphHeight = 273;   // H
    static constexpr int TopLine = 17;        // Line6
    static constexpr int BottomLine = 255;    // Line3
    static constexpr int NumPoints = 32;
    static constexpr int Times = 11;
    // Where cleared point labels wait, in window pixels.
    static constexpr int PointParkLeft = 176, PointParkTop = 562;
    static constexpr quint32 Background = 0xF0F0F0;
    static constexpr quint32 Red = 0xFF, Green = 0xFF00, Blue = 0xFF0000, Magenta = 0xFF00FF, Gray = 0xC0C0C0;

    static inline const QString MinusError = QStringLiteral("Falsche Eingabe!! Die Zahl muss kleiner sein als ");
    static inline const QString PlusError = QStringLiteral("Falsche Eingabe!! Die Zahl muss größer sein als ");
    static inline const QString ErrorTitle = QStringLiteral("Fehler");

    explicit RecorderCore(RecorderEnv env);

    // --- Controls -----------------------------------------------------------------
    kit::Control cb_Messung, cb_an_aus, Check1, cb_drift;
    kit::Control cb_wP, cb_tw, cb_K8, cb_PC, cb_eW;
    kit::Control cmd_clear, cmd_clear1, cmd_exit;
    kit::Control text_plus, text_minus, text_faktor, text_faktor2, tb_drift;
    kit::Control lb_istV, lb_v, Label1, lb_mitte, Label2, lb_min, lb_max, Label8, Label9, Label10;
    kit::ListControl lb_farbeEW;
    kit::RangeControl HScroll1{.value = 0, .min = 0, .max = GraphWidth, .smallChange = 1, .largeChange = 1000};
    std::array<kit::Control, Times> lb_zeit;
    struct Point
    {
        kit::Control label;
        int left = PointParkLeft, top = PointParkTop;
    };
    std::array<Point, NumPoints> lb_punkte;
    // The gauges toviv_w, toviv_k, toviv_power, toviv_neg, toviv_pos.
    struct GaugeRange
    {
        int value = 0, min = 0, max = 100;
    };
    enum
    {
        Toviv_w,
        Toviv_k,
        Toviv_power,
        Toviv_neg,
        Toviv_pos,
        GaugeCount
    };
    static const std::array<const char*, GaugeCount> GaugeNames;
    std::array<GaugeRange, GaugeCount> toviv;

    // --- The graph --------------------------------------------------------------------
    QImage pb_graph;
    double line_Pos = -1;       // column of the position marker
    int containerWidth = 1000;  // W_c
    // pb_graph.Left: 0 at the left end, W_c - W_g at the right end.
    double graphLeft() const;

    // --- Public members of the window ---------------------------------------------------
    double y_drift = 0, y_drift_vor = 0, x_zeitachse = 0, x_zeitachse_vor = 0;
    double start_drift = 0;
    int driftmerker = 0;
    double drift_pa = 0;

    // --- Scales --------------------------------------------------------------------------
    double x_faktor = 0, x_offset = 0;
    double y_faktor_ew = 0, y_offset_ew = 0, y_faktor_tw = 0, y_offset_tw = 0;
    double y_faktor_pc = 0, y_offset_pc = 0, y_faktor_v = 0, y_offset_v = 0;
    double y_faktor_drift = 0, y_offset_drift = 0, x_faktor_zeit = 0;

    // --- Measurement state ------------------------------------------------------------------
    QString antwort_pa, antwort_wp, antwort_tw, antwort_k8, antwort_pc, antwort_ew;
    double zeit_vor = 0, delta_t = 0, pos_ist = 0, pos_vor = 0;
    double wert_tw = 0, wert_ew = 0;
    double x_vor = 0, y_ew_vor = 0, y_tw = 0, y_tw_vor = 0, y_pc = 0, y_pc_vor = 0, y_k8 = 0, y_k8_vor = 0;
    // Whether the traces have a previous point to draw from.
    bool hasPreviousPoint = false;
    QString auswahl_vor;
    int sperre_wp = 0, sperre_tw = 0, sperre_k8 = 0, sperre_pc = 0, sperre_ew = 0;
    int zeit_index = 0;
    int punkt_index = 0;

    // How a view shows this state; without one the core runs headless.
    struct View
    {
        QWidget* form = nullptr;
        std::function<void()> render;
        std::function<void()> hideView;                          // hide the window
        std::function<void(const QString& control)> focusField;  // focus back to a field
        std::function<int(const QString& text)> textWidth;       // width of a point label
    };
    void setView(View view);
    QWidget* form() const override { return m_view.form; }

    // --- IRecorder ----------------------------------------------------------------------------
    void abfragen() override;
    // Showing it enables it again (the exit button disabled it).
    void Show() override
    {
        setWindowEnabled(true);
        TrackedWindow::Show();
    }

    // --- Handlers --------------------------------------------------------------------------------
    // `windowWidth`: the window's width in pixels.
    void Form_Load(int windowWidth);
    void Form_Activate();
    void Form_Unload();
    void cb_Messung_MouseUp();
    void Check1_Click();
    void cmd_clear_Click();
    void cmd_clear1_Click() {}
    void cmd_exit_Click();
    void HScroll1_Change();
    void text_faktor_Change();
    void text_faktor_LostFocus();
    void text_minus_LostFocus() { checkRange(true); }
    void text_plus_LostFocus() { checkRange(false); }
    // Read-outs at a graph pixel.
    void pb_graph_MouseMove(double x, double y);
    // A press on the window's background: `button` 2 places a point label.
    void Form_MouseDown(int button, int x, int y, int windowWidth);

    // --- The cycle ------------------------------------------------------------------------------
    void zeichnen();
    void linien();
    void applyScale() { skalieren(); }
    bool isLooping() const { return m_looping; }
    // Whether numbers are written with a decimal comma (the locale's format).
    bool usesComma() const { return m_env.usesComma(); }
    // One round of the loop mode: the control center's update and one pass.
    void loopStep();
    // The drift run, armed from outside (a control center's move that ended).
    void startDrift(double pa);

    // Decoders of the channel replies (value fields at their fixed places).
    static double ewValue(const QString& reply, bool twelveBit, int offset);
    // The offset field: a number rounded to 16 bits, otherwise no offset.
    static int ewOffset(const QString& text, bool usesComma);
    static double twValue(const QString& reply);
    static double k8Value(const QString& reply);
    static double pcValue(const QString& reply);       // the read-out's 16-bit value
    static double pcTrackValue(const QString& reply);  // the trace's 8-bit value
    // Splits an eW value onto power, neg and pos.
    static std::array<int, 3> splitValue(double wert, bool twelveBit);

private:
    bool twelveBit() const;
    double toNumber(const QString& text, bool* ok) const;
    QString numberText(double v) const;
    // False when a step gives no usable scale; the steps before keep their new values.
    bool skalieren();
    void beschriften();
    void labelMinMax();
    bool runPass(bool proTick);
    // Sends a latched channel; false when it was not sent.
    bool kanal(const kit::Control& box, int& lockFlag, const QString& cmdText, QString& antwort, bool loop888);
    void arm();
    void drawStroke(double x1, double y1, double x2, double y2, quint32 rgbColor, bool ownColor);
    void stopRecording();
    void checkRange(bool minus);

    RecorderEnv m_env;
    View m_view;
    bool m_looping = false;
    bool m_stop888 = false;
    bool m_inPass = false;  // a pass (or a loop round) is under way
    int m_lock = 0;         // the range checks' lock
    MainLoopHold m_hold;
};
