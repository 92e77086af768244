#pragma once
// The recording window: the sequence runner appends one line per recorded
// reply; "clear" empties it.

#include <QString>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

class frm_aufzeichnen final : public QWidget
{
    Q_OBJECT
public:
    explicit frm_aufzeichnen(QWidget* parent = nullptr);

    QPlainTextEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;

    // Appends the line for reply `empf` labelled `zeile`; returns the empty
    // text. A reply too short to hold a frame leaves the window as it was.
    QString schreibe(const QString& empf, const QString& zeile);
    void Command1_Click();

    QString recorded() const { return m_text; }

private:
    QString m_text;
};
