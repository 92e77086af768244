#include "Bahndatei.h"

#include "ControlCenterMath.h"
#include "WorkbookOutput.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <sys/resource.h>

#include <array>
#include <cmath>
#include <limits>
#include <optional>

// Under AddressSanitizer a program needs terabytes of address space for its
// shadow memory, so the reader's memory limit is left off in such builds.
#if defined(__SANITIZE_ADDRESS__)
#define KELVANE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KELVANE_ADDRESS_SANITIZER 1
#endif
#endif

namespace pathFile {

namespace {

// The fields of a text file as its reader takes them one by one.
QStringList fields(const QByteArray& fileBytes)
{
    const QString t = QString::fromLatin1(fileBytes);
    QStringList out;
    const qsizetype n = t.size();
    qsizetype p = 0;
    const auto fieldEnd = [&t](qsizetype q) {
        const QChar c = t.at(q);
        return c == QLatin1Char(',') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
    };
    while (p < n) {
        while (p < n && (t.at(p) == QLatin1Char(' ') || t.at(p) == QLatin1Char('\t')))
            ++p;
        QString fieldText;
        if (p < n && t.at(p) == QLatin1Char('"')) {
            const qsizetype fieldStart = ++p;
            while (p < n && t.at(p) != QLatin1Char('"'))
                ++p;
            fieldText = t.mid(fieldStart, p - fieldStart);
            while (p < n && !fieldEnd(p))
                ++p;
        } else {
            const qsizetype fieldStart = p;
            while (p < n && !fieldEnd(p))
                ++p;
            fieldText = t.mid(fieldStart, p - fieldStart).trimmed();
        }
        if (p < n && t.at(p) == QLatin1Char(',')) {
            ++p;
        } else if (p < n && t.at(p) == QLatin1Char('\r')) {
            ++p;
            if (p < n && t.at(p) == QLatin1Char('\n'))
                ++p;
        } else if (p < n) {
            ++p;
        }
        out << fieldText;
    }
    return out;
}

// The number after the first "=" (or at the start): sign, digits, "." point;
// nothing when the text does not start with one.
std::optional<double> leadingNumber(const QString& fieldText)
{
    static const QRegularExpression numberPattern(QStringLiteral("^\\s*([+-]?(\\d+(\\.\\d*)?|\\.\\d+))"));
    const qsizetype equalsAt = fieldText.indexOf(QLatin1Char('='));
    const auto m = numberPattern.match(equalsAt < 0 ? fieldText : fieldText.mid(equalsAt + 1));
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double v = m.captured(1).toDouble(&ok);
    // Too many digits for a double: kept as a value that is refused.
    return ok ? v : std::numeric_limits<double>::infinity();
}

// A field that is no coordinate at all: no "=" and no number (a header).
bool isHeading(const QString& fieldText)
{
    return !fieldText.contains(QLatin1Char('=')) && !leadingNumber(fieldText);
}

// One cell of the reader's output: not valid when it breaks the form; no
// number when it holds none.
struct ReaderCell
{
    bool valid = false;
    std::optional<double> number;
};

ReaderCell readCell(const QByteArray& text, bool usesComma)
{
    if (text == "-")
        return {true, std::nullopt};
    if (text.size() < 2)
        return {};
    const QByteArray body = text.sliced(1);
    if (text.front() == 'n') {
        // %.17g: sign, digits, point, exponent, or inf / nan.
        for (const char c : body) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '+' && c != '.')
                return {};
        }
        bool ok = false;
        const double v = body.toDouble(&ok);
        if (!ok) {
            // "inf" and "nan" are numbers the import refuses.
            const QByteArray lower = body.toLower();
            if (lower.endsWith("inf") || lower.endsWith("nan"))
                return {true, std::numeric_limits<double>::infinity()};
            return {};
        }
        return {true, v};
    }
    if (text.front() == 't') {
        if (body.size() % 2 != 0 || std::size_t(body.size() / 2) > workbook_output::MaxTextBytes)
            return {};
        for (const char c : body) {
            if (!std::isdigit(static_cast<unsigned char>(c)) && !(c >= 'A' && c <= 'F'))
                return {};
        }
        const QString decoded = QString::fromUtf8(QByteArray::fromHex(body));
        return {true, controlDesk::readNumberField(decoded, usesComma)};
    }
    return {};
}

}  // namespace

bool coordinateAllowed(double mm)
{
    return std::isfinite(mm) && std::abs(mm) <= MaxCoordinateMm;
}

QString mmText(double mm)
{
    // Beyond this the thousandths no longer fit the integer below; the
    // export refuses such values before it writes anything.
    if (!coordinateAllowed(mm))
        return QString();
    // nearbyint rounds halves to the even neighbour.
    const double thousandths = std::nearbyint(mm * 1000.0);
    const qint64 k = qint64(thousandths);
    const qint64 magnitude = k < 0 ? -k : k;
    QString t = QString::number(magnitude / 1000);
    QString rest = QStringLiteral("%1").arg(magnitude % 1000, 3, 10, QLatin1Char('0'));
    while (rest.endsWith(QLatin1Char('0')))
        rest.chop(1);
    if (!rest.isEmpty())
        t += QLatin1Char('.') + rest;
    return k < 0 ? QLatin1Char('-') + t : t;
}

QByteArray toFileBytes(const std::vector<QPointF>& mm)
{
    QByteArray out;
    for (std::size_t n = 0; n < mm.size(); ++n) {
        const QString index = QStringLiteral("%1").arg(n + 1, 4, 10, QLatin1Char('0'));
        out += "\"X" + index.toLatin1() + '=' + mmText(mm[n].x()).toLatin1() + "\"\r\n";
        out += "\"Y" + index.toLatin1() + '=' + mmText(mm[n].y()).toLatin1() + "\"\r\n";
    }
    return out;
}

std::vector<QPointF> readText(const QByteArray& fileBytes)
{
    const QStringList f = fields(fileBytes);
    std::vector<QPointF> pointList;
    for (qsizetype k = 0; k / 2 < MaxTextPoints && k + 1 < f.size(); k += 2) {
        if (f.at(k).isEmpty())
            break;
        if (isHeading(f.at(k)) && isHeading(f.at(k + 1)))
            continue;
        // "X0001=" or "X0001=abc": a field without a number reads as 0.
        const double x = leadingNumber(f.at(k)).value_or(0), y = leadingNumber(f.at(k + 1)).value_or(0);
        if (!coordinateAllowed(x) || !coordinateAllowed(y))
            return {};
        pointList.emplace_back(x, y);
    }
    return pointList;
}

QString WorkbookReader::defaultProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/kelvane-xlsread");
}

std::optional<std::vector<QPointF>> parseReaderOutput(const QByteArray& output, bool usesComma)
{
    if (!output.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> lines = output.chopped(1).split('\n');
    if (lines.size() < 3 || lines.front() != workbook_output::Header || lines.back() != workbook_output::Trailer ||
        !lines.at(1).startsWith("rows "))
        return std::nullopt;
    const QByteArray count = lines.at(1).sliced(5);
    bool ok = count.size() > 0 && count.size() <= 9;
    for (const char c : count)
        ok = ok && std::isdigit(static_cast<unsigned char>(c));
    if (!ok || count.toLongLong() != lines.size() - 3)
        return std::nullopt;
    std::vector<QPointF> points;
    for (qsizetype z = 2; z + 1 < lines.size(); ++z) {
        const QByteArray& line = lines.at(z);
        const qsizetype tab = line.indexOf('\t');
        if (tab < 0)
            return std::nullopt;
        const ReaderCell x = readCell(line.first(tab), usesComma), y = readCell(line.sliced(tab + 1), usesComma);
        if (!x.valid || !y.valid)
            return std::nullopt;
        if (!x.number || !y.number)
            continue;
        if (!coordinateAllowed(*x.number) || !coordinateAllowed(*y.number))
            return std::nullopt;
        points.emplace_back(*x.number, *y.number);
    }
    return points;
}

std::optional<std::vector<QPointF>> readWorkbook(const QString& pathName, bool usesComma, const WorkbookReader& reader)
{
    QProcess process;
    process.setProgram(reader.program.isEmpty() ? WorkbookReader::defaultProgram() : reader.program);
    process.setArguments({pathName});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const qint64 memory = reader.maxMemoryBytes;
    process.setChildProcessModifier([memory] {
        // Runs in the child between fork and exec: system calls only.
        const rlimit noCore{0, 0};
        setrlimit(RLIMIT_CORE, &noCore);
#ifndef KELVANE_ADDRESS_SANITIZER
        if (memory > 0) {
            const rlimit limit{rlim_t(memory), rlim_t(memory)};
            setrlimit(RLIMIT_AS, &limit);
        }
#else
        (void)memory;
#endif
    });
    // One deadline for the whole import: every wait below takes only the
    // time that is left of it.
    const QDeadlineTimer deadline(reader.timeoutMs);
    const auto timeLeft = [&deadline] { return int(std::max<qint64>(1, deadline.remainingTime())); };
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(timeLeft()))
        return std::nullopt;
    QByteArray output;
    while (true) {
        output += process.readAllStandardOutput();
        if (output.size() > reader.maxOutputBytes || deadline.hasExpired()) {
            process.kill();
            process.waitForFinished(2000);
            return std::nullopt;
        }
        if (process.state() == QProcess::NotRunning)
            break;
        // Output closed but still running: wait for its end instead.
        if (!process.waitForReadyRead(timeLeft()) && process.state() != QProcess::NotRunning && !deadline.hasExpired())
            process.waitForFinished(timeLeft());
    }
    output += process.readAllStandardOutput();
    if (output.size() > reader.maxOutputBytes || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return parseReaderOutput(output, usesComma);
}

}  // namespace pathFile
