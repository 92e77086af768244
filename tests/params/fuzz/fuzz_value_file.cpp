// libFuzzer target: arbitrary bytes through the value-file reader and the
// configuration parser. Properties checked besides memory safety:
//  - a read that fails consumes nothing, and the position never passes the end;
//  - a file the parser accepts writes back, and that text parses and writes
//    to the very same bytes again (what the program saves, it loads).

#include "ConfigFormat.h"
#include "ValueFile.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    ValueFileReader reader(bytes);
    for (size_t step = 0; !reader.atEnd() && step < 4096; ++step) {
        const int before = reader.position();
        bool consumed = false;
        switch (size ? data[step % size] % 4 : 0) {
        case 0: consumed = reader.readString().has_value(); break;
        case 1: consumed = reader.readDouble().has_value(); break;
        case 2: consumed = reader.readInteger().has_value(); break;
        default: consumed = reader.skip(1); break;
        }
        if (consumed != (reader.position() == before + 1))
            std::abort();
        if (reader.position() > reader.count())
            std::abort();
        if (!consumed && !reader.skip(1))
            std::abort();
    }

    if (const auto content = parseConfig(bytes)) {
        const auto written = writeConfig(*content);
        if (!written)
            std::abort();
        const auto again = parseConfig(*written);
        if (!again)
            std::abort();
        const auto rewritten = writeConfig(*again);
        if (!rewritten || *rewritten != *written)
            std::abort();
    }
    return 0;
}
