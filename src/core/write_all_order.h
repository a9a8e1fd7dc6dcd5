#pragma once

#include <array>

namespace orbalis {

// The order in which a download writes a controller's parameters:
// addresses 0..13, 16..52, 55..108, then "RUN" (15) last, so that the
// controller starts or stops only once everything else is in place. "OUTL"
// (14), "BAUD" (53) and "ID" (54) are never written by a download: a new
// baud rate or address would cut the controller off the line.
constexpr int WriteAllCount = 106;
const std::array<int, WriteAllCount> &writeAllOrder();

// Whether a download ever writes the address.
bool inWriteAllOrder(int address);

} // namespace orbalis
