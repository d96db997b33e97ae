#include "evaluation/report_html.h"

#include "description/picture_fit.h"
#include "evaluation/accuracy_report.h"

#include <QDir>

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString escaped(const std::string &text)
{
    return QString::fromStdString(text).toHtmlEscaped();
}

QString figure(double value)
{
    return QString::fromStdString(figureText(value));
}

QString cells(const QStringList &values, const char *tag = "td")
{
    QString row = QStringLiteral("<tr>");
    for (const QString &value : values)
        row += QStringLiteral("<%1>%2</%1>").arg(QLatin1String(tag), value);
    return row + QStringLiteral("</tr>\n");
}

QString overallTable(const DataSetReport &report)
{
    const auto board = overallFigures(report.accuracy);
    QStringList head{QStringLiteral("figure"), escaped(report.board)};
    if (report.referenceAccuracy)
        head << escaped(report.reference) << QStringLiteral("ratio");
    QString html = QStringLiteral("<table>\n") + cells(head, "th");
    for (std::size_t i = 0; i < board.size(); ++i) {
        QStringList row{escaped(board[i].first), figure(board[i].second)};
        if (report.referenceAccuracy) {
            const double reference = overallFigures(*report.referenceAccuracy)[i].second;
            const double ratio = figureRatio(board[i].second, reference);
            row << figure(reference) << (ratio >= 0.0 ? figure(ratio) : QStringLiteral("n/a"));
        }
        html += cells(row);
    }
    return html + QStringLiteral("</table>\n");
}

QString classTable(const DataSetReport &report)
{
    const AccuracyFigures &a = report.accuracy;
    const AccuracyFigures *r = report.referenceAccuracy ? &*report.referenceAccuracy : nullptr;
    const QString ref = QStringLiteral(" (%1)").arg(escaped(report.reference));
    QStringList head;
    QString rows;
    switch (a.kind) {
    case AccuracyFigures::Kind::Boxes:
        head = QStringList{"class", "objects", "AP", "AP50", "TP", "FP", "precision", "recall", "F1"};
        if (r)
            head << "AP" + ref << "AP50" + ref;
        for (std::size_t k = 0; k < a.boxes.classes.size(); ++k) {
            const ClassDetectionFigures &c = a.boxes.classes[k];
            QStringList row{escaped(c.label), QString::number(c.instances), figure(c.ap), figure(c.ap50),
                            QString::number(c.truePositives), QString::number(c.falsePositives),
                            figure(c.precision), figure(c.recall), figure(c.f1)};
            if (r)
                row << figure(r->boxes.classes[k].ap) << figure(r->boxes.classes[k].ap50);
            rows += cells(row);
        }
        break;
    case AccuracyFigures::Kind::Labels:
        head = QStringList{"class", "pictures", "top-1", "top-5"};
        if (r)
            head << "top-1" + ref << "top-5" + ref;
        for (std::size_t k = 0; k < a.labels.classes.size(); ++k) {
            const ClassificationAccuracy::Class &c = a.labels.classes[k];
            QStringList row{escaped(c.label), QString::number(c.pictures), figure(c.top1), figure(c.top5)};
            if (r)
                row << figure(r->labels.classes[k].top1) << figure(r->labels.classes[k].top5);
            rows += cells(row);
        }
        break;
    case AccuracyFigures::Kind::Masks:
        head = QStringList{"class", "pixels", "IoU"};
        if (r)
            head << "IoU" + ref;
        for (std::size_t k = 0; k < a.masks.classes.size(); ++k) {
            const SegmentationAccuracy::Class &c = a.masks.classes[k];
            QStringList row{escaped(c.label), QString::number(c.pixels), figure(c.iou)};
            if (r)
                row << figure(r->masks.classes[k].iou);
            rows += cells(row);
        }
        break;
    }
    return QStringLiteral("<table>\n") + cells(head, "th") + rows + QStringLiteral("</table>\n");
}

} // namespace

QByteArray reportHtml(const DataSetReport &report, const QString &description, const QString &commandLine,
                      const std::vector<ReportChart> &charts)
{
    QString html = QStringLiteral(
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>Accuracy on %1</title>\n"
        "<style>body{font-family:sans-serif;margin:2em}table{border-collapse:collapse;margin:1em 0}"
        "td,th{border:1px solid #bbb;padding:2px 8px;text-align:right}td:first-child,th:first-child{text-align:left}"
        "pre{background:#f4f4f4;padding:8px;white-space:pre-wrap}.warning{color:#a40}</style>\n"
        "</head><body>\n<h1>Accuracy on %1</h1>\n")
                       .arg(escaped(QDir::toNativeSeparators(report.dataSet)));
    QString settings = QStringLiteral("<table>\n");
    const auto setting = [&](const QString &name, const QString &value) { settings += cells({name, value}); };
    setting(QStringLiteral("description"), escaped(QDir::toNativeSeparators(description)));
    setting(QStringLiteral("data set"), QStringLiteral("%1 (%2, %3 pictures)")
                                            .arg(escaped(QDir::toNativeSeparators(report.dataSet)),
                                                 QString::fromLatin1(dataSetKindName(report.format)),
                                                 QString::number(report.pictures)));
    setting(QStringLiteral("board"), escaped(report.board));
    if (report.referenceAccuracy)
        setting(QStringLiteral("reference"), escaped(report.reference));
    setting(QStringLiteral("resize"), QString::fromLatin1(pictureFitName(report.resize)));
    if (report.accuracy.kind == AccuracyFigures::Kind::Boxes) {
        setting(QStringLiteral("confidence"), QString::number(report.confidence));
        setting(QStringLiteral("threshold"), QString::number(report.threshold));
    }
    html += settings + QStringLiteral("</table>\n");
    if (!report.warning.empty())
        html += QStringLiteral("<p class=\"warning\">Warning: %1</p>\n").arg(escaped(report.warning));
    html += QStringLiteral("<h2>Figures</h2>\n") + overallTable(report);
    html += QStringLiteral("<h2>Per class</h2>\n") + classTable(report);
    for (const ReportChart &chart : charts)
        html += QStringLiteral("<h2>%1</h2>\n<img alt=\"%1\" src=\"data:image/png;base64,%2\">\n")
                    .arg(escaped(chart.title), QString::fromLatin1(chart.png.toBase64()));
    html += QStringLiteral("<h2>The same figures again</h2>\n<pre>%1</pre>\n</body></html>\n").arg(escaped(commandLine));
    return html.toUtf8();
}
