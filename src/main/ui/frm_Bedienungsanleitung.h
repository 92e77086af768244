#pragma once
// The operating-manual window. It has no content of its own; closing it gives
// the focus back to the main window.

#include <QWidget>

class frm_Bedienungsanleitung final : public QWidget
{
    Q_OBJECT
public:
    explicit frm_Bedienungsanleitung(QWidget* mainWindow);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* m_mainWindow;
};
