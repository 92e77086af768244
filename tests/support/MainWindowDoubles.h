#pragma once
// Stand-ins for the windows the main loop drives, and a program context over
// the simulated bus with a fake clock, recorded dialogs and a temporary
// settings file. Every stand-in writes what is done to it into one shared
// event list, together with the unit selections and commands that reach the
// serial port, so a test can check the order of a whole tick.

#include "BusTransport.h"
#include "Clock.h"
#include "CoreContext.h"
#include "Fensterpostfach.h"
#include "SerialPort.h"
#include "Settings.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"
#include "SimWorkbench.h"
#include "TestSupport.h"
#include "UiServices.h"

#include <QSet>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

using EventLog = QStringList;

// The simulated serial port, with a choice of which port numbers exist and
// a log of what the program does with it.
class LoggingPort final : public ISerialPort
{
public:
    LoggingPort(SimBus& bus, EventLog& log) : m_sim(bus), m_log(log)
    {
        m_sim.onLost = [this](const QString& reason) {
            if (onLost)
                onLost(reason);
        };
    }

    void setCommPort(int number) override { m_sim.setCommPort(number); }
    int commPort() const override { return m_sim.commPort(); }
    void setSettings(const QString& s) override { m_sim.setSettings(s); }
    QString settings() const override { return m_sim.settings(); }
    bool open() override
    {
        if (!present.contains(m_sim.commPort())) {
            m_error = QStringLiteral("no such port");
            return false;
        }
        const bool ok = m_sim.open();
        if (ok && logOpenClose)
            m_log << QStringLiteral("open %1").arg(m_sim.commPort());
        return ok;
    }
    void close() override
    {
        if (m_sim.isOpen() && onClose)
            onClose();
        if (m_sim.isOpen() && logOpenClose)
            m_log << QStringLiteral("close");
        m_sim.close();
    }
    bool isOpen() const override { return m_sim.isOpen(); }
    int inBufferCount() override { return m_sim.inBufferCount(); }
    QByteArray input() override { return m_sim.input(); }
    bool output(const QByteArray& data) override
    {
        if (data.startsWith('\x12'))
            m_log << QStringLiteral("select ") + QString::fromLatin1(data.mid(1));
        else
            m_log << QStringLiteral("send ") + QString::fromLatin1(data);
        return m_sim.output(data);
    }
    bool waitForInput(int msecs) override { return m_sim.waitForInput(msecs); }
    QString lastError() const override { return m_error.isEmpty() ? m_sim.lastError() : m_error; }

    SimSerialPort& sim() { return m_sim; }
    // Port numbers that exist (all sixteen unless a test says otherwise).
    QSet<int> present{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    bool logOpenClose = false;
    std::function<void()> onClose;

private:
    SimSerialPort m_sim;
    EventLog& m_log;
    QString m_error;
};

// What the logging port writes to; built before the workbench that owns the port.
struct SimProgramLog
{
    EventLog events;
    LoggingPort* port = nullptr;
};

// The simulated-bus workbench with units "01" and "02" (axes) and "21" (a
// probe board) at 9600 baud, a logging serial port (closed) and a USB bridge
// that lists its devices.
class SimProgram : public SimProgramLog, public SimWorkbench
{
public:
    SimProgram() : SimWorkbench(setup(*this)) {}

    AppSettings& settings() { return core->settings(); }
    void remember(const QString& port, const QString& baud)
    {
        settings().setValue(QStringLiteral("Startup"), QStringLiteral("Backup_CommPort"), port);
        settings().setValue(QStringLiteral("Startup"), QStringLiteral("Backup_Settings"), baud);
    }
    QString remembered(const QString& key)
    {
        return settings().value(QStringLiteral("Startup"), key, QStringLiteral("-"));
    }
    // Events since the last call.
    EventLog takeEvents()
    {
        EventLog out = events;
        events.clear();
        return out;
    }

    FakeClock*& fakeClock = clock;

private:
    static Setup setup(SimProgramLog& log)
    {
        Setup s;
        s.clockStep = 0.0005;
        s.units = {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("21")};
        s.usbDevices = true;
        s.serial = [&log](SimBus& bus) {
            auto p = std::make_unique<LoggingPort>(bus, log.events);
            log.port = p.get();
            return p;
        };
        return s;
    }
};

// A control center. With a form it can sit in the MDI area; the width the
// main loop sees is set by the test.
class ControlCenterDouble final : public QWidget, public IControlCenter
{
public:
    ControlCenterDouble(EventLog& log, BusTransport* bus = nullptr) : m_log(log), m_bus(bus) {}

    QWidget* form() const override { return const_cast<ControlCenterDouble*>(this); }
    int Width() const override { return width_twips; }

    int Initialisierung() override
    {
        m_log << name() + QStringLiteral(".Initialisierung");
        return initResult;
    }
    int Aktualisieren() override
    {
        m_log << name() + QStringLiteral(".Aktualisieren");
        if (onRefresh)
            onRefresh();
        // Like a real control center, it selects its own unit to poll it.
        if (m_bus && !pollCommand.isEmpty()) {
            m_bus->einheit_waehlen(chosenAddress());
            m_bus->senden_empfangen(pollCommand, 0, protocol::Rejection::Show);
        }
        return pollResult;
    }
    void auslesen() override { m_log << name() + QStringLiteral(".auslesen"); }

    QStringList unitAddresses() const override { return list; }
    int addressesIndex() const override { return listIndex; }
    void setAddressesIndex(int index) override { listIndex = index; }
    void clearAddresses() override { list.clear(); }
    void appendAddress(const QString& entry) override { list << entry; }
    int line_schlitten_Left() const override { return carriageLeft; }
    quint32 line_schlitten_BackColor() const override { return carriageColor; }
    void setLine_schlitten(int left, quint32 color) override
    {
        carriageLeft = left;
        carriageColor = color;
    }

    QString name() const { return QStringLiteral("cc%1").arg(Tag); }

    int width_twips = 9000;
    int initResult = 1;
    int pollResult = 1;
    QString pollCommand;
    std::function<void()> onRefresh;
    QStringList list;
    int listIndex = -1;
    int carriageLeft = 160;
    quint32 carriageColor = 0xC0;

private:
    EventLog& m_log;
    BusTransport* m_bus;
};

class ProbeWindowDouble final : public QWidget, public IProbeWindow
{
public:
    explicit ProbeWindowDouble(EventLog& log) : m_log(log) {}

    QWidget* form() const override { return const_cast<ProbeWindowDouble*>(this); }
    int Width() const override { return width_twips; }
    int aktiv() const override { return aktiv_box; }
    int Aktualisieren() override
    {
        m_log << name() + QStringLiteral(".Aktualisieren");
        return 1;
    }
    int Initialisierung() override
    {
        m_log << name() + QStringLiteral(".Initialisierung");
        return 1;
    }
    void Abgleich() override { m_log << name() + QStringLiteral(".Abgleich"); }
    QString chosenAddress() const override { return address; }
    void setLb_Fehler(const QString& text) override { lb_Fehler = text; }

    QString name() const { return QStringLiteral("probe%1").arg(Tag); }

    int width_twips = 9000;
    int aktiv_box = 1;
    QString address = QStringLiteral("21");
    QString lb_Fehler;

private:
    EventLog& m_log;
};

class RecorderDouble final : public IRecorder
{
public:
    explicit RecorderDouble(EventLog& log) : m_log(log) {}
    void abfragen() override { m_log << QStringLiteral("frm_eW.abfragen"); }
    void setWindowEnabled(bool on) override { enabled = on; }
    bool enabled = true;

private:
    EventLog& m_log;
};

class SimulatorDouble final : public IStageSimulator
{
public:
    explicit SimulatorDouble(EventLog& log) : m_log(log) {}
    void abfragen() override { m_log << QStringLiteral("frm_MSim.abfragen"); }
    void sende() override { m_log << QStringLiteral("frm_MSim.sende"); }
    void setCombo1ListIndex(int index) override { combo1 = index; }
    void Show() override { shown = true; }
    int combo1 = -1;
    bool shown = false;

private:
    EventLog& m_log;
};

class ControlLoopDouble final : public IControlLoopWindow
{
public:
    explicit ControlLoopDouble(EventLog& log) : m_log(log) {}
    void Diag_Aufzeichnung(int& stepState) override
    {
        m_log << QStringLiteral("Diag_Aufzeichnung %1").arg(stepState);
        if (raiseReadDuringRecording)
            FlagRegelkreisaus = 1;
    }
    void regelkreisauslesen() override { m_log << QStringLiteral("regelkreisauslesen"); }
    void regelkreisschreiben() override { m_log << QStringLiteral("regelkreisschreiben"); }
    void eepromspeichern() override { m_log << QStringLiteral("eepromspeichern"); }
    void setWindowEnabled(bool on) override { enabled = on; }
    bool enabled = true;
    bool raiseReadDuringRecording = false;

private:
    EventLog& m_log;
};
