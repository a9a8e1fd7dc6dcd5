#include "compare_report.h"

#include <QFileInfo>
#include <algorithm>
#include <array>

namespace orbalis {

Comparison Comparison::of(int slot, int controllerId, const QString &source, WriteOrigin origin,
                          const QDateTime &readAt, const ControllerParameters &controller, const QStringList &wanted)
{
    Comparison c;
    c.slot = slot;
    c.controllerId = controllerId;
    c.source = source;
    c.origin = origin;
    c.readAt = readAt;
    c.controller = controller;
    c.wanted = wanted;
    c.differences = compareParameters(controller, wanted);
    return c;
}

QString comparisonHeadline(const Comparison &c)
{
    const QString file = QFileInfo(c.source).fileName();
    if (c.differences.empty())
        return QStringLiteral("No difference: controller %1 holds what %2 says").arg(c.controllerId).arg(file);
    if (c.differences.size() == 1)
        return QStringLiteral("1 parameter of controller %1 differs from %2").arg(c.controllerId).arg(file);
    return QStringLiteral("%1 parameters of controller %2 differ from %3")
        .arg(c.differences.size())
        .arg(c.controllerId)
        .arg(file);
}

QString unwrittenNote(const Comparison &c)
{
    QStringList names;
    for (const ParameterDifference &d : c.differences)
        if (!d.writable)
            names << parameterMnemonic(d.address);
    if (names.isEmpty())
        return {};
    return QStringLiteral("Not written by \"Write differences\": ") + names.join(QStringLiteral(", "));
}

QString compareReportText(const Comparison &c)
{
    QString text = QStringLiteral("Compare of controller ID %1 (slot %2) with %3\n")
                       .arg(c.controllerId)
                       .arg(c.slot + 1)
                       .arg(c.source);
    text += QStringLiteral("Controller read %1\n").arg(c.readAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    text += comparisonHeadline(c) + QLatin1Char('\n');
    if (c.differences.empty())
        return text;

    std::vector<std::array<QString, 4>> rows{
        {QStringLiteral("Mnemonic"), QStringLiteral("Label"), QStringLiteral("Controller"), QStringLiteral("File")}};
    for (const ParameterDifference &d : c.differences)
        rows.push_back({parameterMnemonic(d.address), parameterLabel(d.address), d.controllerText, d.wantedText});
    std::array<qsizetype, 4> widths{};
    for (const auto &row : rows)
        for (size_t k = 0; k < row.size(); ++k)
            widths[k] = std::max(widths[k], row[k].size());
    text += QLatin1Char('\n');
    for (const auto &row : rows) {
        QString line;
        for (size_t k = 0; k < row.size(); ++k)
            line += k + 1 < row.size() ? row[k].leftJustified(widths[k] + 2) : row[k];
        text += line + QLatin1Char('\n');
    }
    const QString note = unwrittenNote(c);
    if (!note.isEmpty())
        text += QLatin1Char('\n') + note + QLatin1Char('\n');
    return text;
}

} // namespace orbalis
