#include "SimUsbBridge.h"

#include "Clock.h"
#include "SerialPort.h"
#include "SimBus.h"

#include <cstring>

namespace {

// Handles are the device index plus this, so that no handle is 0.
constexpr UsbHandle kHandleBase = 0x5100;

// The largest transfer the bridge library accepts in one read or write.
constexpr quint32 kMaxRead = 65536;
constexpr quint32 kMaxWrite = 4096;

const char* const kDescription = "Kelvane USB bus bridge (simulated)";

}  // namespace

SimUsbBridge::SimUsbBridge(SimBus& bus, bool enabled) : m_bus(bus), m_enabled(enabled) {}

QString SimUsbBridge::serialNumber(int deviceNum)
{
    return QStringLiteral("KLV%1").arg(deviceNum + 1, 4, 10, QLatin1Char('0'));
}

int SimUsbBridge::deviceOf(UsbHandle handle) const
{
    if (m_openDevice >= 0 && handle == kHandleBase + UsbHandle(m_openDevice))
        return m_openDevice;
    return -1;
}

int SimUsbBridge::SI_GetNumDevices(quint32* numDevices)
{
    if (!numDevices)
        return si::INVALID_PARAMETER;
    *numDevices = m_enabled ? quint32(qMax(0, m_deviceCount)) : 0;
    return *numDevices > 0 ? si::SUCCESS : si::DEVICE_NOT_FOUND;
}

int SimUsbBridge::SI_GetProductString(quint32 deviceNum, char* buffer, int flags)
{
    if (!buffer)
        return si::INVALID_PARAMETER;
    buffer[0] = 0;
    if (!m_enabled || deviceNum >= quint32(qMax(0, m_deviceCount)))
        return si::DEVICE_NOT_FOUND;
    QByteArray text;
    if (flags == si::RETURN_SERIAL_NUMBER)
        text = serialNumber(int(deviceNum)).toLatin1();
    else if (flags == si::RETURN_DESCRIPTION)
        text = kDescription;
    else
        return si::INVALID_PARAMETER;
    text.truncate(si::MAX_DEVICE_STRLEN);
    std::memcpy(buffer, text.constData(), size_t(text.size()) + 1);
    return si::SUCCESS;
}

int SimUsbBridge::SI_Open(quint32 deviceNum, UsbHandle* handle)
{
    if (!handle)
        return si::INVALID_PARAMETER;
    *handle = 0;
    if (!m_enabled || deviceNum >= quint32(qMax(0, m_deviceCount)))
        return si::DEVICE_NOT_FOUND;
    // One bus, one open device: the caller closes before it opens again.
    if (m_openDevice >= 0)
        return si::DEVICE_IO_FAILED;
    m_openDevice = int(deviceNum);
    m_openReadTimeoutMs = m_readTimeoutMs;
    *handle = kHandleBase + deviceNum;
    return si::SUCCESS;
}

int SimUsbBridge::SI_Close(UsbHandle handle)
{
    if (deviceOf(handle) < 0)
        return si::INVALID_HANDLE;
    m_openDevice = -1;
    return si::SUCCESS;
}

int SimUsbBridge::SI_SetBaudRate(UsbHandle handle, quint32 baud)
{
    if (deviceOf(handle) < 0)
        return si::INVALID_HANDLE;
    if (m_baudFailure != si::SUCCESS)
        return m_baudFailure;
    if (!supportedBauds().contains(int(baud)))
        return si::INVALID_BAUD_RATE;
    m_bus.setHostBaud(int(baud));
    return si::SUCCESS;
}

int SimUsbBridge::SI_SetTimeouts(quint32 readTimeoutMs, quint32)
{
    m_readTimeoutMs = readTimeoutMs;
    return si::SUCCESS;
}

int SimUsbBridge::SI_Read(UsbHandle handle, void* buffer, quint32 bytesToRead, quint32* bytesReturned)
{
    if (bytesReturned)
        *bytesReturned = 0;
    if (deviceOf(handle) < 0)
        return si::INVALID_HANDLE;
    if (!buffer || !bytesReturned)
        return si::INVALID_PARAMETER;
    if (bytesToRead == 0 || bytesToRead > kMaxRead)
        return si::INVALID_REQUEST_LENGTH;

    // Wait up to the read time-out for the first byte.
    IClock& clock = m_bus.clock();
    double remaining = m_openReadTimeoutMs / 1000.0;
    while (m_bus.bytesDue() == 0) {
        const double next = m_bus.nextDueIn();
        if (next < 0 || next > remaining) {
            if (remaining > 0)
                clock.sleep(remaining);
            return si::READ_TIMED_OUT;
        }
        clock.sleep(next);
        remaining -= next;
    }

    // Take only what fits; the rest stays due for the next read.
    const QByteArray got = m_bus.read(int(bytesToRead));
    std::memcpy(buffer, got.constData(), size_t(got.size()));
    *bytesReturned = quint32(got.size());
    return si::SUCCESS;
}

int SimUsbBridge::SI_Write(UsbHandle handle, const void* buffer, quint32 bytesToWrite, quint32* bytesWritten)
{
    if (bytesWritten)
        *bytesWritten = 0;
    if (deviceOf(handle) < 0)
        return si::INVALID_HANDLE;
    if (!buffer)
        return si::INVALID_PARAMETER;
    if (bytesToWrite == 0 || bytesToWrite > kMaxWrite)
        return si::INVALID_REQUEST_LENGTH;
    m_bus.write(QByteArray(static_cast<const char*>(buffer), int(bytesToWrite)));
    if (bytesWritten)
        *bytesWritten = bytesToWrite;
    return si::SUCCESS;
}

int SimUsbBridge::SI_CheckRXQueue(UsbHandle handle, quint32* numBytesInQueue, quint32* queueStatus)
{
    if (numBytesInQueue)
        *numBytesInQueue = 0;
    if (queueStatus)
        *queueStatus = si::RX_EMPTY;
    if (deviceOf(handle) < 0)
        return si::INVALID_HANDLE;
    if (!numBytesInQueue || !queueStatus)
        return si::INVALID_PARAMETER;
    const int due = m_bus.bytesDue();
    *numBytesInQueue = quint32(due);
    *queueStatus = due > 0 ? si::RX_READY : si::RX_EMPTY;
    return si::SUCCESS;
}

bool simulatedBusRequested()
{
    return qgetenv("KELVANE_SIM") == "1";
}

std::unique_ptr<IUsbBridge> makeUsbBridge(SimBus* bus)
{
    if (bus)
        return std::make_unique<SimUsbBridge>(*bus, true);
    return std::make_unique<NoUsbBridge>();
}
