#pragma once
// Keeps every window of the program within reach on a small screen. Once
// installed (the main window does it), each top-level window is checked when
// it is shown, placed or resized: one larger than the available area of its
// screen is made smaller where its layout allows that; otherwise its content
// goes into a scroll area (a menu bar stays on top) and the window is sized to
// fit. Its whole frame is kept on the screen. A window that fits is left as
// it is. The MDI area scrolls to its children by itself (see frm_main).

#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

namespace kit {

class ScreenFit final : public QObject
{
public:
    // Watches the windows of the whole application while it lives.
    explicit ScreenFit(QObject* parent = nullptr);
    ~ScreenFit() override;

    // Room a window frame takes when the window system has not said yet.
    static constexpr QSize AssumedFrame{8, 32};

    // Fits `window` into the available area of its screen now. Returns true
    // when the window was changed.
    static bool fit(QWidget* window);
    // The same within `available`, a part of the screen.
    static bool fitInto(QWidget* window, const QRect& available);
    // The scroll area `fit` put the window's content into, or null.
    static QWidget* scrollArea(const QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_fitting = false;
};

// Shows a window the operator asked for: the first time, unless the program
// placed it, over the middle of `over` (its whole frame on the screen); then
// in front and active, so that keys go to it at once.
void showInFront(QWidget* window, const QWidget* over);

// Places a window another one opens beside that one (`beside`, a window or a
// widget inside one) when it is next shown: to its right, else to its left,
// level with its top, and below the menu bar of the main window `beside` lies
// in, which holds the menus that act on the window. The window is made to fit
// there as `fit` makes it fit the screen; its whole frame stays on the screen.
void placeBeside(QWidget* window, QWidget* beside);

// Keeps a window that has no parent (it must not be disabled with `over`) in
// front of `over`, as the window manager keeps a window's dialogs: a click on
// a disabled main window must not hide the window that disabled it, nor take
// its keyboard: while `over` is disabled, its activation activates `window`.
void keepInFrontOf(QWidget* window, QWidget* over);

}  // namespace kit
