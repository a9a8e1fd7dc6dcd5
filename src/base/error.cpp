#include "error.h"

#include <cerrno>
#include <new>

namespace orbalis {

QString errorDescription(int number)
{
    switch (number) {
    case InvalidArgument: return QStringLiteral("Invalid procedure call or argument");
    case Overflow: return QStringLiteral("Overflow");
    case OutOfMemory: return QStringLiteral("Out of memory");
    case SubscriptOutOfRange: return QStringLiteral("Subscript out of range");
    case BadFileName: return QStringLiteral("Bad file name or number");
    case FileNotFound: return QStringLiteral("File not found");
    case BadRecordLength: return QStringLiteral("Bad record length");
    case DiskFull: return QStringLiteral("Disk full");
    case InputPastEndOfFile: return QStringLiteral("Input past end of file");
    case PermissionDenied: return QStringLiteral("Permission denied");
    case PathFileAccess: return QStringLiteral("Path/File access error");
    case InvalidPortNumber: return QStringLiteral("Invalid port number");
    case DeviceNotOpen: return QStringLiteral("The device is not open");
    case PortNotOpen: return QStringLiteral("Operation valid only when the port is open");
    case ReadError: return QStringLiteral("Error reading comm device");
    case DeviceControlBlock:
        return QStringLiteral("Internal error retrieving device control block for the port");
    default: return QStringLiteral("Application-defined or object-defined error");
    }
}

int errorNumberForErrno(int err)
{
    switch (err) {
    case ENOSPC:
    case EFBIG:
    case EDQUOT: return DiskFull;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return PermissionDenied;
    case ENOENT: return FileNotFound;
    case ENAMETOOLONG:
    case EINVAL: return BadFileName;
    default: return PathFileAccess;
    }
}

Error::Error(int number, QString detail)
    : number_(number), detail_(std::move(detail)), what_(description().toUtf8())
{
}

QString Error::description() const
{
    const QString base = errorDescription(number_);
    return detail_.isEmpty() ? base : base + QStringLiteral(" (") + detail_ + QLatin1Char(')');
}

Error withContext(const Error &e, const QString &what)
{
    return Error(e.number(), e.detail().isEmpty() ? what : what + QStringLiteral(": ") + e.detail());
}

Error currentExceptionAsError() noexcept
{
    try {
        throw;
    } catch (const Error &e) {
        return e;
    } catch (const std::bad_alloc &) {
        return Error(OutOfMemory);
    } catch (const std::exception &e) {
        return Error(PathFileAccess, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        return Error(PathFileAccess);
    }
}

} // namespace orbalis
