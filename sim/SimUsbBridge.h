#pragma once
// The USB bridge in front of a simulated bus. It lists its devices only when
// enabled; every device it lists leads to the same bus. SI_Read waits
// through the bus's clock, so tests with a FakeClock never really wait.

#include "UsbBridge.h"

#include <QString>

#include <memory>

class SimBus;

class SimUsbBridge final : public IUsbBridge
{
public:
    explicit SimUsbBridge(SimBus& bus, bool enabled = true);

    int SI_GetNumDevices(quint32* numDevices) override;
    int SI_GetProductString(quint32 deviceNum, char* buffer, int flags) override;
    int SI_Open(quint32 deviceNum, UsbHandle* handle) override;
    int SI_Close(UsbHandle handle) override;
    int SI_SetBaudRate(UsbHandle handle, quint32 baud) override;
    int SI_SetTimeouts(quint32 readTimeoutMs, quint32 writeTimeoutMs) override;
    int SI_Read(UsbHandle handle, void* buffer, quint32 bytesToRead, quint32* bytesReturned) override;
    int SI_Write(UsbHandle handle, const void* buffer, quint32 bytesToWrite, quint32* bytesWritten) override;
    int SI_CheckRXQueue(UsbHandle handle, quint32* numBytesInQueue, quint32* queueStatus) override;

    // Number of devices listed while enabled (serial numbers "KLV0001" ...).
    void setDeviceCount(int count) { m_deviceCount = count; }
    // While not SUCCESS, SI_SetBaudRate fails with this status.
    void setBaudRateFailure(int status) { m_baudFailure = status; }

    static QString serialNumber(int deviceNum);

private:
    // Device index of an open handle, or -1.
    int deviceOf(UsbHandle handle) const;

    SimBus& m_bus;
    bool m_enabled;
    int m_deviceCount = 1;
    int m_baudFailure = 0;
    quint32 m_readTimeoutMs = 200;
    // Read time-out of the device that is open (taken at SI_Open).
    quint32 m_openReadTimeoutMs = 200;
    int m_openDevice = -1;
};

// True when the environment asks for the simulated bus (KELVANE_SIM=1).
bool simulatedBusRequested();

// The bridge the program drives: the simulated one in front of `bus`, or,
// without a bus, the bridge that reports no devices.
std::unique_ptr<IUsbBridge> makeUsbBridge(SimBus* bus);
