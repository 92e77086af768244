#include "frm_wait.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

frm_wait::frm_wait(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frm_wait"));
    setWindowTitle(QStringLiteral("Warten"));
    Label1 = new QLabel(QStringLiteral("Bitte warten!"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    pb_ladeleiste = new QProgressBar(this);
    pb_ladeleiste->setObjectName(QStringLiteral("pb_ladeleiste"));
    pb_ladeleiste->setRange(0, 30);
    pb_ladeleiste->setValue(0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(pb_ladeleiste);
}
