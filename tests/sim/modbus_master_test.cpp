// An independent Modbus master (libmodbus) against the simulator: in-process
// on a pseudo-terminal served by its own thread, and as the real program.
#include "sim/controller_registers.h"
#include "sim/line_server.h"

#include "link/pseudo_terminal.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <modbus.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <thread>

namespace orbalis::sim {
namespace {

using Context = std::unique_ptr<modbus_t, void (*)(modbus_t *)>;

Context Connect(const QString &device, int baud, int slave)
{
    Context ctx(modbus_new_rtu(device.toLocal8Bit().constData(), baud, 'N', 8, 2),
                [](modbus_t *m) { modbus_close(m); modbus_free(m); });
    if (!ctx)
        return ctx;
    modbus_set_slave(ctx.get(), slave);
    modbus_set_response_timeout(ctx.get(), 0, 500'000);
    if (modbus_connect(ctx.get()) != 0)
        ctx.reset();
    return ctx;
}

// The exception code of the reply to a raw 6-byte request (CRC added by libmodbus).
int exceptionOfRaw(modbus_t *ctx, std::initializer_list<std::uint8_t> request)
{
    std::vector<std::uint8_t> r(request);
    if (modbus_send_raw_request(ctx, r.data(), int(r.size())) < 0)
        return -1;
    std::uint8_t reply[MODBUS_RTU_MAX_ADU_LENGTH];
    const int n = modbus_receive_confirmation(ctx, reply);
    if (n != 5 || !(reply[1] & 0x80))
        return -2;
    return reply[2];
}

class ServedLine : public ::testing::Test {
protected:
    ServedLine() : bank({1, 2}, 5), engine(bank, {}, nullptr), server(terminal, engine)
    {
        thread = std::thread([this] { server.run(stop); });
    }
    ~ServedLine() override
    {
        stop = true;
        thread.join();
    }

    PseudoTerminal terminal;
    ControllerBank bank;
    LineEngine engine;
    LineServer server;
    std::atomic<bool> stop{false};
    std::thread thread;
};

TEST_F(ServedLine, ReadsAndWritesRegistersAsAnyMasterWould)
{
    Context ctx = Connect(terminal.slavePath(), 19200, 1);
    ASSERT_TRUE(ctx);

    std::uint16_t holding[109] = {};
    ASSERT_EQ(modbus_read_registers(ctx.get(), 0, 109, holding), 109) << modbus_strerror(errno);
    EXPECT_EQ(holding[reg::SV], 1000);
    EXPECT_EQ(holding[reg::RUN], reg::RUN_ON);
    EXPECT_EQ(holding[reg::DP], 48);
    EXPECT_EQ(holding[reg::BAUD], 64);
    EXPECT_EQ(holding[reg::ID], 1);

    std::uint16_t live[30] = {};
    ASSERT_EQ(modbus_read_input_registers(ctx.get(), 4096, 30, live), 30) << modbus_strerror(errno);
    EXPECT_EQ(live[1], 1000);             // SV
    EXPECT_LE(live[2], 1000);             // output in tenths of %
    EXPECT_EQ(live[3] & 0xFF00, 0x0400);  // ON

    ASSERT_EQ(modbus_write_register(ctx.get(), reg::SV, 1234), 1) << modbus_strerror(errno);
    std::uint16_t sv = 0;
    ASSERT_EQ(modbus_read_registers(ctx.get(), reg::SV, 1, &sv), 1);
    EXPECT_EQ(sv, 1234);

    // Controller 2 is a separate module.
    modbus_set_slave(ctx.get(), 2);
    ASSERT_EQ(modbus_read_registers(ctx.get(), reg::SV, 1, &sv), 1);
    EXPECT_EQ(sv, 1000);
}

TEST_F(ServedLine, RefusesWithTheExceptionCodesOfTheProtocol)
{
    Context ctx = Connect(terminal.slavePath(), 19200, 1);
    ASSERT_TRUE(ctx);
    std::uint16_t values[125] = {};

    EXPECT_EQ(modbus_write_bit(ctx.get(), 0, 1), -1);
    EXPECT_EQ(errno, EMBXILFUN);
    EXPECT_EQ(modbus_read_registers(ctx.get(), 100, 10, values), -1);
    EXPECT_EQ(errno, EMBXILADD);
    EXPECT_EQ(modbus_read_input_registers(ctx.get(), 0, 1, values), -1);
    EXPECT_EQ(errno, EMBXILADD);
    EXPECT_EQ(modbus_write_register(ctx.get(), 4096, 1), -1);
    EXPECT_EQ(errno, EMBXILADD);
    EXPECT_EQ(modbus_write_register(ctx.get(), reg::BAUD, 60), -1);   // not a BAUD code
    EXPECT_EQ(errno, EMBXILVAL);

    // Counts libmodbus would not send itself.
    EXPECT_EQ(exceptionOfRaw(ctx.get(), {1, 3, 0, 0, 0, 0}), 3);
    EXPECT_EQ(exceptionOfRaw(ctx.get(), {1, 4, 0x10, 0, 0, 126}), 3);

    // Still serving normally afterwards.
    EXPECT_EQ(modbus_read_registers(ctx.get(), 0, 1, values), 1);
}

TEST_F(ServedLine, AnswersOnlyAtItsBaudRateAndTheNewOneAfterTheEcho)
{
    {
        Context slow = Connect(terminal.slavePath(), 9600, 1);
        ASSERT_TRUE(slow);
        modbus_set_response_timeout(slow.get(), 0, 300'000);
        std::uint16_t v = 0;
        EXPECT_EQ(modbus_read_registers(slow.get(), 0, 1, &v), -1);
        EXPECT_EQ(errno, ETIMEDOUT);
    }
    {
        Context fast = Connect(terminal.slavePath(), 19200, 1);
        ASSERT_TRUE(fast);
        // The echo of the write still comes at the old rate.
        ASSERT_EQ(modbus_write_register(fast.get(), reg::BAUD, 63), 1) << modbus_strerror(errno);
    }
    Context slow = Connect(terminal.slavePath(), 9600, 1);
    ASSERT_TRUE(slow);
    std::uint16_t baud = 0;
    ASSERT_EQ(modbus_read_registers(slow.get(), reg::BAUD, 1, &baud), 1) << modbus_strerror(errno);
    EXPECT_EQ(baud, 63);
}

QString simulatorPath()
{
    const QByteArray dir = qgetenv("ORBALIS_BIN_DIR");
    // Built into the same folder as this test program.
    const QString bin = dir.isEmpty() ? QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path()
                                      : QString::fromLocal8Bit(dir);
    return QDir(bin).filePath(QStringLiteral("orbalis-sim"));
}

TEST(SimulatorProgram, ServesOnTheLinkedPortAndRemovesTheLinkOnTerminate)
{
    const QString program = simulatorPath();
    if (!QFileInfo(program).isExecutable())
        GTEST_SKIP() << "orbalis-sim is not built next to the tests";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess sim;
    sim.start(program, {QStringLiteral("--program-dir"), dir.path(), QStringLiteral("--com"), QStringLiteral("3"),
                        QStringLiteral("--ids"), QStringLiteral("4-5"), QStringLiteral("--error"),
                        QStringLiteral("5:1")});
    ASSERT_TRUE(sim.waitForStarted(5000));
    ASSERT_TRUE(sim.waitForReadyRead(5000));
    const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
    EXPECT_TRUE(line.startsWith(QStringLiteral("orbalis-sim: COM3 -> /dev/pts/"))) << line.toStdString();
    EXPECT_TRUE(line.endsWith(QStringLiteral(", controllers 4-5"))) << line.toStdString();

    const QString link = dir.filePath(QStringLiteral("ports/COM3"));
    ASSERT_TRUE(QFileInfo(link).isSymLink());
    Context ctx = Connect(link, 19200, 4);
    ASSERT_TRUE(ctx);
    std::uint16_t id = 0;
    EXPECT_EQ(modbus_read_registers(ctx.get(), reg::ID, 1, &id), 1) << modbus_strerror(errno);
    EXPECT_EQ(id, 4);
    modbus_set_slave(ctx.get(), 5);
    std::uint16_t status = 0;
    EXPECT_EQ(modbus_read_input_registers(ctx.get(), reg::STATUS_IN, 1, &status), 1);
    EXPECT_EQ(status & 0xF000, 0x1000);   // "--error 5:1": input open
    ctx.reset();

    sim.terminate();   // SIGTERM
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST(SimulatorProgram, BadArgumentsExitWithCodeTwoAndSayWhy)
{
    const QString program = simulatorPath();
    if (!QFileInfo(program).isExecutable())
        GTEST_SKIP() << "orbalis-sim is not built next to the tests";
    QProcess sim;
    sim.start(program, {QStringLiteral("--com"), QStringLiteral("zero")});
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 2);
    EXPECT_TRUE(sim.readAllStandardError().contains("--com"));
}

} // namespace
} // namespace orbalis::sim
