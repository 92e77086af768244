#include "ScriptText.h"

#include "Protocol.h"
#include "ValueFile.h"
#include "globale_Funktionen.h"

#include <cmath>

namespace scriptText {

namespace {
QChar at(const QString& s, qsizetype i)
{
    return i < s.size() ? s.at(i) : QChar();
}
}  // namespace

bool isCommentMarker(const QString& line)
{
    return line == QLatin1String("#");
}

bool isAddressLine(const QString& line)
{
    const QChar c = at(line, 0);
    return c == QLatin1Char('0') || c == QLatin1Char('F') || c == QLatin1Char('2') || c == QLatin1Char('3') ||
           c == QLatin1Char('4');
}

bool opensGroup(const QString& line)
{
    return line.startsWith(QLatin1String("00")) || line.startsWith(QLatin1Char('F'));
}

bool isMove(const QString& line)
{
    const protocol::MotionCommand* move = protocol::motionCommand(QStringView(line).left(2));
    return move && move->piezo;
}

bool isRawCommand(const QString& line)
{
    if (line.isEmpty() || isMove(line))
        return false;
    const QChar first = line.front();
    const QChar last = line.back();
    return (first == QLatin1Char('[') || first == QLatin1Char('(')) &&
           (last == QLatin1Char(']') || last == QLatin1Char(')'));
}

bool isCommandFrame(const QString& line)
{
    if (line.size() < 4 || line.front() != QLatin1Char('[') || line.back() != QLatin1Char(']'))
        return false;
    const char16_t unit = line.at(1).unicode();
    const char16_t letter = line.at(2).unicode();
    if (unit < u'0' || unit > u'9' || !((letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z')))
        return false;
    for (qsizetype i = 1; i + 1 < line.size(); ++i)
        if (QStringView(u"[]()").contains(line.at(i)))
            return false;
    return true;
}

bool isEepromStore(const QString& line)
{
    return line.startsWith(QLatin1String("[0ff"));
}

bool isPause(const QString& line)
{
    return line.startsWith(QLatin1String("WZ"));
}

bool isPositionCheck(const QString& line)
{
    return line.startsWith(QLatin1String("[7PA"));
}

std::optional<QString> moveCommand(const QString& line, double motorFactorValue)
{
    if (!isMove(line) || !(motorFactorValue > 0) || !std::isfinite(motorFactorValue))
        return std::nullopt;
    const QString number = line.mid(2);
    if (number.size() > 9)
        return std::nullopt;
    const auto v = ValueFileReader::parseNumber(number);
    if (!v)
        return std::nullopt;
    bool ok = false;
    const QString digits = hex8(*v * motorFactorValue / 1000.0, &ok);
    if (!ok)
        return std::nullopt;
    return QStringLiteral("[1") + line.left(2) + digits + QLatin1Char(']');
}

int pauseMilliseconds(const QString& line)
{
    const QString field = line.mid(2, 5);
    qsizetype i = 0;
    while (i < field.size() && field.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < field.size() && (field.at(i) == QLatin1Char('-') || field.at(i) == QLatin1Char('+'))) {
        negative = field.at(i) == QLatin1Char('-');
        ++i;
    }
    int ms = 0;
    while (i < field.size() && field.at(i).isDigit() && field.at(i).unicode() < 128) {
        ms = ms * 10 + (field.at(i).unicode() - '0');
        ++i;
    }
    return negative ? 0 : ms;
}

bool startsMotion(const QString& reply)
{
    if (protocol::replyStatus(reply) != protocol::ReplyStatus::Started)
        return false;
    const protocol::MotionCommand* command = protocol::motionCommand(QStringView(reply).mid(2, 2));
    return !command || command->polled;
}

bool isRejection(const QString& reply)
{
    return protocol::replyStatus(reply) == protocol::ReplyStatus::Refused;
}

QStringList transformieren(const QStringList& lines, const QStringList& replies)
{
    QStringList out;
    for (int i = 0; i < MaxRows; ++i)
        out << lines.value(i);
    for (int i = 0; i < FirstStorageRow; ++i) {
        const QString t = lines.value(i);
        const QString r = replies.value(i);
        if (isRejection(r)) {
            out[i].clear();
            continue;
        }
        const QString wert = r.mid(5);
        const QString prefix4 = t.left(4);
        if (prefix4 == QLatin1String("[1Rl"))
            out[i] = QStringLiteral("[1Rs") + wert;
        else if (prefix4 == QLatin1String("[1ct"))
            out[i] = QStringLiteral("[1Ct") + wert;
        else if (prefix4 == QLatin1String("[0PL"))
            out[i] = QStringLiteral("[0PS") + wert;
        else if (prefix4 == QLatin1String("[0Vn"))
            out[i] = QStringLiteral("[0Vn]");
        else if (prefix4 == QLatin1String("[0VN"))
            out[i] = protocol::Version;
        else if (prefix4 == QLatin1String("[1RL"))
            out[i] = QStringLiteral("[1RS") + wert;
        else if (t.startsWith(QLatin1Char('[')) && at(t, 2).isLower() && !isEepromStore(t))
            // A read: its reply's head in upper case is the write command.
            out[i] = r.left(4).toUpper() + wert;
        // Every other line, writes and stores included, stays as it is.
    }
    out[FirstStorageRow] = QStringLiteral("[0ff01]");
    out[FirstStorageRow + 1] = QStringLiteral("[0ff00]");
    out[FirstStorageRow + 2] = QStringLiteral("[0ff09]");
    return out;
}

std::optional<QByteArray> scriptFileData(const QStringList& lines)
{
    ValueFileWriter w;
    for (int i = 0; i < MaxRows; ++i)
        w.writeString(lines.value(i));
    if (!w.ok())
        return std::nullopt;
    return w.data();
}

ScriptFile parseScriptFile(const QByteArray& bytes)
{
    ScriptFile f;
    ValueFileReader reader(bytes);
    while (f.lines.size() < MaxRows) {
        const auto s = reader.readString();
        if (!s)
            break;
        f.lines << *s;
    }
    f.complete = f.lines.size() == MaxRows;
    while (f.lines.size() < MaxRows)
        f.lines << QString();
    return f;
}

}  // namespace scriptText
