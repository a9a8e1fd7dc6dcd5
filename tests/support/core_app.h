#pragma once

#include <QCoreApplication>

namespace orbalis::test {

// Tests of the core need an event loop, never a display: one
// QCoreApplication for the whole test program (or whatever application a
// window test program made first).
inline QCoreApplication &coreApp()
{
    static int argc = 1;
    static char name[] = "orbalis-core-tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app =
        QCoreApplication::instance() ? QCoreApplication::instance() : new QCoreApplication(argc, argv);
    return *app;
}

} // namespace orbalis::test
