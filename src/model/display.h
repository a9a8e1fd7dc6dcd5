#pragma once

#include "parameter_sink.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace orbalis {

// Texts of the value kinds ("." as decimal point, "-" for negatives).
QString unsignedText(std::uint16_t u);
QString signedText(std::int16_t s);
QString tenthsText(std::int16_t s);                 // "#0.0"
QString scaledText(std::int16_t s, int dpCode);     // 48..50 give 1..3 decimals, else none
QString timeText(std::uint32_t v);                  // tenths -> "MM:SS" base 60
QString hexText(std::uint16_t u);                   // "0A1F"
// Trims; a single hex digit gets a leading "0".
void Pad_Hex_Digit(QString &text);
// Item index a Choice register value selects: out of range selects item 0.
int choiceIndex(std::uint16_t u, int lowestCode, int highestCode);

// The display routines: read the register at the given byte positions of the
// reply and write the text (or selection) to the targets by the target rule.
// A position outside the reply throws Error 9 before anything is written.
void Show_Unsigned_Value(const QByteArray &reply, int hi, int lo, int address, const DisplayTargets &t);
void Show_Signed_Value(const QByteArray &reply, int hi, int lo, int address, const DisplayTargets &t);
void Show_Tenths_Value(const QByteArray &reply, int hi, int lo, int address, const DisplayTargets &t);
void Show_Scaled_Value(const QByteArray &reply, int hi, int lo, int address, int dpCode,
                       const DisplayTargets &t);
void Show_Time_Value(const QByteArray &reply, int p, int address, const DisplayTargets &t);
void Show_Choice_Value(const QByteArray &reply, int hi, int lo, int highestCode, int lowestCode,
                       int address, const DisplayTargets &t);
void Show_Hex_Value(const QByteArray &reply, int hi, int lo, int address, const DisplayTargets &t);

// Read-all pass (109 registers from address 0): sets dpCode (the parameter
// window slot's Slot_DP_Code) from register 45 first, then shows 0..108.
void Show_All_Parameters(const QByteArray &reply, std::int32_t &dpCode, const DisplayTargets &t);

// Read-back pass of one register. Checks function code 3 and length 7 first;
// returns an empty text when shown, otherwise the text the caller appends to
// its status panel, and then nothing is decoded: " Exception reply, code N !"
// (with the code's meaning for 1..4), " Wrong function code !",
// " Wrong reply length !" (also a byte count other than 2), or
// " Not a parameter !" for an address outside 0..108. "JP1".."JP8" read back
// unsigned; dpCode is only read.
QString Show_Read_Back(const QByteArray &reply, int address, std::int32_t dpCode,
                       const DisplayTargets &t);

// Live pass (30 input registers from 4096) for Store_Live_Values.
void showLiveValues(const QByteArray &reply, std::int32_t dpCode, const DisplayTargets &t);

} // namespace orbalis
