#include "app/statistics_dock.h"

#include "app/statistics_figures.h"
#include "measuring/reference_run.h"
#include "workbench/workbench.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr int columnCount = 5;

QString tip(const QString &text)
{
    return QStringLiteral("<p>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

// The definitions of the table's columns.
QStringList columnDefinitions()
{
    return {StatisticsDock::tr("The mean over the frames."),
            StatisticsDock::tr("The median: half the frames took at most this long."),
            StatisticsDock::tr("Nine frames in ten took at most this long."),
            StatisticsDock::tr("99 frames in 100 took at most this long."),
            StatisticsDock::tr("The longest.")};
}

QString latencyDefinition()
{
    return StatisticsDock::tr("The frame's latency, to shown: from the start of reading a picture or video frame, "
                              "without its wait in the read-ahead queue (the other stages add up to it); from the "
                              "capture of a camera frame, every wait included.");
}

// The table shows every row at its own size; the panel scrolls instead of
// squeezing it.
void fitTableToRows(QTableWidget *table)
{
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    table->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

} // namespace

StatisticsDock::StatisticsDock(const Workbench &workbench, QWidget *parent)
    : QDockWidget(tr("Statistics"), parent), workbench(workbench)
{
    setObjectName(QStringLiteral("statisticsDock"));
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    span = new QComboBox;
    span->addItem(tr("Last %1 frames").arg(RunStatistics::recentCount));
    span->addItem(tr("Since Run Auto started"));
    span->setToolTip(tip(tr("The frames the table covers: the last %1 the window drew, or every frame since Run "
                            "Auto started (after Runs alone: since the description was opened). Since the start, "
                            "percentiles are within 0.4 % of the exact ones.")
                             .arg(RunStatistics::recentCount)));
    connect(span, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] { refresh(true); });
    layout->addWidget(span);

    table = new QTableWidget(int(stageCount) + 1, columnCount);
    const QStringList columns = {tr("mean"), tr("p50"), tr("p90"), tr("p99"), tr("max")};
    const QStringList columnTips = columnDefinitions();
    for (int column = 0; column < columnCount; ++column) {
        auto *header = new QTableWidgetItem(columns[column]);
        header->setToolTip(tip(columnTips[column] + QLatin1Char(' ') + tr("In milliseconds.")));
        table->setHorizontalHeaderItem(column, header);
    }
    for (int row = 0; row <= int(stageCount); ++row) {
        const bool frame = row == int(stageCount);
        const QString title = frame ? tr("Latency") : tr(stageTitle(Stage(row)));
        const QString definition = frame ? latencyDefinition() : tr(stageDefinition(Stage(row)));
        auto *header = new QTableWidgetItem(title);
        header->setToolTip(tip(definition));
        table->setVerticalHeaderItem(row, header);
        for (int column = 0; column < columnCount; ++column) {
            auto *item = new QTableWidgetItem(QStringLiteral("-"));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            item->setToolTip(tip(QStringLiteral("%1, %2: %3 %4").arg(title, columns[column], columnTips[column],
                                                                     definition)));
            table->setItem(row, column, item);
        }
    }
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    fitTableToRows(table);
    layout->addWidget(table);

    figuresBelow = new StatisticsFigures;
    layout->addWidget(figuresBelow);
    // A table of text, as vrax-run prints it: its columns need even widths.
    comparison = new QLabel;
    comparison->setObjectName(QStringLiteral("comparison"));
    comparison->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    comparison->setTextInteractionFlags(Qt::TextSelectableByMouse);
    comparison->setToolTip(tip(tr("Every frame run again on the simulator with the same input: per output the "
                                  "largest and mean difference and the cosine similarity, then how often the "
                                  "results agree (see vrax-run --compare-with).")));
    comparison->setVisible(false);
    layout->addWidget(comparison);
    layout->addStretch(1);

    auto *scroller = new QScrollArea;
    scroller->setWidget(content);
    scroller->setWidgetResizable(true);
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidget(scroller);
    refresh(true);
}

const RunStatistics &StatisticsDock::statistics() const
{
    return workbench.measurement().statistics();
}

void StatisticsDock::refresh(bool force)
{
    const std::int64_t now = steadyNanoseconds();
    if (!isVisible() || (!force && now - lastRefresh < 250000000))
        return;
    lastRefresh = now;
    const RunStatistics &figures = workbench.measurement().statistics();
    const bool recent = span->currentIndex() == 0;
    auto setRow = [this](int row, const LatencySummary &s) {
        const double values[] = {s.mean, s.p50, s.p90, s.p99, s.max};
        for (int column = 0; column < columnCount; ++column)
            table->item(row, column)->setText(
                s.count == 0 ? QStringLiteral("-") : QString::fromStdString(millisecondsText(values[column])));
    };
    for (std::size_t i = 0; i < stageCount; ++i)
        setRow(int(i), recent ? figures.recent(Stage(i)) : figures.sinceStart(Stage(i)));
    setRow(int(stageCount), recent ? figures.recentFrame() : figures.sinceStartFrame());
    figuresBelow->showFiguresOf(workbench);

    const ReferenceRun *reference = workbench.reference();
    comparison->setVisible(reference != nullptr);
    if (reference)
        comparison->setText(comparisonTable(reference->report(), reference->kind(), tr("the simulator")).trimmed());
}
