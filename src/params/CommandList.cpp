#include "CommandList.h"

CommandList::CommandList(int size, QObject* parent) : QObject(parent)
{
    for (int i = 0; i < size; ++i)
        m_entries << QString();
}

bool CommandList::arraybefehle_let(int i, const QString& wert)
{
    if (!valid(i))
        return false;
    if (m_entries.at(i) != wert) {
        m_entries[i] = wert;
        emit changed(i);
    }
    return true;
}
