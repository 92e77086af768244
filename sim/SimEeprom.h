#pragma once
// The parameter memory of a simulated axis controller: a table of stored
// registers, each written by its write command ("[1VP0096]") and read back by
// its read command ("[1vP]" -> "[1vP!0096]"), the working values the commands
// change, and the EEPROM image that a store command "[0ffNN]" copies them
// into. The store answers only after StoreDelay seconds, as the real memory
// needs its time. The same memory takes the bus address ("[0CSNN]" moves the
// unit to the new address at once) and the baud rate ("[0B1]" … "[0B5]",
// in force from the next store on).
//
// Reads are answered generically from the table, so another register is one
// addRegister() call away.

#include <QByteArray>
#include <QList>
#include <QMap>

#include <optional>

class SimUnit;
struct SimCommand;

struct SimRegister
{
    QByteArray write;  // "1VP": the body's first three characters of the write
    int width = 4;     // hexadecimal digits, or characters of a text
    bool text = false;
    QByteArray read;  // "1vP"; empty: the write name with its letter in lower case
};

class SimEeprom
{
public:
    static constexpr double StoreDelay = 0.5;
    static constexpr quint16 kBadArgument = 0x0005;

    // The registers of the EEPROM parameter table: distances, speeds,
    // accelerations, software limits, index search and the channel
    // identifier in RAM ("0LS"/"0LL") and in EEPROM ("0PS"/"0PL").
    static const QList<SimRegister>& standardRegisters();
    // The baud that "[0B<digit>]" selects, 0 for another digit.
    static int baudOfDigit(char digit);

    SimEeprom();

    // Adds a register (or replaces the one with the same write name); its
    // value starts as zeros, or blanks for a text.
    void addRegister(const SimRegister& reg);
    QList<SimRegister> registers() const { return m_registers; }
    QByteArray readName(const SimRegister& reg) const;

    // Working value by write name; empty for a name not in the table.
    QByteArray value(const QByteArray& write) const { return m_values.value(write); }
    QMap<QByteArray, QByteArray> values() const { return m_values; }
    // Stores a value as a write command would; false (nothing stored) for a
    // name not in the table or a value of the wrong form.
    bool setValue(const QByteArray& write, const QByteArray& value);
    // The EEPROM image: what the last store saved (the values at start).
    QByteArray stored(const QByteArray& write) const { return m_stored.value(write); }
    int storeCount() const { return m_storeCount; }
    // Baud chosen by "[0B…]" and not yet stored; 0 when none.
    int pendingBaud() const { return m_pendingBaud; }

    // The reply to a command the memory knows, nothing otherwise.
    std::optional<QByteArray> handle(SimUnit& unit, const SimCommand& command);

private:
    bool valid(const SimRegister& reg, const QByteArray& value) const;

    QList<SimRegister> m_registers;
    QMap<QByteArray, QByteArray> m_values;
    QMap<QByteArray, QByteArray> m_stored;
    int m_pendingBaud = 0;
    int m_storeCount = 0;
};
