#include "sim_app.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return orbalis::sim::runSimulator(QCoreApplication::arguments(), QCoreApplication::applicationDirPath());
}
