// The report of Evaluate Data Set, a window of its own: what was evaluated,
// the headline figures (board and reference side by side while comparing),
// the sortable per-class table, the charts, and Save Report... (one
// self-contained HTML file and the JSON beside it).
#pragma once

#include "evaluation/data_set_report.h"
#include "workbench/evaluation_command.h"

#include <QWidget>

#include <memory>
#include <vector>

class QTableWidget;
namespace QtCharts {
class QChartView;
}

class EvaluationReport : public QWidget
{
    Q_OBJECT

public:
    // setting: what makes the same figures with vrax-run.
    EvaluationReport(std::shared_ptr<const DataSetReport> report, EvaluationSetting setting,
                     QWidget *parent = nullptr);

    const DataSetReport &report() const { return *figures; }
    // Writes the HTML file and the JSON beside it (the same name, ".json").
    // Throws std::runtime_error naming the file that cannot be written.
    void saveReport(const QString &htmlPath) const;
    // The JSON the report saves: "description", "board", "command_line" and
    // the figures as vrax-run --json has them.
    QByteArray reportJson(const QString &jsonPath) const;

private:
    void saveReportAs();
    QTableWidget *overallTable() const;
    QTableWidget *classTable() const;

    std::shared_ptr<const DataSetReport> figures;
    EvaluationSetting setting;
    std::vector<std::pair<QString, QtCharts::QChartView *>> charts;
};
