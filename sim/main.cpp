#include "sim_app.h"

#include "base/program_folder.h"
#include "base/program_version.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    if (orbalis::printVersionIfAsked(argc, argv, "orbalis-sim"))
        return 0;
    QCoreApplication app(argc, argv);
    return orbalis::sim::runSimulator(QCoreApplication::arguments(),
                                     orbalis::programFolder(QCoreApplication::applicationDirPath()));
}
