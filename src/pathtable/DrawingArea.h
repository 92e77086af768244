#pragma once
// The path table's drawing box (`pb_Zeichnung`): paints the axis cross with
// its quarter marks and the core's drawing (path lines, position dots), and
// hands mouse presses, moves and releases and key releases on to the window
// in twips of the box. The form places it as a promoted widget.

#include <QWidget>

#include <functional>

class TablettCore;

class DrawingArea final : public QWidget
{
public:
    explicit DrawingArea(QWidget* parent = nullptr);
    void setCore(const TablettCore* core) { m_core = core; }

    // Mouse buttons 1 = left, 2 = right; positions in twips.
    std::function<void(int button, double x, double y)> mouseDown = [](int, double, double) {};
    std::function<void(double x, double y)> mouseMove = [](double, double) {};
    std::function<void(int button)> mouseUp = [](int) {};
    std::function<void(int keyCode)> keyUp = [](int) {};
    std::function<void()> resized = [] {};

    // The key code of a released key: F1 112, F2 113, Esc 27, letters their
    // upper-case code; 0 for a key without one.
    static int keyCode(int qtKey);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    const TablettCore* m_core = nullptr;
};
