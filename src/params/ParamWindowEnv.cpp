#include "ParamWindowEnv.h"

#include "BusTransport.h"

#include <QLocale>

#include <cmath>

bool readNumber(const QString& text, bool usesComma, double& value)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.contains(usesComma ? QLatin1Char('.') : QLatin1Char(',')))
        return false;
    QString c = t;
    if (usesComma)
        c.replace(QLatin1Char(','), QLatin1Char('.'));
    for (const QChar ch : c)
        if (!(ch.isDigit() || ch == QLatin1Char('.') || ch == QLatin1Char('+') || ch == QLatin1Char('-')))
            return false;
    bool ok = false;
    const double v = QLocale::c().toDouble(c, &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

QString numberText(double value, bool usesComma)
{
    QString t = QString::number(value, 'g', 15);
    if (usesComma)
        t.replace(QLatin1Char('.'), QLatin1Char(','));
    return t;
}

QString ParamWindowEnv::senden(const QString& command, double timeout, protocol::Rejection mode) const
{
    const QString reply = bus->senden_empfangen(command, timeout, mode);
    return reply.isEmpty() ? keine_Antwort : reply;
}

bool ParamWindowEnv::followControlCenter(kit::ListControl& list) const
{
    const int cc = controlCenterIndex();
    if (cc < 0)
        return false;
    list.listIndex = cc;
    return true;
}
