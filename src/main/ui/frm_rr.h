#pragma once
// The register read-out: sends "[1ra]" to the unit selected last and shows
// the 78 register bytes of the reply, one row per register.

#include <QList>
#include <QWidget>

class BusTransport;
class QLabel;
class QPushButton;

class frm_rr final : public QWidget
{
    Q_OBJECT
public:
    explicit frm_rr(BusTransport& bus, QWidget* parent = nullptr);

    QPushButton* cmd_rr = nullptr;
    QList<QLabel*> lb_registerwert;  // 0..77
    QList<QLabel*> lb_register;      // 0..77

    void cmd_rr_Click();

private:
    BusTransport& m_bus;
};
