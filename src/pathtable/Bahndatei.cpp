#include "Bahndatei.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <freexl.h>

#include <cmath>
#include <optional>

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
    return m.captured(1).toDouble();
}

std::optional<double> zellwert(const void* handle, unsigned int zeile, unsigned short spalte)
{
    FreeXL_CellValue zelle;
    if (freexl_get_cell_value(handle, zeile, spalte, &zelle) != FREEXL_OK)
        return std::nullopt;
    switch (zelle.type) {
    case FREEXL_CELL_INT: return double(zelle.value.int_value);
    case FREEXL_CELL_DOUBLE: return zelle.value.double_value;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT: {
        bool ok = false;
        const double v = QString::fromUtf8(zelle.value.text_value).trimmed().toDouble(&ok);
        return ok ? std::optional<double>(v) : std::nullopt;
    }
    default: return std::nullopt;
    }
}

}  // namespace

QString mmText(double mm)
{
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
        if (x && y)
            punkte.emplace_back(*x, *y);
    }
    return punkte;
}

bool lesenArbeitsmappe(const QString& pfad, std::vector<QPointF>& punkte)
{
    const void* handle = nullptr;
    if (freexl_open(QFile::encodeName(pfad).constData(), &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        return false;
    }
    unsigned int zeilen = 0;
    unsigned short spalten = 0;
    const bool gut = freexl_select_active_worksheet(handle, 0) == FREEXL_OK &&
                     freexl_worksheet_dimensions(handle, &zeilen, &spalten) == FREEXL_OK;
    if (gut && spalten >= 2) {
        for (unsigned int r = 0; r < zeilen; ++r) {
            const auto x = zellwert(handle, r, 0), y = zellwert(handle, r, 1);
            if (x && y)
                punkte.emplace_back(*x, *y);
        }
    }
    freexl_close(handle);
    return gut;
}

}  // namespace bahndatei
