#pragma once
// The shared procedures every window uses: hexadecimal arguments and reply
// values of the bus protocol, the locale's decimal separator and the bridge's
// byte buffers. The bus operations are the transport's (BusTransport.h).

#include <QString>

#include <cstdint>
#include <stdexcept>

// A value that hex8, hex6, hex4 or hex2 cannot convert.
class HexOverflow : public std::overflow_error
{
public:
    using std::overflow_error::overflow_error;
};

// Fixed-width upper-case hexadecimal: rounds half to even, pads with "0" to
// 8, 6, 4 or 2 digits, and writes negatives as 32-bit two's complement (eight
// digits). Longer results are returned whole. A value outside the signed
// 32-bit range, NaN or infinity cannot be converted: without `ok` that
// throws HexOverflow, so no frame is ever built from an empty field; with
// `ok` the result is empty and `*ok` is false, and the caller refuses.
QString hex8(double value, bool* ok = nullptr);
QString hex6(double value, bool* ok = nullptr);
QString hex4(double value, bool* ok = nullptr);
QString hex2(double value, bool* ok = nullptr);
QString hexN(double value, int width, bool* ok = nullptr);

// Reads hexadecimal digits up to the first non-digit. Only the last eight
// digits count: eight or more are read as a signed 32-bit number, fewer as an
// unsigned one. A result above 8388607 then has 16777216 subtracted, which is
// the signed 24-bit reading of up to six digits ("FFFC18" gives -1000).
double hex_zu_wert24(const QString& text);

// Whether the user's locale writes decimals with a comma.
bool dezimalkomma();

// Byte buffers of the USB bridge.
void bytes_fuellen(quint8* bytes, quint8 fill, int count);
QString puffer_zu_text(const quint8* bytes, int size);
QString bytes_zu_text(const quint8* bytes, int size);
