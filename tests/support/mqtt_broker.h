#pragma once

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace orbalis::test {

// A TCP port on the loopback address that nobody listens on now.
inline int freeLoopbackPort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = 0;
    if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
        && ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &length) == 0)
        port = ntohs(a.sin_port);
    if (s >= 0)
        ::close(s);
    return port;
}

// Whether something accepts connections on the loopback port.
inline bool listening(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = s >= 0 && ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    if (s >= 0)
        ::close(s);
    return ok;
}

inline QString mosquittoProgram()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {QStringLiteral("/usr/sbin")});
    return found;
}

inline bool mosquittoInstalled()
{
    return !mosquittoProgram().isEmpty() && !QStandardPaths::findExecutable(QStringLiteral("mosquitto_sub")).isEmpty();
}

// A mosquitto broker of the test's own on a free loopback port, with a
// configuration the test writes (no persistence, anonymous clients unless
// the extra lines say otherwise); stopped when it goes.
class MqttBroker {
public:
    MqttBroker() : port_(freeLoopbackPort()) {}
    ~MqttBroker() { stop(); }
    MqttBroker(const MqttBroker &) = delete;
    MqttBroker &operator=(const MqttBroker &) = delete;

    // Lines added to the listener's section (cafile ..., require_certificate true).
    void setListenerLines(const QStringList &lines) { listenerLines_ = lines; }
    // Only clients that log in as `user` with `password` (a password file
    // made with mosquitto_passwd).
    bool requireLogin(const QString &user, const QString &password)
    {
        const QString file = dir_.filePath(QStringLiteral("passwords"));
        QProcess p;
        p.start(QStringLiteral("mosquitto_passwd"), {QStringLiteral("-c"), QStringLiteral("-b"), file, user, password});
        if (!p.waitForFinished(10000) || p.exitCode() != 0)
            return false;
        anonymous_ = false;
        globalLines_ = {QStringLiteral("password_file ") + file};
        return true;
    }

    bool start(int timeoutMs = 10000)
    {
        QStringList config{QStringLiteral("listener %1 127.0.0.1").arg(port_)};
        config << listenerLines_ << globalLines_
               << (anonymous_ ? QStringLiteral("allow_anonymous true") : QStringLiteral("allow_anonymous false"))
               << QStringLiteral("persistence false") << QStringLiteral("log_dest stderr");
        // As root it would become the user mosquitto, who may not read the test's files.
        if (::geteuid() == 0)
            config << QStringLiteral("user root");
        const QString path = dir_.filePath(QStringLiteral("mosquitto.conf"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write((config.join(u'\n') + u'\n').toUtf8()) < 0)
            return false;
        f.close();
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(mosquittoProgram(), {QStringLiteral("-c"), path});
        if (!process_.waitForStarted(timeoutMs))
            return false;
        QElapsedTimer waited;
        waited.start();
        while (!listening(port_)) {
            if (process_.state() != QProcess::Running || waited.elapsed() > timeoutMs)
                return false;
            QThread::msleep(20);
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

    int port() const { return port_; }
    QByteArray said() { return process_.readAll(); }
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    int port_;
    QStringList listenerLines_;
    QStringList globalLines_;
    bool anonymous_ = true;
    QProcess process_;
};

// One message as mosquitto_sub printed it.
struct ReceivedMessage {
    bool retained = false;
    QByteArray topic;
    QByteArray payload;
};

// mosquitto_sub on the test's broker, QoS 1, printing every message; it
// reconnects and subscribes again by itself after the broker restarts.
class MqttSubscriber {
public:
    ~MqttSubscriber() { stop(); }

    bool start(int port, const QStringList &topics, const QStringList &more = {})
    {
        QStringList args{QStringLiteral("-h"), QStringLiteral("127.0.0.1"), QStringLiteral("-p"), QString::number(port),
                         QStringLiteral("-q"), QStringLiteral("1"), QStringLiteral("-F"), QStringLiteral("%r %t %p")};
        for (const QString &t : topics)
            args << QStringLiteral("-t") << t;
        process_.start(QStringLiteral("mosquitto_sub"), args + more);
        return process_.waitForStarted(5000);
    }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(2000);
        }
    }

    // Everything printed so far, one message a line.
    const QList<ReceivedMessage> &messages()
    {
        pending_ += process_.readAllStandardOutput();
        qsizetype end;
        while ((end = pending_.indexOf('\n')) >= 0) {
            const QByteArray line = pending_.left(end);
            pending_.remove(0, end + 1);
            const qsizetype a = line.indexOf(' ');
            const qsizetype b = a < 0 ? -1 : line.indexOf(' ', a + 1);
            if (b < 0)
                continue;
            messages_.append({line.left(a) == "1", line.mid(a + 1, b - a - 1), line.mid(b + 1)});
        }
        return messages_;
    }

    QList<ReceivedMessage> on(const QByteArray &topic)
    {
        QList<ReceivedMessage> found;
        for (const ReceivedMessage &m : messages())
            if (m.topic == topic)
                found << m;
        return found;
    }

    QProcess &process() { return process_; }

private:
    QProcess process_;
    QByteArray pending_;
    QList<ReceivedMessage> messages_;
};

} // namespace orbalis::test
