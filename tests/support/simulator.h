#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace orbalis::test {

// orbalis-sim, built next to the test programs (ORBALIS_BIN_DIR, else the
// folder of the running test program).
inline QString simulatorProgram()
{
    const QByteArray dir = qgetenv("ORBALIS_BIN_DIR");
    const QString bin = dir.isEmpty()
        ? QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).path()
        : QString::fromLocal8Bit(dir);
    return QDir(bin).filePath(QStringLiteral("orbalis-sim"));
}

inline bool simulatorBuilt() { return QFileInfo(simulatorProgram()).isExecutable(); }

// The simulator as a child process on a pseudo-terminal linked as
// programDir/ports/COMn; stopped (SIGTERM, then SIGKILL) when it goes.
class SimulatedLine {
public:
    SimulatedLine() = default;
    SimulatedLine(const SimulatedLine &) = delete;
    SimulatedLine &operator=(const SimulatedLine &) = delete;
    ~SimulatedLine() { stop(); }

    // Starts it with the program folder, the COM number and further options,
    // and waits until it says which pseudo-terminal it serves. On failure the
    // result is false and `said` tells why.
    bool start(const QString &programDir, int com, const QStringList &options, int timeoutMs = 10000)
    {
        said_.clear();
        process_.start(simulatorProgram(), QStringList{QStringLiteral("--program-dir"), programDir,
                                                       QStringLiteral("--com"), QString::number(com)}
                                               + options);
        if (!process_.waitForStarted(timeoutMs)) {
            said_ = process_.errorString().toUtf8();
            return false;
        }
        QElapsedTimer waited;
        waited.start();
        while (!said_.contains('\n') && process_.state() == QProcess::Running && waited.elapsed() < timeoutMs) {
            process_.waitForReadyRead(100);
            said_ += process_.readAllStandardOutput();
        }
        const QByteArray expected = "orbalis-sim: COM" + QByteArray::number(com) + " -> /dev/pts/";
        if (!said_.startsWith(expected)) {
            said_ += process_.readAllStandardError();
            return false;
        }
        return true;
    }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }

    // What it printed at the start (or why it did not start).
    const QByteArray &said() const { return said_; }
    QProcess &process() { return process_; }

private:
    QProcess process_;
    QByteArray said_;
};

// One line of the simulator's traffic log (--log FILE).
struct LoggedFrame {
    QDateTime at;
    bool request = false;   // "<-": from the console
    QByteArray bytes;
};

inline QList<LoggedFrame> readTrafficLog(const QString &path)
{
    QList<LoggedFrame> frames;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return frames;
    static const QRegularExpression line(QStringLiteral("^(\\S+) (<-|->) ([0-9A-F ]+)$"));
    for (const QByteArray &raw : f.readAll().split('\n')) {
        const auto m = line.match(QString::fromLatin1(raw));
        if (!m.hasMatch())
            continue;
        LoggedFrame frame;
        frame.at = QDateTime::fromString(m.captured(1), QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
        frame.request = m.captured(2) == u"<-";
        frame.bytes = QByteArray::fromHex(m.captured(3).toLatin1());
        frames << frame;
    }
    return frames;
}

} // namespace orbalis::test
