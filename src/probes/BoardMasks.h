#pragma once
// The channel mask of each probe board as the program last learnt it: the
// board's own report ("[0k1]") or a mask write ("[0K1…]") the board accepted,
// whichever window wrote it. The probe windows split the values of "[0M1]" by
// it; the guided calibration window writes on the port it owns and tells the
// same model, so no window reads a board by a mask the board no longer has.

#include <QHash>
#include <QString>

class BoardMasks
{
public:
    // One "0"/"1" per channel of the board at `address`; empty while unknown.
    QString mask(const QString& address) const { return m_masks.value(address); }
    // The board reported its mask; empty: it did not, so the mask is unknown.
    void reported(const QString& address, const QString& flags);
    // `command` was written to the board at `address` and answered `reply`.
    // An accepted "[0K1…]" sets the flags it carries, from channel 1 on, and
    // leaves the ones after them; a refused or unanswered write, and any other
    // command, changes nothing.
    void exchanged(const QString& address, const QString& command, const QString& reply);

private:
    QHash<QString, QString> m_masks;
};
