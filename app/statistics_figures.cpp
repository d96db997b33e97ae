#include "app/statistics_figures.h"

#include "measuring/latency_series.h"
#include "workbench/workbench.h"

#include <QFormLayout>
#include <QLabel>

namespace {

QString ms(double value)
{
    return QString::fromStdString(millisecondsText(value)) + QStringLiteral(" ms");
}

QString fps(double value)
{
    return QString::number(value, 'f', 2) + QStringLiteral(" fps");
}

} // namespace

StatisticsFigures::StatisticsFigures(QWidget *parent) : QWidget(parent)
{
    auto *form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    shown = addFigure("framesShown", tr("Frames shown"),
                      tr("Frames the window drew since Run Auto started (after Runs alone: since the description "
                         "was opened), the first after opening included. At the screen's pace the window draws "
                         "the newest frame only, so it may draw fewer than were delivered; View > Show Every Frame "
                         "draws each."));
    delivered = addFigure("framesDelivered", tr("Delivered"),
                          tr("Frames the boards finished and handed over since then, counted alike for Run and "
                             "Run Auto."));
    inFlight = addFigure("framesInFlight", tr("In flight"),
                         tr("Frames on the boards now, of the most the run keeps on them at once."));
    measuredRate = addFigure("measuredRate", tr("Measured rate"),
                             tr("The status line's first rate. Run Auto: the frames delivered per second since it "
                                "started. Run: one over the board time of its frame."));
    shownRate = addFigure("shownRate", tr("Shown rate"),
                          tr("Frames the window drew per second over the last %1 it drew in Run Auto: the "
                             "screen's pace when the boards are faster. None after Runs, whose frames are apart "
                             "in time.")
                              .arg(RunStatistics::recentCount));
    boardRate = addFigure("boardRate", tr("Board-reported rate"),
                          tr("The status line's rate in brackets: the one the board runtime reports with each "
                             "frame's outputs, the frames per second its units deliver while they work, averaged "
                             "over its frames that finished within 2 seconds of the newest, at most 32. Idle time "
                             "between frames does not count."));
    hostCpu = addFigure("hostCpu", tr("Host CPU per frame"),
                        tr("CPU time of the application's own threads (the simulator's units left out) while "
                           "frames ran, over the frames delivered: opening a description and time between runs do "
                           "not count."));
    firstFrame = addFigure("firstFrame", tr("First frame"),
                           tr("After File > Open Description: the model's compile and load time, then the first "
                              "frame's latency and its board stage. Its one-off costs are kept out of the table."));
}

QLabel *StatisticsFigures::addFigure(const char *key, const QString &name, const QString &definition)
{
    auto *title = new QLabel(name + QLatin1Char(':'));
    auto *value = new QLabel;
    value->setObjectName(QString::fromLatin1(key));
    value->setWordWrap(true);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QLabel *label : {title, value})
        label->setToolTip(QStringLiteral("<p>") + definition.toHtmlEscaped() + QStringLiteral("</p>"));
    static_cast<QFormLayout *>(layout())->addRow(title, value);
    return value;
}

void StatisticsFigures::showFiguresOf(const Workbench &workbench)
{
    const RunMeasurement &measured = workbench.measurement();
    const RunStatistics &figures = measured.statistics();
    shown->setText(QString::number(measured.framesShown()));
    delivered->setText(QString::number(measured.framesDelivered()));
    inFlight->setText(tr("%1 of %2").arg(measured.framesInFlight()).arg(workbench.runInFlightLimit()));
    measuredRate->setText(fps(workbench.frameTime() > 0.0 ? 1.0 / workbench.frameTime() : 0.0));
    shownRate->setText(measured.isOneRun() && figures.frames() > 1 ? fps(figures.fpsRecent()) : QStringLiteral("-"));
    boardRate->setText(tr("%1 (last 2 s, at most 32 frames)").arg(fps(measured.boardFps())));
    const std::uint64_t frames = measured.framesDelivered();
    hostCpu->setText(frames > 0 ? ms(measured.hostCpuSeconds() * 1000.0 / double(frames)) : QStringLiteral("-"));
    if (const auto &first = figures.firstFrame())
        firstFrame->setText(tr("opened in %1, frame %2 (board %3)")
                                .arg(ms(first->openMs), ms(first->latencyMs),
                                     ms(first->stagesMs[std::size_t(Stage::Board)])));
    else
        firstFrame->setText(QStringLiteral("-"));
}
