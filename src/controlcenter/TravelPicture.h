#pragma once
// The control center's travel picture: the carriage and the two
// software-limit marks of a core, drawn at the core's pixel positions. The
// form places it as a promoted widget; the window hands it its core.

#include <QWidget>

#include <functional>

class ControlCenterCore;

class TravelPicture final : public QWidget
{
public:
    explicit TravelPicture(QWidget* parent = nullptr);
    void setCore(const ControlCenterCore* core) { m_core = core; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    const ControlCenterCore* m_core = nullptr;
};
