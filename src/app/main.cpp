#include "app/Startup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    Startup::choosePlatform();
    QApplication app(argc, argv);
    Startup::initialiseApplication();
    return Startup::run();
}
