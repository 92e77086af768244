#include "GaugeModel.h"

#include <limits>

namespace levelon {

namespace {

struct DispEntry
{
    qint32 id;
    GaugeProperty property;
};

// Dispatch ids follow the member order of each class, which differs.
constexpr DispEntry kHorizontalIds[] = {
    {0x6803000C, GaugeProperty::Value},      {0x6803000B, GaugeProperty::Min},
    {0x6803000A, GaugeProperty::Max},        {-504, GaugeProperty::BorderStyle},
    {0x68030009, GaugeProperty::MouseIcon},  {0x68030008, GaugeProperty::MousePointer},
    {0x68030007, GaugeProperty::BackColor},  {0x68030006, GaugeProperty::NegColor},
    {0x68030005, GaugeProperty::PosColor},   {0x68030004, GaugeProperty::Picture},
    {0x68030003, GaugeProperty::TopSpace},   {0x68030002, GaugeProperty::BottomSpace},
    {0x68030001, GaugeProperty::RightSpace}, {0x68030000, GaugeProperty::LeftSpace},
};

constexpr DispEntry kVerticalIds[] = {
    {0x6803000C, GaugeProperty::BottomSpace},  {0x6803000B, GaugeProperty::LeftSpace},
    {0x6803000A, GaugeProperty::Picture},      {0x68030009, GaugeProperty::RightSpace},
    {0x68030008, GaugeProperty::TopSpace},     {0x68030007, GaugeProperty::Value},
    {0x68030006, GaugeProperty::Min},          {0x68030005, GaugeProperty::Max},
    {-504, GaugeProperty::BorderStyle},        {0x68030004, GaugeProperty::MouseIcon},
    {0x68030003, GaugeProperty::MousePointer}, {0x68030002, GaugeProperty::BackColor},
    {0x68030001, GaugeProperty::NegColor},     {0x68030000, GaugeProperty::PosColor},
};

// Defaults of the stored properties. BorderStyle is stored against 0 although
// a new control starts with 1: a flat border is never stored, a sunken one
// always is.
constexpr qint32 kStoredMin = -100;
constexpr qint32 kStoredMax = 100;
constexpr qint32 kStoredBorderStyle = bsFlat;
constexpr qint32 kStoredBackColor = kButtonFace;
constexpr qint32 kStoredNegColor = 0xFF0000;
constexpr qint32 kStoredPosColor = 0xFF;

// A whole number from a variant. Colours are also accepted in their unsigned
// spelling (2147483663 for &H8000000F).
int toInt32(const QVariant& v, qint32& out, bool unsignedAllowed = false)
{
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok)
        return ErrTypeMismatch;
    const qlonglong high = unsignedAllowed ? qlonglong(std::numeric_limits<quint32>::max())
                                           : qlonglong(std::numeric_limits<qint32>::max());
    if (n < std::numeric_limits<qint32>::min() || n > high)
        return ErrOverflow;
    out = qint32(quint32(n));
    return NoError;
}

int toInt16(const QVariant& v, qint16& out)
{
    qint32 n = 0;
    if (const int err = toInt32(v, n))
        return err;
    if (n < std::numeric_limits<qint16>::min() || n > std::numeric_limits<qint16>::max())
        return ErrOverflow;
    out = qint16(n);
    return NoError;
}

bool isColor(GaugeProperty p)
{
    return p == GaugeProperty::BackColor || p == GaugeProperty::NegColor || p == GaugeProperty::PosColor;
}

}  // namespace

GaugeModel::GaugeModel(GaugeKind kind, GaugeSite& site) : m_kind(kind), m_site(site) {}

void GaugeModel::initProperties()
{
    m_state = GaugeState{};
}

void GaugeModel::putInt(qint32& field, qint32 value, const char* name)
{
    field = value;
    m_site.reportChanged(QString::fromLatin1(name));
    m_site.repaintNow();
}

int GaugeModel::setPicture(const GaugePicture& picture)
{
    if (picture.type != PictureType::None && picture.type != PictureType::Bitmap)
        return ErrInvalidPropertyValue;
    m_state.picture = picture;
    m_site.reportChanged(QStringLiteral("Picture"));
    m_site.repaintNow();
    return NoError;
}

int GaugeModel::setMouseIcon(const GaugePicture& icon)
{
    if (icon.type != PictureType::None && icon.type != PictureType::Icon)
        return ErrInvalidPropertyValue;
    m_site.setSurfaceMouseIcon(icon);
    m_site.reportChanged(QStringLiteral("MouseIcon"));
    return NoError;
}

void GaugeModel::setMousePointer(qint16 pointer)
{
    m_site.setSurfaceMousePointer(pointer);
    m_site.reportChanged(QStringLiteral("MousePointer"));
}

int GaugeModel::put(GaugeProperty property, const QVariant& value)
{
    if (property == GaugeProperty::Picture || property == GaugeProperty::MouseIcon) {
        GaugePicture picture;
        if (const int err = pictureFromVariant(value, picture))
            return err;
        return property == GaugeProperty::Picture ? setPicture(picture) : setMouseIcon(picture);
    }
    if (property == GaugeProperty::MousePointer) {
        qint16 pointer = 0;
        if (const int err = toInt16(value, pointer))
            return err;
        setMousePointer(pointer);
        return NoError;
    }
    qint32 n = 0;
    if (const int err = toInt32(value, n, isColor(property)))
        return err;
    switch (property) {
    case GaugeProperty::Value: setValue(n); break;
    case GaugeProperty::Min: setMin(n); break;
    case GaugeProperty::Max: setMax(n); break;
    case GaugeProperty::BorderStyle: setBorderStyle(n); break;
    case GaugeProperty::LeftSpace: setLeftSpace(n); break;
    case GaugeProperty::RightSpace: setRightSpace(n); break;
    case GaugeProperty::TopSpace: setTopSpace(n); break;
    case GaugeProperty::BottomSpace: setBottomSpace(n); break;
    case GaugeProperty::BackColor: setBackColor(n); break;
    case GaugeProperty::NegColor: setNegColor(n); break;
    case GaugeProperty::PosColor: setPosColor(n); break;
    default: return ErrNoSuchMember;
    }
    return NoError;
}

int GaugeModel::get(GaugeProperty property, QVariant& value) const
{
    switch (property) {
    case GaugeProperty::Value: value = m_state.value; break;
    case GaugeProperty::Min: value = m_state.min; break;
    case GaugeProperty::Max: value = m_state.max; break;
    case GaugeProperty::BorderStyle: value = m_state.borderStyle; break;
    case GaugeProperty::LeftSpace: value = m_state.leftSpace; break;
    case GaugeProperty::RightSpace: value = m_state.rightSpace; break;
    case GaugeProperty::TopSpace: value = m_state.topSpace; break;
    case GaugeProperty::BottomSpace: value = m_state.bottomSpace; break;
    case GaugeProperty::BackColor: value = m_state.backColor; break;
    case GaugeProperty::NegColor: value = m_state.negColor; break;
    case GaugeProperty::PosColor: value = m_state.posColor; break;
    case GaugeProperty::Picture: value = pictureToVariant(m_state.picture); break;
    case GaugeProperty::MouseIcon: value = pictureToVariant(m_site.surfaceMouseIcon()); break;
    case GaugeProperty::MousePointer: value = m_site.surfaceMousePointer(); break;
    }
    return NoError;
}

bool GaugeModel::propertyForId(GaugeKind kind, qint32 dispId, GaugeProperty& property)
{
    const auto find = [&](const auto& table) {
        for (const DispEntry& e : table) {
            if (e.id == dispId) {
                property = e.property;
                return true;
            }
        }
        return false;
    };
    return kind == GaugeKind::Horizontal ? find(kHorizontalIds) : find(kVerticalIds);
}

qint32 GaugeModel::idForProperty(GaugeKind kind, GaugeProperty property)
{
    const auto find = [&](const auto& table) {
        for (const DispEntry& e : table) {
            if (e.property == property)
                return e.id;
        }
        return qint32(0);
    };
    return kind == GaugeKind::Horizontal ? find(kHorizontalIds) : find(kVerticalIds);
}

int GaugeModel::putById(qint32 dispId, const QVariant& value)
{
    GaugeProperty property;
    if (!propertyForId(m_kind, dispId, property))
        return ErrNoSuchMember;
    return put(property, value);
}

int GaugeModel::getById(qint32 dispId, QVariant& value) const
{
    GaugeProperty property;
    if (!propertyForId(m_kind, dispId, property))
        return ErrNoSuchMember;
    return get(property, value);
}

int GaugeModel::readProperties(IPropertyBag& bag)
{
    const auto readInt = [&bag](const char* key, qint32 def, qint32& field, bool color = false) {
        QVariant v;
        if (const int err = bag.readProperty(QString::fromLatin1(key), def, v))
            return err;
        return toInt32(v, field, color);
    };
    int err = NoError;
    if ((err = readInt("Min", kStoredMin, m_state.min)) || (err = readInt("Max", kStoredMax, m_state.max)) ||
        (err = readInt("BorderStyle", kStoredBorderStyle, m_state.borderStyle)) ||
        (err = readInt("LeftSpace", 0, m_state.leftSpace)) || (err = readInt("RightSpace", 0, m_state.rightSpace)) ||
        (err = readInt("TopSpace", 0, m_state.topSpace)) || (err = readInt("BottomSpace", 0, m_state.bottomSpace)) ||
        (err = readInt("BackColor", kStoredBackColor, m_state.backColor, true)) ||
        (err = readInt("NegColor", kStoredNegColor, m_state.negColor, true)) ||
        (err = readInt("PosColor", kStoredPosColor, m_state.posColor, true)))
        return err;

    // The picture is taken as stored, without the bitmap check of the put.
    QVariant v;
    if ((err = bag.readProperty(QStringLiteral("Picture"), QVariant(), v)))
        return err;
    GaugePicture picture;
    if ((err = pictureFromVariant(v, picture)))
        return err;
    m_state.picture = picture;

    // The mouse icon goes through its put, so a stored non-icon fails here.
    if ((err = bag.readProperty(QStringLiteral("MouseIcon"), QVariant(), v)))
        return err;
    GaugePicture icon;
    if ((err = pictureFromVariant(v, icon)))
        return err;
    if (icon.type != PictureType::None && icon.type != PictureType::Icon)
        return ErrInvalidPropertyValue;
    m_site.setSurfaceMouseIcon(icon);

    if ((err = bag.readProperty(QStringLiteral("MousePointer"), 0, v)))
        return err;
    qint16 pointer = 0;
    if ((err = toInt16(v, pointer)))
        return err;
    m_site.setSurfaceMousePointer(pointer);
    return NoError;
}

int GaugeModel::writeProperties(IPropertyBag& bag) const
{
    const auto pictureValue = [](const GaugePicture& p) { return p.isNone() ? QVariant() : QVariant(p.toBytes()); };
    const struct
    {
        const char* key;
        QVariant value;
        QVariant def;
    } items[] = {
        {"Min", m_state.min, kStoredMin},
        {"Max", m_state.max, kStoredMax},
        {"BorderStyle", m_state.borderStyle, kStoredBorderStyle},
        {"TopSpace", m_state.topSpace, 0},
        {"BottomSpace", m_state.bottomSpace, 0},
        {"LeftSpace", m_state.leftSpace, 0},
        {"RightSpace", m_state.rightSpace, 0},
        {"BackColor", m_state.backColor, kStoredBackColor},
        {"NegColor", m_state.negColor, kStoredNegColor},
        {"PosColor", m_state.posColor, kStoredPosColor},
        {"Picture", pictureValue(m_state.picture), QVariant()},
        {"MouseIcon", pictureValue(m_site.surfaceMouseIcon()), QVariant()},
        {"MousePointer", qint32(m_site.surfaceMousePointer()), 0},
    };
    for (const auto& item : items) {
        if (const int err = bag.writeProperty(QString::fromLatin1(item.key), item.value, item.def))
            return err;
    }
    return NoError;
}

}  // namespace levelon
