#include "app/statistics_dock.h"

#include "measuring/reference_run.h"
#include "workbench/workbench.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString ms(double value)
{
    return QString::number(value, 'f', 2);
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
    connect(span, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this] { refresh(true); });
    layout->addWidget(span);

    table = new QTableWidget(int(stageCount) + 1, 5);
    table->setHorizontalHeaderLabels({tr("mean"), tr("p50"), tr("p90"), tr("p99"), tr("max")});
    QStringList rows;
    for (std::size_t i = 0; i < stageCount; ++i)
        rows << tr(stageTitle(Stage(i)));
    rows << tr("Whole frame");
    table->setVerticalHeaderLabels(rows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->setToolTip(tr("Milliseconds per frame"));
    layout->addWidget(table);

    summary = new QLabel;
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    summary->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    layout->addWidget(summary);
    // A table of text, as vrax-run prints it: its columns need even widths.
    comparison = new QLabel;
    comparison->setObjectName(QStringLiteral("comparison"));
    comparison->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    comparison->setTextInteractionFlags(Qt::TextSelectableByMouse);
    comparison->setVisible(false);
    layout->addWidget(comparison);
    layout->addStretch(1);
    setWidget(content);
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
    const RunMeasurement &measured = workbench.measurement();
    const RunStatistics &figures = measured.statistics();
    const bool recent = span->currentIndex() == 0;
    auto setRow = [this](int row, const LatencySummary &s) {
        const double values[] = {s.mean, s.p50, s.p90, s.p99, s.max};
        for (int column = 0; column < 5; ++column) {
            QTableWidgetItem *item = table->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                table->setItem(row, column, item);
            }
            item->setText(s.count == 0 ? QStringLiteral("-") : ms(values[column]));
        }
    };
    for (std::size_t i = 0; i < stageCount; ++i)
        setRow(int(i), recent ? figures.recent(Stage(i)) : figures.sinceStart(Stage(i)));
    setRow(int(stageCount), recent ? figures.recentFrame() : figures.sinceStartFrame());

    const std::uint64_t frames = std::max<std::uint64_t>(measured.framesDelivered(), figures.frames());
    const double cpu = frames > 0 ? measured.hostCpuSeconds() * 1000.0 / double(frames) : 0.0;
    QString text = tr("Frames shown: %1, delivered: %2, in flight: %3 of %4")
                       .arg(figures.frames())
                       .arg(measured.framesDelivered())
                       .arg(measured.framesInFlight())
                       .arg(workbench.runInFlightLimit());
    text += QLatin1Char('\n')
            + tr("Measured rate: %1 fps (last frames %2 fps), board-reported: %3 fps")
                  .arg(figures.seconds() > 0.0 ? double(frames) / figures.seconds() : 0.0, 0, 'f', 1)
                  .arg(figures.fpsRecent(), 0, 'f', 1)
                  .arg(measured.boardFps(), 0, 'f', 1);
    text += QLatin1Char('\n') + tr("Host CPU per frame: %1 ms").arg(ms(cpu));
    if (const auto &first = figures.firstFrame())
        text += QLatin1Char('\n')
                + tr("First frame after opening: model compiled and loaded in %1 ms, first frame %2 ms "
                     "(board %3 ms)")
                      .arg(first->openMs, 0, 'f', 1)
                      .arg(ms(first->latencyMs))
                      .arg(ms(first->stagesMs[std::size_t(Stage::Board)]));
    summary->setText(text);
    const ReferenceRun *reference = workbench.reference();
    comparison->setVisible(reference != nullptr);
    if (reference)
        comparison->setText(comparisonTable(reference->report(), reference->kind(), tr("the simulator")).trimmed());
}
