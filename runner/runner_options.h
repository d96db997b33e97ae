// The command line of vrax-run.
#pragma once

#include "accel/board_session.h"
#include "runner/evaluation_options.h"
#include "measuring/layer_comparison.h"
#include "picture/picture_decoding.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <stdexcept>

struct BoardAddress
{
    BoardType type = BoardType::Simulator;
    std::uint32_t index = 0;
};

struct RunnerOptions
{
    BoardAddress board;
    bool parallel = false;         // every board of the type
    std::uint32_t inFlight = 0;    // --in-flight; 0: one frame on every unit
    std::uint64_t frames = 0;      // -n; 0: each input once (unless seconds is set)
    double seconds = 0.0;          // -t
    std::uint64_t warmup = 0;
    QString jsonPath;
    QString resultsPath;
    QString saveDir;
    QString recordPath;            // --record: the annotated video; its JSON Lines beside it
    std::uint64_t pixelLimit = defaultPixelLimit; // --max-megapixels: larger pictures are refused
    std::optional<BoardAddress> compareWith;
    std::optional<double> minAgreement;
    // Inside the network (runner/profile_output.h, runner/trace_output.h).
    QString profilePath;           // --profile FILE: JSON, or CSV by the suffix
    bool compareLayers = false;    // with --compare-with: every layer too
    double layerThreshold = defaultLayerThreshold; // a layer's cosine below it departs
    QString tracePath;             // --trace FILE.json
    bool quiet = false;
    bool help = false;
    bool version = false;
    bool listBoards = false;       // --list-boards: list the attached boards and exit
    EvaluationOptions evaluation;  // --dataset and its options, --resize
    QString description;
    QStringList inputs;
};

// A command line that cannot be run; the message says what is wrong.
class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Reads the arguments (without the program name). Throws UsageError.
RunnerOptions parseRunnerOptions(const QStringList &arguments);

// "TYPE[:INDEX]", TYPE 0 to 7. Throws UsageError.
BoardAddress parseBoardAddress(const QString &text);

// The --help text.
QString runnerUsage();
