#pragma once

#include <chrono>

namespace orbalis::sim {

using Micros = std::chrono::microseconds;

// Time one byte takes on the line: start bit, 8 data bits, 2 stop bits.
Micros byteTime(int baud);
// The silence that ends a frame: 3.5 characters, never under 2 ms.
Micros frameSilence(int baud);
// Longest reply wait the console allows at this baud rate (the read of all
// parameters); a reply later than this misses its exchange.
Micros longestReplyWait(int baud);

} // namespace orbalis::sim
