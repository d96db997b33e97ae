// The rows of the Layers dock: one per layer of the board's network, with
// its costs, its time and, while the window compares with the simulator, its
// agreement with it. Sorted through its sort role, which gives each column's
// number (the layer's place in the network for the text columns).
#pragma once

#include "measuring/layer_comparison.h"
#include "measuring/network_profile.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

class LayerTableModel : public QAbstractTableModel
{
public:
    enum Column { Order, Name, Type, Output, Parameters, MultiplyAdds, Time, Share, Rate, Cosine, MaxAbs, ColumnCount };
    // The number a column sorts by.
    static constexpr int sortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    // The layers and times, and the comparison (nothing: no columns for it).
    void show(const NetworkProfile &profile, const std::optional<LayerComparisonReport> &comparison);
    bool hasComparison() const { return comparison.has_value(); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // The layer's comparison, or null for a layer the simulator has not (or
    // that kept no output).
    const LayerDifference *differenceOf(int row) const;
    QVariant sortValue(int row, int column) const;
    QVariant text(int row, int column) const;

    NetworkProfile profile;
    std::optional<LayerComparisonReport> comparison;
    std::vector<int> comparedRow; // per layer: its row in the comparison, -1 when none
};
