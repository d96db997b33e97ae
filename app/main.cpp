#include "app/vraxgui.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QGuiApplication::setApplicationDisplayName(VRAXGUI::tr("VRAX GUI"));
    VRAXGUI window;
    window.show();
    return application.exec();
}
