#include "InstallCalibration.h"

#include "BusTransport.h"
#include "CoreContext.h"
#include "MenuNames.h"
#include "SerialPort.h"
#include "UiServices.h"
#include "frm_AK_Abgleich.h"
#include "frm_main.h"
#include "ScreenFit.h"

#include <QPointer>
#include <QTimer>

#include <stdexcept>

namespace {
AK_AbgleichWindowEnv calibrationEnv(frm_main& frame, std::shared_ptr<BoardMasks> masks)
{
    AK_AbgleichWindowEnv env;
    env.core.masks = std::move(masks);
    CoreContext& core = frame.core();
    env.core.port = &core.serial();
    env.core.clock = &core.clock();
    env.core.ui = &core.ui();
    env.core.decimalComma = [&frame] { return frame.komma_frage; };
    // The selection goes through the transport, which writes the same bytes
    // to the port and keeps the selected unit for every window.
    BusTransport& bus = core.transport();
    env.core.busUnit = [&bus] { return bus.aktiveEinheit(); };
    env.core.writeSelection = [&bus](const QString& address) { bus.einheit_waehlen(address); };
    env.leave = [&frame] {
        frame.setEnabled(true);
        frame.releaseMainLoop(Menu::AKabgleich);
    };
    env.endProgram = [&frame] {
        if (frame.isUnloaded())
            return;
        frame.setEnabled(true);
        frame.releaseMainLoop(Menu::AKabgleich);
        // The whole program ends, through the main window's own shut-down.
        QTimer::singleShot(0, &frame, [&frame] { frame.close(); });
    };
    return env;
}
}  // namespace

frm_AK_Abgleich*& installCalibration(frm_main& frame, std::shared_ptr<BoardMasks> masks)
{
    auto* window = new frm_AK_Abgleich*(nullptr);
    QObject::connect(&frame, &QObject::destroyed, [window] { delete window; });
    frame.setWindowOpener(Menu::AKabgleich, [&frame, window, masks] {
        CoreContext& core = frame.core();
        if (core.transport().usbMode() || !core.serial().isOpen()) {
            core.ui().message(frm_main::PortNotOpenMessage);
            // The frame releases its hold when the opener fails.
            throw std::runtime_error("guided calibration needs the open serial port");
        }
        if (!*window) {
            // A top-level window: disabling the main window must not disable it.
            *window = new frm_AK_Abgleich(calibrationEnv(frame, masks));
            (*window)->setAttribute(Qt::WA_DeleteOnClose, false);
            kit::keepInFrontOf(*window, &frame);
            // Deleted at once: a later deletion could let the window outlive
            // its main window and reach it from its close handler.
            QObject::connect(&frame, &QObject::destroyed, [w = QPointer<frm_AK_Abgleich>(*window)] { delete w; });
        }
        (*window)->showFromMenu();
    });
    return *window;
}
