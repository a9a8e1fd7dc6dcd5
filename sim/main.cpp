#include "sim_app.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return orbalis::sim::Run_Simulator(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
}
