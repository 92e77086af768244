#include "PropertyBag.h"

namespace levelon {

int MapPropertyBag::readProperty(const QString& name, const QVariant& defaultValue, QVariant& value)
{
    const auto it = m_values.constFind(name);
    value = it == m_values.constEnd() ? defaultValue : *it;
    return NoError;
}

int MapPropertyBag::writeProperty(const QString& name, const QVariant& value, const QVariant& defaultValue)
{
    if (value == defaultValue)
        m_values.remove(name);
    else
        m_values.insert(name, value);
    return NoError;
}

}  // namespace levelon
