#include "app/command_line.h"

#include "app/check_run.h"
#include "app/vraxgui.h"
#include "picture/picture_decoding.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

bool hasOption(int argc, char *argv[], std::initializer_list<const char *> options)
{
    for (int i = 1; i < argc; ++i)
        for (const char *option : options)
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
}

bool hasDisplay()
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString tr(const char *text)
{
    return QCoreApplication::translate("VRAXGUI", text);
}

// Without the organisation's name the application has no settings
// (settingsEnabled()): the command line runs as given, whatever the window
// remembers, and leaves the window's settings as they are.
void nameApplication(bool withSettings)
{
    if (withSettings)
        QCoreApplication::setOrganizationName(QStringLiteral("VRAX")); // where the settings are kept
    QCoreApplication::setApplicationName(QStringLiteral("vraxgui"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VRAXGUI_VERSION));
}

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption check{QStringLiteral("check"),
                             tr("Open the description and pictures without a window, run the network once on "
                                "each picture, print the status line after each run and exit (status 1 after an "
                                "error).")};

    Parser()
    {
        parser.setApplicationDescription(tr("Runs neural networks on VRAX boards or their simulator."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(check);
        // The files opened at start: the first names the description.
        parser.addPositionalArgument(QStringLiteral("description"), tr("NN description file to open."),
                                     QStringLiteral("[DESCRIPTION"));
        parser.addPositionalArgument(
            QStringLiteral("inputs"),
            tr("Pictures or folders of pictures, or one video file or camera device, to open."),
            QStringLiteral("[INPUT...]]"));
    }

    int usageError(const QString &problem) const
    {
        const QString usage = parser.helpText().section(QLatin1Char('\n'), 0, 0);
        std::fprintf(stderr, "vraxgui: %s\n%s\nTry 'vraxgui --help' for more information.\n", qPrintable(problem),
                     qPrintable(usage));
        return 2;
    }
};

// --check: the workbench alone on the simulator, until it has run everything.
int check(const QString &description, const QStringList &inputs)
{
    Workbench workbench;
    CheckRun run(workbench, description, inputs);
    run.start([](int status) {
        QMetaObject::invokeMethod(qApp, [status] { QCoreApplication::exit(status); }, Qt::QueuedConnection);
    });
    return QCoreApplication::exec();
}

} // namespace

int runVraxGui(int argc, char *argv[])
{
    // Help and version need neither a display nor the graphical platform.
    if (hasOption(argc, argv, {"-h", "--help", "--help-all", "-v", "--version"})) {
        QCoreApplication application(argc, argv);
        nameApplication(false);
        Parser parser;
        if (!parser.parser.parse(QCoreApplication::arguments()))
            return parser.usageError(parser.parser.errorText());
        parser.parser.process(application); // prints and exits
        return 0;
    }

    // --check, and usage errors, show no window: they must work without a
    // display (on a server, over ssh), so Qt draws off screen for them.
    const bool checking = hasOption(argc, argv, {"--check"});
    const bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    const bool windowless = !platformChosen && (!hasDisplay() || checking);
    if (windowless)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    nameApplication(!checking);
    quietDecoderWarnings();
    QGuiApplication::setApplicationDisplayName(tr("VRAX GUI"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.vraxgui.VraxGui"));
    QGuiApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.vraxgui.VraxGui")));

    Parser parser;
    if (!parser.parser.parse(QCoreApplication::arguments()))
        return parser.usageError(parser.parser.errorText());
    QStringList files = parser.parser.positionalArguments();

    if (parser.parser.isSet(parser.check)) {
        if (files.isEmpty())
            return parser.usageError(tr("--check needs a description to open"));
        const QString description = files.takeFirst();
        return check(description, files);
    }

    if (windowless) {
        std::fprintf(stderr, "vraxgui: no display to show the window on (DISPLAY is not set); "
                             "--check works without one\n");
        return 1;
    }
    VRAXGUI window;
    window.show();
    if (!files.isEmpty()) {
        const QString description = files.takeFirst();
        // Once the event loop runs, so that error boxes appear over the window.
        QTimer::singleShot(0, &window, [&window, description, files] { window.openStartupFiles(description, files); });
    }
    return QApplication::exec();
}
