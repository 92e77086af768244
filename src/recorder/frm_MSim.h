#pragma once
// The stage simulator window over StageSimCore: the field picture with its
// grid, crosshair and spot, the scale labels, the speed bars and the
// measuring toggles. The fast measurement runs as a chain of rounds from the
// window's own zero-interval timer, so the stop click and every other event
// are handled between rounds. Closing hides the window (a single instance)
// after the core's unload has stopped any measurement.

#include "Form.h"
#include "StageSimCore.h"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace Ui {
class frm_MSim;
}

class frm_MSim final : public QWidget
{
public:
    explicit frm_MSim(StageSimEnv env, QWidget* parent = nullptr);
    ~frm_MSim() override;

    StageSimCore& core() { return m_core; }
    void render();
    // The field picture, for a look at what it shows.
    QWidget* pb_gitter() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void bindBar(const QString& name, int axis);
    void paintGrid();

    StageSimCore m_core;
    std::unique_ptr<Ui::frm_MSim> m_ui;
    kit::Form m_form;
    QWidget* m_spot = nullptr;
    QTimer m_fast;
    QList<QLineF> m_shownGrid;
};
