#pragma once
// The simulated serial bus: the units hanging on it and the byte stream
// between them and the host. The host writes bytes in any pieces; the bus
// decodes unit selections (DC2 + address) and command frames, lets the
// selected unit answer, and holds the reply bytes until the clock says they
// have arrived. Single-threaded; all time comes from the injected clock.

#include "SimUnit.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

class IClock;

class SimBus
{
public:
    static constexpr const char* kBroadcast = "00";

    explicit SimBus(IClock& clock);
    ~SimBus();
    SimBus(const SimBus&) = delete;
    SimBus& operator=(const SimBus&) = delete;

    IClock& clock() const { return m_clock; }

    // Adds a unit at a two-digit upper-case hexadecimal address other than
    // the broadcast address; its type follows from the first digit. Replaces
    // a unit already at that address. Throws std::invalid_argument for any
    // other address.
    SimUnit& addUnit(const QString& address, int baud = 9600);
    SimUnit* unit(const QString& address) const;
    void removeUnit(const QString& address);
    QStringList addresses() const;

    // The baud the host transmits at. Units at another baud cannot decode the
    // host's bytes and stay silent.
    void setHostBaud(int baud) { m_hostBaud = baud; }
    int hostBaud() const { return m_hostBaud; }

    // The line at its real speed (10 bits a character at the host baud): the
    // bus takes the host's bytes no faster than the wire carries them (what
    // the host writes ahead waits in the line, as in a port's output queue)
    // and its replies arrive a character at a time. Unpaced, both are instant.
    void setPacing(bool on) { m_pacing = on; }
    bool pacing() const { return m_pacing; }
    // The baud the line really runs at, paced, when the units' clocks are a
    // little off the nominal one (0: the host's baud). The units still
    // decode the host's bytes.
    void setWireBaud(int baud) { m_wireBaud = baud; }
    double characterTime() const;

    // Bytes from the host. Paced, each one reaches the units one character
    // time after the one before it, and not before it is written.
    void write(const QByteArray& bytes);
    // Seconds until the bytes the host wrote so far have all crossed the
    // wire (0 when unpaced or when the line is idle).
    double outputBacklog() const;
    // The host's characters that have not yet crossed the wire.
    int unsentCount() const;
    // What a port on this line reports as that count: the count itself, or
    // a fixed value where a port cannot count (-1) or always says 0 (a
    // pseudo-terminal, a network port).
    void setUnsentReport(std::optional<int> fixed) { m_unsentReport = fixed; }
    int reportedUnsentCount() const { return m_unsentReport.value_or(unsentCount()); }
    // Bytes that answer no command (a stray message from elsewhere on the
    // line, a far end that streams): they arrive from `at` (clock time) on,
    // `gap` seconds apart (negative: at the line's speed, paced). A reply
    // scheduled afterwards follows them.
    void strayBytes(const QByteArray& bytes, double at, double gap = -1.0);
    // The reply bytes that have arrived by now (at most `maxBytes` of them
    // when that is not negative); they are removed.
    QByteArray read(int maxBytes = -1);
    int bytesDue() const;
    // Seconds until the next pending byte arrives (0 when one is due now),
    // negative when nothing is pending.
    double nextDueIn() const;

    // Every complete command the host sent, with the selection text in force
    // ("01", "00"; empty before the first valid selection or after one that
    // names no address).
    QList<QPair<QString, QString>> traffic() const { return m_traffic; }
    // Empties the bus log and every unit's log.
    void clearTraffic();

private:
    enum class State
    {
        Idle,
        Selecting,
        Frame
    };

    void consume(char byte, double arrival);
    void finishSelection();
    void dispatch(const QByteArray& frame, double arrival);
    void schedule(const SimUnit& unit, const QByteArray& reply, const SimCommand& command);
    bool hears(const SimUnit& unit) const { return unit.baud() == m_hostBaud; }

    struct Pending
    {
        double due;
        char byte;
    };

    IClock& m_clock;
    std::vector<std::unique_ptr<SimUnit>> m_units;
    int m_hostBaud = 9600;
    int m_wireBaud = 0;
    std::optional<int> m_unsentReport;
    bool m_pacing = false;
    // Paced: when the last byte written by the host has crossed the wire.
    double m_inputFreeAt = 0.0;

    State m_state = State::Idle;
    QByteArray m_selectionText;
    QByteArray m_frame;
    QString m_selection;

    std::deque<Pending> m_pending;
    QList<QPair<QString, QString>> m_traffic;
};
