// kelvane-xlsread <workbook>: writes the first two columns of the workbook's
// first sheet to standard output in the form WorkbookOutput.h describes.
// Exit 0 when the sheet was read, 1 when the file is no workbook that can be
// read, 2 on a wrong call. A crash here costs the caller only this file.
#include "WorkbookOutput.h"

#include <freexl.h>

#include <cstdio>
#include <string>

namespace {

// One cell as the output writes it: a number, a short text in hexadecimal,
// or "-" for anything else (empty, date, a text too long to be a number).
void cell(const void* handle, unsigned int row, unsigned short column, unsigned short columns, std::string& out)
{
    FreeXL_CellValue value;
    if (column >= columns || freexl_get_cell_value(handle, row, column, &value) != FREEXL_OK) {
        out += '-';
        return;
    }
    char buffer[64];
    switch (value.type) {
    case FREEXL_CELL_INT:
        std::snprintf(buffer, sizeof buffer, "n%d", value.value.int_value);
        out += buffer;
        return;
    case FREEXL_CELL_DOUBLE:
        std::snprintf(buffer, sizeof buffer, "n%.17g", value.value.double_value);
        out += buffer;
        return;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT: {
        const std::string text = value.value.text_value ? value.value.text_value : "";
        if (text.size() > workbook_output::MaxTextBytes)
            break;
        static const char digits[] = "0123456789ABCDEF";
        out += 't';
        for (const unsigned char c : text) {
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        return;
    }
    default: break;
    }
    out += '-';
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: kelvane-xlsread <workbook.xls>\n", stderr);
        return 2;
    }
    const void* handle = nullptr;
    if (freexl_open(argv[1], &handle) != FREEXL_OK) {
        if (handle)
            freexl_close(handle);
        return 1;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
        freexl_close(handle);
        return 1;
    }
    std::string out = std::string(workbook_output::Header) + '\n';
    out += "rows " + std::to_string(rows) + '\n';
    for (unsigned int r = 0; r < rows; ++r) {
        cell(handle, r, 0, columns, out);
        out += '\t';
        cell(handle, r, 1, columns, out);
        out += '\n';
    }
    out += workbook_output::Trailer;
    out += '\n';
    freexl_close(handle);
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
        return 1;
    return 0;
}
