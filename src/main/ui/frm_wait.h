#pragma once
// The progress window shown while the axis search probes the addresses.

#include <QWidget>

class QLabel;
class QProgressBar;

class frm_wait final : public QWidget
{
    Q_OBJECT
public:
    explicit frm_wait(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QProgressBar* pb_ladeleiste = nullptr;
};
