// View > Statistics: the figures of Run and Run Auto stage by stage, over
// the last 300 frames or since Run Auto started, the rates, and the first
// frame after a description was opened, and the comparison with the
// simulator while the window compares.
#pragma once

#include "measuring/run_statistics.h"

#include <QDockWidget>

class QComboBox;
class ReferenceRun;
class QLabel;
class QTableWidget;

class StatisticsDock : public QDockWidget
{
public:
    explicit StatisticsDock(QWidget *parent = nullptr);

    // A description was opened in openMs (compile and load): the next frame
    // is reported as its first.
    void descriptionOpened(double openMs);
    // Run Auto starts: the since-start figures begin anew.
    void startRun();
    // A frame the window has shown, its times complete.
    void addFrame(const StageTimes &times);
    // What the pipeline reports while Run Auto runs.
    void setRunState(std::uint32_t framesInFlight, std::uint64_t framesDelivered, double boardFps);

    // View > Compare with Simulator: the reference whose comparison is shown
    // below the figures; null hides it. The dock reads it until it is replaced.
    void setReference(const ReferenceRun *reference);

    const RunStatistics &statistics() const { return figures; }

    // Redraws the figures; at most four times a second unless forced.
    void refresh(bool force = false);

private:
    RunStatistics figures;
    bool firstFramePending = false;
    double pendingOpenMs = 0.0;
    std::uint32_t inFlight = 0;
    std::uint64_t delivered = 0;
    double boardFps = 0.0;
    double cpuAtStart = 0.0;
    std::int64_t lastRefresh = 0;

    QComboBox *span = nullptr;
    QTableWidget *table = nullptr;
    QLabel *summary = nullptr;
    const ReferenceRun *reference = nullptr;
    QLabel *comparison = nullptr;
};
