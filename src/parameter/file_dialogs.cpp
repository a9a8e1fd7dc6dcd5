#include "file_dialogs.h"

#include <QFileDialog>
#include <QStringList>

namespace orbalis {

QString qtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList qtFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString pattern = parts[i + 1].trimmed();
        if (description.isEmpty() || description == QLatin1Char('(') + pattern + QLatin1Char(')'))
            qtFilters << pattern;
        else
            qtFilters << description + QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    return qtFilters.join(QStringLiteral(";;"));
}

std::optional<QString> QtFileDialogs::openFileName(const QString &title, const QString &filter,
                                                   const QString &folder)
{
    const QString name = QFileDialog::getOpenFileName(parent_, title, folder, qtFileFilter(filter));
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> QtFileDialogs::saveFileName(const QString &title, const QString &filter)
{
    // The window asks its own overwrite question.
    const QString name = QFileDialog::getSaveFileName(parent_, title, QString(), qtFileFilter(filter),
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

} // namespace orbalis
