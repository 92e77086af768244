#pragma once
// An axis controller that also runs position tables, as the path table
// drives it. "[1PK" + entries + "]" stores a table: each entry is six
// hexadecimal digits of a 24-bit target followed by two hexadecimal digits of
// its time in milliseconds. "[1SA" + 8 digits + "]" arms the stored table;
// the axis waits on its first entry until "[1PW]" releases it, then moves
// from entry to entry in the entries' times, ending on the "[1SA" target.
// Further releases are acknowledged. While a table runs "[0po]" answers
// "[0po!]", "[1PL]" answers the count of entries done (4 digits) and the
// position (8 digits, 24 bits), "[1BR]" stops it where it is, and other moves
// are refused as busy. "[1PE]" answers the position in 8 digits at any time.
// Everything else is the plain axis (SimAxisModel).

#include "SimAxis.h"

#include <QList>

#include <optional>

class SimPathAxisModel : public SimAxisModel
{
public:
    std::optional<QByteArray> handle(SimUnit& unit, const SimCommand& command) override;

    // The entries of the stored table (targets in counts).
    QList<qint32> table() const { return m_targets; }
    bool tableRunning() const { return m_run.has_value(); }

private:
    struct Run
    {
        qint32 von = 0;
        qint32 endPos = 0;
        std::optional<double> start;  // release time
        QByteArray result;            // the table run's final echo
    };
    // Where the table run stands at `now`: entries done and position; ends a
    // finished run (the axis then stands on its end).
    void advanceTo(SimUnit& unit, double now);

    QList<qint32> m_targets;
    QList<double> m_times;
    std::optional<Run> m_run;
    int m_done = 0;
};
