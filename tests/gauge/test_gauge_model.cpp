// Properties of the gauge controls: change reports and repaints, picture
// checks, dispatch ids, and saving to and restoring from a property bag.

#include "GaugeModel.h"
#include "GaugePainter.h"
#include "PropertyBag.h"
#include "ToviGauge.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QSignalSpy>

using namespace levelon;

namespace {

class RecordingSite final : public GaugeSite
{
public:
    void reportChanged(const QString& name) override { changes << name; }
    void repaintNow() override { ++repaints; }
    GaugePicture surfaceMouseIcon() const override { return icon; }
    void setSurfaceMouseIcon(const GaugePicture& i) override { icon = i; }
    qint16 surfaceMousePointer() const override { return pointer; }
    void setSurfaceMousePointer(qint16 p) override { pointer = p; }

    QStringList changes;
    int repaints = 0;
    GaugePicture icon;
    qint16 pointer = 0;
};

QImage solidImage(QColor c)
{
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(c);
    return img;
}

QIcon solidIcon()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::green);
    return QIcon(pm);
}

struct Model
{
    explicit Model(GaugeKind kind = GaugeKind::Horizontal) : model(kind, site) { model.initProperties(); }
    RecordingSite site;
    GaugeModel model;
};

}  // namespace

TEST(GaugeModel, NewControlStoresOnlyItsSunkenBorder)
{
    Model m;
    MapPropertyBag bag;
    ASSERT_EQ(m.model.writeProperties(bag), NoError);
    EXPECT_EQ(bag.values(), (QVariantMap{{QStringLiteral("BorderStyle"), 1}}));
}

TEST(GaugeModel, EmptyDesignReadsAFlatBorder)
{
    Model m;
    m.model.setValue(77);
    m.site.changes.clear();
    m.site.repaints = 0;
    MapPropertyBag empty;
    ASSERT_EQ(m.model.readProperties(empty), NoError);
    const GaugeState& s = m.model.state();
    EXPECT_EQ(s.borderStyle, bsFlat);
    EXPECT_EQ(s.min, -100);
    EXPECT_EQ(s.max, 100);
    EXPECT_EQ(s.backColor, kButtonFace);
    EXPECT_EQ(s.negColor, 0xFF0000);
    EXPECT_EQ(s.posColor, 0xFF);
    EXPECT_TRUE(s.picture.isNone());
    EXPECT_EQ(s.value, 77);  // Value is not part of a design
    // Reading neither reports changes nor repaints.
    EXPECT_TRUE(m.site.changes.isEmpty());
    EXPECT_EQ(m.site.repaints, 0);
}

TEST(GaugeModel, SavedDesignRestoresEveryProperty)
{
    Model src(GaugeKind::Vertical);
    src.model.setMin(-2048);
    src.model.setMax(2047);
    src.model.setBorderStyle(bsFlat);
    src.model.setLeftSpace(1);
    src.model.setRightSpace(2);
    src.model.setTopSpace(3);
    src.model.setBottomSpace(4);
    src.model.setBackColor(0x123456);
    src.model.setNegColor(qint32(0x80000008u));
    src.model.setPosColor(0x00FF00);
    ASSERT_EQ(src.model.setPicture({PictureType::Bitmap, solidImage(Qt::yellow)}), NoError);
    ASSERT_EQ(src.model.put(GaugeProperty::MouseIcon, solidIcon()), NoError);
    src.model.setMousePointer(99);

    MapPropertyBag bag;
    ASSERT_EQ(src.model.writeProperties(bag), NoError);
    // A flat border equals its stored default and is left out.
    EXPECT_FALSE(bag.values().contains(QStringLiteral("BorderStyle")));
    EXPECT_EQ(bag.values().size(), 12);

    Model dst(GaugeKind::Vertical);
    ASSERT_EQ(dst.model.readProperties(bag), NoError);
    const GaugeState& a = src.model.state();
    const GaugeState& b = dst.model.state();
    EXPECT_EQ(b.min, a.min);
    EXPECT_EQ(b.max, a.max);
    EXPECT_EQ(b.borderStyle, bsFlat);
    EXPECT_EQ(b.leftSpace, 1);
    EXPECT_EQ(b.rightSpace, 2);
    EXPECT_EQ(b.topSpace, 3);
    EXPECT_EQ(b.bottomSpace, 4);
    EXPECT_EQ(b.backColor, 0x123456);
    EXPECT_EQ(b.negColor, qint32(0x80000008u));
    EXPECT_EQ(b.posColor, 0x00FF00);
    EXPECT_EQ(b.picture.type, PictureType::Bitmap);
    EXPECT_EQ(b.picture.image.pixel(0, 0), QColor(Qt::yellow).rgb());
    EXPECT_EQ(dst.site.icon.type, PictureType::Icon);
    EXPECT_EQ(dst.site.pointer, 99);
}

TEST(GaugeModel, DesignsWrittenAsTextAreRead)
{
    // A design kept in a text file gives every value back as text.
    MapPropertyBag bag(QVariantMap{{QStringLiteral("Min"), QStringLiteral("-5")},
                                   {QStringLiteral("BackColor"), QStringLiteral("2147483663")},
                                   {QStringLiteral("MousePointer"), QStringLiteral("2")}});
    Model m;
    ASSERT_EQ(m.model.readProperties(bag), NoError);
    EXPECT_EQ(m.model.state().min, -5);
    EXPECT_EQ(m.model.state().backColor, kButtonFace);
    EXPECT_EQ(m.site.pointer, 2);

    MapPropertyBag bad(QVariantMap{{QStringLiteral("Max"), QStringLiteral("viel")}});
    EXPECT_EQ(m.model.readProperties(bad), ErrTypeMismatch);
    MapPropertyBag tooBig(QVariantMap{{QStringLiteral("TopSpace"), qlonglong(1) << 40}});
    EXPECT_EQ(m.model.readProperties(tooBig), ErrOverflow);
}

TEST(GaugeModel, StoredPicturesAreCheckedOnlyForTheMouseIcon)
{
    const GaugePicture icon{PictureType::Icon, solidImage(Qt::green)};
    const GaugePicture bitmap{PictureType::Bitmap, solidImage(Qt::red)};

    // A stored icon as background is taken as it is.
    Model m;
    MapPropertyBag iconPicture(QVariantMap{{QStringLiteral("Picture"), icon.toBytes()}});
    ASSERT_EQ(m.model.readProperties(iconPicture), NoError);
    EXPECT_EQ(m.model.state().picture.type, PictureType::Icon);

    // A stored bitmap as mouse icon fails the read.
    Model n;
    MapPropertyBag bitmapIcon(QVariantMap{{QStringLiteral("MouseIcon"), bitmap.toBytes()}});
    EXPECT_EQ(n.model.readProperties(bitmapIcon), ErrInvalidPropertyValue);
    EXPECT_TRUE(n.site.icon.isNone());

    MapPropertyBag garbage(QVariantMap{{QStringLiteral("Picture"), QByteArray("not a picture")}});
    EXPECT_EQ(n.model.readProperties(garbage), ErrTypeMismatch);
}

TEST(GaugeModel, EveryPutReportsAndRepaints)
{
    Model m;
    m.model.setValue(5);
    m.model.setValue(5);  // the same value is reported again
    m.model.setMin(-10);
    m.model.setPosColor(0x00FF00);
    EXPECT_EQ(m.site.changes, (QStringList{QStringLiteral("Value"), QStringLiteral("Value"), QStringLiteral("Min"),
                                           QStringLiteral("PosColor")}));
    EXPECT_EQ(m.site.repaints, 4);

    // Mouse pointer and icon belong to the surface and do not repaint.
    m.site.changes.clear();
    m.model.setMousePointer(3);
    ASSERT_EQ(m.model.put(GaugeProperty::MouseIcon, solidIcon()), NoError);
    EXPECT_EQ(m.site.changes, (QStringList{QStringLiteral("MousePointer"), QStringLiteral("MouseIcon")}));
    EXPECT_EQ(m.site.repaints, 4);
    EXPECT_EQ(m.site.pointer, 3);
}

TEST(GaugeModel, WrongPictureTypesAreRefusedWith380)
{
    Model m;
    ASSERT_EQ(m.model.put(GaugeProperty::Picture, solidImage(Qt::red)), NoError);
    m.site.changes.clear();
    const int repaints = m.site.repaints;

    EXPECT_EQ(m.model.put(GaugeProperty::Picture, solidIcon()), ErrInvalidPropertyValue);
    EXPECT_EQ(m.model.setPicture({PictureType::Metafile, solidImage(Qt::blue)}), ErrInvalidPropertyValue);
    EXPECT_EQ(m.model.state().picture.image.pixel(0, 0), QColor(Qt::red).rgb());  // old picture stays

    EXPECT_EQ(m.model.put(GaugeProperty::MouseIcon, solidImage(Qt::red)), ErrInvalidPropertyValue);
    EXPECT_TRUE(m.site.icon.isNone());
    EXPECT_TRUE(m.site.changes.isEmpty());
    EXPECT_EQ(m.site.repaints, repaints);

    // No picture is accepted and brings the background colour back.
    ASSERT_EQ(m.model.put(GaugeProperty::Picture, QVariant()), NoError);
    EXPECT_TRUE(m.model.state().picture.isNone());
    const QImage img = renderGauge(m.model.state(), GaugeKind::Horizontal, {50, 10}, QPalette(Qt::gray));
    EXPECT_EQ(QColor(img.pixel(5, 5)), resolveColor(kButtonFace, QPalette(Qt::gray)));
}

TEST(GaugeModel, DispatchIdsDifferBetweenTheClasses)
{
    // Each class's property ↔ id pairs as the callers use them.
    const QList<QPair<GaugeProperty, qint32>> horizontal = {
        {GaugeProperty::Value, 0x6803000C},        {GaugeProperty::Min, 0x6803000B},
        {GaugeProperty::Max, 0x6803000A},          {GaugeProperty::BorderStyle, -504},
        {GaugeProperty::MousePointer, 0x68030008}, {GaugeProperty::BackColor, 0x68030007},
        {GaugeProperty::NegColor, 0x68030006},     {GaugeProperty::PosColor, 0x68030005},
        {GaugeProperty::TopSpace, 0x68030003},     {GaugeProperty::BottomSpace, 0x68030002},
        {GaugeProperty::RightSpace, 0x68030001},   {GaugeProperty::LeftSpace, 0x68030000}};
    const QList<QPair<GaugeProperty, qint32>> vertical = {
        {GaugeProperty::BottomSpace, 0x6803000C},  {GaugeProperty::LeftSpace, 0x6803000B},
        {GaugeProperty::RightSpace, 0x68030009},   {GaugeProperty::TopSpace, 0x68030008},
        {GaugeProperty::Value, 0x68030007},        {GaugeProperty::Min, 0x68030006},
        {GaugeProperty::Max, 0x68030005},          {GaugeProperty::BorderStyle, -504},
        {GaugeProperty::MousePointer, 0x68030003}, {GaugeProperty::BackColor, 0x68030002},
        {GaugeProperty::NegColor, 0x68030001},     {GaugeProperty::PosColor, 0x68030000}};

    for (const auto& [kind, table] :
         {std::pair{GaugeKind::Horizontal, horizontal}, std::pair{GaugeKind::Vertical, vertical}}) {
        int n = 7;
        for (const auto& [property, id] : table) {
            Model m(kind);
            ASSERT_EQ(m.model.putById(id, n), NoError) << std::hex << id;
            QVariant direct;
            m.model.get(property, direct);
            EXPECT_EQ(direct.toInt(), n) << std::hex << id;
            QVariant byId;
            ASSERT_EQ(m.model.getById(id, byId), NoError);
            EXPECT_EQ(byId.toInt(), n);
            ++n;
        }
    }

    // The picture properties by id, with their check.
    Model h(GaugeKind::Horizontal);
    EXPECT_EQ(h.model.putById(0x68030004, solidImage(Qt::red)), NoError);
    EXPECT_EQ(h.model.putById(0x68030009, solidImage(Qt::red)), ErrInvalidPropertyValue);
    Model v(GaugeKind::Vertical);
    EXPECT_EQ(v.model.putById(0x6803000A, solidImage(Qt::red)), NoError);
    EXPECT_EQ(v.model.putById(0x68030004, solidIcon()), NoError);

    EXPECT_EQ(h.model.putById(0x6803000D, 1), ErrNoSuchMember);
    EXPECT_EQ(h.model.putById(0x6803000C, QStringLiteral("x")), ErrTypeMismatch);
    EXPECT_EQ(h.model.putById(0x6803000C, qlonglong(1) << 33), ErrOverflow);
}

TEST(GaugeModel, WidgetReportsChangesAsSignals)
{
    ToviVGauge gauge;
    QSignalSpy spy(&gauge, &ToviGauge::propertyChanged);
    IGaugeControl& control = gauge;
    EXPECT_EQ(control.className(), QStringLiteral("ToviVGauge"));
    ASSERT_EQ(control.putProperty(dispid::vgauge::Max, 2047), NoError);
    ASSERT_EQ(control.putProperty(dispid::vgauge::Value, 12), NoError);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("Max"));
    EXPECT_EQ(gauge.max(), 2047);
    EXPECT_EQ(gauge.value(), 12);

    // The surface's pointer is the widget's cursor.
    gauge.setMousePointer(2);
    EXPECT_EQ(gauge.cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(gauge.mousePointer(), 2);
}
