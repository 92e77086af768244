#pragma once
// An initialisation command list: the texts the operator sends one by one to
// a unit (30 for axis controllers, 13 for probe boards). The list lives here
// whether its window is open or not; the configuration file reads and writes
// it, and the window shows and edits it.

#include <QObject>
#include <QString>
#include <QStringList>

class CommandList final : public QObject
{
    Q_OBJECT
public:
    static constexpr int ControlCenterSize = 30;  // list of the control centers
    static constexpr int ProbeSize = 13;          // list of the probe boards

    explicit CommandList(int size, QObject* parent = nullptr);

    int size() const { return int(m_entries.size()); }
    bool valid(int i) const { return i >= 0 && i < m_entries.size(); }

    // Entry i; the empty text for an index outside the list.
    QString arraybefehle_get(int i) const { return valid(i) ? m_entries.at(i) : QString(); }
    // Sets entry i; false (and nothing changed) for an index outside the list.
    bool arraybefehle_let(int i, const QString& wert);
    // The editor's entry point for a changed box: the same as arraybefehle_let.
    bool befehleaktualisieren(int Index, const QString& Befehl) { return arraybefehle_let(Index, Befehl); }

    const QStringList& entries() const { return m_entries; }

signals:
    void changed(int index);

private:
    QStringList m_entries;
};
