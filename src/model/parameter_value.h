#pragma once

#include "parameter_sink.h"

#include <QString>
#include <cstdint>

namespace orbalis {

struct ParameterValue {
    enum Status {
        Ok,               // value holds what to send
        NotAParameter,    // address outside the holding registers: Para_Value unchanged
        NothingSelected,  // a combo box with no item selected
        OutOfRange,       // a number beyond what a register can carry
    };
    Status status = NotAParameter;
    std::int32_t value = 0;
    QString problem;      // for the status bar when not Ok
};

// Encodes what the parameter window's control of `address` shows into the
// register value to write, by the address's kind; `dpCode` is the slot's
// decimal-point code.
ParameterValue Get_Parameter_Value(int address, const ParameterSource &controls, std::int32_t dpCode);

} // namespace orbalis
