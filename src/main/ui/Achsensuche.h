#pragma once
// The axis search without its windows: it finds the baud rate the units on
// the bus talk at, remembers it for the next start, and asks every address
// 0..30 for its version to learn which units answer. It works on whatever
// transport is active: on the serial port a baud is the port's settings text,
// on the USB bridge it is the rate set on the open device.

#include <QString>
#include <QStringList>

#include <functional>

class AppSettings;
class BusTransport;

class Achsensuche
{
public:
    // Rates the probe tries, slowest first.
    static inline const QStringList BaudRates{QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"),
                                              QStringLiteral("57600"), QStringLiteral("115200")};
    static constexpr int AxisCount = 31;
    // Time-out of each probe exchange.
    static constexpr double ProbeTimeout = 0.03;
    // Entry 0 of every address list: the broadcast with its suffix.
    static inline const QString GroupAddress = QStringLiteral("00-AA");

    struct Result
    {
        // The baud text in force after the probe (and stored).
        QString baud;
        // Per-exchange time-out of the scan; 0 = the transport's default.
        double timeout = 0;
        // One entry per address 0..30: "00-AA", "03", or empty.
        QStringList addressTable;
    };

    explicit Achsensuche(BusTransport& bus);

    // The baud text of the active transport.
    QString setting() const;
    // Puts a baud text into force on the active transport. A closed serial
    // port only takes the text; an open one is reopened at the new rate.
    // False when the port or the bridge refused the rate (the serial port is
    // then closed).
    bool einstellen(const QString& baud);

    // Tries each rate of BaudRates until unit 01 answers "[0VN]"; the rate
    // that answered stays in force. When none answers, or a rate cannot be
    // put into force, the baud text of before is put back. Returns the baud
    // text in force afterwards.
    QString baudProbe();

    // The scan's per-exchange time-out for a baud text, from its first three
    // characters: 0.02 s at 9600, 0.01 s at the faster rates, otherwise 0
    // (the transport's default).
    static double scanTimeout(const QString& baud);

    // Whether a reply is one: the transport returns "1" when nothing came in
    // time and the empty text on a closed serial port.
    static bool isReply(const QString& reply);
    // The address-list entry of address i for its "[0VN]" reply: its two
    // hexadecimal digits when a unit answered that is not an incremental-
    // scale board ("IK" at characters 6-7), otherwise empty; entry 0 is
    // always the broadcast.
    static QString axisEntry(int i, const QString& reply);

    // Selects each address 0..30 and asks it for its version; an address
    // whose reply did not come in time is given the time-out once more.
    // `onProgress` hears each address once it is done.
    QStringList addressScan(double timeout, const std::function<void(int)>& onProgress = {});

    // The whole search: probe, store the baud text as "Backup_Settings",
    // choose the scan's time-out, then scan. `scanBegins` runs just before
    // the scan (the main window locks itself there).
    Result runSearch(AppSettings& settings, const std::function<void()>& scanBegins = {},
                     const std::function<void(int)>& onProgress = {});

private:
    QString transact(const QString& command, double timeout);

    BusTransport& m_bus;
};
