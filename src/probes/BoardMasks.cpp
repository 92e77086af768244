#include "BoardMasks.h"

#include <QRegularExpression>

void BoardMasks::reported(const QString& address, const QString& flags)
{
    if (!address.isEmpty())
        m_masks.insert(address, flags);
}

void BoardMasks::exchanged(const QString& address, const QString& command, const QString& reply)
{
    static const QRegularExpression maskWrite(QStringLiteral("^\\[0K1([01]+)\\]$"));
    const QRegularExpressionMatch written = maskWrite.match(command);
    if (address.isEmpty() || !written.hasMatch() || !reply.startsWith(QStringLiteral("[0K1!")))
        return;
    QString& mask = m_masks[address];
    mask = written.captured(1) + mask.mid(written.capturedLength(1));
}
