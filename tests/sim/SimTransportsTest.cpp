// The in-process serial port and USB bridge in front of the simulated bus:
// opening rules, waiting through the fake clock, and the failure switches.

#include "Clock.h"
#include "DemoBus.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const QByteArray DC2("\x12");

class SimSerialPortTest : public ::testing::Test
{
protected:
    FakeClock clock;
    SimBus bus{clock};
    SimSerialPort port{bus};
};

TEST_F(SimSerialPortTest, OpensOnlyWithASupportedBaud)
{
    bus.addUnit("05", 19200);
    port.setSettings("0");
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.lastError().isEmpty());
    EXPECT_FALSE(port.output("[0ST]"));

    port.setSettings("19200,n,8,1");
    ASSERT_TRUE(port.open());
    EXPECT_EQ(bus.hostBaud(), 19200);
    EXPECT_FALSE(port.open());  // already open
    EXPECT_TRUE(port.output(DC2 + "05" + "[0ST]"));
    EXPECT_EQ(port.inBufferCount(), 14);
    EXPECT_EQ(port.input(), "[0ST!00000000]");
    EXPECT_EQ(port.inBufferCount(), 0);

    // The port counts what waits on a paced line, or reports a fixed value
    // where a real port could not count.
    bus.setPacing(true);
    for (int i = 0; i < 100; ++i)
        port.output(DC2 + "05");
    EXPECT_GT(port.unsentCount(), 250);
    for (int fixed : {-1, 0}) {
        bus.setUnsentReport(fixed);
        EXPECT_EQ(port.unsentCount(), fixed);
    }
    bus.setUnsentReport(std::nullopt);
    bus.setPacing(false);

    port.close();
    port.setOpenFailure("COM3: port busy");
    EXPECT_FALSE(port.open());
    EXPECT_EQ(port.lastError(), "COM3: port busy");
}

TEST_F(SimSerialPortTest, WaitSleepsExactlyUntilTheReplyOrTheTimeOut)
{
    bus.addUnit("01").setReplyDelay(0.03);
    ASSERT_TRUE(port.open());
    port.output(DC2 + "01" + "[0ST]");
    EXPECT_FALSE(port.waitForInput(20));
    EXPECT_NEAR(clock.slept(), 0.02, 1e-9);
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_TRUE(port.waitForInput(20));
    EXPECT_NEAR(clock.slept(), 0.03, 1e-9);
    EXPECT_TRUE(port.waitForInput(20));  // unread input returns at once
    EXPECT_NEAR(clock.slept(), 0.03, 1e-9);
    EXPECT_EQ(port.input(), "[0ST!00000000]");

    // Nothing pending: the whole time passes.
    EXPECT_FALSE(port.waitForInput(100));
    EXPECT_NEAR(clock.slept(), 0.13, 1e-9);
}

TEST_F(SimSerialPortTest, FarEndClosingClosesThePortOnce)
{
    SimUnit& u = bus.addUnit("01");
    ASSERT_TRUE(port.open());
    int lost = 0;
    port.onLost = [&](const QString&) { ++lost; };
    // The far end goes away while the command is under way.
    u.setHandler("0ST", [&](SimUnit&, const SimCommand&) {
        port.setFarEndClosed(true);
        return std::optional(QByteArray());
    });
    EXPECT_TRUE(port.output(DC2 + "01" + "[0ST]"));
    EXPECT_FALSE(port.waitForInput(200));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.input(), "");
    EXPECT_FALSE(port.output("[0ST]"));
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(port.open());

    port.setFarEndClosed(false);
    u.setHandler("0ST", nullptr);
    ASSERT_TRUE(port.open());
    port.output("[0ST]");
    EXPECT_EQ(port.input(), "[0ST!00000000]");
}

class SimUsbBridgeTest : public ::testing::Test
{
protected:
    UsbHandle openDevice()
    {
        UsbHandle h = 0;
        EXPECT_EQ(usb.SI_Open(0, &h), si::SUCCESS);
        EXPECT_NE(h, 0u);
        return h;
    }
    QByteArray readAll(UsbHandle h, quint32 size = 256)
    {
        QByteArray buffer(int(size), '\0');
        quint32 got = 0;
        const int status = usb.SI_Read(h, buffer.data(), size, &got);
        return status == si::SUCCESS ? buffer.left(int(got)) : QByteArray();
    }
    void send(UsbHandle h, const QByteArray& bytes)
    {
        quint32 written = 0;
        EXPECT_EQ(usb.SI_Write(h, bytes.constData(), quint32(bytes.size()), &written), si::SUCCESS);
        EXPECT_EQ(written, quint32(bytes.size()));
    }

    FakeClock clock;
    SimBus bus{clock};
    SimUsbBridge usb{bus};
};

TEST_F(SimUsbBridgeTest, ListsDevicesOnlyWhenEnabled)
{
    quint32 n = 99;
    char text[si::MAX_DEVICE_STRLEN + 1];
    SimUsbBridge off(bus, false);
    EXPECT_EQ(off.SI_GetNumDevices(&n), si::DEVICE_NOT_FOUND);
    EXPECT_EQ(n, 0u);
    UsbHandle h = 7;
    EXPECT_EQ(off.SI_Open(0, &h), si::DEVICE_NOT_FOUND);
    EXPECT_EQ(h, 0u);

    usb.setDeviceCount(2);
    EXPECT_EQ(usb.SI_GetNumDevices(&n), si::SUCCESS);
    EXPECT_EQ(n, 2u);
    ASSERT_EQ(usb.SI_GetProductString(1, text, si::RETURN_SERIAL_NUMBER), si::SUCCESS);
    EXPECT_STREQ(text, "KLV0002");
    EXPECT_EQ(usb.SI_GetProductString(2, text, si::RETURN_SERIAL_NUMBER), si::DEVICE_NOT_FOUND);
    EXPECT_STREQ(text, "");
}

TEST_F(SimUsbBridgeTest, HandlesAreValidOnlyWhileOpen)
{
    const UsbHandle h = openDevice();
    UsbHandle second = 0;
    EXPECT_NE(usb.SI_Open(0, &second), si::SUCCESS);
    EXPECT_EQ(usb.SI_Close(h), si::SUCCESS);
    EXPECT_EQ(usb.SI_Close(h), si::INVALID_HANDLE);
    quint32 n = 0, status = 0;
    EXPECT_EQ(usb.SI_CheckRXQueue(h, &n, &status), si::INVALID_HANDLE);
    EXPECT_EQ(usb.SI_Write(h, "[", 1, &n), si::INVALID_HANDLE);
    EXPECT_EQ(usb.SI_SetBaudRate(h, 9600), si::INVALID_HANDLE);
}

TEST_F(SimUsbBridgeTest, BaudRateReachesTheBusUnlessRefused)
{
    bus.addUnit("03", 38400);
    const UsbHandle h = openDevice();
    EXPECT_EQ(usb.SI_SetBaudRate(h, 12345), si::INVALID_BAUD_RATE);
    EXPECT_EQ(usb.SI_SetBaudRate(h, 38400), si::SUCCESS);
    EXPECT_EQ(bus.hostBaud(), 38400);
    send(h, DC2 + "03" + "[0ST]");
    EXPECT_EQ(readAll(h), "[0ST!00000000]");

    usb.setBaudRateFailure(si::DEVICE_IO_FAILED);
    EXPECT_EQ(usb.SI_SetBaudRate(h, 9600), si::DEVICE_IO_FAILED);
    EXPECT_EQ(bus.hostBaud(), 38400);
}

TEST_F(SimUsbBridgeTest, ReadWaitsUpToTheTimeOutForTheFirstByte)
{
    bus.addUnit("01").setReplyPieces(2, 0.05);
    ASSERT_EQ(usb.SI_SetTimeouts(30, 30), si::SUCCESS);
    const UsbHandle h = openDevice();
    send(h, DC2 + "01");

    char buffer[64];
    quint32 got = 5;
    EXPECT_EQ(usb.SI_Read(h, buffer, sizeof buffer, &got), si::READ_TIMED_OUT);
    EXPECT_EQ(got, 0u);
    EXPECT_NEAR(clock.slept(), 0.03, 1e-9);

    // The first piece is there at once; the second arrives only after the
    // gap, which is longer than the read time-out.
    send(h, "[0ST]");
    EXPECT_EQ(readAll(h), "[0ST!00");
    EXPECT_EQ(readAll(h), "");
    EXPECT_NEAR(clock.slept(), 0.06, 1e-9);
    clock.advance(0.02);
    quint32 count = 0, status = 0;
    EXPECT_EQ(usb.SI_CheckRXQueue(h, &count, &status), si::SUCCESS);
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(status, si::RX_READY);
    // A small buffer takes what fits and leaves the rest queued.
    EXPECT_EQ(readAll(h, 4), "0000");
    EXPECT_EQ(readAll(h, 4), "00]");
    EXPECT_EQ(usb.SI_CheckRXQueue(h, &count, &status), si::SUCCESS);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(status, si::RX_EMPTY);
}

TEST_F(SimUsbBridgeTest, ThreeByteSelectionWithAMissingCharacterSelectsNobody)
{
    bus.addUnit("01");
    const UsbHandle h = openDevice();
    send(h, DC2 + "01");
    send(h, "[0ST]");
    EXPECT_EQ(readAll(h), "[0ST!00000000]");
    send(h, DC2 + "0" + QByteArray(1, '\0'));
    send(h, "[0ST]");
    EXPECT_EQ(readAll(h), "");
}

TEST(UsbBackend, TheSimulatedBridgeNeedsABus)
{
    quint32 n = 0;
    EXPECT_EQ(makeUsbBridge(nullptr)->SI_GetNumDevices(&n), si::DEVICE_NOT_FOUND);

    FakeClock clock;
    SimBus bus(clock);
    populateDemoBus(bus);
    auto bridge = makeUsbBridge(&bus);
    EXPECT_EQ(bridge->SI_GetNumDevices(&n), si::SUCCESS);
    EXPECT_EQ(n, 1u);
    UsbHandle h = 0;
    ASSERT_EQ(bridge->SI_Open(0, &h), si::SUCCESS);
    const QByteArray query = DC2 + "11" + "[0VN]";
    quint32 written = 0;
    bridge->SI_Write(h, query.constData(), quint32(query.size()), &written);
    char buffer[64] = {};
    quint32 got = 0;
    ASSERT_EQ(bridge->SI_Read(h, buffer, sizeof buffer, &got), si::SUCCESS);
    EXPECT_EQ(QByteArray(buffer, int(got)).mid(5, 2), "IK");
}

}  // namespace
