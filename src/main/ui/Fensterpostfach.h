#pragma once
// The contract between the main window and the windows it drives: what a
// control center, a probe window, the servo recorder, the stage simulator and
// the control-loop window offer to the main loop, the two collections of open
// control centers and probe windows, and the shared flags every window reads
// or writes. Widget-free, so the main loop can be driven with stand-ins.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// A window the main window keeps track of. `form()` is the widget the user
// sees (placed into the MDI area for control centers and probe windows); a
// stand-in without a form may return nullptr.
class TrackedWindow
{
public:
    virtual ~TrackedWindow() = default;

    virtual QWidget* form() const { return nullptr; }
    // Window width in twips, as the 6000-twip polling rule reads it. By
    // default the width of the MDI sub-window (or top-level window) that
    // holds the form; 0 without a form.
    virtual int Width() const;
    virtual void setWindowEnabled(bool on);
    virtual void Show();
    virtual void SetFocus();
};

// Axis control center (one per open window, kept in CC).
class IControlCenter : public TrackedWindow
{
public:
    // The window's number n; its key in CC is "k" & n.
    int Tag = 0;
    // Requests and mailbox, raised by the window and served by the main loop.
    int flagachsenwechsel = 0;  // re-initialise after another unit was chosen
    int FlagAuslesen = 0;       // read the axis parameters
    int flagsenden = 0;         // Befehl_senden waits to be sent
    QString Befehl_senden;
    QString antwort_erhalten;
    // 1 while the graphic-support reference run is under way: the status
    // decoder then only beeps for limit codes.
    int FlagGrafikInit = 0;
    // 1 while the servo recorder polls this window's axis; the options
    // dialog clears it on every control center when it frees the recorder.
    int FlagEW = 0;

    // Selects the unit, queries its status and reads its settings; 1 = the
    // unit answered.
    virtual int Initialisierung() = 0;
    // One poll of the unit (position, inputs, status) and the mailbox;
    // 1 = the unit answered.
    virtual int Aktualisieren() = 0;
    virtual void auslesen() = 0;

    // The address list `cb_adressenauswahl`.
    virtual QStringList unitAddresses() const = 0;
    virtual int addressesIndex() const = 0;
    // Sets ListIndex, which runs the window's own selection handler.
    virtual void setAddressesIndex(int index) = 0;
    virtual void clearAddresses() = 0;                     // Clear
    virtual void appendAddress(const QString& entry) = 0;  // AddItem

    // The carriage marker `line_schlitten`. Its colour says whether the
    // travel picture is valid (after a reference run) or not (also its rest
    // colour after the address lists were refilled).
    static constexpr quint32 CarriageValid = 0x8000;
    static constexpr quint32 CarriageInvalid = 0xC0;
    virtual int line_schlitten_Left() const = 0;
    virtual quint32 line_schlitten_BackColor() const = 0;
    virtual void setLine_schlitten(int left, quint32 backColor) = 0;

    // The entry of the address list that is selected ("00-AA", "01" ...),
    // or the empty text when none is.
    QString chosenAddress() const;

    // The shared tool windows a control center's buttons open.
    enum class ToolButton
    {
        Recorder,
        ControlLoop,
        Init
    };
    // Another control center took the tool window over: this window's button
    // shows it free again.
    virtual void releaseToolButton(ToolButton) {}
    // The tool window is set up for this window: its button shows the binding.
    virtual void bindToolButton(ToolButton) {}

    // What the control-loop window uses of the control center it serves.
    virtual QString windowCaption() const { return {}; }
    virtual double motfak_holen() const { return 0; }
    virtual void cmd_STOPP_Click() {}
    virtual void cmd_FahreNull_Click() {}
};

// Probe-board window (one per open window, kept in CCT).
class IProbeWindow : public TrackedWindow
{
public:
    int Tag = 0;
    int Unitindex = 0;
    int flagachsenwechsel = 0;
    int flagsenden = 0;
    QString Befehl;
    QString antwort;
    int flagabgleich = 0;

    // The "Messen" box: 1 = measuring.
    virtual int aktiv() const = 0;
    // One read-out of the window's unit; 1 = its last poll was answered.
    virtual int Aktualisieren() = 0;
    virtual int Initialisierung() = 0;
    virtual void Abgleich() = 0;
    // The selected entry of the address list cb__Achsenauswahl(Unitindex).
    virtual QString chosenAddress() const = 0;
    // The window's line `lb_Fehler`.
    virtual void setLb_Fehler(const QString& text) = 0;
    // The initialisation list window was bound to this window (green) or
    // left it (grey): the colour of its INIT button.
    virtual void setInitButtonColour(quint32) {}
};

// The initialisation command list window that serves one control center.
class IInitWindow : public TrackedWindow
{
public:
    int an_aus = 0;
    int CCIndex = 0;
    virtual void setCb_start(bool checked) = 0;
    // The register reply of "[1eS]": its three digits and the signed value.
    virtual void setLb_wert(const QString& text) = 0;
    virtual void setSli_wert(int value) = 0;
};

// The servo-loop recorder frm_eW (one shared window).
class IRecorder : public TrackedWindow
{
public:
    int FlagEW = 0;   // 1 = poll on every tick
    int an_aus = 0;   // 1 while open and bound to a control center
    int CCIndex = 0;  // number of the control center it serves
    virtual void abfragen() = 0;
};

// The two-axis stage simulator frm_MSim (one shared window).
class IStageSimulator : public TrackedWindow
{
public:
    int flagaktiv = 0;  // 1 = poll on every tick
    int flagCC = 0;     // 1 Y speed, 2 X speed, 3 joystick mode pending
    virtual void abfragen() = 0;
    virtual void sende() = 0;
    // The objective list `Combo1`.
    virtual void setCombo1ListIndex(int index) = 0;
};

// The shared control-loop window frm_controlparameter.
class IControlLoopWindow : public TrackedWindow
{
public:
    int FlagControlparameter = 0;
    int FlagAufzeichnung = 0;
    int FlagRegelkreisaus = 0;
    int FlagRegelkreisschreiben = 0;
    int FlagRegeleeprom = 0;
    int an_aus = 0;
    int CCIndex = 0;
    // Whether the window serves control center `n` when it is the current
    // one; the main loop leaves the window's requests pending otherwise.
    virtual bool servesControlCenter(int /*n*/) const { return true; }
    virtual void Diag_Aufzeichnung(int& Aufzeichnungsschritt) = 0;
    virtual void regelkreisauslesen() = 0;
    virtual void regelkreisschreiben() = 0;
    virtual void eepromspeichern() = 0;
};

// A keyed collection of open windows in the order they were added. Keys are
// "k" & n; the collection stores n. Looking up a number that is not there
// yields nullptr instead of an error.
template <class W>
class WindowCollection
{
public:
    static QString key(int n) { return QStringLiteral("k%1").arg(n); }

    // Adds `window` under n unless n or the window is already there.
    bool add(int n, W* window)
    {
        if (!window || item(n))
            return false;
        for (const Entry& e : m_entries)
            if (e.window == window)
                return false;
        m_entries.append({n, window});
        return true;
    }
    bool remove(int n)
    {
        for (qsizetype i = 0; i < m_entries.size(); ++i)
            if (m_entries[i].n == n) {
                m_entries.removeAt(i);
                return true;
            }
        return false;
    }
    W* item(int n) const
    {
        for (const Entry& e : m_entries)
            if (e.n == n)
                return e.window;
        return nullptr;
    }
    W* item(const QString& key) const
    {
        for (const Entry& e : m_entries)
            if (WindowCollection::key(e.n) == key)
                return e.window;
        return nullptr;
    }
    // Position 0 .. count()-1.
    W* at(qsizetype position) const { return m_entries.at(position).window; }
    qsizetype count() const { return m_entries.size(); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    // The window numbers in collection order.
    QList<int> numbers() const
    {
        QList<int> out;
        for (const Entry& e : m_entries)
            out << e.n;
        return out;
    }
    QStringList keys() const
    {
        QStringList out;
        for (const Entry& e : m_entries)
            out << key(e.n);
        return out;
    }

private:
    struct Entry
    {
        int n;
        W* window;
    };
    QList<Entry> m_entries;
};

// Cascade positions of new control centers: 1, 2 … 11, then 0.5, 1.5 …
// 11.5, then 1, 2 … again, in units of 300 twips.
class CascadeCounter
{
public:
    // Advances and returns the position for the next window.
    double next()
    {
        m_kaskade += 1;
        if (m_kaskade == 12)
            m_kaskade = 0.5;
        else if (m_kaskade == 12.5)
            m_kaskade = 1;
        return m_kaskade;
    }
    double value() const { return m_kaskade; }

private:
    double m_kaskade = 0;
};

// Left and top of probe window n in twips: n × 300. Past the 109th window
// since start the position wraps round to the first one again, so windows
// never open out of reach.
int probePositionTwips(int n);

// The shared state of the main window and the registry procedures other
// windows call. The main window inherits it; tests use it alone.
class Fensterpostfach
{
public:
    virtual ~Fensterpostfach() = default;

    // 1 while the control-loop window records a step response.
    int Flaganzcom = 0;
    WindowCollection<IControlCenter> CC;
    int CC_I = 0;
    WindowCollection<IProbeWindow> CCT;
    int CCT_I = 0;
    // 1 = initialise every control center on the next tick.
    int com_motflag = 0;
    // True when the locale writes decimals with a comma.
    bool komma_frage = false;

    // Last result of Initialisierung/Aktualisieren per control-center number
    // (1 = the unit answered); 0 for numbers never served.
    QHash<int, int> Statustabelle;
    int Aufzeichnungsschritt = 0;

    // The shared windows, nullptr while they do not exist.
    IRecorder* frm_eW = nullptr;
    IStageSimulator* frm_MSim = nullptr;
    IControlLoopWindow* frm_controlparameter = nullptr;

    // Moves the parameter store's cursor `Index` to an axis (list index of
    // the current control center's address list). Connected by the
    // parameter store.
    std::function<void(int)> setParameterIndex;

    void CC_entfernen(const IControlCenter& window);
    void CC_Aktivieren(int n) { CC_I = n; }
    void CCT_entfernen(const IProbeWindow& window);
    void CCT_Aktivieren(int n) { CCT_I = n; }

    // The current windows, or nullptr when none is open or the current one
    // has gone.
    IControlCenter* currentControlCenter() const { return CC.item(CC_I); }
    IProbeWindow* currentProbeWindow() const { return CCT.item(CCT_I); }

    int status(int n) const { return Statustabelle.value(n, 0); }

protected:
    // Called after a window left its collection (by itself or because its
    // form was destroyed).
    void removeControlCenter(int n);
    void removeProbeWindow(int n);
};
