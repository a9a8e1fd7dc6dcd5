#pragma once

#include "controller_parameters.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace orbalis {

// One parameter where what a controller holds is not what a parameter file
// (or the parameter window) says.
struct ParameterDifference {
    int address = 0;
    QString controllerText;                    // as the window shows the controller's value
    QString wantedText;                        // the file's text
    std::uint16_t controllerValue = 0;
    std::optional<std::uint16_t> wantedValue;  // nullopt: the text cannot be sent
    // Whether a download writes it ("OUTL", "BAUD" and "ID" never are).
    bool writable = false;
};

// The parameters whose wanted text means something else than what the
// controller holds, in address order. A text means the register value the
// write would send: it is encoded as a write encodes it, with the
// controller's decimal-point code, so "25.50" and "25.5" are the same on a
// controller with one decimal, and "A_OFF" differs from a register of 99
// that the window also shows as "A_OFF". A text that cannot be sent at all
// differs. `wanted` holds 109 texts in address order.
std::vector<ParameterDifference> compareParameters(const ControllerParameters &controller,
                                                   const QStringList &wanted);

// Of the differences, the addresses a download writes, in the write-all order.
std::vector<int> addressesToWrite(const std::vector<ParameterDifference> &differences);

// The controller's text for the compare's "Controller" column: the text the
// window shows, and for a list whose register holds no item of it (the
// window shows the first item then) the code as well: "A_OFF (code 99)".
QString controllerTextOf(const ControllerParameters &controller, int address);

// Where the window shows the parameter: the caption of its frame ("Alarm 1").
QString parameterLabel(int address);
// Its mnemonic ("SV").
QString parameterMnemonic(int address);

} // namespace orbalis
