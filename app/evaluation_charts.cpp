#include "app/evaluation_charts.h"

#include "results/class_colours.h"

#include <QtCharts/QBarCategoryAxis>
#include <QtCharts/QBarSeries>
#include <QtCharts/QBarSet>
#include <QtCharts/QLineSeries>
#include <QtCharts/QStackedBarSeries>
#include <QtCharts/QValueAxis>

using namespace QtCharts;

namespace {

// Class colours are light, for label text over pictures: darker on white.
QColor chartColour(std::size_t index)
{
    return classColour(std::int32_t(index)).darker(140);
}

QChart *newChart(const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignRight);
    return chart;
}

QValueAxis *shareAxis(const QString &title)
{
    auto *axis = new QValueAxis;
    axis->setRange(0.0, 1.0);
    axis->setTitleText(title);
    axis->setLabelFormat(QStringLiteral("%.1f"));
    return axis;
}

// One figure per class of a board.
std::vector<double> classFigures(const AccuracyFigures &figures)
{
    std::vector<double> values;
    switch (figures.kind) {
    case AccuracyFigures::Kind::Boxes:
        for (const ClassDetectionFigures &c : figures.boxes.classes)
            values.push_back(c.ap);
        break;
    case AccuracyFigures::Kind::Labels:
        for (const ClassificationAccuracy::Class &c : figures.labels.classes)
            values.push_back(c.top1);
        break;
    case AccuracyFigures::Kind::Masks:
        for (const SegmentationAccuracy::Class &c : figures.masks.classes)
            values.push_back(c.iou);
        break;
    }
    return values;
}

QStringList classNames(const AccuracyFigures &figures)
{
    QStringList names;
    switch (figures.kind) {
    case AccuracyFigures::Kind::Boxes:
        for (const ClassDetectionFigures &c : figures.boxes.classes)
            names << QString::fromStdString(c.label);
        break;
    case AccuracyFigures::Kind::Labels:
        for (const ClassificationAccuracy::Class &c : figures.labels.classes)
            names << QString::fromStdString(c.label);
        break;
    case AccuracyFigures::Kind::Masks:
        for (const SegmentationAccuracy::Class &c : figures.masks.classes)
            names << QString::fromStdString(c.label);
        break;
    }
    return names;
}

const ConfusionMatrix &confusionOf(const AccuracyFigures &figures)
{
    switch (figures.kind) {
    case AccuracyFigures::Kind::Boxes:
        return figures.boxes.confusion;
    case AccuracyFigures::Kind::Labels:
        return figures.labels.confusion;
    case AccuracyFigures::Kind::Masks:
        break;
    }
    return figures.masks.confusion;
}

} // namespace

QChart *precisionRecallChart(const DetectionAccuracy &accuracy)
{
    QChart *chart = newChart(QObject::tr("Precision and recall at IoU 0.5"));
    auto *recall = shareAxis(QObject::tr("recall"));
    auto *precision = shareAxis(QObject::tr("precision"));
    chart->addAxis(recall, Qt::AlignBottom);
    chart->addAxis(precision, Qt::AlignLeft);
    for (std::size_t k = 0; k < accuracy.classes.size(); ++k) {
        const ClassDetectionFigures &c = accuracy.classes[k];
        if (c.instances == 0)
            continue;
        auto *curve = new QLineSeries;
        curve->setName(QString::fromStdString(c.label));
        curve->setPen(QPen(chartColour(k), 2.0));
        // Precision is -1 past the largest recall reached: the curve ends there.
        for (std::size_t r = 0; r < c.curve.size(); ++r)
            if (c.curve[r] >= 0.0)
                curve->append(coco::recallPoint(r), c.curve[r]);
        chart->addSeries(curve);
        curve->attachAxis(recall);
        curve->attachAxis(precision);
    }
    return chart;
}

QChart *classFigureChart(const DataSetReport &report)
{
    const char *figure = report.accuracy.kind == AccuracyFigures::Kind::Boxes    ? "AP"
                         : report.accuracy.kind == AccuracyFigures::Kind::Labels ? "top-1"
                                                                                 : "IoU";
    QChart *chart = newChart(QObject::tr("%1 per class").arg(QLatin1String(figure)));
    auto *bars = new QBarSeries;
    const auto addBoard = [&](const AccuracyFigures &figures, const QString &name, const QColor &colour) {
        auto *set = new QBarSet(name);
        set->setColor(colour);
        for (double value : classFigures(figures))
            *set << std::max(value, 0.0); // absent (-1) as an empty bar
        bars->append(set);
    };
    addBoard(report.accuracy, report.board, QColor(40, 110, 180));
    if (report.referenceAccuracy)
        addBoard(*report.referenceAccuracy, report.reference, QColor(150, 150, 150));
    chart->addSeries(bars);
    auto *classes = new QBarCategoryAxis;
    classes->append(classNames(report.accuracy));
    chart->addAxis(classes, Qt::AlignBottom);
    bars->attachAxis(classes);
    auto *values = shareAxis(QLatin1String(figure));
    chart->addAxis(values, Qt::AlignLeft);
    bars->attachAxis(values);
    return chart;
}

QChart *confusionChart(const ConfusionMatrix &matrix)
{
    QChart *chart = newChart(QObject::tr("Confusion matrix: each true class by what was found"));
    auto *stacks = new QStackedBarSeries;
    for (std::size_t found = 0; found < matrix.size(); ++found) {
        auto *set = new QBarSet(QString::fromStdString(matrix.labels[found]));
        // The last column of a detector is "background": nothing found.
        set->setColor(found + 1 == matrix.size() && matrix.labels[found] == "background" ? QColor(60, 60, 60)
                                                                                         : chartColour(found));
        for (std::size_t truth = 0; truth < matrix.size(); ++truth)
            *set << double(matrix.at(truth, found));
        stacks->append(set);
    }
    chart->addSeries(stacks);
    auto *truths = new QBarCategoryAxis;
    for (const std::string &label : matrix.labels)
        truths->append(QString::fromStdString(label));
    truths->setTitleText(QObject::tr("true class"));
    chart->addAxis(truths, Qt::AlignBottom);
    stacks->attachAxis(truths);
    auto *counts = new QValueAxis;
    counts->setTitleText(QObject::tr("count"));
    counts->setLabelFormat(QStringLiteral("%d"));
    chart->addAxis(counts, Qt::AlignLeft);
    stacks->attachAxis(counts);
    return chart;
}

std::vector<NamedChart> reportCharts(const DataSetReport &report)
{
    std::vector<NamedChart> charts;
    if (report.accuracy.kind == AccuracyFigures::Kind::Boxes)
        charts.push_back({QObject::tr("Precision-recall curves"), precisionRecallChart(report.accuracy.boxes)});
    charts.push_back({QObject::tr("Per class"), classFigureChart(report)});
    charts.push_back({QObject::tr("Confusion matrix"), confusionChart(confusionOf(report.accuracy))});
    return charts;
}
