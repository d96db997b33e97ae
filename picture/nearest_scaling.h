// Centre crop and nearest-pixel scaling in one pass.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

#include <vector>

// Exactly image.copy(crop).scaled(size, Qt::IgnoreAspectRatio,
// Qt::FastTransformation), pixel for pixel. For Format_RGB32 pictures of
// ordinary sizes it picks the source pixels directly instead of copying and
// painting; the others go the long way.
QImage cropAndScale(const QImage &image, const QRect &crop, const QSize &size);

// Which source pixel cropAndScale puts at each of `to` places along one axis
// when it scales `from` pixels, or -1 where it leaves the pixel blank. Rows
// and columns are picked independently, so one table per axis describes the
// whole scaling.
std::vector<int> nearestSourcePixels(int from, int to);
