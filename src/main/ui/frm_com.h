#pragma once
// The port dialog: the serial ports 1-16 that open, the USB bridges that are
// attached, and the baud rate. Picking an entry opens that port or device at
// once; OK stores the choice for the next start and unlocks the main window.
// Only the operator's click, arrow key or Enter in a list chooses; a list
// that gets the focus does not. Its close box cancels: the port in use
// before it opened comes back, and the main window is unlocked without
// storing anything.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class AppSettings;
class BusTransport;
class IUiServices;
class QCloseEvent;
class QPaintEvent;
class QLabel;
class QListWidget;
class QPushButton;

// What the port dialog uses: the transport with its serial port and USB
// bridge, the settings it stores the choice in, the message boxes, and what
// it asks of the main window.
struct PortDialogEnv
{
    BusTransport* bus = nullptr;
    AppSettings* settings = nullptr;
    IUiServices* ui = nullptr;
    // The port ("USB" or its number) and the rate in use.
    std::function<QString()> auswerten_com = [] { return QString(); };
    std::function<void(const QString&)> setAuswerten_com = [](const QString&) {};
    std::function<QString()> auswerten_baud = [] { return QString(); };
    std::function<void(const QString&)> setAuswerten_baud = [](const QString&) {};
    // Ends a hold on the main loop taken under a menu entry's name.
    std::function<void(const QString& holder)> releaseMainLoop = [](const QString&) {};
    // Gives the menus back if nobody holds the loop any more.
    std::function<void()> enableWhenLoopRuns = [] {};
    std::function<bool()> isTimer1Running = [] { return false; };
    // Enables or disables a menu entry by its control name; an unknown name does nothing.
    std::function<void(const QString& name, bool on)> setMenuEntryEnabled = [](const QString&, bool) {};
    // The control centers initialise on the next tick.
    std::function<void()> comMotflag = [] {};
    // Whether the program is shutting down.
    std::function<bool()> isUnloaded = [] { return false; };
};

class frm_com final : public QWidget
{
    Q_OBJECT
public:
    static inline const QStringList BaudRates{QStringLiteral("9600"),   QStringLiteral("19200"),
                                              QStringLiteral("38400"),  QStringLiteral("57600"),
                                              QStringLiteral("115200"), QStringLiteral("230400")};
    // The serial port takes only the first five rates.
    static constexpr int SerialBaudCount = 5;
    static constexpr int PortCount = 16;
    // A port that does not open, here and at the main window's start.
    static inline const QString PortMessage =
        QStringLiteral("COM-Port konnte nicht geöffnet werden, bitte überprüfen sie die Einstellungen!");
    static inline const QString BaudMessage = QStringLiteral("Unzulässige Baudrate");
    static inline const QString DeviceMessage = QStringLiteral("Error opening device");

    // Creating the dialog runs its load sequence: it lists the ports and
    // devices and reopens the remembered one. The parent is the main window,
    // which the dialog stays in front of.
    explicit frm_com(PortDialogEnv env, QWidget* parent);

    QLabel* lb_com = nullptr;
    QListWidget* list_com = nullptr;
    QLabel* Label1 = nullptr;
    QListWidget* list_usb = nullptr;
    QLabel* lb_Baudrate = nullptr;
    QListWidget* list_baud = nullptr;
    QPushButton* cmd_ok = nullptr;
    // "1" while the menu entry "COM-Options" has the dialog open.
    QString Tag;

    void Form_Load();
    void comportsuche();
    void list_com_Click();
    void list_usb_Click();
    void list_baud_Click();
    void cmd_ok_Click();
    // Whether the dialog has been drawn on the screen: a click on
    // "COM-Options" before that was made while it was being built.
    bool isOnScreen() const { return m_onScreen; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString selectedText(const QListWidget* list) const;
    void deselect(QListWidget* list);
    void cancel();
    // Ends the dialog's hold on the main window: the loop runs, the menus
    // come back, and the control centers initialise on the next tick.
    void giveBack();

    PortDialogEnv m_env;
    BusTransport& m_bus;
    // The choice in use when the dialog opened, which its close box restores.
    QString m_comBefore;
    QString m_baudBefore;
    bool m_ended = false;
    bool m_onScreen = false;
};
