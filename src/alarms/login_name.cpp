#include "login_name.h"

#include <QtGlobal>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace orbalis {

QString loginName()
{
    const uid_t uid = geteuid();
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd *found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    for (const char *variable : {"USER", "LOGNAME"}) {
        const QString name = qEnvironmentVariable(variable);
        if (!name.isEmpty())
            return name;
    }
    return QString::number(uid);
}

} // namespace orbalis
