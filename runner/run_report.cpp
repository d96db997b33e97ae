#include "runner/run_report.h"

#include "accel/accelerator.h"
#include "accel/attached_boards.h"
#include "accel/model_preparation.h"
#include "measuring/reference_run.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTextStream>

#include <thread>

namespace {

QJsonObject summaryJson(const LatencySummary &s)
{
    return QJsonObject{{"p50", s.p50}, {"p90", s.p90}, {"p99", s.p99}, {"max", s.max}, {"mean", s.mean}};
}

QString row(const QString &name, const LatencySummary &s)
{
    auto cell = [](double ms) { return QString::fromStdString(millisecondsText(ms)); };
    return QStringLiteral("%1 %2 %3 %4 %5 %6\n")
        .arg(name, -26)
        .arg(cell(s.mean), 8)
        .arg(cell(s.p50), 8)
        .arg(cell(s.p90), 8)
        .arg(cell(s.p99), 8)
        .arg(cell(s.max), 8);
}

QString line(const QString &name, const QString &value)
{
    return QStringLiteral("%1 %2\n").arg(name, -26).arg(value);
}

QJsonObject comparisonJson(const RunFigures &figures)
{
    const ComparisonReport &c = *figures.comparison;
    QJsonArray tensors;
    for (const TensorDifference &d : c.tensors)
        tensors.append(QJsonObject{{"max_abs", d.maxAbs}, {"mean_abs", d.meanAbs}, {"cosine", d.cosine},
                                   {"worst_cosine", d.worstCosine}});
    QJsonObject object{{"reference", figures.comparedWith}, {"frames", qint64(c.frames)},
                       {"outputs", tensors}, {"agreement", c.agreement}};
    switch (figures.kind) {
    case NetworkKind::Classifier:
        object.insert("top1", c.top1);
        object.insert("top5", c.top5);
        break;
    case NetworkKind::Yolo2:
    case NetworkKind::Yolo3:
    case NetworkKind::Yolo5:
        object.insert("matched", c.matched);
        object.insert("extra", c.extra);
        object.insert("reference_detections", qint64(c.referenceDetections));
        object.insert("board_detections", qint64(c.boardDetections));
        break;
    case NetworkKind::Unet: {
        QJsonObject ious;
        for (const auto &[cls, iou] : c.maskIou)
            ious.insert(QString::number(cls), iou);
        object.insert("mask_iou", ious);
        break;
    }
    }
    return object;
}

// The processor's model name as the kernel reports it, else its architecture.
QString cpuModel()
{
    QFile cpuInfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuInfo.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!cpuInfo.atEnd()) {
            const QString line = QString::fromUtf8(cpuInfo.readLine());
            if (line.startsWith(QLatin1String("model name")))
                return line.section(QLatin1Char(':'), 1).trimmed();
        }
    }
    return QSysInfo::currentCpuArchitecture();
}

QJsonObject hostJson()
{
    return QJsonObject{{"cpu", cpuModel()},
                       {"cores", qint64(std::thread::hardware_concurrency())},
                       {"system", QSysInfo::prettyProductName()},
                       {"kernel", QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion()}};
}

QString runtimeVersion()
{
    std::uint32_t major = 0, minor = 0, patch = 0;
    if (VRAX_GetLibVersion(&major, &minor, &patch) != VRAX_RESULT_OK)
        return QString();
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(patch);
}

// A file as it was used: absolute path, size and SHA-256, which say whether
// another run used the same one. Size and digest are left out of a file
// that can no longer be read.
QJsonObject fileJson(const QString &role, const QString &path)
{
    QJsonObject object{{"role", role}, {"path", QFileInfo(path).absoluteFilePath()}};
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (file.open(QIODevice::ReadOnly) && hash.addData(&file)) {
        object.insert("bytes", qint64(file.size()));
        object.insert("sha256", QString::fromLatin1(hash.result().toHex()));
    }
    return object;
}

QJsonArray filesJson(const RunFigures &f)
{
    QJsonArray files{fileJson(QStringLiteral("description"), f.description)};
    if (f.model.isEmpty())
        return files;
    const std::vector<std::string> model = modelFiles(f.model.toStdString());
    files.append(fileJson(QStringLiteral("model"), QString::fromStdString(model.front())));
    if (model.size() > 1)
        files.append(fileJson(QStringLiteral("weights"), QString::fromStdString(model.back())));
    return files;
}

// The boards in use: every board of the type when opened in parallel, one
// session each, else the one board.
QJsonArray boardsJson(const RunFigures &f)
{
    QJsonArray boards;
    const std::uint32_t count = f.parallel ? f.sessions : 1;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t index = f.parallel ? i : f.address.index;
        boards.append(QJsonObject{{"type", qint64(std::uint32_t(f.address.type))},
                                  {"index", qint64(index)},
                                  {"name", QString::fromStdString(boardName(f.address.type, index))}});
    }
    return boards;
}

} // namespace

QString figuresTable(const RunFigures &f)
{
    QString text;
    text += line(QStringLiteral("description"), f.description);
    text += line(QStringLiteral("board"), QStringLiteral("%1, %2 session(s), %3 frames in flight")
                                              .arg(f.board)
                                              .arg(f.sessions)
                                              .arg(f.inFlight));
    text += line(QStringLiteral("frames"), QString::number(f.frames));
    text += line(QStringLiteral("wall time"), QString::number(f.seconds, 'f', 3) + QStringLiteral(" s"));
    text += line(QStringLiteral("throughput"), QString::number(f.throughputFps, 'f', 1) + QStringLiteral(" fps"));
    text += line(QStringLiteral("board-reported rate"),
                 QString::number(f.boardFps, 'f', 1) + QStringLiteral(" fps (last 2 s, at most 32 frames)"));
    text += line(QStringLiteral("model open (compile, load)"), QString::number(f.openMs, 'f', 1) + QStringLiteral(" ms"));
    text += line(QStringLiteral("first frame"), QString::number(f.firstFrameMs, 'f', 2) + QStringLiteral(" ms"));
    text += line(QStringLiteral("host CPU per frame"), QString::number(f.hostCpuMsPerFrame, 'f', 2) + QStringLiteral(" ms"));
    text += line(QStringLiteral("with the units"), QString::number(f.processCpuMsPerFrame, 'f', 2) + QStringLiteral(" ms"));
    text += QStringLiteral("\n%1 %2 %3 %4 %5 %6\n")
                .arg(QStringLiteral("latency (ms)"), -26)
                .arg(QStringLiteral("mean"), 8)
                .arg(QStringLiteral("p50"), 8)
                .arg(QStringLiteral("p90"), 8)
                .arg(QStringLiteral("p99"), 8)
                .arg(QStringLiteral("max"), 8);
    for (std::size_t i = 0; i < stageCount; ++i)
        text += row(QStringLiteral("  ") + QString::fromLatin1(stageKey(Stage(i))), f.stages[i]);
    text += row(QStringLiteral("frame"), f.latency);
    if (f.comparison)
        text += QLatin1Char('\n') + comparisonTable(*f.comparison, f.kind, f.comparedWith);
    if (f.evaluation)
        text += QLatin1Char('\n') + QString::fromStdString(dataSetReportTable(*f.evaluation));
    if (f.layers)
        text += QLatin1Char('\n') + layerComparisonTable(*f.layers, f.comparedWith);
    if (f.profile)
        text += QLatin1Char('\n') + slowestLayersTable(*f.profile, profileSettingOf(f));
    return text;
}

ProfileSetting profileSettingOf(const RunFigures &f)
{
    return ProfileSetting{f.stages[std::size_t(Stage::Board)].mean, f.frames, f.throughputFps};
}

QByteArray figuresJson(const RunFigures &f, const RunSetting &setting)
{
    QJsonObject stages;
    QJsonObject stagePercentiles;
    for (std::size_t i = 0; i < stageCount; ++i) {
        stages.insert(QString::fromLatin1(stageKey(Stage(i))), f.stages[i].mean);
        stagePercentiles.insert(QString::fromLatin1(stageKey(Stage(i))), summaryJson(f.stages[i]));
    }
    QJsonObject object{{"description", f.description},
                       {"frames", qint64(f.frames)},
                       {"seconds", f.seconds},
                       {"throughput_fps", f.throughputFps},
                       {"board_fps", f.boardFps},
                       {"latency_ms", summaryJson(f.latency)},
                       {"stages_ms", stages},
                       {"stage_percentiles_ms", stagePercentiles},
                       {"first_frame_ms", f.firstFrameMs},
                       {"open_ms", f.openMs},
                       {"board", f.board},
                       {"units", qint64(f.units)},
                       {"sessions", qint64(f.sessions)},
                       {"host_cpu_ms_per_frame", f.hostCpuMsPerFrame},
                       {"process_cpu_ms_per_frame", f.processCpuMsPerFrame}};
    if (f.comparison)
        object.insert("comparison", comparisonJson(f));
    if (f.evaluation)
        insertAccuracy(object, *f.evaluation);
    if (f.layers)
        insertLayerComparison(object, *f.layers);
    object.insert("program", QJsonObject{{"name", setting.program}, {"version", setting.version}});
    object.insert("runtime_version", runtimeVersion());
    object.insert("started", f.started.toOffsetFromUtc(f.started.offsetFromUtc()).toString(Qt::ISODateWithMs));
    object.insert("host", hostJson());
    object.insert("boards", boardsJson(f));
    object.insert("files", filesJson(f));
    object.insert("input", QJsonObject{{"width", qint64(f.input.width)},
                                       {"height", qint64(f.input.height)},
                                       {"depth", qint64(f.input.depth)}});
    object.insert("in_flight", qint64(f.inFlight));
    object.insert("command_line", QJsonArray::fromStringList(setting.commandLine));
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}
