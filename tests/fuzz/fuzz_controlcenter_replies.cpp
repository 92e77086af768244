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
QString BusTransport::senden_empfangen(const QString&, double, protocol::Rejection)
{
    return {};
}
void BusTransport::einheit_waehlen(const QString&) {}

using namespace controlDesk;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const bool usesComma = mode & 1;

    for (const char* command : {"[1PA]", "[1vP]", "[1l5]", "[0ST]"})
        for (int digits : {2, 4, 6, 8, 9})
            if (const auto v = replyValue(text, QString::fromLatin1(command), digits))
                if (!(*v >= -8388608 && *v <= 8388607))
                    std::abort();

    const std::optional<double> typed = readNumberField(text, usesComma);
    if (typed && !std::isfinite(*typed))
        std::abort();
    const double x = typed.value_or(0);
    const double scale = (mode >> 1) ? double(mode >> 1) / 7.0 : 0.0;
    if (const auto w = speedInput(typed, scale, x))
        if (w->rawValue < 0 || w->rawValue > MaxRawSpeed)
            std::abort();
    if (const auto w = accelerationInput(typed, scale))
        if (w->rawValue < MinRawAcceleration || w->rawValue > MaxRawAcceleration)
            std::abort();
    (void)speedBar(x, scale);
    (void)positionText(x, scale, mode & 2, mode % 7, usesComma);
    (void)limitFromCounter(x, scale, mode & 4);
    (void)distanceToCounter(x, mode % 6, scale);
    (void)wholeInt(x * scale);
    (void)masked(x, text.left(40), usesComma);
    if (const auto cmdText = driveCommand(QStringLiteral("P"), QLatin1Char('A'), x))
        if (cmdText->size() != 13)
            std::abort();

    const PostParts postParts = splitPost(text);
    // A post without "]" holds no command at all.
    if (postParts.firstPart + postParts.secondPart != (text.contains(QLatin1Char(']')) ? text : QString()))
        std::abort();
    (void)firstTimeLimit(postParts.firstPart);
    (void)secondTimeLimit(postParts.secondPart);
    for (const QString& line : errorLines(text).split(QStringLiteral("\r\n")))
        if (line.size() > 42)
            std::abort();
    (void)limitSwitchColors(text.left(2));
    (void)joystickOff(text);
    for (const QChar c : text.left(16))
        (void)characterAllowed(c, InputField(mode % 3), usesComma);
    return 0;
}
