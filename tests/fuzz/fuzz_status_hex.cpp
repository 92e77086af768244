// libFuzzer target: arbitrary replies through the status decoder and the
// hexadecimal readers and writers. Besides memory safety and defined
// behaviour it checks:
//  - up to six digits read as a signed 24-bit value;
//  - a hexadecimal argument that converts reads back as the rounded value,
//    and one that does not convert raises the overflow error or says so.

#include "BusTransport.h"
#include "StatusDecoder.h"
#include "UiServices.h"
#include "globale_Funktionen.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// The transport is not part of this target.
QString BusTransport::senden_empfangen(const QString&, double, protocol::Rejection)
{
    return {};
}
void BusTransport::einheit_waehlen(const QString&) {}

namespace {
class QuietUi final : public IUiServices
{
public:
    MsgResult message(const QString&, const QString&, MsgButtons, MsgIcon) override { return MsgResult::Ok; }
    QString openFile(const FileDialogRequest&) override { return {}; }
    QString saveFile(const FileDialogRequest&) override { return {}; }
    void beep() override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));

    const StatusDecoder::Decoded d = StatusDecoder::decode(text);
    (void)StatusDecoder::isLimitCode(d.code);
    (void)StatusDecoder::Fehlertabelle_Einheit(text.left(4));
    (void)StatusDecoder::Fehlertabelle_Achse(text.left(4));
    QuietUi ui;
    fehler_anzeigen(text, ui, [] { return false; });
    fehler_anzeigen(text, ui, [] { return true; });

    const double v = hex_zu_wert24(text);
    if (!std::isfinite(v) || std::fabs(v) > 4294967296.0)
        std::abort();
    if (text.size() <= 6 && !(v >= -8388608 && v <= 8388607))
        std::abort();

    if (size >= sizeof(double)) {
        double value = 0;
        std::memcpy(&value, data, sizeof value);
        for (int width : {2, 4, 6, 8}) {
            bool ok = false;
            const QString hex = hexN(value, width, &ok);
            if (ok) {
                const qint64 back = qint64(qint32(hex.toUInt(nullptr, 16)));
                if (hex.size() < width || back != qint64(std::nearbyint(value)))
                    std::abort();
            } else {
                try {
                    (void)hexN(value, width);
                    std::abort();
                } catch (const HexOverflow&) {
                }
            }
        }
    }
    return 0;
}
