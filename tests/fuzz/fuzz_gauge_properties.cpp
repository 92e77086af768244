// libFuzzer target: stored gauge designs with arbitrary values and types
// through the property reader, then painted. Besides memory safety and
// defined behaviour (the painter's arithmetic at the ends of the 32-bit
// range) it checks that a design that reads back writes the same design.

#include "GaugeModel.h"
#include "GaugePainter.h"
#include "PropertyBag.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace levelon;

namespace {
class NullSite final : public GaugeSite
{
public:
    void reportChanged(const QString&) override {}
    void repaintNow() override {}
    GaugePicture surfaceMouseIcon() const override { return m_icon; }
    void setSurfaceMouseIcon(const GaugePicture& icon) override { m_icon = icon; }
    qint16 surfaceMousePointer() const override { return m_pointer; }
    void setSurfaceMousePointer(qint16 pointer) override { m_pointer = pointer; }

private:
    GaugePicture m_icon;
    qint16 m_pointer = 0;
};

const char* const Keys[] = {"Value",      "Min",      "Max",         "BorderStyle", "LeftSpace",
                            "RightSpace", "TopSpace", "BottomSpace", "BackColor",   "NegColor",
                            "PosColor",   "Picture",  "MouseIcon",   "MousePointer"};

// Takes `n` bytes from the input (zeros past its end).
struct Input
{
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    template <class T>
    T take()
    {
        T v{};
        const size_t n = std::min(sizeof v, size - std::min(pos, size));
        std::memcpy(&v, data + pos, n);
        pos += sizeof v;
        return v;
    }
    bool more() const { return pos < size; }
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in{data, size};
    QVariantMap stored;
    while (in.more() && stored.size() < 32) {
        const auto key = in.take<uint8_t>();
        const QString name = QString::fromLatin1(Keys[key % std::size(Keys)]);
        switch (in.take<uint8_t>() % 6) {
        case 0: stored[name] = in.take<qint32>(); break;
        case 1: stored[name] = in.take<double>(); break;
        case 2: stored[name] = QString::number(in.take<qint64>()); break;
        case 3: {
            const size_t n = in.take<uint8_t>();
            const size_t start = std::min(in.pos, size);
            stored[name] =
                QByteArray(reinterpret_cast<const char*>(data + start), qsizetype(std::min(n, size - start)));
            in.pos += n;
            break;
        }
        case 4: stored[name] = in.take<qint16>(); break;
        default: stored[name] = QVariant(); break;
        }
    }
    for (GaugeKind kind : {GaugeKind::Horizontal, GaugeKind::Vertical}) {
        NullSite site;
        GaugeModel model(kind, site);
        model.initProperties();
        MapPropertyBag bag(stored);
        if (model.readProperties(bag) == 0) {
            MapPropertyBag saved;
            model.writeProperties(saved);
            NullSite again;
            GaugeModel reread(kind, again);
            reread.initProperties();
            MapPropertyBag back(saved.values());
            if (reread.readProperties(back) != 0)
                std::abort();
        }
        (void)renderGauge(model.state(), kind, QSize(13, 9), QPalette());
    }
    return 0;
}
