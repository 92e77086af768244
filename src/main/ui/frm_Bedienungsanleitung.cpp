#include "frm_Bedienungsanleitung.h"

#include <QCloseEvent>

frm_Bedienungsanleitung::frm_Bedienungsanleitung(QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("frm_Bedienungsanleitung"));
    setWindowTitle(QStringLiteral("Bedienungsanleitung"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(480, 360);
}

void frm_Bedienungsanleitung::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_mainWindow)
        m_mainWindow->activateWindow();
}
