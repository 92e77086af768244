#include "CommLog.h"
#include "Protocol.h"

int CommLog::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant CommLog::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size() || role != Qt::DisplayRole)
        return {};
    return m_lines.at(index.row());
}

void CommLog::logExchange(const QString& command, const QString& result, const QString& activeUnit)
{
    if (m_filter) {
        // Position polls, the M1 poll and index-search polls would drown the
        // rest; the filtered view leaves them out.
        if (command.startsWith(QLatin1String("[1IA")) || command == protocol::Position ||
            command == QLatin1String("[0M1]"))
            return;
        insertLine(activeUnit + QLatin1Char(' ') + command + QLatin1String("-->") + result);
    } else {
        insertLine(command + QLatin1String("-->") + result);
    }
}

void CommLog::insertLine(const QString& line)
{
    beginInsertRows(QModelIndex(), 0, 0);
    m_lines.prepend(line.left(MaxLineLength));
    endInsertRows();
    if (m_lines.size() > MaxLines) {
        beginRemoveRows(QModelIndex(), MaxLines, int(m_lines.size()) - 1);
        m_lines.erase(m_lines.begin() + MaxLines, m_lines.end());
        endRemoveRows();
    }
}

void CommLog::clear()
{
    beginResetModel();
    m_lines.clear();
    endResetModel();
}
