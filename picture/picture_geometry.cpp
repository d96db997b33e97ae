#include "picture/picture_geometry.h"

#include "picture/nearest_scaling.h"

#include <algorithm>

namespace {

int sourceAt(const std::vector<int> &map, int index, int offset)
{
    if (map.empty())
        return index;
    const int source = map[std::size_t(std::clamp(index, 0, int(map.size()) - 1))];
    return source < 0 ? -1 : offset + source;
}

} // namespace

PictureGeometry::PictureGeometry(const QRect &crop, const QSize &networkSize)
    : crop_(crop), networkSize_(networkSize)
{
    if (isNull())
        return;
    // The same tables that the scaling used, so that the pixels agree exactly.
    columns_ = nearestSourcePixels(crop.width(), networkSize.width());
    rows_ = nearestSourcePixels(crop.height(), networkSize.height());
}

QTransform PictureGeometry::networkToOriginal() const
{
    if (isNull())
        return QTransform();
    const double sx = double(crop_.width()) / double(networkSize_.width());
    const double sy = double(crop_.height()) / double(networkSize_.height());
    return QTransform(sx, 0.0, 0.0, sy, double(crop_.left()), double(crop_.top()));
}

QPointF PictureGeometry::toOriginal(const QPointF &networkPoint) const
{
    return networkToOriginal().map(networkPoint);
}

QRectF PictureGeometry::toOriginal(const QRectF &networkArea) const
{
    return networkToOriginal().mapRect(networkArea);
}

QPointF PictureGeometry::toNetwork(const QPointF &originalPoint) const
{
    return networkToOriginal().inverted().map(originalPoint);
}

int PictureGeometry::originalColumn(int networkColumn) const
{
    return sourceAt(columns_, networkColumn, crop_.left());
}

int PictureGeometry::originalRow(int networkRow) const
{
    return sourceAt(rows_, networkRow, crop_.top());
}

QRect PictureGeometry::originalPixels(const QRect &networkPixels) const
{
    return QRect(QPoint(originalColumn(networkPixels.left()), originalRow(networkPixels.top())),
                 QPoint(originalColumn(networkPixels.right()), originalRow(networkPixels.bottom())));
}

PictureGeometry pictureGeometry(const PreparedPicture &prepared)
{
    if (prepared.original.isNull())
        return PictureGeometry();
    return PictureGeometry(prepared.crop, prepared.picture.size());
}
