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
#include <QVBoxLayout>

#include <algorithm>

namespace kit {

namespace {

const char* const kScrollAreaName = "screenFitScrollArea";
// Set from a window's showing until its first move.
const char* const kPlacing = "screenFitPlacing";

// The program's windows; dialogs (message boxes, file dialogs) and menus
// size themselves.
bool isFormWindow(const QWidget* w)
{
    if (!w->isWindow() || w->inherits("QDialog") || w->inherits("QMenu"))
        return false;
    const Qt::WindowType type = w->windowType();
    return type == Qt::Window || type == Qt::Tool || type == Qt::Dialog;
}

QSize frameExtra(const QWidget* w)
{
    const QSize extra = w->frameGeometry().size() - w->geometry().size();
    // Before the window system has framed the window the two are equal.
    return extra.isEmpty() ? ScreenFit::AssumedFrame : extra;
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
    if (!screen)
        return false;
    const QRect available = screen->availableGeometry();
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
            window->setMinimumSize(0, 0);
            window->resize(wanted);
        }
        window->resize(window->size().boundedTo(room));
        changed = true;
    }

    // The whole frame on the screen.
    const QRect frame(window->pos(), window->size() + extra);
    QPoint pos = frame.topLeft();
    pos.setX(std::clamp(pos.x(), available.left(), std::max(available.left(), available.right() + 1 - frame.width())));
    pos.setY(std::clamp(pos.y(), available.top(), std::max(available.top(), available.bottom() + 1 - frame.height())));
    if (pos != frame.topLeft()) {
        window->move(pos);
        changed = true;
    }
    return changed;
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
