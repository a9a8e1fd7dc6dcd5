#pragma once

#include <QApplication>

namespace orbalis::test {

// Widget tests need one QApplication for the whole test program.
inline QApplication &qtApp()
{
    static int argc = 1;
    static char name[] = "orbalis-tests";
    static char *argv[] = {name, nullptr};
    static QApplication *app = QApplication::instance()
        ? static_cast<QApplication *>(QApplication::instance())
        : new QApplication(argc, argv);
    return *app;
}

} // namespace orbalis::test
