#include "app/vraxgui.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("VRAX")); // where the settings are kept
    QGuiApplication::setApplicationDisplayName(VRAXGUI::tr("VRAX GUI"));

    QCommandLineParser parser;
    parser.setApplicationDescription(VRAXGUI::tr("Runs neural networks on VRAX boards or their simulator."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("description"), VRAXGUI::tr("NN description file to open."),
                                 QStringLiteral("[DESCRIPTION"));
    parser.addPositionalArgument(QStringLiteral("pictures"), VRAXGUI::tr("Pictures to open."),
                                 QStringLiteral("[PICTURE...]]"));
    parser.process(application);
    QStringList files = parser.positionalArguments();

    VRAXGUI window;
    window.show();
    if (!files.isEmpty()) {
        const QString description = files.takeFirst();
        // Once the event loop runs, so that error boxes appear over the window.
        QTimer::singleShot(0, &window, [&window, description, files] { window.openStartupFiles(description, files); });
    }
    return application.exec();
}
