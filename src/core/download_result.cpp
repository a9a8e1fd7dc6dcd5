#include "download_result.h"

namespace orbalis {

QString downloadSummaryText(const DownloadResult &r)
{
    const QString comma = QStringLiteral(", ");
    if (!r.backupTaken())
        return QStringLiteral("Nothing was written: ") + r.backupFailure;
    if (r.cutShort)
        return QStringLiteral("Stopped after %1 of %2 written").arg(r.accepted).arg(r.planned);
    if (r.planned == 0)
        return QStringLiteral("Nothing differs: nothing written");
    QString text = QStringLiteral("Written %1 of %2").arg(r.accepted).arg(r.planned);
    if (r.verified)
        text += QStringLiteral(", verified %1").arg(*r.verified);
    else
        text += QStringLiteral(", not verified (%1)").arg(r.verifyFailure);
    if (!r.notAccepted.isEmpty())
        text += QStringLiteral("; not accepted: ") + r.notAccepted.join(comma);
    if (!r.differAfter.isEmpty())
        text += QStringLiteral("; differ after writing: ") + r.differAfter.join(comma);
    return text;
}

} // namespace orbalis
