#pragma once

#include "parameter/file_dialogs.h"

#include "link/frames.h"

#include <QList>
#include <QStringList>
#include <optional>

namespace orbalis::test {

// File dialogs that answer from a script and note what they were asked.
class FakeFileDialogs : public FileDialogs {
public:
    std::optional<QString> openFileName(const QString &title, const QString &filter) override
    {
        asked << title + u'|' + filter;
        return openAnswers.isEmpty() ? std::nullopt : openAnswers.takeFirst();
    }
    std::optional<QString> saveFileName(const QString &title, const QString &filter) override
    {
        asked << title + u'|' + filter;
        return saveAnswers.isEmpty() ? std::nullopt : saveAnswers.takeFirst();
    }
    QList<std::optional<QString>> openAnswers;
    QList<std::optional<QString>> saveAnswers;
    QStringList asked;
};

// The write-single-register request a controller echoes.
inline QByteArray Write_Request(int id, int address, int value)
{
    const auto frame = Build_Request(std::uint8_t(id), 6, address, value);
    return QByteArray(reinterpret_cast<const char *>(frame->data()), 8);
}

inline int Request_Address(const QByteArray &request)
{
    return quint8(request[2]) << 8 | quint8(request[3]);
}

inline int Request_Value(const QByteArray &request)
{
    return quint8(request[4]) << 8 | quint8(request[5]);
}

} // namespace orbalis::test
