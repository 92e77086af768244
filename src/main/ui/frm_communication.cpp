#include "frm_communication.h"

#include "CommLog.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QListView>
#include <QScreen>
#include <QVBoxLayout>

// A tool window of the main window: it stays in front of it while the
// operator works in the other windows.
frm_communication::frm_communication(CommLog& log, QWidget* parent) : QWidget(parent, Qt::Tool), m_log(log)
{
    setObjectName(QStringLiteral("frm_communication"));
    setWindowTitle(QStringLiteral("Communication"));
    cb_an_aus = new QCheckBox(QStringLiteral("Check1"), this);
    cb_an_aus->setObjectName(QStringLiteral("cb_an_aus"));
    cb_an_aus->setChecked(m_log.filter());
    lbox_comm = new QListView(this);
    lbox_comm->setObjectName(QStringLiteral("lbox_comm"));
    lbox_comm->setModel(&m_log);
    lbox_comm->setUniformItemSizes(true);
    lbox_comm->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(cb_an_aus);
    layout->addWidget(lbox_comm);
    resize(420, 520);
    connect(cb_an_aus, &QCheckBox::toggled, this, &frm_communication::cb_an_aus_Click);
}

void frm_communication::cb_an_aus_Click()
{
    m_log.setFilter(cb_an_aus->isChecked());
}

void frm_communication::placeTopRight(const QWidget* framedLike)
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return;
    // Placed by its inside, which the window manager keeps where it is asked
    // to be, with the frame's margins around it.
    const bool framed = frameGeometry() != geometry();
    const QWidget* like = framed || !framedLike ? static_cast<const QWidget*>(this) : framedLike;
    const QRect outer = like->frameGeometry(), inner = like->geometry();
    const int top = inner.top() - outer.top(), right = outer.right() - inner.right();
    setGeometry(QRect(QPoint(s->geometry().right() + 1 - right - width(), s->geometry().top() + top), size()));
}
