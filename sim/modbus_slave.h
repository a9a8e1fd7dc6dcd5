#pragma once

#include "controller_bank.h"

#include <QByteArray>
#include <optional>

namespace orbalis::sim {

// Modbus exception codes a controller answers with.
enum ExceptionCode : std::uint8_t { IllegalFunction = 1, IllegalAddress = 2, IllegalValue = 3 };

struct SlaveAnswer {
    QByteArray reply;                    // complete frame, CRC included
    ControllerModel *controller = nullptr;
};

// Answers one request frame on behalf of the bank: function 3 on holding
// registers 0..108, 4 on input registers 4096..4125, 6 on one holding
// register (echoed). No answer to a frame with a bad CRC, to broadcast or to
// an address no controller answers on at this baud rate.
std::optional<SlaveAnswer> answerRequest(ControllerBank &bank, const QByteArray &frame, int lineBaud);

// The reply a controller gives to a request addressed to it (CRC checked already).
QByteArray controllerReply(ControllerModel &controller, const QByteArray &frame);

} // namespace orbalis::sim
