#pragma once

#include <QString>
#include <exception>

namespace orbalis {

// Error numbers shown by the error trap and reacted on by the cycles.
enum ErrorNumber : int {
    InvalidArgument = 5,        // a text the code page cannot hold, a malformed value
    Overflow = 6,               // a number out of range for its type
    OutOfMemory = 7,
    SubscriptOutOfRange = 9,    // a reply too short for the positions read
    BadFileName = 52,
    FileNotFound = 53,
    BadRecordLength = 59,       // a record's texts do not fit 128 bytes
    DiskFull = 61,
    InputPastEndOfFile = 62,    // a length prefix that runs past the end of the file
    PermissionDenied = 70,
    PathFileAccess = 75,
    InvalidPortNumber = 8002,
    DeviceNotOpen = 8012,
    PortNotOpen = 8018,
    ReadError = 8020,
    DeviceControlBlock = 8021,
};

// The standard description of an error number ("Overflow", "Disk full", ...).
QString errorDescription(int number);

// Maps an errno value of a failed file operation onto the error numbers above.
int errorNumberForErrno(int err);

// The one exception type of the system. It carries an error number and, where
// it helps the user, a detail (a path, the system's own reason).
class Error : public std::exception {
public:
    explicit Error(int number, QString detail = {});

    int number() const { return number_; }
    const QString &detail() const { return detail_; }
    // The description the trap shows: the standard text, then the detail.
    QString description() const;
    const char *what() const noexcept override { return what_.constData(); }

private:
    int number_;
    QString detail_;
    QByteArray what_;
};

// The same Error with `what` before its detail: "cannot read: No such file or
// directory", "/home/op/a.csv: No space left on device".
Error withContext(const Error &e, const QString &what);

// The exception being handled, as an Error: an Error as it is, running out of
// memory as Error 7, anything else as Error 75 with what it says of itself.
// Call it only inside a catch block.
Error currentExceptionAsError() noexcept;

} // namespace orbalis
