// View > Statistics: the figures of Run and Run Auto stage by stage, over
// the last 300 frames or since Run Auto started, the rates, and the first
// frame after a description was opened, and the comparison with the
// simulator while the window compares. Every figure's definition is in its
// tool tip. The table shows all its rows; the panel scrolls rather than
// squeeze it, and asks for no more width than the table's.
#pragma once

#include "measuring/run_statistics.h"

#include <QDockWidget>

#include <cstdint>

class QComboBox;
class QLabel;
class QTableWidget;
class StatisticsFigures;
class Workbench;

class StatisticsDock : public QDockWidget
{
public:
    // Shows the workbench's measurement and comparison; the workbench
    // outlives the dock.
    explicit StatisticsDock(const Workbench &workbench, QWidget *parent = nullptr);

    const RunStatistics &statistics() const;

    // Redraws the figures; at most four times a second unless forced.
    void refresh(bool force = false);

private:
    const Workbench &workbench;
    std::int64_t lastRefresh = 0;

    QComboBox *span = nullptr;
    QTableWidget *table = nullptr;
    StatisticsFigures *figuresBelow = nullptr;
    QLabel *comparison = nullptr;
};
