#pragma once
// What kelvane-xlsread writes and the path import reads (lines end in LF):
//
//   kelvane-xlsread 1
//   rows <R>
//   <A>\t<B>          one line for each of the sheet's R rows
//   end
//
// A cell is "n" and a number as printf's %.17g writes it, "t" and the
// cell's UTF-8 text in upper-case hexadecimal (at most MaxTextBytes bytes),
// or "-" for anything else. Output that breaks this form in any way, or
// stops before "end", is refused whole.

#include <cstddef>

namespace workbook_output {

inline constexpr const char* Header = "kelvane-xlsread 1";
inline constexpr const char* Trailer = "end";
// A longer text cannot be a number and is written as "-".
inline constexpr std::size_t MaxTextBytes = 64;

}  // namespace workbook_output
