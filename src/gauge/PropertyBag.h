#pragma once
// A property bag over a plain map: how a window design keeps a control's
// stored properties, and what tests inspect.

#include "LevelonComponent.h"

#include <QVariantMap>

namespace levelon {

class MapPropertyBag final : public IPropertyBag
{
public:
    MapPropertyBag() = default;
    explicit MapPropertyBag(QVariantMap values) : m_values(std::move(values)) {}

    int readProperty(const QString& name, const QVariant& defaultValue, QVariant& value) override;
    // A value equal to its default is not kept, so a saved design holds only
    // what differs from the defaults.
    int writeProperty(const QString& name, const QVariant& value, const QVariant& defaultValue) override;

    const QVariantMap& values() const { return m_values; }

private:
    QVariantMap m_values;
};

}  // namespace levelon
