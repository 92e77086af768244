#include "frm_meldung.h"

#include "ServiceWindows.h"
#include "Fensterpostfach.h"
#include "Protocol.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

frm_meldung::frm_meldung(Fensterpostfach& mailbox, QWidget* parent) : QWidget(parent, Qt::Window), m_mailbox(mailbox)
{
    setObjectName(QStringLiteral("frm_meldung"));
    setWindowTitle(QStringLiteral("Fehler!!"));
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    const QStringList captions{QStringLiteral("Weiter"), protocol::Stop, QStringLiteral("Fkt. - Abbruch")};
    for (int i = 0; i < captions.size(); ++i) {
        auto* b = new QPushButton(captions.at(i), this);
        b->setObjectName(QStringLiteral("Command1(%1)").arg(i));
        connect(b, &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
        buttons->addWidget(b);
        Command1 << b;
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(buttons);
}

void frm_meldung::laden(const QString& Befehl, const QString& antwort)
{
    Label1->setText(Fehlermeldung::commandPair(Befehl, antwort));
    rueckgabe = antwort;
}

void frm_meldung::Command1_Click(int index)
{
    if (index == 1) {
        // Stops the current axis through its mailbox; with no control center
        // open there is nobody to stop.
        if (IControlCenter* c = m_mailbox.currentControlCenter()) {
            c->Befehl_senden = protocol::Stop;
            c->flagsenden = 1;
        }
    } else if (index == 2) {
        rueckgabe = Fehlermeldung::Abbruch;
    }
    hide();
}
