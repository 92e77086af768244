#pragma once
// The facts of the bus protocol that more than one part of the program relies
// on, each stated once here: the transport, the windows that write the port
// themselves and the simulated bus read them from this header. Header only,
// over QtCore, so that the simulated bus shares it without linking the
// transport.

#include <QByteArray>
#include <QByteArrayView>
#include <QLatin1String>
#include <QString>
#include <QStringView>

namespace protocol {

// The longest reply collected; the longest any unit sends (the "[1XL]"
// record) is about 1 KB.
constexpr int MaxReply = 4096;
// Seconds the first character of a reply may take when the caller allows no
// other time.
constexpr double DefaultTimeout = 0.2;

// Commands that several windows send.
// The motion poll: answered "[0po!]" (PollMoving) while the axis moves and,
// once it stands, with the final echo of its last motion command.
inline constexpr QLatin1String Poll("[0po]");
inline constexpr QLatin1String PollMoving("[0po!]");
// Stops the axis at once.
inline constexpr QLatin1String Stop("[1BR]");
// The status word: "[0ST!" and eight hexadecimal digits.
inline constexpr QLatin1String Status("[0ST]");
// The axis position: "[1PA!" and eight hexadecimal digits.
inline constexpr QLatin1String Position("[1PA]");
// The input word: "[0IN!" and eight hexadecimal digits.
inline constexpr QLatin1String Inputs("[0IN]");
// The unit's version text.
inline constexpr QLatin1String Version("[0VN]");

// What the transport does when a unit refuses a command ("?" at the fifth
// character of its reply).
enum class Rejection
{
    Show = 0,         // shows the rejection decoded
    QueryStatus = 1,  // follows it with a status query
    Ignore = 2,       // nothing
};

// A unit is selected by DC2 and its address text: two upper-case hexadecimal
// digits, or a control center's "00-AA". No reply is awaited.
constexpr char DC2 = 0x12;
inline QString selection(const QString& address)
{
    return QChar(DC2) + address;
}

// What a unit did with a command, as the fifth character of its reply says.
enum class ReplyStatus : char
{
    None = 0,       // no such character: no reply, or one too short
    Done = '!',     // accepted, or done
    Refused = '?',  // rejected; a four-digit code follows
    Started = '>',  // a motion has started; its final echo answers the poll
};
// Where the status character stands in a reply (the fifth character).
constexpr int StatusIndex = 4;

constexpr ReplyStatus statusOf(char16_t c)
{
    switch (c) {
    case u'!': return ReplyStatus::Done;
    case u'?': return ReplyStatus::Refused;
    case u'>': return ReplyStatus::Started;
    default: return ReplyStatus::None;
    }
}
// The status a reply gives its command.
inline ReplyStatus replyStatus(QStringView reply)
{
    return reply.size() > StatusIndex ? statusOf(reply[StatusIndex].unicode()) : ReplyStatus::None;
}
inline ReplyStatus replyStatus(QByteArrayView reply)
{
    return reply.size() > StatusIndex ? statusOf(char16_t(uchar(reply[StatusIndex]))) : ReplyStatus::None;
}

// What a motion command makes the axis do.
enum class Motion
{
    Move,         // to a position, or by a distance, in counts (eight hexadecimal digits)
    LimitRun,     // to the limit switch: "X" plus, "Y" minus
    IndexSearch,  // to the next index mark: "X" plus, "Y" minus
    Stop,         // stands at once
    BackOff,      // a back-off run
};

// A command that moves an axis (unit digit 1). Once the axis stands, the
// poll is answered with the final echo of the last one: its echo and the
// status "!" or "?".
struct MotionCommand
{
    char letters[3];  // the two command letters
    Motion motion;
    // Answers ">" as the axis sets off; otherwise "!" or "?" at once.
    bool answersStarted;
    // After its ">" a script polls until the axis stands.
    bool polled;
    // A line of its own in the sequence language ("FA/1/2/1000", "GX/1/2").
    bool sequenceLine;
    // A move in Piezo Mode: another one may take over while it runs, so the
    // control center keeps its move buttons enabled, and a script's moves in
    // micrometres ("MA1000") are these.
    bool piezo;

    // What its reply and final echo begin with: "[1FA".
    QByteArray echo() const { return QByteArray("[1") + letters; }
};

// clang-format off
inline constexpr MotionCommand MotionCommands[] = {
    // letters  motion          answersStarted polled sequenceLine piezo
    {"FA", Motion::Move,        true,  true,  true,  false},  // DC Mode, absolute
    {"FR", Motion::Move,        true,  true,  true,  false},  // DC Mode, relative
    {"SA", Motion::Move,        true,  true,  true,  false},  // PiezoS Mode, absolute
    {"SR", Motion::Move,        true,  true,  true,  false},  // PiezoS Mode, relative
    {"MA", Motion::Move,        true,  true,  true,  true},   // Piezo Mode, absolute
    {"MR", Motion::Move,        true,  true,  true,  true},   // Piezo Mode, relative
    {"FX", Motion::LimitRun,    true,  true,  true,  false},
    {"FY", Motion::LimitRun,    true,  true,  true,  false},
    {"GX", Motion::IndexSearch, true,  true,  true,  false},
    {"GY", Motion::IndexSearch, true,  true,  true,  false},
    {"BR", Motion::Stop,        false, true,  false, false},  // also ends the joystick mode
    {"Br", Motion::Stop,        false, true,  true,  false},  // the sequence language's brake stop
    {"BX", Motion::BackOff,     true,  false, false, false},
    {"BY", Motion::BackOff,     true,  false, false, false},
};
// clang-format on

// The motion command with these two letters (case counts), or nullptr.
inline const MotionCommand* motionCommand(QStringView letters)
{
    for (const MotionCommand& m : MotionCommands)
        if (letters == QLatin1String(m.letters, 2))
            return &m;
    return nullptr;
}
inline const MotionCommand* motionCommand(QByteArrayView letters)
{
    for (const MotionCommand& m : MotionCommands)
        if (letters == QByteArrayView(m.letters, 2))
            return &m;
    return nullptr;
}

}  // namespace protocol
