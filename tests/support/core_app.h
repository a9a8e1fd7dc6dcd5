#pragma once

#include <QCoreApplication>

namespace orbalis::test {

// Tests without widgets that need Qt's plugins (the SQLite driver) need one
// QCoreApplication for the whole test program.
inline QCoreApplication &coreApp()
{
    static int argc = 1;
    static char name[] = "orbalis-tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app = QCoreApplication::instance() ? QCoreApplication::instance()
                                                                : new QCoreApplication(argc, argv);
    return *app;
}

} // namespace orbalis::test
