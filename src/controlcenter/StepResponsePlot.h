#pragma once
// The step-response picture: a white area in picture coordinates (twips)
// with a persistent drawing layer that keeps every curve drawn into it until
// it is cleared, and the design lines (time axis, +100 %, zero and -100 %
// speed, time and speed grid) drawn over it on every paint.

#include "ControlLoopCore.h"

#include <QImage>
#include <QWidget>

class StepResponsePlot final : public QWidget
{
public:
    // Size of the picture in twips.
    static constexpr int WidthTwips = 6200;
    static constexpr int HeightTwips = 5600;

    explicit StepResponsePlot(QWidget* parent = nullptr);

    // Draws into the persistent layer.
    void zeichnen(const ControlLoopCore::PlotLine& segment);
    void clearPlot();
    const QImage& layer() const { return m_layer; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_layer;
};
