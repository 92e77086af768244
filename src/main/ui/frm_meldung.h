#pragma once
// The command error dialog: names the command and the error reply, and lets
// the operator go on, stop the current axis ("[1BR]") or abort the function.

#include <QList>
#include <QString>
#include <QWidget>

class Fensterpostfach;
class QLabel;
class QPushButton;

class frm_meldung final : public QWidget
{
    Q_OBJECT
public:
    explicit frm_meldung(Fensterpostfach& mailbox, QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QList<QPushButton*> Command1;  // 0 "Weiter", 1 "[1BR]", 2 "Fkt. - Abbruch"
    // The dialog's answer: the error reply, or "888" after "Fkt. - Abbruch".
    QString rueckgabe;

    void laden(const QString& Befehl, const QString& antwort);
    void Command1_Click(int index);

private:
    Fensterpostfach& m_mailbox;
};
