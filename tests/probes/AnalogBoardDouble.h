#pragma once
// An analog probe board for the calibration tests: four channels whose raw
// count is a fixed zero plus the probe's travel times a sensitivity, and
// whose reading is the raw count less the offset register times the gain
// register over 0x800000 (SP for a positive difference, SM for a negative
// one). Written registers take effect on "SW"; "SR" lists SO, SM and SP, as
// a board of the types whose direction box is ticked does.
// It also answers the channel mask (the
// reading then holds the enabled channels only), the burns, the number
// commands, the carrier and sample-time settings and the analog output.
#include "Clock.h"
#include "SimBus.h"
#include "SimUnit.h"

#include <QList>

#include <array>
#include <cmath>

class AnalogBoardDouble final : public SimDeviceModel
{
public:
    static constexpr qint64 Nominal = 0x800000;
    struct Register
    {
        qint64 SO = 0, SP = Nominal, SM = Nominal;
        bool operator==(const Register&) const = default;
    };

    // Installs a board at `address` and returns its model.
    static AnalogBoardDouble& install(SimBus& bus, const QString& address)
    {
        SimUnit& unit = bus.addUnit(address);
        auto model = std::make_unique<AnalogBoardDouble>(bus.clock());
        AnalogBoardDouble& ref = *model;
        unit.setModel(std::move(model));
        return ref;
    }

    explicit AnalogBoardDouble(IClock& clock) : m_clock(clock) {}

    std::array<double, 4> travel{};                             // µm under the probe
    std::array<double, 4> zero{1234, -2000, 500, 0};            // raw counts at travel 0
    std::array<double, 4> sensitivity{2458, 2560, 2600, 2560};  // raw counts per µm
    std::array<Register, 4> working, written;
    std::array<bool, 4> enabled{true, false, false, false};
    bool ignoresGain = false;  // a faulty board: the gain registers change nothing
    QStringList burns;
    QList<double> burnTimes;
    QString number = QStringLiteral("21");

    qint64 raw(int c) const { return std::llround(zero[c] + travel[c] * sensitivity[c]); }
    // The reading of channel c with the given registers, a signed 24-bit count.
    static qint64 reading(qint64 raw, const Register& r)
    {
        const qint64 d = raw - signed24(r.SO);
        const qint64 g = d >= 0 ? r.SP : r.SM;
        return wrap24(std::llround(double(d) * double(g) / double(Nominal)));
    }
    qint64 reading(int c) const
    {
        return ignoresGain ? reading(raw(c), {working[c].SO, Nominal, Nominal}) : reading(raw(c), working[c]);
    }

    std::optional<QByteArray> handle(SimUnit& unit, const SimCommand& command) override
    {
        const QByteArray b = command.body();
        if (b == "0ST")
            return command.accepted("00000000");
        if (b == "0VN")
            return command.accepted("AK4 V2.00");
        if (b == "0M1") {
            QByteArray values;
            for (int c = 0; c < 4; ++c)
                if (enabled[c])
                    values += hex6(reading(c)) + ',';
            return command.accepted(values);
        }
        if (b.startsWith("0K1")) {
            const QByteArray flags = b.mid(3);
            for (int c = 0; c < 4; ++c)
                enabled[c] = c < flags.size() && flags.at(c) == '1';
            return command.accepted();
        }
        if (b.startsWith("0ff")) {
            burns << QString::fromLatin1(command.frame);
            burnTimes << m_clock.now();
            return command.accepted();
        }
        if (b == "0CI")
            return command.accepted(number.toLatin1());
        if (b.startsWith("0CS")) {
            number = QString::fromLatin1(b.mid(3));
            return command.accepted();
        }
        for (const char* p : {"FQ", "DA", "SE", "SA"})
            if (b.mid(1, 2) == p)
                return command.accepted();
        if (b.startsWith("0FP") || b == "0fP")
            return command.accepted(b == "0fP" ? "0100" : "");
        const int c = b.at(0) - '1';
        if (c < 0 || c > 3 || b.size() < 3 || b.at(1) != 'S')
            return std::nullopt;
        const char what = b.at(2);
        const qint64 value = b.mid(3).toLongLong(nullptr, 16);
        switch (what) {
        case 'O': written[c].SO = value; return command.accepted();
        case 'P': written[c].SP = value; return command.accepted();
        case 'M': written[c].SM = value; return command.accepted();
        case 'W': working[c] = written[c]; return command.accepted();
        case 'R': {
            const Register& r = working[c];
            return command.accepted(hex6(r.SO) + ',' + hex6(r.SM) + ',' + hex6(r.SP));
        }
        default: break;
        }
        (void)unit;
        return std::nullopt;
    }

    static QByteArray hex6(qint64 v)
    {
        return QByteArray::number(qulonglong(v & 0xFFFFFF), 16).rightJustified(6, '0').toUpper();
    }
    static qint64 wrap24(qint64 v) { return signed24(v & 0xFFFFFF); }
    static qint64 signed24(qint64 v) { return v > 0x7FFFFF ? v - 0x1000000 : v; }

private:
    IClock& m_clock;
};
