// libmodbus stands in as an independent Modbus RTU stack: its requests must
// be byte for byte ours, and its replies must pass our check.
#include "link/frames.h"
#include "link/pseudo_terminal.h"

#include "support/errors.h"
#include "support/replies.h"
#include "support/fake_serial_port.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <modbus.h>

#include <atomic>
#include <memory>
#include <thread>

namespace orbalis {
namespace {

using test::bytes;
using test::frameBytes;

struct ModbusContext {
    void operator()(modbus_t *ctx) const
    {
        modbus_close(ctx);
        modbus_free(ctx);
    }
};
using ModbusPtr = std::unique_ptr<modbus_t, ModbusContext>;

// A libmodbus endpoint on the slave side of the pseudo-terminal.
ModbusPtr connectRtu(const PseudoTerminal &pty, int slaveId)
{
    ModbusPtr ctx(modbus_new_rtu(pty.slavePath().toLocal8Bit().constData(), 19200, 'N', 8, 2));
    if (!ctx || modbus_set_slave(ctx.get(), slaveId) != 0 || modbus_connect(ctx.get()) != 0)
        return nullptr;
    return ctx;
}

QByteArray masterRead(PseudoTerminal &pty, qsizetype count)
{
    return pty.readAtLeast(count, 2000);
}

// What the console sends for a request, taken from the port it writes to.
QByteArray consoleRead(std::uint8_t id, std::int16_t address, std::int32_t count)
{
    test::FakeSerialPort port;
    LineBuffers line;
    port.setPortOpen(true);
    Send_Read_Request(port, line, id, address, count);
    return port.outputs.value(0);
}

QByteArray consoleWrite(std::uint8_t id, std::int16_t address, std::int32_t value)
{
    test::FakeSerialPort port;
    LineBuffers line;
    port.setPortOpen(true);
    Send_Write_Request(port, line, id, address, value);
    return port.outputs.value(0);
}

TEST(ModbusRequests, LibmodbusMasterSendsOurBytes)
{
    PseudoTerminal pty;
    struct Read {
        int id, address, count;
    };
    for (const Read r : {Read{1, 4096, 30}, Read{1, 0, 109}, Read{17, 4095, 1}, Read{247, 4096, 1}, Read{2, 108, 1}}) {
        ModbusPtr ctx = connectRtu(pty, r.id);
        ASSERT_TRUE(ctx) << modbus_strerror(errno);
        modbus_set_response_timeout(ctx.get(), 0, 20000);
        std::uint16_t regs[125];
        // Nobody answers; only the request on the line matters.
        if (r.address >= 4096)
            modbus_read_input_registers(ctx.get(), r.address, r.count, regs);
        else
            modbus_read_registers(ctx.get(), r.address, r.count, regs);
        const QByteArray sent = masterRead(pty, 8);
        EXPECT_EQ(sent, consoleRead(std::uint8_t(r.id), std::int16_t(r.address), r.count))
            << r.id << " " << r.address << " " << r.count;
        EXPECT_EQ(sent, frameBytes(*buildRequest(std::uint8_t(r.id), r.address >= 4096 ? 4 : 3, r.address, r.count)));
    }

    struct Write {
        int id, address, value;
    };
    for (const Write w : {Write{1, 0, 250}, Write{9, 4096, 0}, Write{200, 32767, 65535}, Write{3, 57, 0x8000}}) {
        ModbusPtr ctx = connectRtu(pty, w.id);
        ASSERT_TRUE(ctx) << modbus_strerror(errno);
        modbus_set_response_timeout(ctx.get(), 0, 20000);
        modbus_write_register(ctx.get(), w.address, std::uint16_t(w.value));
        const QByteArray sent = masterRead(pty, 8);
        EXPECT_EQ(sent, consoleWrite(std::uint8_t(w.id), std::int16_t(w.address), w.value))
            << w.id << " " << w.address << " " << w.value;
    }
    EXPECT_EQ(consoleWrite(1, 0, 250), bytes({0x01, 0x06, 0x00, 0x00, 0x00, 0xFA, 0x09, 0x89}));
}

// The console's side of the line when the master end of the pseudo-terminal
// is the console's port.
class MasterSidePort : public SerialPort {
public:
    explicit MasterSidePort(PseudoTerminal &pty) : pty_(pty) {}
    bool PortOpen() const override { return true; }
    void setPortOpen(bool) override {}
    int CommPort() const override { return 1; }
    void setCommPort(int) override {}
    QString Settings() const override { return QStringLiteral("19200,N,8,2"); }
    void setSettings(const QString &) override {}
    void Output(const QByteArray &bytes) override { pty_.write(bytes); }
    QByteArray Input() override
    {
        QByteArray out;
        out.swap(pending_);
        return out + pty_.readAvailable();
    }
    // Lets the reply come in, as the interval between two ticks does.
    // Whether that many bytes came.
    bool Await(qsizetype count, int timeoutMs = 2000)
    {
        QElapsedTimer clock;
        clock.start();
        while (pending_.size() < count && clock.elapsed() < timeoutMs)
            pending_ += pty_.readFor(50);
        return pending_.size() >= count;
    }

private:
    PseudoTerminal &pty_;
    QByteArray pending_;
};

class ModbusServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = connectRtu(pty, 1);
        ASSERT_TRUE(server) << modbus_strerror(errno);
        map = modbus_mapping_new_start_address(0, 0, 0, 0, 0, 109, 4096, 30);
        ASSERT_NE(map, nullptr);
        for (int i = 0; i < 109; ++i)
            map->tab_registers[i] = std::uint16_t(i * 257);
        for (int i = 0; i < 30; ++i)
            map->tab_input_registers[i] = std::uint16_t(0xFF00 + i);
        modbus_set_indication_timeout(server.get(), 0, 100000);
        worker = std::thread([this] {
            std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
            while (!stop) {
                const int rc = modbus_receive(server.get(), query);
                if (rc > 0)
                    modbus_reply(server.get(), query, rc, map);
                else if (rc < 0 && errno != ETIMEDOUT)
                    break;
            }
        });
    }

    void TearDown() override
    {
        stop = true;
        if (worker.joinable())
            worker.join();
        modbus_mapping_free(map);
    }

    ReplyOutcome exchangeRead(std::uint8_t id, std::int16_t address, std::int32_t count, qsizetype replySize)
    {
        Send_Read_Request(port, line, id, address, count);
        EXPECT_TRUE(port.Await(replySize)) << "no full reply in time";
        return Check_Reply(port, line);
    }

    PseudoTerminal pty;
    ModbusPtr server;
    modbus_mapping_t *map = nullptr;
    std::atomic<bool> stop{false};
    std::thread worker;
    MasterSidePort port{pty};
    LineBuffers line;
};

TEST_F(ModbusServer, ReadRepliesPassTheCheck)
{
    ASSERT_EQ(exchangeRead(1, 0, 109, 223), ReplyOutcome::Valid);
    ASSERT_EQ(line.Reply_Buffer.size(), 223);
    EXPECT_EQ(line.Reply_Buffer.left(3), bytes({0x01, 0x03, 218}));
    for (int k = 0; k < 109; ++k) {
        EXPECT_EQ(std::uint8_t(line.Reply_Buffer[3 + 2 * k]), (k * 257) >> 8 & 0xFF) << k;
        EXPECT_EQ(std::uint8_t(line.Reply_Buffer[4 + 2 * k]), (k * 257) & 0xFF) << k;
    }

    ASSERT_EQ(exchangeRead(1, 4096, 30, 65), ReplyOutcome::Valid);
    ASSERT_EQ(line.Reply_Buffer.size(), 65);
    EXPECT_EQ(line.Reply_Buffer.left(3), bytes({0x01, 0x04, 60}));
    EXPECT_EQ(line.Reply_Buffer.mid(3 + 2 * 29, 2), bytes({0xFF, 29}));

    ASSERT_EQ(exchangeRead(1, 57, 1, 7), ReplyOutcome::Valid);
    EXPECT_EQ(line.Reply_Buffer.mid(3, 2), bytes({57, 57}));
}

TEST_F(ModbusServer, WriteEchoPassesTheCheck)
{
    Send_Write_Request(port, line, 1, 12, 0xBEEF);
    ASSERT_TRUE(port.Await(8));
    EXPECT_EQ(Check_Reply(port, line), ReplyOutcome::Valid);
    EXPECT_EQ(line.Reply_Buffer, frameBytes(line.Request_Frame));
    EXPECT_EQ(exchangeRead(1, 12, 1, 7), ReplyOutcome::Valid);
    EXPECT_EQ(line.Reply_Buffer.mid(3, 2), bytes({0xBE, 0xEF}));
}

TEST_F(ModbusServer, ExceptionRepliesPassTheCheck)
{
    // Past the end of the holding registers: address error.
    ASSERT_EQ(exchangeRead(1, 100, 20, 5), ReplyOutcome::Valid);
    EXPECT_EQ(line.Reply_Buffer.left(3), bytes({0x01, 0x83, 0x02}));
    // More registers than a frame can carry: data error.
    ASSERT_EQ(exchangeRead(1, 0, 200, 5), ReplyOutcome::Valid);
    EXPECT_EQ(line.Reply_Buffer.left(3), bytes({0x01, 0x83, 0x03}));
}

TEST_F(ModbusServer, LateRepliesAndSilenceGiveNoFalseReply)
{
    // A reply nobody took is flushed by the next request and never mixes
    // with that request's reply.
    Send_Read_Request(port, line, 1, 0, 109);
    ASSERT_TRUE(port.Await(223));
    ASSERT_EQ(exchangeRead(1, 4096, 1, 7), ReplyOutcome::Valid);
    EXPECT_EQ(line.Reply_Buffer, withCrc(bytes({0x01, 0x04, 0x02, 0xFF, 0x00})));

    // The server answers ID 1 only.
    Send_Read_Request(port, line, 2, 0, 1);
    EXPECT_FALSE(port.Await(1, 200));
    EXPECT_EQ(Check_Reply(port, line), ReplyOutcome::NoReply);
    EXPECT_TRUE(line.Reply_Buffer.isEmpty());
}

} // namespace
} // namespace orbalis
