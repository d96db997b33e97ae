#include "app/share_bar_delegate.h"

#include <QPainter>

#include <algorithm>

void ShareBarDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QString text = index.data(Qt::DisplayRole).toString();
    bool ok = false;
    const double percent = text.remove(QStringLiteral(" %")).toDouble(&ok);
    if (ok && percent > 0.0) {
        QRect bar = option.rect.adjusted(2, 3, -2, -3);
        bar.setWidth(std::max(1, int(bar.width() * std::min(percent, 100.0) / 100.0)));
        painter->save();
        QColor colour = option.palette.highlight().color();
        colour.setAlpha(110);
        painter->fillRect(bar, colour);
        painter->restore();
    }
    QStyledItemDelegate::paint(painter, option, index);
}
