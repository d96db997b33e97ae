// View > Layers: the board's network layer by layer, in a sortable table:
// type, output shape, parameters, multiply-adds, mean time per frame with a
// bar of its share of the layers' time, and multiply-adds per second; while
// the window compares with the simulator, each layer's cosine similarity and
// largest difference against it. The layers are timed (and compared) only
// while the dock is shown.
#pragma once

#include <QDockWidget>

#include <cstdint>

class LayerTableModel;
class QLabel;
class QSortFilterProxyModel;
class QTableView;
class Workbench;

class LayersDock : public QDockWidget
{
    Q_OBJECT

public:
    // The workbench outlives the dock.
    explicit LayersDock(Workbench &workbench, QWidget *parent = nullptr);

    // Reads the layers' times and comparison again and redraws; at most four
    // times a second unless forced.
    void refresh(bool force = false);

    const LayerTableModel &rows() const { return *model; }
    QTableView *table() const { return view; }
    QString summaryText() const;

private:
    Workbench &workbench;
    std::int64_t lastRefresh = 0;

    QLabel *summary = nullptr;
    QTableView *view = nullptr;
    LayerTableModel *model = nullptr;
    QSortFilterProxyModel *sorted = nullptr;
};
