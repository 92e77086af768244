#include "ScreenFit.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace kit {

namespace {

const char* const kScrollAreaName = "screenFitScrollArea";
// Set from a window's showing until its first move.
const char* const kPlacing = "screenFitPlacing";
// Set once showInFront has placed the window.
const char* const kPlaced = "screenFitPlaced";
const char* const kBesidePlacer = "screenFitBesidePlacer";

// The program's windows; dialogs (message boxes, file dialogs) and menus
// size themselves.
bool isFormWindow(const QWidget* w)
{
    if (!w->isWindow() || w->inherits("QDialog") || w->inherits("QMenu"))
        return false;
    const Qt::WindowType type = w->windowType();
    return type == Qt::Window || type == Qt::Tool || type == Qt::Dialog;
}

QMargins ownFrame(const QWidget* w)
{
    const QRect outer = w->frameGeometry(), inner = w->geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

// The frame's margins around the window. Before the window system has framed
// it, they are taken as those of a framed window of the program (the window
// manager frames them alike), else as assumed.
QMargins frameMargins(const QWidget* w)
{
    if (const QMargins m = ownFrame(w); !m.isNull())
        return m;
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (other != w && other->isVisible())
            if (const QMargins m = ownFrame(other); !m.isNull())
                return m;
    const QSize assumed = ScreenFit::AssumedFrame;
    return {assumed.width() / 2, assumed.height() - assumed.width() / 2, assumed.width() / 2, assumed.width() / 2};
}

QSize frameExtra(const QWidget* w)
{
    const QMargins m = frameMargins(w);
    return {m.left() + m.right(), m.top() + m.bottom()};
}

// Where the window's frame is, or will be once the window system framed it
// around the window's inside.
QRect frameRect(const QWidget* w)
{
    if (!ownFrame(w).isNull())
        return {w->pos(), w->size() + frameExtra(w)};
    return w->geometry().marginsAdded(frameMargins(w));
}

// Where a frame of `size` at `pos` goes so that all of it lies in `available`.
QPoint onScreen(QPoint pos, QSize size, const QRect& available)
{
    pos.setX(std::clamp(pos.x(), available.left(), std::max(available.left(), available.right() + 1 - size.width())));
    pos.setY(std::clamp(pos.y(), available.top(), std::max(available.top(), available.bottom() + 1 - size.height())));
    return pos;
}

// Moves the window's content (its layout with the widgets it manages, and
// any widget placed by hand) into a scroll area that fills the window.
void wrapInScrollArea(QWidget* window)
{
    auto* content = new QWidget;
    content->setObjectName(window->objectName() + QStringLiteral("_content"));
    QLayout* layout = window->layout();
    QWidget* menuBar = layout ? layout->menuBar() : nullptr;
    const QSize placedSize = window->size();
    QList<QWidget*> placed;
    for (QObject* child : window->children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w && !w->isWindow() && w != menuBar)
            placed << w;
    }
    if (layout) {
        if (menuBar)
            layout->setMenuBar(nullptr);
        content->setLayout(layout);  // takes the widgets it manages along
    } else {
        content->setMinimumSize(placedSize);
    }
    for (QWidget* w : placed) {
        if (w->parentWidget() != window)
            continue;
        const QRect geometry = w->geometry();
        const bool hidden = w->isHidden();
        w->setParent(content);
        w->setGeometry(geometry);
        w->setHidden(hidden);
    }

    auto* area = new QScrollArea;
    area->setObjectName(QLatin1String(kScrollAreaName));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(content);
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    if (menuBar)
        outer->setMenuBar(menuBar);
    outer->addWidget(area);
    // Widgets added to a shown window stay hidden until shown.
    content->show();
    area->show();
}

// Gives the keyboard back to a window that disabled `over` when the window
// system makes `over` the active window (a click on the grey main window):
// the window that disabled it stays the one that takes keys.
class KeyboardKeeper final : public QObject
{
public:
    KeyboardKeeper(QWidget* window, QWidget* over) : QObject(window), m_window(window), m_over(over)
    {
        over->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_over && event->type() == QEvent::WindowActivate && keeps())
            // After the activation has ended: the window system sends it in parts.
            QTimer::singleShot(0, this, [this] {
                if (!keeps())
                    return;
                m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
                m_window->raise();
                m_window->activateWindow();
            });
        return false;
    }

private:
    bool keeps() const { return m_over && !m_over->isEnabled() && m_window->isVisible(); }

    QWidget* m_window;
    QPointer<QWidget> m_over;
};

// Places `window` beside `beside` now (see placeBeside).
void placeNow(QWidget* window, const QWidget* beside)
{
    const QScreen* screen = beside->screen();
    if (!screen)
        return;
    QRect area = screen->availableGeometry();
    if (const auto* main = qobject_cast<const QMainWindow*>(beside->window()))
        if (const QWidget* bar = main->menuWidget(); bar && bar->isVisible())
            area.setTop(std::max(area.top(), bar->mapToGlobal(QPoint(0, bar->height())).y()));
    ScreenFit::fitInto(window, area);
    const QRect next =
        beside->isWindow() ? beside->frameGeometry() : QRect(beside->mapToGlobal(QPoint(0, 0)), beside->size());
    const QSize frame = frameRect(window).size();
    // On the side with room for it, else on the side with more room.
    const int roomRight = area.right() - next.right(), roomLeft = next.left() - area.left();
    const bool right = roomRight >= frame.width() || roomRight >= roomLeft;
    const QPoint pos = onScreen({right ? next.right() + 1 : next.left() - frame.width(), next.top()}, frame, area);
    window->move(window->pos() + (pos - frameRect(window).topLeft()));
}

// Places a window beside another when it is next shown (once), when its
// size for showing is known and before the window system maps it.
class BesidePlacer final : public QObject
{
public:
    BesidePlacer(QWidget* window, QWidget* beside) : QObject(window), m_window(window), m_beside(beside)
    {
        // A placement asked for again replaces the one that waits.
        for (QObject* o : window->children())
            if (o->objectName() == QLatin1String(kBesidePlacer))
                o->deleteLater();
        setObjectName(QLatin1String(kBesidePlacer));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Show) {
            m_window->removeEventFilter(this);
            if (m_beside)
                placeNow(m_window, m_beside);
            deleteLater();
        }
        return false;
    }

private:
    QWidget* m_window;
    QPointer<QWidget> m_beside;
};

}  // namespace

ScreenFit::ScreenFit(QObject* parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

ScreenFit::~ScreenFit()
{
    qApp->removeEventFilter(this);
}

QWidget* ScreenFit::scrollArea(const QWidget* window)
{
    return window->findChild<QScrollArea*>(QLatin1String(kScrollAreaName), Qt::FindDirectChildrenOnly);
}

bool ScreenFit::fit(QWidget* window)
{
    const QScreen* screen = window->screen();
    return screen && fitInto(window, screen->availableGeometry());
}

bool ScreenFit::fitInto(QWidget* window, const QRect& available)
{
    const QSize extra = frameExtra(window);
    const QSize room = (available.size() - extra).expandedTo(QSize(1, 1));
    bool changed = false;

    if (window->width() > room.width() || window->height() > room.height()) {
        // What the window's layout (or fixed size) lets it shrink to.
        QSize least = window->minimumSize().expandedTo(window->minimumSizeHint());
        if (!window->layout())
            least = window->size();  // controls placed by hand
        // A main window keeps its own layout (menus, central area).
        if ((least.width() > room.width() || least.height() > room.height()) && !scrollArea(window) &&
            !window->inherits("QMainWindow")) {
            const QSize wanted = window->size();
            wrapInScrollArea(window);
            // It scrolls only where it must: the way that fits keeps its least
            // size, and room for the other way's scroll bar.
            const int bar = window->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
            const auto keep = [bar](int least, int room) { return least > room ? 0 : std::min(least + bar, room); };
            window->setMinimumSize(keep(least.width(), room.width()), keep(least.height(), room.height()));
            window->resize(wanted);
        }
        window->resize(window->size().boundedTo(room));
        changed = true;
    }

    // The whole frame on the screen. A window the program has not placed and
    // the window system has not framed yet goes where the window manager puts
    // it; it is checked when it arrives there.
    if (ownFrame(window).isNull() && !window->testAttribute(Qt::WA_Moved))
        return changed;
    const QRect frame = frameRect(window);
    const QPoint pos = onScreen(frame.topLeft(), frame.size(), available);
    if (pos != frame.topLeft()) {
        window->move(window->pos() + (pos - frame.topLeft()));
        changed = true;
    }
    return changed;
}

void showInFront(QWidget* window, const QWidget* over)
{
    // A window the program placed itself keeps its place.
    if (over && !window->property(kPlaced).toBool() && !window->testAttribute(Qt::WA_Moved)) {
        window->setProperty(kPlaced, true);
        const QSize frame = frameRect(window).size();
        QPoint pos = over->frameGeometry().center() - QPoint(frame.width() / 2, frame.height() / 2);
        if (const QScreen* screen = over->screen())
            pos = onScreen(pos, frame, screen->availableGeometry());
        window->move(window->pos() + (pos - frameRect(window).topLeft()));
    }
    window->show();
    window->raise();
    window->activateWindow();
}

void placeBeside(QWidget* window, QWidget* beside)
{
    new BesidePlacer(window, beside);
}

void keepInFrontOf(QWidget* window, QWidget* over)
{
    // Window systems keep only dialogs and tool windows in front of another.
    window->setWindowFlags((window->windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
    window->winId();
    over->winId();
    if (window->windowHandle() && over->windowHandle())
        window->windowHandle()->setTransientParent(over->windowHandle());
    new KeyboardKeeper(window, over);
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event)
{
    // Checked when shown, when a shown window is resized, and when the window
    // system places it after showing (later moves are the operator's).
    const QEvent::Type type = event->type();
    if ((type != QEvent::Show && type != QEvent::Resize && type != QEvent::Move) || m_fitting ||
        !watched->isWidgetType())
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (!isFormWindow(w))
        return false;
    bool due = type == QEvent::Show || (type == QEvent::Resize && w->isVisible());
    if (type == QEvent::Show) {
        w->setProperty(kPlacing, true);
    } else if (type == QEvent::Move && w->property(kPlacing).toBool()) {
        w->setProperty(kPlacing, false);
        due = true;
    }
    if (due) {
        m_fitting = true;
        fit(w);
        m_fitting = false;
    }
    return false;
}

}  // namespace kit
