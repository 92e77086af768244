#pragma once
// The program's text files: one value per line, strings in double quotes,
// numbers bare with "." as the decimal separator whatever the locale, lines
// ending CR LF. Every file the program writes (configuration, scripts,
// sequences, terminal tests, command lists) goes through the writer, and every
// such file is read back value by value, in the order written, through the
// reader.
//
// Files are written in Windows-1252, the single-byte code page the stored
// files of existing installations use; a character it cannot hold is written
// as "?" (the boxes whose text goes into such a file refuse those characters,
// see keepWindows1252).
//
// Files are read in Windows-1252 too, unless they start with a UTF-8
// byte-order mark. A file with a NUL byte or a UTF-16 byte-order mark is not
// a text file and is refused. The reader is lenient about what people type by
// hand: LF or CR endings, blanks around a value, unquoted strings, numbers
// such as ".5", "+3" or "1E-05". It is strict about types: a number field that
// holds no number (nor "nan" or "inf") is an error, never a silent 0.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class ValueFileWriter
{
public:
    // A string in double quotes. A string holding a line break cannot be
    // read back as one value: the writer then fails (see ok()).
    void writeString(const QString& text);
    // A number in plain decimal form ("0.00001", never "1e-05"; zero as "0"),
    // the shortest such text that reads back to the same double.
    void writeDouble(double value);
    void writeInteger(qint64 value);

    // False once a value could not be written; error() says which.
    bool ok() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    int count() const { return m_count; }
    // The file's bytes: Windows-1252, every line ending CR LF.
    QByteArray data() const { return m_data; }

private:
    void line(const QByteArray& text);

    QByteArray m_data;
    QString m_error;
    int m_count = 0;
};

// Text to and from Windows-1252 (bytes 0x80-0x9F carry the typographic
// characters; a character outside the code page becomes "?").
QByteArray toWindows1252(const QString& text);
QString fromWindows1252(const QByteArray& bytes);
// Whether Windows-1252 holds the character.
bool fitsWindows1252(QChar c);
// Drops the characters Windows-1252 cannot hold (for a box whose text is
// saved to a value file); true when it dropped any.
bool keepWindows1252(QString& text);

// Writes a whole file atomically: the old file stays untouched unless the new
// one was written completely, and the folder is synced after the rename so the
// new file survives a power cut. Returns false and sets *error on failure.
bool writeValueFile(const QString& path, const QByteArray& data, QString* error = nullptr);
// Value files are small; a larger file is refused before it is read.
constexpr qint64 MaxValueFileBytes = 8 * 1024 * 1024;
// A whole file's bytes; nothing when it cannot be opened or read, or when it
// is larger than `maxBytes`.
std::optional<QByteArray> readFileBytes(const QString& path, QString* error = nullptr,
                                        qint64 maxBytes = MaxValueFileBytes);

class ValueFileReader
{
public:
    explicit ValueFileReader(const QByteArray& bytes);
    // Reads a file; nothing when it cannot be opened or read, or is not text.
    static std::optional<ValueFileReader> fromFile(const QString& path, QString* error = nullptr);
    // No NUL byte and no UTF-16 byte-order mark.
    static bool isText(const QByteArray& bytes);

    // Whether the file has a line ending at all (a list of several values
    // cannot be a single line).
    bool hasLineBreaks() const { return m_lineBreaks; }

    // Values (lines) in the file; a final line ending adds none.
    int count() const { return int(m_lines.size()); }
    // Index of the next value.
    int position() const { return m_pos; }
    bool atEnd() const { return m_pos >= m_lines.size(); }

    // Each read consumes one value when it succeeds and nothing otherwise.
    // A quoted value gives the text between its quotes; an unquoted one its
    // text without surrounding blanks.
    std::optional<QString> readString();
    // A bare number; a quoted or empty value or any other text fails.
    std::optional<double> readDouble();
    // A bare number that is whole and fits 32 bits ("3", "3.0", "3E0").
    std::optional<qint32> readInteger();
    // Skips `n` values; false (and nothing skipped) when fewer remain.
    bool skip(int n);

    // Parses a bare number as the reader does (exposed for the command
    // parsers of the script and sequence files).
    static std::optional<double> parseNumber(const QString& text);

private:
    QStringList m_lines;
    qsizetype m_pos = 0;
    bool m_lineBreaks = false;
};
