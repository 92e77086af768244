#pragma once
// A motor-axis controller on the simulated bus. The axis has a signed 24-bit
// position counter and moves with a trapezoidal profile (constant
// acceleration, cruise, constant deceleration) at the speed and acceleration
// of the drive mode the command uses. Position is a function of the clock:
// every motion is stored as its start time and profile, and any later
// command (or query) computes where the axis is at that moment, so the state
// is exact however often the host polls.
//
// Limit switches are zones: the minus switch is closed at and below its edge,
// the plus switch at and above its edge. A move that reaches a closed zone
// stops on the edge; a move into a zone that is already closed is refused.
// Index marks are single positions that an armed capture records when the
// axis reaches or crosses them.
//
// The position, the status word and the input word live on the SimUnit (as
// for every board), so tests set them there or through SimAxis below.

#include "SimEeprom.h"
#include "SimUnit.h"

#include <QByteArray>
#include <QList>
#include <QMap>

#include <optional>

class IClock;
class SimBus;

class SimAxisModel : public SimBoardModel
{
public:
    // Drive modes with their own speed and acceleration registers
    // ("[1VP....]", "[1AT....]" ...): positioning, joystick, limit runs.
    enum class Mode
    {
        P,
        T,
        E
    };
    enum class Joystick
    {
        Off,
        Fast,
        Slow
    };

    // Reply codes of the axis.
    static constexpr quint16 kBadArgument = 0x0005;
    static constexpr quint16 kNoSpeed = 0x0007;  // speed or acceleration of the mode is 0
    static constexpr quint16 kSoftLimitMinus = 0x000C;
    static constexpr quint16 kSoftLimitPlus = 0x000D;
    static constexpr quint16 kBeyondSoftLimit = 0x0013;
    static constexpr quint16 kBusy = 0x0014;
    static constexpr quint16 kMinusSwitch = 0x0019;
    static constexpr quint16 kPlusSwitch = 0x001A;
    static constexpr quint16 kNoIndex = 0x001D;

    SimAxisModel();

    std::optional<QByteArray> handle(SimUnit& unit, const SimCommand& command) override;

    // --- Settings ------------------------------------------------------------
    // Controller sample time in seconds (one speed unit is one count per
    // sample). 1 ms, as for prescaler 127 and loop register 7C.
    void setSampleTime(double seconds) { m_sampleTime = seconds > 0 ? seconds : m_sampleTime; }
    double sampleTime() const { return m_sampleTime; }
    // The newer controller counts speed in 1/256 count per sample; the older
    // one in whole counts per sample. Acceleration is always 1/256 count per
    // sample squared.
    void setFineSpeedUnits(bool on) { m_fineSpeed = on; }
    // Edges of the limit switches in counts; no value: no switch on that side.
    void setMinusSwitch(std::optional<qint32> edge) { m_minusSwitch = edge; }
    void setPlusSwitch(std::optional<qint32> edge) { m_plusSwitch = edge; }
    std::optional<qint32> minusSwitch() const { return m_minusSwitch; }
    std::optional<qint32> plusSwitch() const { return m_plusSwitch; }
    void setIndexMarks(const QList<qint32>& positions) { m_marks = positions; }
    QList<qint32> indexMarks() const { return m_marks; }
    // Eight characters answered to "[1iM]".
    void setMotorIdent(const QByteArray& ident) { m_motorIdent = ident; }
    // Text answered to "[0Vn]".
    void setInternalVersion(const QByteArray& text) { m_internalVersion = text; }

    // --- Registers -----------------------------------------------------------
    // A stored parameter by its write name ("1VP", "1L5", "0PS"): the digits
    // or text the last write gave it. Empty for a name that is not stored.
    QByteArray parameter(const QByteArray& name) const { return m_eeprom.value(name); }
    void setParameter(const QByteArray& name, const QByteArray& value);
    // Speed in counts/s and acceleration in counts/s² of a mode, from its
    // registers.
    double speed(Mode mode) const;
    double acceleration(Mode mode) const;
    qint32 softLimitMinus() const;
    qint32 softLimitPlus() const;
    Joystick joystick() const { return m_joystick; }
    // The parameter memory behind the stored registers.
    SimEeprom& eeprom() { return m_eeprom; }

    // --- State at a time -------------------------------------------------------
    // Brings the unit's position up to time `now`: ends a motion that is over,
    // records index marks passed, and adopts a position a test set on the
    // unit (which also ends a motion).
    void settle(SimUnit& unit, double now);
    bool isMoving(double now) const { return m_motion && now < m_motion->endTime; }
    // Puts the axis at `counts` (wrapped to 24 bits), standing.
    void place(SimUnit& unit, qint32 counts);
    // The position captured by the armed index capture, if any.
    std::optional<qint32> capturedIndex() const { return m_captured; }
    // Answers ">" to a command whose run the simulation does not follow in
    // time: the run is over at once, and its final echo "!" answers "[0po]".
    QByteArray startedAndDone(const SimCommand& c);

protected:
    // Records `reply` as the final echo of the last motion command, which
    // "[0po]" answers once the axis stands; returns it.
    QByteArray finished(const QByteArray& reply);

private:
    struct Motion
    {
        double startTime = 0;
        qint32 from = 0;
        int direction = 1;
        double v = 0;
        double a = 0;
        double planned = 0;  // distance of the profile
        double stopAt = 0;   // distance after which the axis stands (<= planned)
        double endTime = 0;
        QByteArray result;          // the final echo "[0po]" reports
        bool retargetable = false;  // piezo moves may be replaced while running
    };

    std::optional<QByteArray> axisCommand(SimUnit& unit, const SimCommand& c, double now);
    std::optional<QByteArray> boardCommand(SimUnit& unit, const SimCommand& c);

    // `piezo`: a move in Piezo Mode, which another one may replace while it runs.
    QByteArray move(SimUnit& unit, const SimCommand& c, double now, bool piezo);
    QByteArray limitRun(const SimCommand& c, double now, int direction);
    QByteArray indexSearch(const SimCommand& c, double now, int direction);
    // Starts a motion from the current position towards `target`, ending at
    // `stop` (on the way, or the target itself) with `result` as its final
    // echo. Returns ">" or, for a motion of no length, the final echo at once.
    QByteArray start(const SimCommand& c, double now, Mode mode, qint64 target, qint64 stop, const QByteArray& result,
                     bool retargetable = false);
    // Stops at once where the axis is at `now` (the unit must be settled).
    void halt(SimUnit& unit);

    qint32 positionAt(double now) const;
    bool minusClosed(qint32 pos) const { return m_minusSwitch && pos <= *m_minusSwitch; }
    bool plusClosed(qint32 pos) const { return m_plusSwitch && pos >= *m_plusSwitch; }
    quint32 inputWord(const SimUnit& unit) const;
    void watchIndex(qint32 from, qint32 to);

    double m_sampleTime = 0.001;
    bool m_fineSpeed = false;
    std::optional<qint32> m_minusSwitch;
    std::optional<qint32> m_plusSwitch;
    QList<qint32> m_marks;
    QByteArray m_motorIdent = "FFFFFFFF";
    QByteArray m_internalVersion = "1.00.00";
    SimEeprom m_eeprom;

    std::optional<Motion> m_motion;
    qint32 m_published = 0;   // the position last written to the unit
    QByteArray m_lastResult;  // final echo of the last motion command
    Joystick m_joystick = Joystick::Off;
    bool m_indexArmed = false;
    std::optional<qint32> m_captured;
};

// The axis model of a unit, or nullptr when it has another model.
SimAxisModel* simAxisModel(SimUnit& unit);

// One axis on a bus, seen at the bus clock's current time: for tests and the
// demonstration bus.
class SimAxis
{
public:
    // Throws std::invalid_argument when the bus has no axis at `address`.
    SimAxis(SimBus& bus, const QString& address);

    SimUnit& unit() { return m_unit; }
    SimAxisModel& model() { return m_model; }

    qint32 position();
    bool isMoving();
    // Puts the axis at `counts` (wrapped to 24 bits), standing.
    void setPosition(qint32 counts);

private:
    IClock& m_clock;
    SimUnit& m_unit;
    SimAxisModel& m_model;
};
