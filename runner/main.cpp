// vrax-run: runs an NN description over pictures without a window and
// reports how fast and how well the board did.
#include "accel/attached_boards.h"
#include "accel/result_check.h"
#include "picture/picture_decoding.h"
#include "runner/batch_run.h"
#include "runner/accuracy_gate.h"
#include "runner/progress_bar.h"
#include "runner/run_outputs.h"
#include "runner/run_report.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

namespace {

enum ExitStatus { Success = 0, Failed = 1, UsageFault = 2, BelowAgreement = 3 };
constexpr int BelowAccuracy = BelowAgreement;

void printError(const QString &message)
{
    std::fprintf(stderr, "vrax-run: %s\n", message.toLocal8Bit().constData());
}

// The attached boards, one a line as -b and --compare-with take them.
int listBoards()
{
    try {
        const std::vector<AttachedBoard> boards = attachedBoards();
        for (const AttachedBoard &board : boards)
            std::printf("%s\n", boardName(board.type, board.index).c_str());
        std::fflush(stdout);
        if (boards.size() == 1)
            std::fprintf(stderr, "vrax-run: only the simulator is attached. %s.\n", howBoardsAreAttached().c_str());
    } catch (const std::exception &error) {
        printError(QString::fromUtf8(callFailureText(error).c_str()));
        return Failed;
    }
    return Success;
}

} // namespace

int main(int argc, char *argv[])
{
    quietDecoderWarnings();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    RunnerOptions options;
    try {
        options = parseRunnerOptions(arguments);
    } catch (const UsageError &error) {
        printError(QString::fromUtf8(error.what()));
        std::fprintf(stderr, "Try 'vrax-run --help' for more information.\n");
        return UsageFault;
    }
    if (options.help) {
        std::fputs(runnerUsage().toLocal8Bit().constData(), stdout);
        return Success;
    }
    if (options.version) {
        std::uint32_t major = 0, minor = 0, patch = 0;
        VRAX_GetLibVersion(&major, &minor, &patch);
        std::printf("vrax-run %s (VRAX runtime %u.%u.%u)\n", VRAX_RUN_VERSION, major, minor, patch);
        return Success;
    }

    if (options.listBoards)
        return listBoards();

    // Drawing the saved and recorded pictures needs fonts, which need a GUI application;
    // the offscreen platform gives one without a display.
    std::unique_ptr<QCoreApplication> application;
    if (!options.saveDir.isEmpty() || !options.recordPath.isEmpty()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }

    ProgressBar progressBar(stderr, !options.quiet);
    RunFigures figures;
    try {
        figures = runBatch(options, [&](std::uint64_t done, std::uint64_t total, double elapsed) {
            progressBar.update(done, total, elapsed, options.seconds);
        });
    } catch (const std::exception &error) {
        progressBar.finish();
        printError(QString::fromUtf8(error.what()));
        return Failed;
    }
    progressBar.finish();

    if (figures.evaluation && !figures.evaluation->warning.empty())
        printError(QStringLiteral("warning: ") + QString::fromStdString(figures.evaluation->warning));
    if (!options.quiet)
        std::fputs(figuresTable(figures).toLocal8Bit().constData(), stdout);
    if (!options.jsonPath.isEmpty()) {
        QStringList commandLine{QString::fromLocal8Bit(argv[0])};
        commandLine << arguments;
        try {
            writeFiguresFile(options.jsonPath, figuresJson(figures, {QStringLiteral("vrax-run"),
                                                                     QStringLiteral(VRAX_RUN_VERSION), commandLine}));
        } catch (const std::exception &error) {
            printError(QString::fromUtf8(error.what()));
            return Failed;
        }
    }
    if (figures.profile) {
        try {
            writeProfile(options.profilePath, *figures.profile, profileSettingOf(figures), figures.layers);
        } catch (const std::exception &error) {
            printError(QString::fromUtf8(error.what()));
            return Failed;
        }
    }
    if (options.minAgreement && figures.comparison && figures.comparison->agreement < *options.minAgreement) {
        printError(QStringLiteral("The agreement with %1 is %2, below %3")
                       .arg(figures.comparedWith)
                       .arg(figures.comparison->agreement, 0, 'f', 4)
                       .arg(*options.minAgreement));
        return BelowAgreement;
    }
    const QString belowAccuracy = accuracyGateFailure(options.evaluation, figures);
    if (!belowAccuracy.isEmpty()) {
        printError(belowAccuracy);
        return BelowAccuracy;
    }
    return Success;
}
