// Centre crop and nearest-pixel scaling in one pass.
#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

// Exactly image.copy(crop).scaled(size, Qt::IgnoreAspectRatio,
// Qt::FastTransformation), pixel for pixel. For Format_RGB32 pictures of
// ordinary sizes it picks the source pixels directly instead of copying and
// painting; the others go the long way.
QImage cropAndScale(const QImage &image, const QRect &crop, const QSize &size);
