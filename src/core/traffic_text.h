#pragma once

#include "traffic_ring.h"

#include <QString>

namespace orbalis {

// The texts of a frame in the traffic view and in a saved traffic file.
QString trafficTimeText(qint64 wallMs);        // "12:00:00.123", local time
QString trafficDateTimeText(qint64 wallMs);    // "2024-05-01 12:00:00.123"
QString trafficDirectionText(TrafficDirection direction);   // "TX", "RX"
QString exchangeText(Exchange exchange);       // "live values", "write", ...
QString outcomeText(LineOutcome outcome);      // "Good", "No answer", ...
// The function code as two hex digits; empty for fewer than two bytes.
QString functionText(const QByteArray &bytes);
QString bytesText(const QByteArray &bytes);    // "01 04 10 00"
// The bytes of a frame; of one longer than the ring keeps, its length and
// the bytes kept: "(4096 bytes, first 256 kept) 55 55 … 55 …". A cut frame
// never reads as a whole one.
QString frameBytesText(const TrafficFrame &frame);
// Received frames: the outcome, and the reply time when known ("Good, 46 ms").
QString frameOutcomeText(const TrafficFrame &frame);
// One line of a saved file: date and time, direction, ID, exchange,
// function, outcome, bytes; separated by two blanks.
QString trafficLine(const TrafficFrame &frame);

} // namespace orbalis
