#pragma once
// The services every window needs, created before any window and alive until
// exit: settings, modal UI, clock, serial port, USB bridge, the communication
// log and the bus transport over them. The program builds one from the real
// platform; tests build their own from fakes and the simulated bus.

#include "BusTransport.h"
#include "CommLog.h"

#include <memory>

class AppSettings;
class IClock;
class ISerialPort;
class IUiServices;
class IUsbBridge;

class CoreContext
{
public:
    // The context takes ownership of every part handed to it.
    CoreContext(std::unique_ptr<AppSettings> settings, std::unique_ptr<IUiServices> ui, std::unique_ptr<IClock> clock,
                std::unique_ptr<ISerialPort> serial, std::unique_ptr<IUsbBridge> usb);
    virtual ~CoreContext();
    CoreContext(const CoreContext&) = delete;
    CoreContext& operator=(const CoreContext&) = delete;

    AppSettings& settings() { return *m_settings; }
    IUiServices& ui() { return *m_ui; }
    IClock& clock() { return *m_clock; }
    ISerialPort& serial() { return *m_serial; }
    IUsbBridge& usb() { return *m_usb; }
    CommLog& log() { return m_log; }
    BusTransport& transport() { return *m_transport; }

private:
    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<IUiServices> m_ui;
    std::unique_ptr<IClock> m_clock;
    std::unique_ptr<ISerialPort> m_serial;
    std::unique_ptr<IUsbBridge> m_usb;
    CommLog m_log;
    std::unique_ptr<BusTransport> m_transport;
};
