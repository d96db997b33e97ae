#include "app/classification_results.h"

#include "ui_classificationresults.h"

#include <QHeaderView>
#include <QStringList>
#include <QTableWidgetItem>

#include <algorithm>
#include <utility>

ClassificationResults::ClassificationResults(std::vector<std::string> labels)
    : QWidget(nullptr), labels(std::move(labels)), ui(new Ui::ClassificationResults)
{
    ui->setupUi(this);
    // It shows results beside the main window and never takes the keyboard
    // from it: Ctrl+R and the rest go on working there.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    resetTable();
}

ClassificationResults::~ClassificationResults()
{
    delete ui;
}

void ClassificationResults::showRanking(const std::vector<RankedClass> &ranking)
{
    fillTable(labelledScores(ranking, labels), 10);
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

std::vector<ClassScore> labelledScores(const std::vector<RankedClass> &ranking, const std::vector<std::string> &labels)
{
    // The label count was checked against the output when the description was
    // opened; a mismatch here would only pair what exists.
    std::vector<ClassScore> scores;
    scores.reserve(ranking.size());
    for (const RankedClass &ranked : ranking)
        if (ranked.classIndex >= 0 && std::size_t(ranked.classIndex) < labels.size())
            scores.push_back({&labels[std::size_t(ranked.classIndex)], ranked.probability});
    return scores;
}
