#include "ValueFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

void ValueFileWriter::line(const QByteArray& text)
{
    m_data += text;
    m_data += "\r\n";
    ++m_count;
}

void ValueFileWriter::writeString(const QString& text)
{
    if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("value %1 holds a line break").arg(m_count + 1);
        // Keep the value count right so later positions stay where expected.
        QString flat = text;
        flat.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        line('"' + flat.toUtf8() + '"');
        return;
    }
    line('"' + text.toUtf8() + '"');
}

void ValueFileWriter::writeDouble(double value)
{
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    line(QByteArray(buf, int(res.ptr - buf)));
}

void ValueFileWriter::writeInteger(qint64 value)
{
    line(QByteArray::number(value));
}

bool writeValueFile(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(data) != data.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

namespace {
QString decode(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}
} // namespace

ValueFileReader::ValueFileReader(const QByteArray& bytes)
{
    const QString text = decode(bytes);
    // CR LF, LF and a lone CR each end a line.
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            m_lines << text.mid(start, i - start);
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        m_lines << text.mid(start);
}

std::optional<QByteArray> readFileBytes(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    return bytes;
}

std::optional<ValueFileReader> ValueFileReader::fromFile(const QString& path, QString* error)
{
    const auto bytes = readFileBytes(path, error);
    if (!bytes)
        return std::nullopt;
    return ValueFileReader(*bytes);
}

std::optional<QString> ValueFileReader::readString()
{
    if (atEnd())
        return std::nullopt;
    const QString value = m_lines.at(m_pos).trimmed();
    QString result;
    if (value.startsWith(QLatin1Char('"'))) {
        // The text between the first and the last quote, so a quote inside
        // the text needs no escaping.
        const qsizetype last = value.lastIndexOf(QLatin1Char('"'));
        if (last <= 0)
            return std::nullopt;
        result = value.mid(1, last - 1);
    } else {
        result = value;
    }
    ++m_pos;
    return result;
}

std::optional<double> ValueFileReader::parseNumber(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 400)
        return std::nullopt;
    QByteArray bytes = t.toLatin1();
    if (bytes.size() != t.size() || t.contains(QChar(0)))
        return std::nullopt;
    const char* first = bytes.constData();
    const char* last = first + bytes.size();
    if (*first == '+') {
        ++first;
        if (first == last || *first == '-' || *first == '+')
            return std::nullopt;
    }
    double value = 0;
    const auto res = std::from_chars(first, last, value, std::chars_format::general);
    if (res.ec != std::errc() || res.ptr != last)
        return std::nullopt;
    return value;
}

std::optional<double> ValueFileReader::readDouble()
{
    if (atEnd())
        return std::nullopt;
    const auto value = parseNumber(m_lines.at(m_pos));
    if (!value)
        return std::nullopt;
    ++m_pos;
    return value;
}

std::optional<qint32> ValueFileReader::readInteger()
{
    if (atEnd())
        return std::nullopt;
    const auto value = parseNumber(m_lines.at(m_pos));
    if (!value || !std::isfinite(*value) || std::trunc(*value) != *value ||
        *value < double(std::numeric_limits<qint32>::min()) || *value > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    ++m_pos;
    return qint32(*value);
}

bool ValueFileReader::skip(int n)
{
    if (n < 0 || n > m_lines.size() - m_pos)
        return false;
    m_pos += n;
    return true;
}
