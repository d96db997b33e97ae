#include "picture/picture_geometry.h"

#include "picture/nearest_scaling.h"

#include <algorithm>

namespace {

// index: a network column or row; start and length: where the placement
// spans along the axis, whose network size is extent.
int sourceAt(const std::vector<int> &map, int index, int offset, int start, int extent)
{
    if (map.empty())
        return index;
    const int clamped = std::clamp(index, 0, extent - 1) - start;
    if (clamped < 0 || clamped >= int(map.size()))
        return -1; // padding
    const int source = map[std::size_t(clamped)];
    return source < 0 ? -1 : offset + source;
}

} // namespace

PictureGeometry::PictureGeometry(const QRect &crop, const QSize &networkSize, const QRect &placement)
    : crop_(crop), networkSize_(networkSize), placement_(placement.isEmpty() ? QRect(QPoint(0, 0), networkSize) : placement)
{
    if (isNull())
        return;
    // The same tables that the scaling used, so that the pixels agree exactly.
    columns_ = nearestSourcePixels(crop.width(), placement_.width());
    rows_ = nearestSourcePixels(crop.height(), placement_.height());
}

QTransform PictureGeometry::networkToOriginal() const
{
    if (isNull())
        return QTransform();
    const double sx = double(crop_.width()) / double(placement_.width());
    const double sy = double(crop_.height()) / double(placement_.height());
    return QTransform(sx, 0.0, 0.0, sy, double(crop_.left()) - sx * double(placement_.left()),
                      double(crop_.top()) - sy * double(placement_.top()));
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
    return sourceAt(columns_, networkColumn, crop_.left(), placement_.left(), networkSize_.width());
}

int PictureGeometry::originalRow(int networkRow) const
{
    return sourceAt(rows_, networkRow, crop_.top(), placement_.top(), networkSize_.height());
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
    return PictureGeometry(prepared.crop, prepared.picture.size(), prepared.placement);
}
