// libFuzzer target: arbitrary replies and typed texts through the control
// center's readers. Besides memory safety and defined behaviour it checks:
//  - a reply value always lies in the controller's signed 24-bit counter;
//  - a typed number is finite, and speed and acceleration never leave their
//    raw ranges;
//  - the mailbox split loses nothing of a post and display lines keep their
//    width.

#include "BusTransport.h"
#include "ControlCenterMath.h"

#include <cstdint>
#include <cstdlib>

// The transport is not part of this target.
QString BusTransport::senden_empfangen(const QString&, double, int)
{
    return {};
}
void BusTransport::einheit_waehlen(const QString&) {}

using namespace leitstand;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const bool komma = mode & 1;

    for (const char* command : {"[1PA]", "[1vP]", "[1l5]", "[0ST]"})
        for (int digits : {2, 4, 6, 8, 9})
            if (const auto v = antwortWert(text, QString::fromLatin1(command), digits))
                if (!(*v >= -8388608 && *v <= 8388607))
                    std::abort();

    const std::optional<double> typed = zahlLesen(text, komma);
    if (typed && !std::isfinite(*typed))
        std::abort();
    const double x = typed.value_or(0);
    const double scale = (mode >> 1) ? double(mode >> 1) / 7.0 : 0.0;
    if (const auto w = geschwindigkeitEingabe(typed, scale, x))
        if (w->roh < 0 || w->roh > MaxRawSpeed)
            std::abort();
    if (const auto w = beschleunigungEingabe(typed, scale))
        if (w->roh < MinRawAcceleration || w->roh > MaxRawAcceleration)
            std::abort();
    (void)geschwindigkeitsbalken(x, scale);
    (void)positionstext(x, scale, mode & 2, mode % 7, komma);
    (void)grenzeAusZaehler(x, scale, mode & 4);
    (void)streckeInZaehler(x, mode % 6, scale);
    (void)wholeInt(x * scale);
    (void)maskiert(x, text.left(40), komma);
    if (const auto befehl = fahrbefehl(QStringLiteral("P"), QLatin1Char('A'), x))
        if (befehl->size() != 13)
            std::abort();

    const Postteile teile = splitPost(text);
    // A post without "]" holds no command at all.
    if (teile.erster + teile.zweiter != (text.contains(QLatin1Char(']')) ? text : QString()))
        std::abort();
    (void)erstesZeitlimit(teile.erster);
    (void)zweitesZeitlimit(teile.zweiter);
    for (const QString& line : fehlerzeilen(text).split(QStringLiteral("\r\n")))
        if (line.size() > 42)
            std::abort();
    (void)endschalterFarben(text.left(2));
    (void)joystickOff(text);
    for (const QChar c : text.left(16))
        (void)zeichenErlaubt(c, Eingabefeld(mode % 3), komma);
    return 0;
}
