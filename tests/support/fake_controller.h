#pragma once

#include "link/frames.h"
#include "model/register_addresses.h"
#include "model/register_map.h"
#include "support/fake_serial_port.h"
#include "support/replies.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <map>
#include <set>

namespace orbalis::test {

// Controllers behind a fake port, as far as downloads need them: each holds
// its 109 parameters, answers the read of all of them and echoes a write
// after storing it. A register can be made to refuse writes (exception 3) or
// to keep something else than what was written (the value plus one); a
// controller can be silent.
class FakeControllers {
public:
    struct Controller {
        std::array<std::uint16_t, HoldingRegisterCount> registers{};
        std::set<int> refused;   // writes answered with exception 3
        std::set<int> altered;   // writes echoed, but the value plus one kept
        bool silent = false;
        QList<QByteArray> writes;   // every write request it got
    };

    // Every parameter holds a valid value: lists their first item, numbers
    // 10 + the address, one decimal.
    static std::array<std::uint16_t, HoldingRegisterCount> validRegisters(int id)
    {
        std::array<std::uint16_t, HoldingRegisterCount> r{};
        for (const RegisterInfo &info : holdingRegisters())
            r[size_t(info.address)] =
                std::uint16_t(info.kind == ValueKind::Choice ? info.enumeration->firstCode : 10 + info.address);
        r[reg::DP] = 48;
        r[reg::ID] = std::uint16_t(id);
        return r;
    }

    Controller &add(int id)
    {
        Controller &c = controllers[id];
        c = Controller();
        c.registers = validRegisters(id);
        return c;
    }

    // Answers every request sent on `port`.
    void serve(FakeSerialPort &port)
    {
        port.onOutput = [this, &port](const QByteArray &request) { port.received = answer(request); };
    }

    QByteArray answer(const QByteArray &request)
    {
        const int id = quint8(request[0]);
        auto it = controllers.find(id);
        if (it == controllers.end() || it->second.silent)
            return {};
        Controller &c = it->second;
        const int function = request[1];
        const int address = requestAddress(request);
        const int field = requestValue(request);
        if (function == 3 && address == 0 && field == HoldingRegisterCount)
            return readReply(id, 3, std::span<const std::uint16_t>(c.registers.data(), c.registers.size()));
        if (function == 6 && address < HoldingRegisterCount) {
            c.writes << request;
            if (c.refused.count(address))
                return exceptionReply(id, 6, 3);
            c.registers[size_t(address)] = std::uint16_t(c.altered.count(address) ? field + 1 : field);
            return request;
        }
        return exceptionReply(id, function, 2);
    }

    std::map<int, Controller> controllers;
};

} // namespace orbalis::test
