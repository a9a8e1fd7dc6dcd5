#include "mosquitto_handle.h"

#include <mosquitto.h>

#include <QFile>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <unistd.h>

namespace orbalis {

namespace {

void initialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

const char *orNull(const QByteArray &bytes)
{
    return bytes.isEmpty() ? nullptr : bytes.constData();
}

} // namespace

QString connackText(int code)
{
    // libmosquitto says "Connection Refused: not authorised."
    QString text = QString::fromUtf8(mosquitto_connack_string(code));
    text.remove(QStringLiteral("Connection Refused: "));
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

QString brokerName(const MqttSettings &settings)
{
    return settings.host + u':' + QString::number(settings.port) + (settings.tls() ? QStringLiteral(" (TLS)") : QString());
}

MosquittoHandle::MosquittoHandle()
{
    initialiseLibrary();
}

MosquittoHandle::~MosquittoHandle()
{
    if (mosq_)
        mosquitto_destroy(mosq_);
}

QString MosquittoHandle::setUp(const MqttConnection &c, Events events)
{
    events_ = std::move(events);
    libraryError_.clear();
    const QByteArray id = c.clientId.toUtf8();
    drop();
    mosq_ = mosquitto_new(orNull(id), true, this);
    if (!mosq_)
        return QStringLiteral("the MQTT client could not be made: ") + QString::fromLocal8Bit(std::strerror(errno));
    host_ = c.settings.host;
    port_ = c.settings.port;
    keepalive_ = c.settings.keepalive;
    mosquitto_int_option(mosq_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(mosq_, &MosquittoHandle::onConnect);
    mosquitto_publish_callback_set(mosq_, &MosquittoHandle::onPublish);
    mosquitto_message_callback_set(mosq_, &MosquittoHandle::onMessage);
    mosquitto_log_callback_set(mosq_, &MosquittoHandle::onLog);
    if (!c.willTopic.isEmpty()) {
        const int rc = mosquitto_will_set(mosq_, c.willTopic.constData(), int(c.willPayload.size()),
                                          c.willPayload.constData(), c.settings.qos, true);
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("the Last Will cannot be set: ") + errorText(rc);
    }
    if (!c.settings.username.isEmpty()) {
        const QByteArray user = c.settings.username.toUtf8();
        const int rc = mosquitto_username_pw_set(mosq_, user.constData(), c.password ? c.password->constData() : nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("the user name cannot be used: ") + errorText(rc);
    }
    if (c.settings.tls()) {
        const QByteArray ca = QFile::encodeName(c.settings.caFile);
        const QByteArray cert = QFile::encodeName(c.settings.certFile);
        const QByteArray key = QFile::encodeName(c.settings.keyFile);
        if (cert.isEmpty() != key.isEmpty())
            return QStringLiteral("cert_file and key_file go together: give both or neither");
        const int rc = mosquitto_tls_set(mosq_, ca.constData(), nullptr, orNull(cert), orNull(key), nullptr);
        if (rc != MOSQ_ERR_SUCCESS)
            return QStringLiteral("TLS cannot be set up with ca_file %1%2: %3")
                .arg(c.settings.caFile,
                     cert.isEmpty() ? QString() : QStringLiteral(", cert_file %1, key_file %2").arg(c.settings.certFile, c.settings.keyFile),
                     rc == MOSQ_ERR_INVAL ? QStringLiteral("a file cannot be read") : errorText(rc));
    }
    return {};
}

QString MosquittoHandle::connect()
{
    if (!mosq_)
        return QStringLiteral("not set up");
    libraryError_.clear();
    const QByteArray host = host_.toUtf8();
    errno = 0;
    const int rc = mosquitto_connect_async(mosq_, host.constData(), port_, keepalive_);
    return rc == MOSQ_ERR_SUCCESS ? QString() : errorText(rc);
}

QString MosquittoHandle::turn(int wakeFd, int timeoutMs)
{
    const int socket = mosq_ ? mosquitto_socket(mosq_) : -1;
    pollfd fds[2];
    nfds_t count = 0;
    if (wakeFd >= 0)
        fds[count++] = {wakeFd, POLLIN, 0};
    const nfds_t socketAt = count;
    if (socket >= 0)
        fds[count++] = {socket, short(POLLIN | (mosquitto_want_write(mosq_) ? POLLOUT : 0)), 0};
    if (::poll(fds, count, timeoutMs) < 0 && errno != EINTR)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (wakeFd >= 0 && (fds[0].revents & POLLIN)) {
        std::uint64_t n = 0;
        [[maybe_unused]] const auto ignored = ::read(wakeFd, &n, sizeof n);
    }
    if (socket < 0)
        return QStringLiteral("not connected");
    const short got = fds[socketAt].revents;
    int rc = MOSQ_ERR_SUCCESS;
    if (got & (POLLIN | POLLERR | POLLHUP))
        rc = mosquitto_loop_read(mosq_, 1);
    if (rc == MOSQ_ERR_SUCCESS && (got & POLLOUT))
        rc = mosquitto_loop_write(mosq_, 1);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_loop_misc(mosq_);
    // What was published in the callbacks goes out now.
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_want_write(mosq_))
        rc = mosquitto_loop_write(mosq_, 1);
    if (rc == MOSQ_ERR_SUCCESS)
        return {};
    return errorText(rc);
}

void MosquittoHandle::disconnect()
{
    if (!mosq_)
        return;
    mosquitto_disconnect(mosq_);
    // The DISCONNECT packet is written now, not at a later turn.
    for (int i = 0; i < 10 && mosquitto_socket(mosq_) >= 0 && mosquitto_want_write(mosq_); ++i)
        if (mosquitto_loop_write(mosq_, 1) != MOSQ_ERR_SUCCESS)
            break;
}

void MosquittoHandle::drop()
{
    if (mosq_)
        mosquitto_destroy(mosq_);
    mosq_ = nullptr;
}

bool MosquittoHandle::hasSocket() const
{
    return mosq_ && mosquitto_socket(mosq_) >= 0;
}

QString MosquittoHandle::errorText(int rc) const
{
    QString text;
    if (rc == MOSQ_ERR_ERRNO)
        text = QString::fromLocal8Bit(std::strerror(errno));
    else if (rc == MOSQ_ERR_CONN_REFUSED)
        text = QStringLiteral("the broker refused the connection");
    else if (rc == MOSQ_ERR_EAI)
        text = QStringLiteral("the host name cannot be looked up");
    else if (rc == MOSQ_ERR_CONN_LOST)
        text = QStringLiteral("the connection broke off");
    else if (rc == MOSQ_ERR_KEEPALIVE)
        text = QStringLiteral("no answer within the keepalive");
    else
        text = QString::fromUtf8(mosquitto_strerror(rc));
    if (text.endsWith(u'.'))
        text.chop(1);
    if (rc == MOSQ_ERR_TLS && !libraryError_.isEmpty())
        text += QStringLiteral(": ") + libraryError_;
    return text;
}

void MosquittoHandle::onConnect(mosquitto *mosq, void *self, int code)
{
    auto *h = static_cast<MosquittoHandle *>(self);
    // The library formats a log line for every packet while someone listens;
    // what is worth its words (TLS, a refusal) happens before this answer.
    if (code == 0)
        mosquitto_log_callback_set(mosq, nullptr);
    if (h->events_.connack)
        h->events_.connack(code);
}

void MosquittoHandle::onPublish(mosquitto *, void *self, int mid)
{
    auto *h = static_cast<MosquittoHandle *>(self);
    if (h->events_.published)
        h->events_.published(mid);
}

void MosquittoHandle::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    auto *h = static_cast<MosquittoHandle *>(self);
    if (h->events_.message && message)
        h->events_.message(*message);
}

void MosquittoHandle::onLog(mosquitto *, void *self, int level, const char *text)
{
    // OpenSSL's reasons come only this way ("OpenSSL Error[0]: ... certificate verify failed").
    if (level == MOSQ_LOG_ERR && text)
        static_cast<MosquittoHandle *>(self)->libraryError_ = QString::fromUtf8(text);
}

} // namespace orbalis
