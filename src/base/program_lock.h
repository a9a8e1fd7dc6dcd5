#pragma once

#include <QLockFile>
#include <QString>

namespace orbalis {

// One console or gateway per program folder: its settings file, Orbalis.ini
// and the record files must never be written by two programs at once. The
// lock is the file "Orbalis.lock" in the folder, held while the program
// runs; one left behind by a program that was killed is taken over.
class ProgramLock {
public:
    explicit ProgramLock(const QString &programDir);
    ProgramLock(const ProgramLock &) = delete;
    ProgramLock &operator=(const ProgramLock &) = delete;

    static QString fileName() { return QStringLiteral("Orbalis.lock"); }

    // False only when another program holds the folder; a folder where no
    // lock can be made (not writable) is not refused here: whatever is
    // written there fails and says so on its own.
    bool tryLock();
    // Why tryLock refused, as a message for the user.
    QString refusal() const { return refusal_; }

private:
    QString programDir_;
    QLockFile file_;
    QString refusal_;
};

} // namespace orbalis
