#pragma once
// Path files in millimetres. A text file holds, for each point n, the lines
// "Xnnnn=<mm>" and "Ynnnn=<mm>", each in double quotes, with three decimals
// at most and "." whatever the locale. A workbook gives one point per row of
// its first sheet: column A is X, column B is Y.

#include <QByteArray>
#include <QPointF>
#include <QString>

#include <optional>
#include <vector>

namespace pathFile {

// At most this many points are read from a text file.
constexpr int MaxTextPoints = 500;

// Import and export refuse a coordinate that is not finite or lies further
// than this from zero (mm): such a value is no stage position, and it would
// not survive the conversion to thousandths.
constexpr double MaxCoordinateMm = 1e9;
// A text file larger than this is refused before it is read.
constexpr qint64 MaxTextFileBytes = 8 * 1024 * 1024;

// Whether a coordinate (mm) may stand in a path file.
bool coordinateAllowed(double mm);
// Millimetres rounded to three decimals (halves to the even neighbour), in
// the shortest form with ".".
QString mmText(double mm);
// The file's bytes for these points (lines end CR LF).
QByteArray toFileBytes(const std::vector<QPointF>& mm);
// The points of a text file: fields are quoted texts, or unquoted texts up
// to a comma or the line end; each pair of fields is one point, its number
// taken after the first "="; an empty field where an X is due ends the file.
// A field without a number reads as 0. A pair in which neither field holds
// an "=" or a number (a header, say) is skipped, as is an X without its Y at
// the end. A coordinate that is not allowed refuses the whole file: the
// result is empty then.
std::vector<QPointF> readText(const QByteArray& fileBytes);

// How workbooks are read: by kelvane-xlsread in a process of its own, since
// the workbook library is not safe on hostile files. A crash, a time-out, a
// non-zero exit, output beyond the cap or output of the wrong form fails the
// read; the memory limit applies to the reader's address space.
struct WorkbookReader
{
    // kelvane-xlsread beside the running program.
    static QString defaultProgram();

    // Empty: the default program.
    QString program;
    int timeoutMs = 10000;
    qint64 maxOutputBytes = 32 * 1024 * 1024;
    qint64 maxMemoryBytes = qint64(1024) * 1024 * 1024;
};
// The points of the reader's output (WorkbookOutput.h): one per row with two
// numbers, other rows skipped; text cells read as numbers in the locale's
// format (`usesComma`: decimal comma). Nothing when the output is malformed or a
// coordinate is not allowed.
std::optional<std::vector<QPointF>> parseReaderOutput(const QByteArray& output, bool usesComma);
// The points of a workbook's first sheet; nothing when the file is no
// workbook that can be read.
std::optional<std::vector<QPointF>> readWorkbook(const QString& pathName, bool usesComma,
                                                 const WorkbookReader& reader = {});

}  // namespace pathFile
