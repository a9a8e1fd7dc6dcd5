#include "program_version.h"

#include "orbalis_version.h"

#include <cstdio>
#include <cstring>

namespace orbalis {

QString programVersion()
{
    return QStringLiteral(ORBALIS_VERSION);
}

bool printVersionIfAsked(int argc, const char *const *argv, const char *programName)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", programName, ORBALIS_VERSION);
            return true;
        }
    }
    return false;
}

} // namespace orbalis
