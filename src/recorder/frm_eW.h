#pragma once
// The servo-loop recorder window over RecorderCore: the viewport onto the
// wide graph (with the position marker, the limit lines and the fixed centre
// line), the pan bar, the five vertical gauges made through the gauge host,
// the channel boxes, read-outs, number fields and point labels. Loop mode
// runs as a chain of rounds from the window's zero-interval timer. Closing
// hides the window (a single instance) after the core's unload stopped any
// run.

#include "Form.h"
#include "GaugeHost.h"
#include "RecorderCore.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class frm_eW;
}

class frm_eW final : public QWidget
{
public:
    // `windowWidth`: the window's width in pixels (0.9 × the screen's).
    frm_eW(RecorderEnv env, GaugeHost& gauges, int windowWidth, QWidget* parent = nullptr);
    ~frm_eW() override;

    RecorderCore& core() { return m_core; }
    void render();
    QList<HostedGauge> gauges() const { return m_gauges; }
    QWidget* pb_behaelter() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void bind();
    void paintGraph();
    void showSpecial();

    RecorderCore m_core;
    std::unique_ptr<Ui::frm_eW> m_ui;
    kit::Form m_form;
    QList<HostedGauge> m_gauges;
    std::array<RecorderCore::GaugeRange, RecorderCore::GaugeCount> m_shownGauges;
    std::array<QWidget*, RecorderCore::NumPoints> m_pointLabels{};
    QTimer m_looping;
    QPoint m_grab;
    int m_width;
};
