#include "quiet_views.h"

#include <QDebug>

namespace orbalis {

QString StatusTexts::text(int panel) const
{
    return panel == 1 || panel == 2 ? texts_[std::size_t(panel - 1)] : QString();
}

void StatusTexts::setText(int panel, const QString &text)
{
    if (panel == 1 || panel == 2)
        texts_[std::size_t(panel - 1)] = text;
}

void LogReporter::warn(const QString &title, const QString &text)
{
    qWarning().noquote() << title + QStringLiteral(": ")
            + QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
}

bool LogReporter::askYesNo(const QString &title, const QString &text)
{
    qWarning().noquote() << title + QStringLiteral(": ") + text + QStringLiteral(" (answered No: nobody to ask)");
    return false;
}

} // namespace orbalis
