#include "CoreContext.h"

#include "Clock.h"
#include "SerialPort.h"
#include "Settings.h"
#include "UiServices.h"
#include "UsbBridge.h"

CoreContext::CoreContext(std::unique_ptr<AppSettings> settings, std::unique_ptr<IUiServices> ui,
                         std::unique_ptr<IClock> clock, std::unique_ptr<ISerialPort> serial,
                         std::unique_ptr<IUsbBridge> usb)
    : m_settings(std::move(settings)), m_ui(std::move(ui)), m_clock(std::move(clock)), m_serial(std::move(serial)),
      m_usb(std::move(usb))
{
    m_transport = std::make_unique<BusTransport>(*m_serial, *m_usb, *m_clock, *m_ui, m_log);
}

CoreContext::~CoreContext() = default;
