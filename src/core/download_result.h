#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace orbalis {

// What a download did to one controller.
struct DownloadResult {
    int slot = -1;
    int controllerId = 0;

    // Why nothing was written: "the backup read failed (No Answer !)", or
    // "the backup PATH was not saved (the reason)". Empty when the backup
    // was taken.
    QString backupFailure;
    QString backupPath;        // the backup saved

    int planned = 0;           // writes the download meant to send
    int accepted = 0;          // answered by the controller's echo
    QStringList notAccepted;   // mnemonics, in the order written
    // The read after writing: verified is how many accepted writes the
    // controller holds as written; nullopt when that read failed (and
    // verifyFailure says how).
    std::optional<int> verified;
    QString verifyFailure;
    QStringList differAfter;   // accepted, but the controller holds something else
    bool cutShort = false;     // stopped before its end (port closed, window closed)

    bool backupTaken() const { return backupFailure.isEmpty(); }
};

// The end text of a download:
//   "Written 105 of 106, verified 104; not accepted: DP; differ after writing: HILT"
// each list only when it is not empty; ", not verified (No Answer !)" when
// the read after writing failed; "Nothing differs: nothing written" when
// there was nothing to write; "Nothing was written: " and why when the
// backup failed; "Stopped after N of M written" when it was cut short.
QString downloadSummaryText(const DownloadResult &result);

} // namespace orbalis
