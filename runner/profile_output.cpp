#include "runner/profile_output.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// The layers' sum may be this far from the board's time before a note says so.
constexpr double noteFraction = 0.10;

QJsonArray shapeJson(const std::vector<std::uint32_t> &shape)
{
    QJsonArray array;
    for (std::uint32_t dim : shape)
        array.append(qint64(dim));
    return array;
}

const std::vector<std::uint32_t> &outputShape(const LayerDescription &layer)
{
    static const std::vector<std::uint32_t> none;
    return layer.outputs.empty() ? none : layer.outputs.front();
}

QString shapeText(const std::vector<std::uint32_t> &shape)
{
    QStringList dims;
    for (std::uint32_t dim : shape)
        dims << QString::number(dim);
    return dims.join(QLatin1Char('x'));
}

// A CSV field, quoted when it holds a separator, a quote or a line break.
QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Exactly as JSON writes it: the shortest text that reads back the same.
QString number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString millions(double value)
{
    return QString::number(value / 1e6, 'f', 2);
}

QString billionsPerSecond(double value)
{
    return QString::number(value / 1e9, 'f', 2);
}

} // namespace

QString layerSumNote(const NetworkProfile &profile, const ProfileSetting &setting)
{
    const double layers = profile.layersTotalMs();
    if (setting.boardFrameMs <= 0.0 || profile.frames == 0
        || std::abs(layers - setting.boardFrameMs) <= noteFraction * setting.boardFrameMs)
        return QString();
    return QStringLiteral("The layers add up to %1 ms, %2 % of the board's %3 ms per frame (submitted to outputs "
                          "fetched, as the run measured it). The rest is spent outside the layers: the engine's own "
                          "time for a whole frame is %4 ms; a board also waits for a core while its other units run, "
                          "and its frames are fetched in order.")
        .arg(layers, 0, 'f', 3)
        .arg(100.0 * layers / setting.boardFrameMs, 0, 'f', 0)
        .arg(setting.boardFrameMs, 0, 'f', 3)
        .arg(profile.engineFrameMs, 0, 'f', 3);
}

QByteArray profileJson(const NetworkProfile &profile, const ProfileSetting &setting,
                       const std::optional<LayerComparisonReport> &layers)
{
    QJsonArray rows;
    for (std::size_t i = 0; i < profile.layers.size(); ++i) {
        const LayerDescription &layer = profile.layers[i];
        rows.append(QJsonObject{{"name", QString::fromStdString(layer.name)},
                                {"type", QString::fromStdString(layer.type)},
                                {"output_shape", shapeJson(outputShape(layer))},
                                {"params", qint64(layer.parameters)},
                                {"macs", qint64(layer.multiplyAdds)},
                                {"time_ms", profile.milliseconds.at(i)},
                                {"percent", profile.percent(i)},
                                {"macs_per_s", profile.multiplyAddsPerSecond(i)}});
    }
    const double macs = double(profile.multiplyAdds());
    QJsonObject object{{"layers", rows},
                       {"layers_total_ms", profile.layersTotalMs()},
                       {"frame_board_ms", setting.boardFrameMs},
                       {"frame_engine_ms", profile.engineFrameMs},
                       {"frames", qint64(setting.frames)},
                       {"frames_timed", qint64(profile.frames)},
                       {"macs", qint64(profile.multiplyAdds())},
                       {"macs_per_s", profile.networkMultiplyAddsPerSecond()},
                       {"macs_per_s_throughput", macs * setting.throughputFps}};
    const QString note = layerSumNote(profile, setting);
    if (!note.isEmpty())
        object.insert("note", note);
    if (layers)
        insertLayerComparison(object, *layers);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QByteArray profileCsv(const NetworkProfile &profile, const ProfileSetting &setting)
{
    QString text = QStringLiteral("name,type,output_shape,params,macs,time_ms,percent,macs_per_s\n");
    for (std::size_t i = 0; i < profile.layers.size(); ++i) {
        const LayerDescription &layer = profile.layers[i];
        text += QStringList{csvField(QString::fromStdString(layer.name)), csvField(QString::fromStdString(layer.type)),
                            shapeText(outputShape(layer)), QString::number(layer.parameters),
                            QString::number(layer.multiplyAdds), number(profile.milliseconds.at(i)),
                            number(profile.percent(i)), number(profile.multiplyAddsPerSecond(i))}
                    .join(QLatin1Char(','))
                + QLatin1Char('\n');
    }
    text += QStringLiteral("(layers),,,,%1,%2,%3,%4\n")
                .arg(profile.multiplyAdds())
                .arg(number(profile.layersTotalMs()), number(profile.frames > 0 ? 100.0 : 0.0),
                     number(profile.networkMultiplyAddsPerSecond()));
    text += QStringLiteral("(board frame),,,,,%1,,\n").arg(number(setting.boardFrameMs));
    return text.toUtf8();
}

void writeProfile(const QString &path, const NetworkProfile &profile, const ProfileSetting &setting,
                  const std::optional<LayerComparisonReport> &layers)
{
    const bool csv = QFileInfo(path).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
    const QByteArray content = csv ? profileCsv(profile, setting) : profileJson(profile, setting, layers);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size()
        || !file.flush())
        throw std::runtime_error(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()).toStdString());
}

QString slowestLayersTable(const NetworkProfile &profile, const ProfileSetting &setting, std::size_t rows)
{
    auto row = [](const QString &name, const QString &type, const QString &shape, const QString &macs,
                  const QString &ms, const QString &percent, const QString &rate) {
        return QStringLiteral("%1 %2 %3 %4 %5 %6 %7\n")
            .arg(name.left(28), -28)
            .arg(type.left(18), -18)
            .arg(shape.left(16), -16)
            .arg(macs, 9)
            .arg(ms, 9)
            .arg(percent, 6)
            .arg(rate, 8);
    };
    QString text = QStringLiteral("Slowest layers (mean over %1 frames timed, of %2 layers)\n")
                       .arg(profile.frames)
                       .arg(profile.layers.size());
    text += row(QStringLiteral("layer"), QStringLiteral("type"), QStringLiteral("output"), QStringLiteral("MMAC"),
                QStringLiteral("ms"), QStringLiteral("%"), QStringLiteral("GMAC/s"));
    const std::vector<std::size_t> order = slowestLayers(profile);
    for (std::size_t k = 0; k < std::min(rows, order.size()); ++k) {
        const std::size_t i = order[k];
        const LayerDescription &layer = profile.layers[i];
        text += row(QString::fromStdString(layer.name), QString::fromStdString(layer.type),
                    shapeText(outputShape(layer)), millions(double(layer.multiplyAdds)),
                    QString::number(profile.milliseconds[i], 'f', 3), QString::number(profile.percent(i), 'f', 1),
                    billionsPerSecond(profile.multiplyAddsPerSecond(i)));
    }
    text += row(QStringLiteral("all layers"), QString(), QString(), millions(double(profile.multiplyAdds())),
                QString::number(profile.layersTotalMs(), 'f', 3), QString::number(profile.frames > 0 ? 100.0 : 0.0, 'f', 1),
                billionsPerSecond(profile.networkMultiplyAddsPerSecond()));
    text += row(QStringLiteral("engine, whole frame"), QString(), QString(), QString(),
                QString::number(profile.engineFrameMs, 'f', 3), QString(), QString());
    text += row(QStringLiteral("board frame"), QString(), QString(), QString(),
                QString::number(setting.boardFrameMs, 'f', 3), QString(), QString());
    text += QStringLiteral("%1 GMAC/s at the run's %2 fps, every unit together\n")
                .arg(billionsPerSecond(double(profile.multiplyAdds()) * setting.throughputFps))
                .arg(setting.throughputFps, 0, 'f', 1);
    const QString note = layerSumNote(profile, setting);
    if (!note.isEmpty())
        text += QStringLiteral("Note: ") + note + QLatin1Char('\n');
    return text;
}

void insertLayerComparison(QJsonObject &object, const LayerComparisonReport &report)
{
    QJsonArray layers;
    for (const LayerDifference &layer : report.layers)
        layers.append(QJsonObject{{"name", QString::fromStdString(layer.name)},
                                  {"type", QString::fromStdString(layer.type)},
                                  {"cosine", layer.difference.cosine},
                                  {"worst_cosine", layer.difference.worstCosine},
                                  {"max_abs", layer.difference.maxAbs},
                                  {"mean_abs", layer.difference.meanAbs}});
    object.insert("layers_compare", layers);
    object.insert("first_divergent_layer",
                  report.firstDivergent ? QJsonValue(QString::fromStdString(report.layers[*report.firstDivergent].name))
                                        : QJsonValue(QJsonValue::Null));
    object.insert("layer_threshold", report.threshold);
    object.insert("layer_frames", qint64(report.frames));
}

QString layerComparisonTable(const LayerComparisonReport &report, const QString &reference, std::size_t rows)
{
    QString text = QStringLiteral("Layers against %1 (%2 frames, %3 layers in common)\n")
                       .arg(reference)
                       .arg(report.frames)
                       .arg(report.layers.size());
    if (report.firstDivergent)
        text += QStringLiteral("first divergent layer: %1 (cosine %2, below %3)\n")
                    .arg(QString::fromStdString(report.layers[*report.firstDivergent].name))
                    .arg(report.layers[*report.firstDivergent].difference.cosine, 0, 'f', 6)
                    .arg(report.threshold);
    else
        text += QStringLiteral("no layer's cosine falls below %1\n").arg(report.threshold);
    // The lowest cosines, shown in the network's order.
    std::vector<std::size_t> order(report.layers.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&report](std::size_t a, std::size_t b) {
        return report.layers[a].difference.cosine < report.layers[b].difference.cosine;
    });
    order.resize(std::min(rows, order.size()));
    std::sort(order.begin(), order.end());
    text += QStringLiteral("%1 %2 %3 %4\n")
                .arg(QStringLiteral("layer"), -28)
                .arg(QStringLiteral("type"), -18)
                .arg(QStringLiteral("cosine"), 10)
                .arg(QStringLiteral("max |d|"), 10);
    for (std::size_t i : order) {
        const LayerDifference &layer = report.layers[i];
        text += QStringLiteral("%1 %2 %3 %4\n")
                    .arg(QString::fromStdString(layer.name).left(28), -28)
                    .arg(QString::fromStdString(layer.type).left(18), -18)
                    .arg(layer.difference.cosine, 10, 'f', 6)
                    .arg(layer.difference.maxAbs, 10, 'g', 4);
    }
    return text;
}
