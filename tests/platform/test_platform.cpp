// The platform layer: port numbers to device paths, settings texts, the real
// serial port on a pseudo-terminal, settings and program folder, and the
// display helpers.

#include "Format.h"
#include "ProgramFolder.h"
#include "Pty.h"
#include "SerialPort.h"
#include "Settings.h"
#include "TestSupport.h"
#include "UiServices.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <QFileInfo>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

class EnvVar
{
public:
    EnvVar(const char* name, const QByteArray& value) : m_name(name) { qputenv(name, value); }
    ~EnvVar() { qunsetenv(m_name); }

private:
    const char* m_name;
};

TEST(SerialSettingsTest, OnlySupportedBaudTextsOpen)
{
    EXPECT_EQ(baudFromSettings(QStringLiteral("9600")), 9600);
    EXPECT_EQ(baudFromSettings(QStringLiteral("38400,n,8,1")), 38400);
    EXPECT_EQ(baudFromSettings(QStringLiteral("0")), 0);
    EXPECT_EQ(baudFromSettings(QString()), 0);
    EXPECT_EQ(baudFromSettings(QStringLiteral("12345")), 0);
    EXPECT_EQ(baudFromSettings(QStringLiteral("fast")), 0);
}

TEST(PortMapTest, EnvironmentThenSettingsThenSystemPorts)
{
    TempHome home;
    home.settings().setValue(QStringLiteral("Ports"), QStringLiteral("COM2"), QStringLiteral("/dev/ttyFromSettings"));
    PortMap map(&home.settings());
    EXPECT_EQ(map.devicePath(2), QStringLiteral("/dev/ttyFromSettings"));
    {
        EnvVar env("KELVANE_COM2", "/dev/ttyFromEnv");
        EXPECT_EQ(map.devicePath(2), QStringLiteral("/dev/ttyFromEnv"));
    }
    EXPECT_EQ(map.devicePath(0), QString());
    const QStringList system = PortMap::systemPorts();
    EXPECT_TRUE(std::is_sorted(system.begin(), system.end()));
    if (!system.isEmpty()) {
        EXPECT_EQ(map.devicePath(1), system.first());
    }
    EXPECT_EQ(map.devicePath(16 + int(system.size())), QString());
}

TEST(PortMapTest, SystemPortsInNaturalOrder)
{
    QStringList paths{"/dev/ttyUSB0", "/dev/ttyS10",   "/dev/ttyS2",  "/dev/ttyACM1",
                      "/dev/ttyS0",   "/dev/ttyUSB10", "/dev/ttyUSB9"};
    std::sort(paths.begin(), paths.end(), PortMap::naturalLess);
    EXPECT_EQ(paths, (QStringList{"/dev/ttyACM1", "/dev/ttyS0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0",
                                  "/dev/ttyUSB9", "/dev/ttyUSB10"}));
    EXPECT_FALSE(PortMap::naturalLess("/dev/ttyS02", "/dev/ttyS2") &&
                 PortMap::naturalLess("/dev/ttyS2", "/dev/ttyS02"));
    EXPECT_TRUE(PortMap::naturalLess("/dev/ttyS99999999999999999999", "/dev/ttyS100000000000000000000"));
}

TEST(PortMapTest, SettingsChangedSinceStartAreSeen)
{
    TempHome home;
    const PortMap map(&home.settings());
    EXPECT_NE(map.devicePath(9), QStringLiteral("/dev/kelvane-later"));
    home.settings().setValue(QStringLiteral("Ports"), QStringLiteral("COM9"), QStringLiteral("/dev/kelvane-later"));
    EXPECT_EQ(map.devicePath(9), QStringLiteral("/dev/kelvane-later"));
}

TEST(QtSerialPortTest, BusyPortSaysSoAndDoesNotBlameTheGroup)
{
    Pty pty;
    QtSerialPort first{PortMap()};
    ASSERT_TRUE(first.openPath(pty.path, 9600)) << first.lastError().toStdString();
    QtSerialPort second{PortMap()};
    EXPECT_FALSE(second.openPath(pty.path, 9600));
    EXPECT_TRUE(second.lastError().contains(QStringLiteral("busy"))) << second.lastError().toStdString();
    EXPECT_FALSE(second.lastError().contains(QStringLiteral("dialout")));
}

TEST(QtSerialPortTest, OpenFailuresAreReportedNotThrown)
{
    TempHome home;
    QtSerialPort port{PortMap(&home.settings())};
    port.setSettings(QStringLiteral("0"));
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.lastError().isEmpty());

    EnvVar env("KELVANE_COM3", "/dev/kelvane-no-such-device");
    port.setCommPort(3);
    port.setSettings(QStringLiteral("9600"));
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.inBufferCount(), 0);
    EXPECT_FALSE(port.output("[0ST]"));
}

TEST(QtSerialPortTest, PseudoTerminalOpensByPathAndExchangesBytes)
{
    Pty pty;
    EnvVar env("KELVANE_COM4", pty.path.toLocal8Bit());
    QtSerialPort port{PortMap()};
    port.setCommPort(4);
    port.setSettings(QStringLiteral("9600"));
    ASSERT_TRUE(port.open()) << port.lastError().toStdString();

    ASSERT_TRUE(port.output("[0ST]"));
    EXPECT_EQ(pty.readSome(), QByteArray("[0ST]"));

    ASSERT_EQ(::write(pty.master, "[0ST!0000", 9), 9);
    EXPECT_TRUE(port.waitForInput(1000));
    ASSERT_EQ(::write(pty.master, "0000]", 5), 5);
    QByteArray got;
    for (int i = 0; i < 50 && got.size() < 14; ++i) {
        port.waitForInput(20);
        got += port.input();
    }
    EXPECT_EQ(got, QByteArray("[0ST!00000000]"));
    EXPECT_EQ(port.inBufferCount(), 0);
}

TEST(QtSerialPortTest, FarEndClosingClosesThePortOnce)
{
    Pty pty;
    QtSerialPort port{PortMap()};
    int lost = 0;
    port.onLost = [&lost](const QString&) { ++lost; };
    ASSERT_TRUE(port.openPath(pty.path, 9600));
    pty.closeMaster();
    for (int i = 0; i < 5; ++i) {
        port.waitForInput(10);
        port.inBufferCount();
    }
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(port.input().isEmpty());
}

TEST(QtSerialPortTest, EveryLossNamesTheHangUpNotAStaleErrorCode)
{
    QtSerialPort port{PortMap()};
    QStringList reasons;
    port.onLost = [&reasons](const QString& reason) { reasons << reason; };
    QStringList paths;
    for (int loss = 0; loss < 2; ++loss) {
        Pty pty;
        paths << pty.path;
        ASSERT_TRUE(port.openPath(pty.path, 9600));
        pty.closeMaster();
        // Unrelated calls leave their error codes behind.
        errno = loss == 0 ? EAGAIN : EEXIST;
        for (int i = 0; i < 5 && port.isOpen(); ++i)
            port.waitForInput(10);
        EXPECT_FALSE(port.isOpen());
    }
    ASSERT_EQ(reasons.size(), 2);
    for (int loss = 0; loss < 2; ++loss)
        EXPECT_EQ(reasons[loss], paths[loss] + QStringLiteral(": Gegenstelle hat die Verbindung beendet"));
    EXPECT_EQ(port.lastError(), QStringLiteral("Gegenstelle hat die Verbindung beendet"));
}

// A read notification the event loop holds while an exchange's own wait takes
// the byte finds nothing, whatever error code the system left last: the port
// stays open and still throws away the input that nobody waits for.
TEST(QtSerialPortTest, ReadNotificationThatFindsItsByteTakenKeepsThePortOpen)
{
    for (int stale : {EEXIST, EAGAIN}) {
        Pty pty;
        // Registered before the port's own notifier, so served before it.
        const int other = ::open(QFile::encodeName(pty.path).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        QSocketNotifier first(other, QSocketNotifier::Read);
        QtSerialPort port{PortMap()};
        ASSERT_TRUE(port.openPath(pty.path, 9600));
        QByteArray taken;
        QObject::connect(&first, &QSocketNotifier::activated, [&] {
            first.setEnabled(false);
            taken = port.waitForInput(100) ? port.input() : "-";
            errno = stale;
        });
        ASSERT_EQ(::write(pty.master, "x", 1), 1);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !taken.isEmpty(); }));
        EXPECT_EQ(taken, QByteArray("x"));
        EXPECT_TRUE(port.isOpen()) << stale;
        ASSERT_EQ(::write(pty.master, "z", 1), 1);  // comes while nobody waits
        pollfd arrived{other, POLLIN, 0};
        ASSERT_EQ(::poll(&arrived, 1, 1000), 1);
        int waiting = 1;
        ASSERT_TRUE(QTest::qWaitFor([&] { return ::ioctl(other, FIONREAD, &waiting) == 0 && waiting == 0; }));
        ASSERT_EQ(::write(pty.master, "y", 1), 1);
        EXPECT_TRUE(port.waitForInput(1000)) << stale;
        EXPECT_EQ(port.input(), QByteArray("y")) << stale;
        ::close(other);
    }
}

// The reason is taken from the failed device: its file gone, its far end hung
// up, or the error of a read; none of them, no loss.
TEST(LossReasonTest, NamesRemovalHangUpAndReadError)
{
    TempHome home;
    const QString existing = home.path();
    const QString gone = home.file(QStringLiteral("ttyUSB9"));

    int hungUp[2];
    ASSERT_EQ(::pipe(hungUp), 0);
    ::close(hungUp[1]);
    int removed[2];
    ASSERT_EQ(::pipe2(removed, O_NONBLOCK), 0);
    const int folder = ::open(QFile::encodeName(existing).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);

    EXPECT_EQ(lossReason(hungUp[0], existing), QStringLiteral("Gegenstelle hat die Verbindung beendet"));
    EXPECT_EQ(lossReason(removed[0], gone), QStringLiteral("Gerät entfernt"));
    EXPECT_EQ(lossReason(folder, existing),
              QStringLiteral("Lesefehler: ") + QString::fromLocal8Bit(std::strerror(EISDIR)));
    // A device that still reads, with nothing waiting, is not lost.
    EXPECT_EQ(lossReason(removed[0], existing), QString());

    for (int fd : {hungUp[0], removed[0], removed[1], folder})
        ::close(fd);
}

TEST(SettingsTest, ValuesRoundTripThroughTheFile)
{
    TempHome home;
    EXPECT_EQ(home.settings().value(QStringLiteral("Startup"), QStringLiteral("Backup_CommPort"), QStringLiteral("0")),
              QStringLiteral("0"));
    home.settings().setValue(QStringLiteral("Startup"), QStringLiteral("Backup_CommPort"), QStringLiteral("USB"));
    EXPECT_TRUE(home.settings().sync());
    AppSettings again(home.file(QStringLiteral("settings.ini")));
    EXPECT_EQ(again.value(QStringLiteral("Startup"), QStringLiteral("Backup_CommPort"), QStringLiteral("0")),
              QStringLiteral("USB"));
}

TEST(ProgramFolderTest, HomeVariableIsCreatedWhenMissing)
{
    TempHome home;
    const QString folder = home.file(QStringLiteral("nested/kelvane"));
    EnvVar env("KELVANE_HOME", folder.toLocal8Bit());
    EXPECT_EQ(programFolder(), folder);
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(programFile(QStringLiteral("autost.qvm")), folder + QStringLiteral("/autost.qvm"));
}

// A box sits on its owner's window; a box whose owner is disabled goes to the
// main window, and one whose main window is disabled too, to none (a box on
// a disabled window would be disabled with it).
TEST(QtUiServicesTest, BoxSitsOnTheUsableWindowOfItsOwner)
{
    QWidget main, owner;
    QWidget* button = new QWidget(&owner);
    main.show();
    owner.show();
    QtUiServices dialogs(&main);
    IUiServices& ui = dialogs;
    bool shown = false;
    const auto parentOfBox = [&ui, &shown](QObject* who) {
        const DialogOwner scope(who);
        QWidget* parent = nullptr;
        shown = false;
        QTimer::singleShot(0, [&parent, &shown] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                shown = true;
                parent = box->parentWidget();
                box->close();
            }
        });
        ui.message(QStringLiteral("x"));
        return parent;
    };
    EXPECT_EQ(parentOfBox(button), &owner);
    owner.setEnabled(false);
    EXPECT_EQ(parentOfBox(button), &main);
    main.setEnabled(false);
    EXPECT_EQ(parentOfBox(button), nullptr);
    EXPECT_TRUE(shown);
}

TEST(FormatTest, MasksColoursAndFilters)
{
    EXPECT_EQ(formatMask(12.34567, QStringLiteral("######0.0000"), false), QStringLiteral("12.3457"));
    EXPECT_EQ(formatMask(12.34567, QStringLiteral("######0.000"), true), QStringLiteral("12,346"));
    EXPECT_EQ(formatMask(-0.00004, QStringLiteral("0.0000"), false), QStringLiteral("0.0000"));
    EXPECT_EQ(formatMask(-2.5, QStringLiteral("0"), false), QStringLiteral("-3"));
    EXPECT_EQ(formatMask(0.5, QStringLiteral("#.00"), false), QStringLiteral(".50"));
    EXPECT_EQ(formatMask(270, QStringLiteral("##0.00000"), false), QStringLiteral("270.00000"));

    EXPECT_EQ(bgrColor(0xC000), QColor(0, 0xC0, 0));
    EXPECT_EQ(bgrColor(0xC0), QColor(0xC0, 0, 0));
    EXPECT_EQ(bgrColor(0xFF0000), QColor(0, 0, 0xFF));
    EXPECT_EQ(toBgr(QColor(1, 2, 3)), 0x030201u);
    EXPECT_EQ(twipsToPixels(300), 20);

    EXPECT_EQ(qtFileFilter(QStringLiteral("Datendateien(*.qvm)|*.qvm|Alle Dateien|*.*")),
              QStringLiteral("Datendateien(*.qvm) (*.qvm);;Alle Dateien (*)"));
}

}  // namespace
