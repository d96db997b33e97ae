#include "app/layers_dock.h"

#include "app/layer_table_model.h"
#include "app/share_bar_delegate.h"
#include "workbench/workbench.h"

#include <QHeaderView>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

LayersDock::LayersDock(Workbench &workbench, QWidget *parent)
    : QDockWidget(tr("Layers"), parent), workbench(workbench)
{
    setObjectName(QStringLiteral("layersDock"));
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    summary = new QLabel;
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(summary);

    model = new LayerTableModel(this);
    sorted = new QSortFilterProxyModel(this);
    sorted->setSourceModel(model);
    sorted->setSortRole(LayerTableModel::sortRole);
    view = new QTableView;
    view->setModel(sorted);
    view->setSortingEnabled(true);
    view->sortByColumn(LayerTableModel::Order, Qt::AscendingOrder);
    view->setItemDelegateForColumn(LayerTableModel::Share, new ShareBarDelegate(view));
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->setVisible(false);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->horizontalHeader()->setSectionResizeMode(LayerTableModel::Share, QHeaderView::Interactive);
    view->horizontalHeader()->resizeSection(LayerTableModel::Share, 120);
    layout->addWidget(view);
    setWidget(content);

    // Timed only while shown: frames without the dock are not slowed. (The
    // workbench as the context: the dock may hide as the window goes, after it.)
    connect(this, &QDockWidget::visibilityChanged, &workbench, [this](bool visible) {
        this->workbench.layers().setWatching(visible);
        refresh(true);
    });
    connect(&workbench, &Workbench::descriptionChanged, this, [this] { refresh(true); });
    connect(&workbench, &Workbench::comparingChanged, this, [this] { refresh(true); });
    connect(&workbench, &Workbench::runFinished, this, [this] { refresh(true); });
    connect(&workbench, &Workbench::statisticsChanged, this, [this] { refresh(); });
    refresh(true);
}

QString LayersDock::summaryText() const
{
    return summary->text();
}

void LayersDock::refresh(bool force)
{
    const std::int64_t now = steadyNanoseconds();
    if (!isVisible() || (!force && now - lastRefresh < 250000000))
        return;
    lastRefresh = now;
    LayerWatch &watch = workbench.layers();
    watch.refresh(workbench.reference());
    const NetworkProfile &profile = watch.profile();
    model->show(profile, watch.comparison());
    view->setColumnHidden(LayerTableModel::Cosine, !model->hasComparison());
    view->setColumnHidden(LayerTableModel::MaxAbs, !model->hasComparison());

    if (!watch.unavailable().isEmpty()) {
        summary->setText(watch.unavailable());
        return;
    }
    QString text = tr("%1 layers, %2 million multiply-adds per frame.")
                       .arg(profile.layers.size())
                       .arg(double(profile.multiplyAdds()) / 1e6, 0, 'f', 2);
    const double boardMs = workbench.measurement().statistics().recent(Stage::Board).mean;
    if (profile.frames > 0)
        text += QLatin1Char(' ')
                + tr("Over %1 frames the layers took %2 ms per frame (%3 GMAC/s), the engine %4 ms, the board %5 ms.")
                      .arg(profile.frames)
                      .arg(profile.layersTotalMs(), 0, 'f', 3)
                      .arg(profile.networkMultiplyAddsPerSecond() / 1e9, 0, 'f', 2)
                      .arg(profile.engineFrameMs, 0, 'f', 3)
                      .arg(boardMs, 0, 'f', 3);
    else
        text += QLatin1Char(' ') + tr("Run frames to time the layers.");
    if (const auto &compared = watch.comparison()) {
        text += QLatin1Char('\n');
        if (compared->frames == 0)
            text += tr("Against the simulator: run frames to compare the layers.");
        else if (compared->firstDivergent)
            text += tr("Against the simulator (%1 frames): the first layer whose cosine falls below %2 is %3.")
                        .arg(compared->frames)
                        .arg(compared->threshold)
                        .arg(QString::fromStdString(compared->layers[*compared->firstDivergent].name));
        else
            text += tr("Against the simulator (%1 frames): no layer's cosine falls below %2.")
                        .arg(compared->frames)
                        .arg(compared->threshold);
    }
    summary->setText(text);
}
