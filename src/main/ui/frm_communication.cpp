#include "frm_communication.h"

#include "CommLog.h"

#include <QCheckBox>
#include <QListView>
#include <QVBoxLayout>

frm_communication::frm_communication(CommLog& log, QWidget* parent) : QWidget(parent, Qt::Window), m_log(log)
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
