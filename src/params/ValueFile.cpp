#include "ValueFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace {
// Characters of bytes 0x80-0x9F; 0 where the code page leaves the byte
// undefined (it then stands for the control character of the same number).
constexpr char16_t Cp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
}  // namespace

QByteArray toWindows1252(const QString& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        char b = '?';
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF) || (u >= 0x80 && u < 0xA0 && Cp1252High[u - 0x80] == 0)) {
            // (An undefined byte of 0x80-0x9F was read as the control
            // character of its number: it is written back as that byte.)
            b = char(u);
        } else {
            for (int i = 0; i < 32; ++i)
                if (Cp1252High[i] != 0 && Cp1252High[i] == u)
                    b = char(0x80 + i);
        }
        out += b;
    }
    return out;
}

QString fromWindows1252(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (const char ch : bytes) {
        const auto b = quint8(ch);
        if (b >= 0x80 && b < 0xA0 && Cp1252High[b - 0x80] != 0)
            out += QChar(Cp1252High[b - 0x80]);
        else
            out += QChar(char16_t(b));
    }
    return out;
}

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
        line('"' + toWindows1252(flat) + '"');
        return;
    }
    line('"' + toWindows1252(text) + '"');
}

void ValueFileWriter::writeDouble(double value)
{
    // Plain decimal digits, never an exponent; zero has no sign. The longest
    // such text (the smallest subnormal) has 326 characters.
    if (value == 0)
        value = 0;
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
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
    // The rename lives in the folder: sync it too, or a power cut may bring
    // back the old file (or none).
    const QString folder = QFileInfo(path).absolutePath();
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

namespace {
const QByteArray Utf8Bom("\xEF\xBB\xBF");

// The files are Windows-1252, as they are written; only a UTF-8 byte-order
// mark says otherwise. (Guessing UTF-8 from valid bytes would read a saved
// "Ã¼" back as "ü" and change the file on the next save.)
QString decode(const QByteArray& bytes)
{
    if (bytes.startsWith(Utf8Bom))
        return QString::fromUtf8(bytes.mid(Utf8Bom.size()));
    return fromWindows1252(bytes);
}
}  // namespace

bool fitsWindows1252(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF) || (u < 0xA0 && Cp1252High[u - 0x80] == 0))
        return true;
    for (const char16_t h : Cp1252High)
        if (h != 0 && h == u)
            return true;
    return false;
}

bool keepWindows1252(QString& text)
{
    const qsizetype vorher = text.size();
    text.removeIf([](QChar c) { return !fitsWindows1252(c); });
    return text.size() != vorher;
}

bool ValueFileReader::isText(const QByteArray& bytes)
{
    // Text files of the program hold no NUL byte; UTF-16 and UTF-32 files
    // (with their byte-order marks) are not text in this sense either.
    return !bytes.contains('\0') && !bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF");
}

ValueFileReader::ValueFileReader(const QByteArray& bytes)
{
    m_lineBreaks = bytes.contains('\n') || bytes.contains('\r');
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

std::optional<QByteArray> readFileBytes(const QString& path, QString* error, qint64 maxBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return std::nullopt;
    }
    // One byte more than allowed tells a file that is too large, whatever
    // size the file system reports (pipes and /proc files report 0).
    const QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes) {
        if (error)
            *error = QStringLiteral("file larger than %1 bytes").arg(maxBytes);
        return std::nullopt;
    }
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
    if (!isText(*bytes)) {
        if (error)
            *error = QStringLiteral("not a text file");
        return std::nullopt;
    }
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
    // "nan", "inf" and "infinity" are no numbers here: nothing downstream
    // can use them.
    if (res.ec != std::errc() || res.ptr != last || !std::isfinite(value))
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
