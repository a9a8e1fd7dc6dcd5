#pragma once

#include "controller_parameters.h"
#include "parameter_diff.h"
#include "parameter_write.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace orbalis {

// A compare of one controller with a parameter file (or a backup of it).
struct Comparison {
    int slot = 0;
    int controllerId = 0;
    QString source;                 // the file compared with
    WriteOrigin origin = WriteOrigin::File;   // File, or Restore for a backup
    QDateTime readAt;               // when the controller was read
    ControllerParameters controller;
    QStringList wanted;             // the file's 109 texts
    std::vector<ParameterDifference> differences;

    static Comparison of(int slot, int controllerId, const QString &source, WriteOrigin origin,
                         const QDateTime &readAt, const ControllerParameters &controller,
                         const QStringList &wanted);
};

// "3 parameters of controller 1 differ from 240501-120000 1.par", or "No difference:
// controller 1 holds what 240501-120000 1.par says".
QString comparisonHeadline(const Comparison &comparison);
// The differences that "Write differences" leaves alone, named:
// "Not written by \"Write differences\": BAUD, ID"; empty when there are none.
QString unwrittenNote(const Comparison &comparison);

// The report "Save report..." saves: what was compared with what and when,
// then one line per difference in columns (mnemonic, label, controller,
// file), as plain text.
QString compareReportText(const Comparison &comparison);

} // namespace orbalis
