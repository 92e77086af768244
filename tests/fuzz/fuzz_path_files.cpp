// libFuzzer target: what the path import reads from files and from the
// workbook reader kelvane-xlsread. The reader runs in a process of its own
// because the workbook library is not safe on hostile files; its output is
// therefore untrusted too, and is fuzzed here. The first byte chooses the
// locale and the reader. Besides memory safety and defined behaviour it
// checks that every point read is finite and within the allowed distance,
// and that a text file never gives more than 500 points.

#include "Bahndatei.h"
#include "BusTransport.h"

#include <cstdint>
#include <cstdlib>

// The transport is not part of this target.
QString BusTransport::senden_empfangen(const QString&, double, protocol::Rejection)
{
    return {};
}
void BusTransport::einheit_waehlen(const QString&) {}

namespace {
void checkPoints(const std::vector<QPointF>& pointList)
{
    for (const QPointF& p : pointList) {
        if (!pathFile::coordinateAllowed(p.x()) || !pathFile::coordinateAllowed(p.y()))
            std::abort();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool usesComma = (data[0] & 1) != 0;
    const QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    if (data[0] & 2) {
        const auto pointList = pathFile::readText(rest);
        if (pointList.size() > std::size_t(pathFile::MaxTextPoints))
            std::abort();
        checkPoints(pointList);
    } else if (const auto pointList = pathFile::parseReaderOutput(rest, usesComma)) {
        checkPoints(*pointList);
    }
    return 0;
}
