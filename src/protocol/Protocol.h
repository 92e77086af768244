#pragma once
// The facts of the bus protocol that more than one part of the program relies
// on, each stated once here: the transport, the windows that write the port
// themselves and the simulated bus read them from this header. Header only,
// over QtCore, so that the simulated bus shares it without linking the
// transport.

namespace protocol {

// The longest reply collected; the longest any unit sends (the "[1XL]"
// record) is about 1 KB.
constexpr int MaxReply = 4096;
// Seconds the first character of a reply may take when the caller allows no
// other time.
constexpr double DefaultTimeout = 0.2;

}  // namespace protocol
