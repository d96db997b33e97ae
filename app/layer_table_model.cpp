#include "app/layer_table_model.h"

#include <QBrush>
#include <QColor>
#include <QLocale>
#include <QStringList>

#include <unordered_map>

namespace {

QString shapeText(const LayerDescription &layer)
{
    if (layer.outputs.empty())
        return QString();
    QStringList dims;
    for (std::uint32_t dim : layer.outputs.front())
        dims << QString::number(dim);
    return dims.join(QStringLiteral(" x "));
}

} // namespace

void LayerTableModel::show(const NetworkProfile &shown, const std::optional<LayerComparisonReport> &compared)
{
    const bool sameRows = shown.layers.size() == profile.layers.size() && compared.has_value() == comparison.has_value();
    if (!sameRows)
        beginResetModel();
    profile = shown;
    comparison = compared;
    comparedRow.assign(profile.layers.size(), -1);
    if (comparison) {
        std::unordered_map<std::string, int> rows;
        for (std::size_t i = 0; i < comparison->layers.size(); ++i)
            rows.emplace(comparison->layers[i].name, int(i));
        for (std::size_t i = 0; i < profile.layers.size(); ++i) {
            const auto found = rows.find(profile.layers[i].name);
            if (found != rows.end())
                comparedRow[i] = found->second;
        }
    }
    if (!sameRows)
        endResetModel();
    else if (!profile.layers.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

int LayerTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(profile.layers.size());
}

int LayerTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const LayerDifference *LayerTableModel::differenceOf(int row) const
{
    if (!comparison || comparedRow[std::size_t(row)] < 0)
        return nullptr;
    return &comparison->layers[std::size_t(comparedRow[std::size_t(row)])];
}

QVariant LayerTableModel::sortValue(int row, int column) const
{
    const std::size_t i = std::size_t(row);
    const LayerDescription &layer = profile.layers[i];
    const LayerDifference *difference = differenceOf(row);
    switch (column) {
    case Parameters:
        return double(layer.parameters);
    case MultiplyAdds:
        return double(layer.multiplyAdds);
    case Time:
    case Share:
        return profile.milliseconds[i];
    case Rate:
        return profile.multiplyAddsPerSecond(i);
    case Cosine:
        // Layers without a twin after every compared one.
        return difference ? difference->difference.cosine : 2.0;
    case MaxAbs:
        return difference ? difference->difference.maxAbs : -1.0;
    default:
        return row;
    }
}

QVariant LayerTableModel::text(int row, int column) const
{
    const std::size_t i = std::size_t(row);
    const LayerDescription &layer = profile.layers[i];
    const LayerDifference *difference = differenceOf(row);
    const QLocale locale;
    switch (column) {
    case Order:
        return row + 1;
    case Name:
        return QString::fromStdString(layer.name);
    case Type:
        return QString::fromStdString(layer.type);
    case Output:
        return shapeText(layer);
    case Parameters:
        return locale.toString(qulonglong(layer.parameters));
    case MultiplyAdds:
        return locale.toString(qulonglong(layer.multiplyAdds));
    case Time:
        return profile.frames > 0 ? QString::number(profile.milliseconds[i], 'f', 3) : QString();
    case Share:
        return profile.frames > 0 ? QString::number(profile.percent(i), 'f', 1) + QStringLiteral(" %") : QString();
    case Rate:
        return profile.frames > 0 && layer.multiplyAdds > 0
                   ? QString::number(profile.multiplyAddsPerSecond(i) / 1e9, 'f', 2)
                   : QString();
    case Cosine:
        return difference ? QString::number(difference->difference.cosine, 'f', 6) : QString();
    case MaxAbs:
        return difference ? QString::number(difference->difference.maxAbs, 'g', 4) : QString();
    default:
        return QVariant();
    }
}

QVariant LayerTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const int row = index.row();
    const int column = index.column();
    if (role == sortRole)
        return sortValue(row, column);
    if (role == Qt::DisplayRole)
        return text(row, column);
    if (role == Qt::TextAlignmentRole && column != Name && column != Type && column != Output)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    // The layers that depart from the simulator stand out.
    const LayerDifference *difference = differenceOf(row);
    if (role == Qt::ForegroundRole && column == Cosine && difference
        && difference->difference.cosine < comparison->threshold)
        return QBrush(QColor(Qt::red));
    if (role == Qt::ToolTipRole && column == Name && comparison && comparison->firstDivergent
        && difference == &comparison->layers[*comparison->firstDivergent])
        return tr("The first layer whose cosine falls below %1").arg(comparison->threshold);
    return QVariant();
}

QVariant LayerTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Order:
        return tr("#");
    case Name:
        return tr("Layer");
    case Type:
        return tr("Type");
    case Output:
        return tr("Output");
    case Parameters:
        return tr("Parameters");
    case MultiplyAdds:
        return tr("Multiply-adds");
    case Time:
        return tr("Time (ms)");
    case Share:
        return tr("Share of time");
    case Rate:
        return tr("GMAC/s");
    case Cosine:
        return tr("Cosine");
    case MaxAbs:
        return tr("Max |d|");
    default:
        return QVariant();
    }
}
