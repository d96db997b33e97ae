#include "app/vraxgui.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

// Help, version, --check and usage errors show no window: they must work
// without a display (on a server, over ssh), so Qt draws off screen for them.
bool needsNoWindow(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "--help-all", "-v", "--version", "--check"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int usageError(const QCommandLineParser &parser, const QString &problem)
{
    const QString usage = parser.helpText().section(QLatin1Char('\n'), 0, 0);
    std::fprintf(stderr, "vraxgui: %s\n%s\nTry 'vraxgui --help' for more information.\n", qPrintable(problem),
                 qPrintable(usage));
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    // Without a display the window cannot be shown, but the rest still works.
    const bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    const bool windowless = !platformChosen && (!hasDisplay() || needsNoWindow(argc, argv));
    if (windowless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("VRAX")); // where the settings are kept
    QCoreApplication::setApplicationName(QStringLiteral("vraxgui"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VRAXGUI_VERSION));
    QGuiApplication::setApplicationDisplayName(VRAXGUI::tr("VRAX GUI"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vraxgui.VraxGui"));
    QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.vraxgui.VraxGui")));

    QCommandLineParser parser;
    parser.setApplicationDescription(VRAXGUI::tr("Runs neural networks on VRAX boards or their simulator."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption checkOption(
        QStringLiteral("check"),
        VRAXGUI::tr("Open the description and pictures without a window, run the network once on each "
                    "picture, print the status line after each run and exit (status 1 after an error)."));
    parser.addOption(checkOption);
    // The files opened at start: the first names the description.
    parser.addPositionalArgument(QStringLiteral("description"), VRAXGUI::tr("NN description file to open."),
                                 QStringLiteral("[DESCRIPTION"));
    parser.addPositionalArgument(QStringLiteral("inputs"),
                                 VRAXGUI::tr("Pictures or folders of pictures, or one video file or camera device, to open."),
                                 QStringLiteral("[INPUT...]]"));
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser, parser.errorText());
    parser.process(application); // --help, --help-all and --version print and exit
    QStringList files = parser.positionalArguments();

    VRAXGUI window;
    if (parser.isSet(checkOption)) {
        if (files.isEmpty())
            return usageError(parser, VRAXGUI::tr("--check needs a description to open"));
        const QString description = files.takeFirst();
        return window.checkFiles(description, files) ? 0 : 1;
    }

    if (windowless) {
        std::fprintf(stderr, "vraxgui: no display to show the window on (DISPLAY is not set); "
                             "--check works without one\n");
        return 1;
    }
    window.show();
    if (!files.isEmpty()) {
        const QString description = files.takeFirst();
        // Once the event loop runs, so that error boxes appear over the window.
        QTimer::singleShot(0, &window, [&window, description, files] { window.openStartupFiles(description, files); });
    }
    return application.exec();
}
