#include "frm_rr.h"

#include "BusTransport.h"
#include "Protocol.h"
#include "ServiceWindows.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

frm_rr::frm_rr(BusTransport& bus, QWidget* parent) : QWidget(parent, Qt::Window), m_bus(bus)
{
    setObjectName(QStringLiteral("frm_rr"));
    setWindowTitle(QStringLiteral("[1ra]"));
    cmd_rr = new QPushButton(QStringLiteral("[1ra]"), this);
    cmd_rr->setObjectName(QStringLiteral("cmd_rr"));

    auto* rows = new QWidget;
    auto* grid = new QGridLayout(rows);
    grid->setVerticalSpacing(0);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int i = 0; i < RegisterReadout::RowCount; ++i) {
        auto* name = new QLabel(RegisterReadout::caption(i), rows);
        name->setObjectName(QStringLiteral("lb_register(%1)").arg(i));
        name->setFont(fixed);
        auto* value = new QLabel(rows);
        value->setObjectName(QStringLiteral("lb_registerwert(%1)").arg(i));
        value->setFont(fixed);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("WWW")));
        grid->addWidget(value, i, 0);
        grid->addWidget(name, i, 1);
        lb_registerwert << value;
        lb_register << name;
    }
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(rows);
    scroll->setWidgetResizable(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(cmd_rr);
    layout->addWidget(scroll);
    resize(460, 640);
    connect(cmd_rr, &QPushButton::clicked, this, &frm_rr::cmd_rr_Click);
}

void frm_rr::cmd_rr_Click()
{
    cmd_rr->setEnabled(false);
    // Goes to the unit selected last: normally the current control center's,
    // which the main loop selects on every tick.
    const QString reply = m_bus.senden_empfangen(RegisterReadout::Command, RegisterReadout::timeout(m_bus.baudText),
                                                 protocol::Rejection::Show);
    const QStringList registerValues = RegisterReadout::registerValues(reply);
    for (int i = 0; i < lb_registerwert.size(); ++i)
        lb_registerwert[i]->setText(registerValues.value(i));
    cmd_rr->setEnabled(true);
}
