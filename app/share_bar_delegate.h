// Draws a layer's share of the time as a bar behind its percentage.
#pragma once

#include <QStyledItemDelegate>

class ShareBarDelegate : public QStyledItemDelegate
{
public:
    // The share comes from the display text of the cell ("12.5 %").
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
