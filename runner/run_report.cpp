#include "runner/run_report.h"

#include "measuring/reference_run.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

QJsonObject summaryJson(const LatencySummary &s)
{
    return QJsonObject{{"p50", s.p50}, {"p90", s.p90}, {"p99", s.p99}, {"max", s.max}, {"mean", s.mean}};
}

QString row(const QString &name, const LatencySummary &s)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6\n")
        .arg(name, -26)
        .arg(s.mean, 8, 'f', 2)
        .arg(s.p50, 8, 'f', 2)
        .arg(s.p90, 8, 'f', 2)
        .arg(s.p99, 8, 'f', 2)
        .arg(s.max, 8, 'f', 2);
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

} // namespace

QString figuresTable(const RunFigures &f)
{
    QString text;
    text += line(QStringLiteral("description"), f.description);
    text += line(QStringLiteral("board"), QStringLiteral("%1, %2 session(s), %3 frames in flight")
                                              .arg(f.board)
                                              .arg(f.sessions)
                                              .arg(f.units));
    text += line(QStringLiteral("frames"), QString::number(f.frames));
    text += line(QStringLiteral("wall time"), QString::number(f.seconds, 'f', 3) + QStringLiteral(" s"));
    text += line(QStringLiteral("throughput"), QString::number(f.throughputFps, 'f', 1) + QStringLiteral(" fps"));
    text += line(QStringLiteral("board-reported rate"), QString::number(f.boardFps, 'f', 1) + QStringLiteral(" fps"));
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
    return text;
}

QByteArray figuresJson(const RunFigures &f)
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
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}
