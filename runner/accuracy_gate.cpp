#include "runner/accuracy_gate.h"

#include "evaluation/accuracy_figures.h"

QString accuracyGateFailure(const EvaluationOptions &options, const RunFigures &figures)
{
    if (!figures.evaluation)
        return QString();
    const DataSetReport &report = *figures.evaluation;
    const auto [name, value] = headlineFigure(report.accuracy);
    const QString figure = QString::fromStdString(name);
    // An absent figure (-1: no object at all) passes no gate.
    if (options.minAccuracy && !(value >= *options.minAccuracy))
        return QStringLiteral("The accuracy %1 on %2 is %3, below %4")
            .arg(figure, report.dataSet)
            .arg(value, 0, 'f', 4)
            .arg(*options.minAccuracy);
    if (options.minAccuracyRatio && report.referenceAccuracy) {
        const double reference = headlineFigure(*report.referenceAccuracy).second;
        const double ratio = figureRatio(value, reference);
        if (!(ratio >= *options.minAccuracyRatio))
            return QStringLiteral("The accuracy %1 on %2 is %3, %4 of %5's %6: below the ratio %7")
                .arg(figure, report.dataSet)
                .arg(value, 0, 'f', 4)
                .arg(ratio >= 0.0 ? QString::number(ratio, 'f', 4) : QStringLiteral("no ratio"))
                .arg(report.reference)
                .arg(reference, 0, 'f', 4)
                .arg(*options.minAccuracyRatio);
    }
    return QString();
}
