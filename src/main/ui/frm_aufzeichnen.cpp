#include "frm_aufzeichnen.h"

#include "ServiceWindows.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frm_aufzeichnen::frm_aufzeichnen(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frm_aufzeichnen"));
    setWindowTitle(QStringLiteral("Aufzeichnung"));
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setPlainText(Aufzeichnung::StartText);
    Command1 = new QPushButton(QStringLiteral("clear"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text1);
    layout->addWidget(Command1);
    resize(480, 360);
    connect(Command1, &QPushButton::clicked, this, &frm_aufzeichnen::Command1_Click);
}

QString frm_aufzeichnen::schreibe(const QString& empf, const QString& zeile)
{
    const auto line = Aufzeichnung::zeile(empf, zeile);
    if (!line)
        return {};
    m_text += *line;
    Text1->setPlainText(m_text);
    return {};
}

void frm_aufzeichnen::Command1_Click()
{
    m_text.clear();
    Text1->clear();
}
