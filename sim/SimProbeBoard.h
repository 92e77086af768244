#pragma once
// The measuring boards of the bus: analog probe boards (AK1, AK4, AK16 with
// 1, 4 and 16 channels),
// the two-channel scale board (IK2), the mixed board (AKIK: two analog
// channels and one scale input) and the analog output board (ADA2).
//
// SimProbeBoard is the board itself, free of any bus plumbing: it answers one
// command text with one reply text, so it serves the simulated bus (through
// SimProbeBoardDevice) as well as a raw pseudo-serial port.
//
// The analog front end of channel c (1-based) turns the input x, in display
// units (µm on a probe), into a 24-bit count:
//
//     raw   = x × countsPerUnit × sensitivity(c) + offsetError(c)
//     u     = raw − O                        O: offset register, signed 24 bit
//     count = u × P / 0x800000     (u ≥ 0)   P: positive gain register, unsigned
//     count = u × N / 0x800000     (u < 0)   N = (0x1000000 − M) mod 0x1000000,
//                                            M: negative gain register
//
// plus optional noise, clamped to −8388608 … 8388607. The nominal registers
// O = 000000, P = M = 800000 give count = raw; the reading rises with P, and
// M = 0x1000000 − P gives the negative side the same gain as the positive.
// The one-channel AK1 has its two gain registers the other way round: there
// "SM" is the positive-side P above and "SP" the negative-side M (gainsSwapped()).
// Register writes ("SO", "SP", "SM") are held until "SW" takes them over
// into the working registers; "[0ff0c]" burns channel c's working registers
// into the EEPROM copy, from which powerCycle() reloads them. The read-back
// "[cSR]" lists the offset, then M, then P: first the register whose rise
// lowers the reading ("SM" on most boards, "SP" on the AK1).
// "[0M1]" sends the values of the enabled channels only ("[0K1...]"), in
// channel order.

#include "SimUnit.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <algorithm>
#include <array>
#include <optional>

class SimProbeBoard
{
public:
    enum class Kind
    {
        AK1,
        AK4,
        AK16,
        AKIK,
        IK2,
        ADA2
    };
    static constexpr int MaxChannels = 16;
    static constexpr double CountsPerUnit = 2560.0;
    static constexpr quint32 NominalGain = 0x800000;

    struct Registers
    {
        qint32 offset = 0;            // O, signed 24 bit
        quint32 gainP = NominalGain;  // P
        quint32 gainM = NominalGain;  // M
        bool operator==(const Registers&) const = default;
    };

    explicit SimProbeBoard(Kind kind);

    Kind kind() const { return m_kind; }
    // Channels reported by "[0M1]" (analog and scale inputs together).
    int channelCount() const;
    // Whether channel c (1-based) is a scale input (a counter) on this board.
    bool isScale(int c) const;
    // Whether "SM" sets the positive side and "SP" the negative one (AK1).
    bool gainsSwapped() const { return m_kind == Kind::AK1; }

    // Answers one command frame ("[1SP800000]"). Returns the reply frame, an
    // empty array for a command obeyed in silence, or nothing for a command
    // this board does not know (the caller decides: status, version ...).
    std::optional<QByteArray> answer(const QByteArray& command);

    // --- analog front end (channels 1-based) ------------------------------------
    void setInput(int c, double units);
    double input(int c) const;
    void setSensitivity(int c, double factor);
    void setOffsetError(int c, double counts);
    // Adds a pseudo-random noise of up to ±amplitude counts to every analog
    // reading (reproducible from `seed`); 0 switches it off.
    void setNoise(int amplitude, quint32 seed = 1);
    // The count channel c reports now, without noise.
    qint32 reading(int c) const;

    // --- registers ---------------------------------------------------------------
    Registers working(int c) const;  // in use after "SW"
    Registers written(int c) const;  // written, not yet taken over
    Registers eeprom(int c) const;   // burned
    // The board is switched off and on: the working registers come from the EEPROM.
    void powerCycle();

    // --- board settings ----------------------------------------------------------
    // "[0k1]": one "0"/"1" per channel, at least eight.
    QString channelMask() const { return m_mask.left(std::max(8, channelCount())); }
    void setChannelMask(const QString& mask);
    QString sampleTime() const { return m_sampleTime; }  // four hex digits, "0040"
    void setSampleTime(const QString& code) { m_sampleTime = code; }
    // Interpolation digit ("01" … "08") of the scale input with unit digit d.
    QString interpolation(int d) const { return m_interpolation.value(d, QStringLiteral("01")); }
    void setInterpolation(int d, const QString& code) { m_interpolation[d] = code; }
    // Position counter of scale input c (1-based channel; IK2: 1 and 2).
    qint32 counter(int c) const;
    void setCounter(int c, qint32 counts);
    // Analog output with unit digit d (ADA2: 3 and 4), −2047 … 2047.
    int dac(int d) const { return m_dac.value(d, 0); }
    QString identifier() const { return m_identifier; }
    void setIdentifier(const QString& text) { m_identifier = text; }
    // Board number ("[0CI]" reads it, "[0CS..]" writes it): two characters,
    // the bus address by default. Writing it does not move the board.
    QString number() const { return m_number; }
    void setNumber(const QString& text) { m_number = text; }
    // Carrier-frequency code ("[cFQ....]", four hex digits) of analog channel c.
    QString carrier(int c) const;
    // Calibration mode, entered with "[1SE]" and left with "[1SA]".
    bool calibrationMode() const { return m_calibrationMode; }

    // --- axis tools: dynamic measurement and system configuration ---------------
    // Points the dynamic measurement of the last "DPOS" has taken (each "Dp"
    // poll advances it by `pointsPerPoll`, up to the count), and whether one runs.
    int measuredPoints() const { return m_points; }
    bool measuring() const { return m_measuring; }
    int measurementCount() const { return m_count; }
    void setPointsPerPoll(int n) { m_pointsPerPoll = n; }
    // System configuration value ("RES", "GEA", "PIT", "TPR") of axis digit a.
    QString systemValue(char a, const QString& key) const;
    void setSystemValue(char a, const QString& key, const QString& value);

private:
    struct Channel
    {
        double input = 0;
        double sensitivity = 1;
        double offsetError = 0;
        Registers working, written, eeprom;
        qint32 counter = 0;
        QString carrier;
    };
    bool validChannel(int c) const { return c >= 1 && c <= channelCount(); }
    bool validAnalog(int c) const { return validChannel(c) && !isScale(c); }
    qint32 noisy(qint32 value);
    std::optional<QByteArray> registerCommand(const QByteArray& body, const QByteArray& frame);
    std::optional<QByteArray> axisCommand(const QByteArray& body, const QByteArray& frame);

    Kind m_kind;
    std::array<Channel, MaxChannels> m_channels{};
    QString m_mask = QString(MaxChannels, QLatin1Char('0'));
    QString m_sampleTime = QStringLiteral("0040");
    QMap<int, QString> m_interpolation;
    QMap<int, int> m_dac;
    QString m_identifier;
    QString m_number = QStringLiteral("20");
    bool m_calibrationMode = false;
    int m_noise = 0;
    quint32 m_seed = 1;
    bool m_measuring = false;
    int m_points = 0;
    int m_count = 0;
    int m_pointsPerPoll = 1;
    QMap<QString, QString> m_system;
};

// The board on the simulated bus: answers through SimProbeBoard first and
// leaves the rest (status, version, peak recording) to the probe model.
class SimProbeBoardDevice : public SimProbeModel
{
public:
    explicit SimProbeBoardDevice(SimProbeBoard::Kind kind) : m_board(kind) {}
    SimProbeBoard& board() { return m_board; }
    std::optional<QByteArray> handle(SimUnit& unit, const SimCommand& command) override;

private:
    SimProbeBoard m_board;
};

// Puts a board of `kind` at `unit` (replacing its device model) and returns it.
SimProbeBoard& installProbeBoard(SimUnit& unit, SimProbeBoard::Kind kind);
// The board at `unit`, or nullptr when the unit holds none.
SimProbeBoard* probeBoardOf(SimUnit& unit);
