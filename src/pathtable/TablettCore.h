#pragma once
// The path table without widgets: the path drawn with the mouse or imported,
// the view range in millimetres with its scale labels, the resampling, the
// markers, the key commands of `tasteneingabe` and the buttons, the manual
// commands, and the drive of the path on units "01" (X) and "02" (Y). The
// window (frm_tablett) shows this state, hands the mouse and keys of its
// drawing box and of `tb_delta` to it, and paints `drawing()`.
//
// Coordinates are twips of the drawing box. The path is held in these units;
// millimetres come from the edge labels (`Bahnskala`).
//
// The main loop is held while the window is open: every way out (Esc, the
// close box, "P" and button 6) releases it through `env.releaseMainLoop`, a
// running drive being stopped first.

#include "Bahndatei.h"
#include "PathModel.h"
#include "ControlCenterMath.h"
#include "ControlState.h"

#include <QPointF>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class AxisParameterStore;
class BusTransport;
class IClock;
class IUiServices;
struct FileDialogRequest;

struct TablettEnv
{
    BusTransport* bus = nullptr;
    IUiServices* ui = nullptr;
    AxisParameterStore* store = nullptr;
    IClock* clock = nullptr;
    // Whether numbers are written with a decimal comma.
    std::function<bool()> usesComma = [] { return false; };
    // Folder of the path files' dialogs.
    std::function<QString()> programFolder = [] { return QString(); };
    // The window is hidden or closed: the main loop may run again.
    std::function<void()> releaseMainLoop = [] {};
    // Hides the window (it keeps its state).
    std::function<void()> hideWindow = [] {};
    // Width in twips of a marker label showing `text`.
    std::function<double(const QString& text)> textWidth = [](const QString& t) { return t.size() * 90.0; };
    // The program that reads workbooks, with its limits.
    pathFile::WorkbookReader workbookReader;

    // This Env with every empty hook given its no-op default.
    TablettEnv completed() const;
};

class TablettCore
{
public:
    static constexpr quint32 Gray = 0xC0C0C0;
    static constexpr quint32 Green = 0xFF00;
    static constexpr quint32 Red = 0xFF;
    static constexpr quint32 GreenPoint = 65280;  // actual position
    static constexpr quint32 RedPoint = 255;      // end position
    static constexpr int Marker = 11;
    static inline const QString FullMessage =
        QStringLiteral("Die Bahn ist voll: höchstens 6800 Punkte in 101 Strichen.");
    static inline const QString RangeMessage = QStringLiteral(
        "Die Bahn liegt außerhalb des Zählbereichs der Achsen (±8388607 Inkremente) und wird nicht abgefahren!");
    static inline const QString RowsLeftOutMessage = QStringLiteral(
        "Die Bahn ist voll: höchstens 6800 Punkte. Die übrigen Zeilen der Datei wurden nicht eingelesen.");
    static inline const QString TimeMessage = QStringLiteral("Die PK-Zeit muss aus zwei Zeichen bestehen!");
    static inline const QString TableMessage =
        QStringLiteral("Ein Strich hat mehr als 500 Tabellenpunkte und wird nicht abgefahren!");
    // A path file that could not be read or written.
    static QString fileMessage(const QString& name)
    {
        return QStringLiteral("Die Datei ") + name + QStringLiteral(" konnte nicht geladen werden!!");
    }
    static inline const QStringList ZoomSteps{"0,1", "0,2", "0,4", "0,5", "1",  "2",  "4",
                                              "5",   "10",  "20",  "40",  "50", "100"};

    explicit TablettCore(TablettEnv env);
    ~TablettCore();

    // --- Controls ------------------------------------------------------------------------------
    std::array<kit::Control, Marker> lb_punkte;
    std::array<QPointF, Marker> lb_punkte_pos;  // left, top of each marker label
    kit::Control lb_plus{.text = QStringLiteral("-1")}, tb_plus{.text = QStringLiteral("1")};
    kit::Control lb_minus{.text = QStringLiteral("-1")}, tb_minus{.text = QStringLiteral("1")};
    kit::Control lb_nullplus{.text = QStringLiteral("0")}, lb_nullminus{.text = QStringLiteral("0")};
    kit::Control lb_viertelX{.text = QStringLiteral("0")}, lb_dreiviertelX{.text = QStringLiteral("0")};
    kit::Control lb_viertelY{.text = QStringLiteral("0")}, lb_dreiviertelY{.text = QStringLiteral("0")};
    kit::Control lb_PK, lb_timeout{.text = QStringLiteral("20")}, lb_Ant;
    kit::Control Text2{.text = QStringLiteral("1")};
    kit::Control tb_delta{.text = QStringLiteral("500")}, tb_zeit{.text = QStringLiteral("10")};
    kit::ListControl cb_zoom, cb_ZZ;
    kit::Control tb_offsetX{.text = QStringLiteral("0")}, tb_offsetY{.text = QStringLiteral("0")};
    kit::Control cb_achse2{.text = QStringLiteral("Check1")};
    kit::Control lb_fahrzeit{.text = QStringLiteral("Fahrzeit :")};
    kit::Control Text1;
    kit::Control sh_an_aus{.text = {}, .colour = Gray};

    // --- State ---------------------------------------------------------------------------------
    Path pathModel;
    Bahnskala pathScale;
    int strichpunkte = 0;
    int flagzeichnen = 0;
    float letztesX = 0, letztesY = 0;
    int markerindex = 0;
    QString ZZ_alt;
    QString dateiname;
    QString Tag;
    // Per stroke (from 1): column 1 published, 2 just made, 3 accepted.
    std::array<std::array<int, 4>, pathModel::MaxStrokes + 1> punkttabelle{};
    QString punktetext;
    float greifX = 0, greifY = 0;

    // --- The drawing box -------------------------------------------------------------------------
    struct PlotLine
    {
        QPointF von, upTo;
    };
    struct Point
    {
        QPointF spot;
        int widthPx;
        quint32 rgbColor;
    };
    struct Drawing
    {
        std::vector<PlotLine> linien;
        std::vector<Point> drawnDots;
    };
    const Drawing& drawing() const { return m_drawing; }
    // Grows with every change of the drawing, so a view repaints only then.
    int drawingState() const { return m_drawingState; }
    // Width and height of the drawing box in twips.
    void setDrawingArea(double width, double height);
    double W() const { return m_W; }
    double H() const { return m_H; }

    // --- Interface ----------------------------------------------------------------------------
    // The key commands: F1 import, F2 export, Esc close, C clear, P hide,
    // R index search, S drive, Z redraw; other codes do nothing.
    void tasteneingabe(int Keycode);

    // --- Handlers -----------------------------------------------------------------------------
    void button_Click(int index);
    void cb_PK_Click();
    void cb_SA_Click();
    void cb_zoom_Click() { cb_zoom_LostFocus(); }
    void cb_ZZ_Click() { cb_ZZ_LostFocus(); }
    void cb_ZZ_LostFocus();
    void Form_Load();
    // Opening from the menu: loads the window again after it was closed.
    void openForm();
    void Form_Unload();
    // Buttons 1 = left, 2 = right; positions in twips of the drawing box.
    void pb_Zeichnung_MouseDown(int button, double x, double y);
    void pb_Zeichnung_MouseMove(double x, double y);
    void pb_Zeichnung_MouseUp(int button);
    void tb_delta_LostFocus() { skala_beschriften(); }
    void lb_punkte_MouseDown(int index, double x, double y);
    void pb_Zeichnung_DragOver(int index, double x, double y);
    void tb_offsetX_LostFocus();
    void tb_offsetY_LostFocus();
    void cb_zoom_LostFocus();
    void tb_zeit_LostFocus();
    // Enter in the manual command line: its text to unit "01", then to "02".
    void Text1_Enter();

    // --- Path and view -------------------------------------------------------------------------
    void bahn_zeichnen();
    void bahn_zoomen();
    void skala_beschriften();
    // Computes the mapping anew from the edge labels; false (the old one kept)
    // when a label is no number or a scale would be zero.
    bool computeScale();
    void stop();
    void clear();

    // --- Drive and files ---------------------------------------------------------------------
    // Starts the drive (refused while one runs, or with a message when a
    // target lies outside the counters' range, a stroke has more than 500
    // table points or the time per point is not two characters). The drive
    // is a step machine: `moveStep` does one point or one polling round.
    void bahn_abfahren();
    bool moveStep();
    bool moving() const { return m_drive.phase != Phase::Parked; }
    // Runs a started drive to its end (tests, benchmark).
    void moveToEnd();
    // Import (text or workbook) and export of the path in millimetres.
    void bahn_laden();
    void bahn_speichern();

    bool usesComma() const { return m_env.usesComma(); }

private:
    std::optional<double> toNumber(const QString& t) const { return controlDesk::readNumberField(t, usesComma()); }
    QString text(double v) const { return controlDesk::numberText(v, usesComma()); }
    QString formatValue(double v) const;
    void redraw() { ++m_drawingState; }
    void clearDrawing();
    void drawSegment(double x1, double y1, double x2, double y2);
    // Sets the view's edge labels for X and/or Y from zoom and offsets;
    // false when the view would have no extent (nothing is changed then).
    bool applyView(bool x, bool y);
    void remap();
    void bahn_verdichten();

    enum class Phase
    {
        Parked,
        Point,
        Warten
    };
    struct Drive
    {
        Phase phase = Phase::Parked;
        int i = 0;
        int strokeTotal = 0;  // strokes of the path, given back at the end
        QString hexX, hexY, kommando, tabelleX, tabelleY, poX, poY, zaehlerX, zaehlerY, zaehler_alt;
        double startzeit = 0;
        QPointF ist;  // last actual position read, drawing-box units
    };
    bool checkMove();
    void endMove();
    void pointStep();
    void waitRound();
    void finishPoint();
    void pause();
    double motorFactorOf(int axisNo);
    double tableTime() const;
    QString senden(const QString& unitAddr, const QString& cmdText, double waitTime = 0);
    // "[0po]" on the selected unit.
    QString pollMotion();
    void plotPoint(QPointF spot, int widthPx, quint32 rgbColor);
    FileDialogRequest fileDialog(const QString& filter, const QString& preset) const;

    TablettEnv m_env;
    Drive m_drive;
    Drawing m_drawing;
    int m_drawingState = 0;
    double m_W = 1, m_H = 1;
    bool m_loaded = false;
    bool m_fullReported = false;
};
