#include "results/classification_results.h"

#include "results/softmax.h"
#include "ui_classificationresults.h"

#include <QHeaderView>
#include <QStringList>
#include <QTableWidgetItem>

#include <algorithm>

ClassificationResults::ClassificationResults(const NnDescription &description, const ModelDims &modelDims)
    : QWidget(nullptr), NnResults(description, modelDims, nullptr, nullptr), ui(new Ui::ClassificationResults)
{
    ui->setupUi(this);
    resetTable();
}

ClassificationResults::~ClassificationResults()
{
    delete ui;
}

void ClassificationResults::showResults(const OutputBuffers &outputs)
{
    static const std::vector<float> none;
    fillTable(rankClasses(description.labels, outputs.empty() ? none : outputs.front()), 10);
}

void ClassificationResults::resetTable()
{
    QTableWidget *table = ui->result_table;
    table->clear();
    table->setColumnCount(2);
    table->setHorizontalHeaderLabels({tr("Label"), tr("Probability")});
    table->verticalHeader()->setVisible(true);
    QHeaderView *header = table->horizontalHeader();
    for (int section = 0; section < header->count(); ++section)
        header->setSectionResizeMode(section, QHeaderView::Stretch);
}

void ClassificationResults::fillTable(const std::vector<ClassScore> &scores, int maxRows)
{
    resetTable();
    const int rows = int(std::min<std::size_t>(scores.size(), std::size_t(std::max(maxRows, 0))));
    QTableWidget *table = ui->result_table;
    table->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        const ClassScore &score = scores[std::size_t(row)];
        table->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(*score.label)));
        table->setItem(row, 1, new QTableWidgetItem(QString::number(double(score.probability), 'g', 6)));
    }
    show();
    raise();
}

std::vector<ClassScore> rankClasses(const std::vector<std::string> &labels, const std::vector<float> &values)
{
    // The label count was checked against the output when the description was
    // opened; a mismatch here would only pair what exists.
    const std::vector<float> probabilities = softmax(values.data(), values.size());
    const std::size_t count = std::min(labels.size(), values.size());
    std::vector<ClassScore> scores;
    scores.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        scores.push_back({&labels[i], probabilities[i]});
    std::sort(scores.begin(), scores.end(),
              [](const ClassScore &a, const ClassScore &b) { return a.probability < b.probability; });
    std::reverse(scores.begin(), scores.end());
    return scores;
}
