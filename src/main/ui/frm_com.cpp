#include "frm_com.h"

#include "BusTransport.h"
#include "MenuNames.h"
#include "SerialPort.h"
#include "Settings.h"
#include "UiServices.h"
#include "UsbBridge.h"
#include "globale_Funktionen.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include <array>
#include <functional>

namespace {
const QString Startup = QStringLiteral("Startup");
const QString Usb = QStringLiteral("USB");
constexpr quint32 UsbTimeoutMs = 200;

// A list of the dialog, whose entries the operator chooses by a click, an
// arrow key or Enter. Getting the focus chooses nothing: a list without a
// current entry keeps none (the item view would make its first one current).
class ChoiceList final : public QListWidget
{
public:
    ChoiceList(const QString& name, QWidget* parent) : QListWidget(parent) { setObjectName(name); }
    // Enter on the current entry chooses it again.
    std::function<void()> onEnter;

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        if (currentRow() >= 0) {
            QListWidget::focusInEvent(event);
            return;
        }
        const QSignalBlocker quiet(this);
        QListWidget::focusInEvent(event);
        setCurrentRow(-1);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentRow() >= 0 && onEnter) {
            onEnter();
            return;
        }
        QListWidget::keyPressEvent(event);
    }
};

// A hook left empty does nothing.
PortDialogEnv completed(PortDialogEnv env)
{
    const PortDialogEnv defaults;
    const auto fill = [](auto& hook, const auto& fallback) {
        if (!hook)
            hook = fallback;
    };
    fill(env.auswerten_com, defaults.auswerten_com);
    fill(env.setAuswerten_com, defaults.setAuswerten_com);
    fill(env.auswerten_baud, defaults.auswerten_baud);
    fill(env.setAuswerten_baud, defaults.setAuswerten_baud);
    fill(env.releaseMainLoop, defaults.releaseMainLoop);
    fill(env.enableWhenLoopRuns, defaults.enableWhenLoopRuns);
    fill(env.isTimer1Running, defaults.isTimer1Running);
    fill(env.setMenuEntryEnabled, defaults.setMenuEntryEnabled);
    fill(env.comMotflag, defaults.comMotflag);
    fill(env.isUnloaded, defaults.isUnloaded);
    return env;
}
}  // namespace

// A dialog of its parent: the window manager keeps it in front of it.
frm_com::frm_com(PortDialogEnv env, QWidget* parent)
    : QWidget(parent, Qt::Dialog), m_env(completed(std::move(env))), m_bus(*m_env.bus)
{
    setObjectName(QStringLiteral("frm_com"));
    setWindowTitle(QStringLiteral("COM_Options"));
    setAttribute(Qt::WA_DeleteOnClose);

    lb_com = new QLabel(QStringLiteral("COM   oder"), this);
    auto* com = new ChoiceList(QStringLiteral("list_com"), this);
    list_com = com;
    Label1 = new QLabel(QStringLiteral("USB"), this);
    auto* usb = new ChoiceList(QStringLiteral("list_usb"), this);
    list_usb = usb;
    lb_Baudrate = new QLabel(QStringLiteral("Baudrate"), this);
    auto* baud = new ChoiceList(QStringLiteral("list_baud"), this);
    list_baud = baud;
    list_baud->addItems(BaudRates);
    cmd_ok = new QPushButton(QStringLiteral("OK"), this);
    cmd_ok->setObjectName(QStringLiteral("cmd_ok"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(lb_com, 0, 0);
    grid->addWidget(Label1, 0, 1);
    grid->addWidget(lb_Baudrate, 0, 2);
    grid->addWidget(list_com, 1, 0);
    grid->addWidget(list_usb, 1, 1);
    grid->addWidget(list_baud, 1, 2);
    grid->addWidget(cmd_ok, 2, 2);
    resize(420, 260);

    // A change of selection is a click, whether the operator or the code
    // makes it; the handlers return at once while the event lock is set.
    connect(list_com, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            list_com_Click();
    });
    connect(list_usb, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            list_usb_Click();
    });
    connect(list_baud, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            list_baud_Click();
    });
    com->onEnter = [this] { list_com_Click(); };
    usb->onEnter = [this] { list_usb_Click(); };
    baud->onEnter = [this] { list_baud_Click(); };
    connect(cmd_ok, &QPushButton::clicked, this, &frm_com::cmd_ok_Click);

    Form_Load();
    // The keys go to the first box.
    list_com->setFocus(Qt::OtherFocusReason);
}

void frm_com::paintEvent(QPaintEvent* event)
{
    m_onScreen = true;
    QWidget::paintEvent(event);
}

QString frm_com::selectedText(const QListWidget* list) const
{
    const QListWidgetItem* item = list->currentRow() >= 0 ? list->currentItem() : nullptr;
    return item ? item->text() : QString();
}

void frm_com::deselect(QListWidget* list)
{
    list->setCurrentRow(-1);
    list->clearSelection();
}

void frm_com::Form_Load()
{
    const QString com = m_env.auswerten_com();
    const QString baud = m_env.auswerten_baud();
    m_comBefore = com;
    m_baudBefore = baud;
    {
        EreignissperreGuard lock(m_bus);
        const QList<QListWidgetItem*> match = list_baud->findItems(baud, Qt::MatchExactly);
        if (!match.isEmpty())
            list_baud->setCurrentItem(match.first());
    }
    comportsuche();
    if (com != Usb) {
        bool isNumber = false;
        const int port = com.trimmed().toInt(&isNumber);
        if (isNumber) {
            m_bus.serial().setCommPort(port);
            const QList<QListWidgetItem*> match = list_com->findItems(QString::number(port), Qt::MatchExactly);
            if (!match.isEmpty())
                list_com->setCurrentItem(match.first());
        }
    } else if (list_usb->count() > 0) {
        list_usb->setCurrentRow(0);
    }
}

void frm_com::comportsuche()
{
    IUsbBridge& usb = m_bus.usb();
    quint32 devices = 0;
    if (usb.SI_GetNumDevices(&devices) == si::SUCCESS) {
        for (quint32 i = 0; i < devices; ++i) {
            std::array<quint8, BusTransport::BufferSize> buffer{};
            usb.SI_GetProductString(i, reinterpret_cast<char*>(buffer.data()), si::RETURN_SERIAL_NUMBER);
            buffer.back() = 0;
            list_usb->insertItem(int(i), bytes_zu_text(buffer.data(), int(buffer.size())));
        }
    }
    // Devices that appeared, and "Ports/COM<n>" settings changed since the
    // last showing, count: the port map is read afresh for every port.
    m_env.settings->sync();
    ISerialPort& serial = m_bus.serial();
    // Whether a port exists does not depend on the rate. A settings text that
    // names no rate (the "0" of a first start) would make every port fail to
    // open and leave the list empty, so the search tries the ports at the
    // slowest rate and then puts the text back.
    const QString settingsBefore = serial.settings();
    const bool withoutRate = baudFromSettings(settingsBefore) == 0;
    if (withoutRate)
        serial.setSettings(BaudRates.first());
    for (int p = 1; p <= PortCount; ++p) {
        EreignissperreGuard lock(m_bus);
        serial.setCommPort(p);
        if (serial.open()) {
            list_com->addItem(QString::number(p));
            serial.close();
        }
    }
    if (withoutRate)
        serial.setSettings(settingsBefore);
}

void frm_com::list_com_Click()
{
    if (m_bus.Ereignissperre)
        return;
    ISerialPort& serial = m_bus.serial();
    IUiServices& ui = *m_env.ui;
    {
        EreignissperreGuard lock(m_bus);
        if (serial.isOpen())
            serial.close();
        if (list_usb->currentRow() >= 0)
            deselect(list_usb);

        const QString port = selectedText(list_com);
        if (port.isEmpty()) {
            // A baud picked before any port: there is nothing to open.
            ui.message(PortMessage);
            return;
        }
        const int baudRow = list_baud->currentRow();
        if (baudRow >= 0 && baudRow < SerialBaudCount) {
            const QString baud = selectedText(list_baud);
            serial.setSettings(baud);
            m_env.setAuswerten_baud(baud);
            m_env.setAuswerten_com(port);
        } else {
            ui.message(BaudMessage);
        }
        serial.setCommPort(port.toInt());
        if (!serial.open()) {
            // Busy, vanished or refused: say so and why, and leave the dialog usable.
            const QString why = serial.lastError();
            ui.message(why.isEmpty() ? PortMessage : PortMessage + QStringLiteral("\n\n") + why);
            return;
        }
    }
    m_bus.Schnittstelle = QStringLiteral("COM");
}

void frm_com::list_usb_Click()
{
    if (m_bus.Ereignissperre)
        return;
    IUsbBridge& usb = m_bus.usb();
    IUiServices& ui = *m_env.ui;
    {
        EreignissperreGuard lock(m_bus);
        if (list_com->currentRow() >= 0)
            deselect(list_com);
        if (m_bus.USBHandle != 0)
            usb.SI_Close(m_bus.USBHandle);
        usb.SI_SetTimeouts(UsbTimeoutMs, UsbTimeoutMs);
        const int device = list_usb->currentRow();
        if (device >= 0) {
            UsbHandle handle = 0;
            m_bus.USBStatus = usb.SI_Open(quint32(device), &handle);
            m_bus.USBHandle = handle;
        } else {
            m_bus.USBHandle = 0;
            m_bus.USBStatus = si::DEVICE_NOT_FOUND;
        }
        if (list_baud->currentRow() >= 0) {
            const QString baud = selectedText(list_baud);
            m_bus.USBStatus = usb.SI_SetBaudRate(m_bus.USBHandle, baud.toUInt());
            m_env.setAuswerten_baud(baud);
            m_env.setAuswerten_com(Usb);
        } else {
            ui.message(BaudMessage);
        }
        if (m_bus.USBStatus != si::SUCCESS)
            ui.message(DeviceMessage);
    }
    m_bus.Schnittstelle = Usb;
    if (m_bus.serial().isOpen())
        m_bus.serial().close();
}

void frm_com::list_baud_Click()
{
    if (m_bus.Ereignissperre)
        return;
    if (m_bus.usbMode())
        list_usb_Click();
    else
        list_com_Click();
}

void frm_com::cmd_ok_Click()
{
    AppSettings& settings = *m_env.settings;
    const bool usbMode = m_bus.usbMode();
    settings.setValue(Startup, QStringLiteral("Backup_CommPort"),
                      usbMode ? Usb : QString::number(m_bus.serial().commPort()));
    // With no rate picked the remembered one stays.
    const QString baud = selectedText(list_baud);
    if (!baud.isEmpty())
        settings.setValue(Startup, QStringLiteral("Backup_Settings"), baud);
    const bool stored = settings.sync();

    m_ended = true;
    Tag = QStringLiteral("0");
    giveBack();
    // While another window still holds the loop, the direct-port entries stay
    // locked with the rest of the menu.
    if (stored) {
        for (const char* name : {"mnuAblauf", "mnuMultiT", "mnuAKabgleich", "mnuCF"})
            m_env.setMenuEntryEnabled(QLatin1String(name), !usbMode && m_env.isTimer1Running());
    } else {
        m_env.ui->message(PortMessage);
    }
    close();
}

void frm_com::giveBack()
{
    m_env.releaseMainLoop(Menu::COMOptions);
    // The dialog has opened the transport again, which ends a port release
    // ("Schnittstellen - Freigabe "). In USB mode the dialog is the only way
    // back from it, so the release must not keep the loop off.
    m_env.releaseMainLoop(Menu::CF);
    m_env.enableWhenLoopRuns();
    // The transport is open again: the control centers initialise on the
    // next tick, so their lamps come back without choosing each unit again.
    m_env.comMotflag();
}

void frm_com::cancel()
{
    m_ended = true;
    Tag = QStringLiteral("0");
    m_env.setAuswerten_com(m_comBefore);
    m_env.setAuswerten_baud(m_baudBefore);
    if (m_comBefore != Usb) {
        // The port and rate in use before, as the menu's OK would reopen them.
        ISerialPort& serial = m_bus.serial();
        if (serial.isOpen())
            serial.close();
        bool isNumber = false;
        const int port = m_comBefore.trimmed().toInt(&isNumber);
        if (isNumber)
            serial.setCommPort(port);
        if (baudFromSettings(m_baudBefore) > 0)
            serial.setSettings(m_baudBefore);
        if (serial.open())
            m_bus.Schnittstelle = QStringLiteral("COM");
    } else {
        // The bridge the load opened again stays the transport.
        m_bus.Schnittstelle = Usb;
        if (m_bus.serial().isOpen())
            m_bus.serial().close();
    }
    giveBack();
}

void frm_com::closeEvent(QCloseEvent* event)
{
    // The close box, or the window manager closing the dialog: a cancel.
    // At shut-down the port stays closed.
    if (!m_ended && !m_env.isUnloaded())
        cancel();
    QWidget::closeEvent(event);
}
