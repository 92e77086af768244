#pragma once
// The USB-to-serial bridge as the program drives it: the nine calls below with
// the bridge library's status codes. No bridge driver exists on Linux; the
// backend is either "no devices" or the simulated bridge in front of the
// simulated bus (a bridge that shows up as a serial device works through the
// serial port instead).

#include <QtGlobal>

#include <cstdint>

namespace si {
// Status codes of the bridge calls.
constexpr int SUCCESS = 0x00;
constexpr int INVALID_HANDLE = 0x01;
constexpr int READ_ERROR = 0x02;
constexpr int RX_QUEUE_NOT_READY = 0x03;
constexpr int WRITE_ERROR = 0x04;
constexpr int RESET_ERROR = 0x05;
constexpr int INVALID_PARAMETER = 0x06;
constexpr int INVALID_REQUEST_LENGTH = 0x07;
constexpr int DEVICE_IO_FAILED = 0x08;
constexpr int INVALID_BAUD_RATE = 0x09;
constexpr int FUNCTION_NOT_SUPPORTED = 0x0A;
constexpr int GLOBAL_DATA_ERROR = 0x0B;
constexpr int SYSTEM_ERROR_CODE = 0x0C;
constexpr int READ_TIMED_OUT = 0x0D;
constexpr int WRITE_TIMED_OUT = 0x0E;
constexpr int IO_PENDING = 0x0F;
constexpr int DEVICE_NOT_FOUND = 0xFF;

// Queue status of CheckRXQueue.
constexpr quint32 RX_EMPTY = 0x00;
constexpr quint32 RX_OVERRUN = 0x01;
constexpr quint32 RX_READY = 0x02;

// Kinds of product string.
constexpr int RETURN_SERIAL_NUMBER = 0x00;
constexpr int RETURN_DESCRIPTION = 0x01;

constexpr int MAX_DEVICE_STRLEN = 256;
}  // namespace si

using UsbHandle = quintptr;

class IUsbBridge
{
public:
    virtual ~IUsbBridge() = default;
    virtual int SI_GetNumDevices(quint32* numDevices) = 0;
    // Writes a zero-terminated string of at most 256 characters into `buffer`
    // (which holds 257 bytes).
    virtual int SI_GetProductString(quint32 deviceNum, char* buffer, int flags) = 0;
    virtual int SI_Open(quint32 deviceNum, UsbHandle* handle) = 0;
    virtual int SI_Close(UsbHandle handle) = 0;
    virtual int SI_SetBaudRate(UsbHandle handle, quint32 baud) = 0;
    // Read and write time-outs in milliseconds for devices opened afterwards.
    virtual int SI_SetTimeouts(quint32 readTimeoutMs, quint32 writeTimeoutMs) = 0;
    // Reads up to `bytesToRead` bytes, waiting up to the read time-out for the
    // first one.
    virtual int SI_Read(UsbHandle handle, void* buffer, quint32 bytesToRead, quint32* bytesReturned) = 0;
    virtual int SI_Write(UsbHandle handle, const void* buffer, quint32 bytesToWrite, quint32* bytesWritten) = 0;
    virtual int SI_CheckRXQueue(UsbHandle handle, quint32* numBytesInQueue, quint32* queueStatus) = 0;
};

// The bridge library when no bridge is attached: no devices, every call on a
// handle fails.
class NoUsbBridge final : public IUsbBridge
{
public:
    int SI_GetNumDevices(quint32* n) override
    {
        if (n)
            *n = 0;
        return si::DEVICE_NOT_FOUND;
    }
    int SI_GetProductString(quint32, char* buffer, int) override
    {
        if (buffer)
            buffer[0] = 0;
        return si::DEVICE_NOT_FOUND;
    }
    int SI_Open(quint32, UsbHandle* h) override
    {
        if (h)
            *h = 0;
        return si::DEVICE_NOT_FOUND;
    }
    int SI_Close(UsbHandle) override { return si::INVALID_HANDLE; }
    int SI_SetBaudRate(UsbHandle, quint32) override { return si::INVALID_HANDLE; }
    int SI_SetTimeouts(quint32, quint32) override { return si::SUCCESS; }
    int SI_Read(UsbHandle, void*, quint32, quint32* r) override
    {
        if (r)
            *r = 0;
        return si::INVALID_HANDLE;
    }
    int SI_Write(UsbHandle, const void*, quint32, quint32* w) override
    {
        if (w)
            *w = 0;
        return si::INVALID_HANDLE;
    }
    int SI_CheckRXQueue(UsbHandle, quint32* n, quint32* s) override
    {
        if (n)
            *n = 0;
        if (s)
            *s = si::RX_EMPTY;
        return si::INVALID_HANDLE;
    }
};
