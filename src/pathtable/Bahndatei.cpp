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

namespace bahndatei {

namespace {

// The fields of a text file as its reader takes them one by one.
QStringList felder(const QByteArray& inhalt)
{
    const QString t = QString::fromLatin1(inhalt);
    QStringList out;
    const qsizetype n = t.size();
    qsizetype p = 0;
    const auto ende = [&t](qsizetype q) {
        const QChar c = t.at(q);
        return c == QLatin1Char(',') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
    };
    while (p < n) {
        while (p < n && (t.at(p) == QLatin1Char(' ') || t.at(p) == QLatin1Char('\t')))
            ++p;
        QString feld;
        if (p < n && t.at(p) == QLatin1Char('"')) {
            const qsizetype anfang = ++p;
            while (p < n && t.at(p) != QLatin1Char('"'))
                ++p;
            feld = t.mid(anfang, p - anfang);
            while (p < n && !ende(p))
                ++p;
        } else {
            const qsizetype anfang = p;
            while (p < n && !ende(p))
                ++p;
            feld = t.mid(anfang, p - anfang).trimmed();
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
        out << feld;
    }
    return out;
}

// The number after the first "=" (or at the start): sign, digits, "." point.
std::optional<double> wert(const QString& feld)
{
    static const QRegularExpression zahl(QStringLiteral("^\\s*([+-]?(\\d+(\\.\\d*)?|\\.\\d+))"));
    const qsizetype gleich = feld.indexOf(QLatin1Char('='));
    const auto m = zahl.match(gleich < 0 ? feld : feld.mid(gleich + 1));
    if (!m.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double v = m.captured(1).toDouble(&ok);
    // Too many digits for a double: kept as a value that is refused.
    return ok ? v : std::numeric_limits<double>::infinity();
}

// A field that is no coordinate at all: no "=" and no number (a header).
bool ueberschrift(const QString& feld)
{
    return !feld.contains(QLatin1Char('=')) && !wert(feld);
}

// One cell of the reader's output; nothing when the cell is malformed, a
// value that is no number when the cell holds none.
struct Zelle
{
    bool gueltig = false;
    std::optional<double> zahl;
};

Zelle zelle(const QByteArray& text, bool komma)
{
    if (text == "-")
        return {true, std::nullopt};
    if (text.size() < 2)
        return {};
    const QByteArray rest = text.sliced(1);
    if (text.front() == 'n') {
        // %.17g: sign, digits, point, exponent, or inf / nan.
        for (const char c : rest) {
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '+' && c != '.')
                return {};
        }
        bool ok = false;
        const double v = rest.toDouble(&ok);
        if (!ok) {
            // "inf" and "nan" are numbers the import refuses.
            const QByteArray klein = rest.toLower();
            if (klein.endsWith("inf") || klein.endsWith("nan"))
                return {true, std::numeric_limits<double>::infinity()};
            return {};
        }
        return {true, v};
    }
    if (text.front() == 't') {
        if (rest.size() % 2 != 0 || std::size_t(rest.size() / 2) > workbook_output::MaxTextBytes)
            return {};
        for (const char c : rest) {
            if (!std::isdigit(static_cast<unsigned char>(c)) && !(c >= 'A' && c <= 'F'))
                return {};
        }
        const QString t = QString::fromUtf8(QByteArray::fromHex(rest));
        return {true, leitstand::zahlLesen(t, komma)};
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
    const double tausendstel = std::nearbyint(mm * 1000.0);
    const qint64 k = qint64(tausendstel);
    const qint64 betrag = k < 0 ? -k : k;
    QString t = QString::number(betrag / 1000);
    QString rest = QStringLiteral("%1").arg(betrag % 1000, 3, 10, QLatin1Char('0'));
    while (rest.endsWith(QLatin1Char('0')))
        rest.chop(1);
    if (!rest.isEmpty())
        t += QLatin1Char('.') + rest;
    return k < 0 ? QLatin1Char('-') + t : t;
}

QByteArray schreiben(const std::vector<QPointF>& mm)
{
    QByteArray out;
    for (std::size_t n = 0; n < mm.size(); ++n) {
        const QString index = QStringLiteral("%1").arg(n + 1, 4, 10, QLatin1Char('0'));
        out += "\"X" + index.toLatin1() + '=' + mmText(mm[n].x()).toLatin1() + "\"\r\n";
        out += "\"Y" + index.toLatin1() + '=' + mmText(mm[n].y()).toLatin1() + "\"\r\n";
    }
    return out;
}

std::vector<QPointF> lesenText(const QByteArray& inhalt)
{
    const QStringList f = felder(inhalt);
    std::vector<QPointF> punkte;
    for (qsizetype k = 0; k / 2 < MaxTextpunkte && k + 1 < f.size(); k += 2) {
        if (f.at(k).isEmpty())
            break;
        const auto x = wert(f.at(k)), y = wert(f.at(k + 1));
        if (x && y) {
            if (!coordinateAllowed(*x) || !coordinateAllowed(*y))
                return {};
            punkte.emplace_back(*x, *y);
        } else if (!ueberschrift(f.at(k)) || !ueberschrift(f.at(k + 1))) {
            // "X0001=" or "X0001=abc": a point without its number.
            return {};
        }
    }
    return punkte;
}

QString WorkbookReader::defaultProgram()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/kelvane-xlsread");
}

std::optional<std::vector<QPointF>> parseReaderOutput(const QByteArray& output, bool komma)
{
    if (!output.endsWith('\n'))
        return std::nullopt;
    const QList<QByteArray> zeilen = output.chopped(1).split('\n');
    if (zeilen.size() < 3 || zeilen.front() != workbook_output::Header ||
        zeilen.back() != workbook_output::Trailer || !zeilen.at(1).startsWith("rows "))
        return std::nullopt;
    const QByteArray anzahl = zeilen.at(1).sliced(5);
    bool ok = anzahl.size() > 0 && anzahl.size() <= 9;
    for (const char c : anzahl)
        ok = ok && std::isdigit(static_cast<unsigned char>(c));
    if (!ok || anzahl.toLongLong() != zeilen.size() - 3)
        return std::nullopt;
    std::vector<QPointF> punkte;
    for (qsizetype z = 2; z + 1 < zeilen.size(); ++z) {
        const QByteArray& zeile = zeilen.at(z);
        const qsizetype tab = zeile.indexOf('\t');
        if (tab < 0)
            return std::nullopt;
        const Zelle x = zelle(zeile.first(tab), komma), y = zelle(zeile.sliced(tab + 1), komma);
        if (!x.gueltig || !y.gueltig)
            return std::nullopt;
        if (!x.zahl || !y.zahl)
            continue;
        if (!coordinateAllowed(*x.zahl) || !coordinateAllowed(*y.zahl))
            return std::nullopt;
        punkte.emplace_back(*x.zahl, *y.zahl);
    }
    return punkte;
}

std::optional<std::vector<QPointF>> lesenArbeitsmappe(const QString& pfad, bool komma, const WorkbookReader& reader)
{
    QProcess prozess;
    prozess.setProgram(reader.program.isEmpty() ? WorkbookReader::defaultProgram() : reader.program);
    prozess.setArguments({pfad});
    prozess.setStandardInputFile(QProcess::nullDevice());
    prozess.setStandardErrorFile(QProcess::nullDevice());
    const qint64 speicher = reader.maxMemoryBytes;
    prozess.setChildProcessModifier([speicher] {
        // Runs in the child between fork and exec: system calls only.
        const rlimit keinKern{0, 0};
        setrlimit(RLIMIT_CORE, &keinKern);
#ifndef KELVANE_ADDRESS_SANITIZER
        if (speicher > 0) {
            const rlimit grenze{rlim_t(speicher), rlim_t(speicher)};
            setrlimit(RLIMIT_AS, &grenze);
        }
#else
        (void)speicher;
#endif
    });
    const QDeadlineTimer frist(reader.timeoutMs);
    prozess.start(QIODevice::ReadOnly);
    if (!prozess.waitForStarted(int(std::max<qint64>(1, frist.remainingTime()))))
        return std::nullopt;
    QByteArray ausgabe;
    // Bounded by the deadline: every round waits at most until then.
    while (true) {
        ausgabe += prozess.readAllStandardOutput();
        if (ausgabe.size() > reader.maxOutputBytes || frist.hasExpired()) {
            prozess.kill();
            prozess.waitForFinished(2000);
            return std::nullopt;
        }
        if (prozess.state() == QProcess::NotRunning)
            break;
        const int rest = int(std::max<qint64>(1, frist.remainingTime()));
        // Output closed but still running: wait for its end instead.
        if (!prozess.waitForReadyRead(rest) && prozess.state() != QProcess::NotRunning)
            prozess.waitForFinished(rest);
    }
    ausgabe += prozess.readAllStandardOutput();
    if (ausgabe.size() > reader.maxOutputBytes || prozess.exitStatus() != QProcess::NormalExit ||
        prozess.exitCode() != 0)
        return std::nullopt;
    return parseReaderOutput(ausgabe, komma);
}

}  // namespace bahndatei
