#pragma once

#include "parameter/file_dialogs.h"

#include "core/parameter_write.h"

#include "link/frames.h"
#include "support/replies.h"

#include <QList>
#include <QStringList>
#include <optional>
#include <vector>

namespace orbalis::test {

// File dialogs that answer from a script and note what they were asked.
class FakeFileDialogs : public FileDialogs {
public:
    std::optional<QString> openFileName(const QString &title, const QString &filter, const QString &folder) override
    {
        asked << title + u'|' + filter;
        folders << folder;
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
    QStringList folders;   // where each open dialog opened
};

} // namespace orbalis::test
