// Where the network's input lies in the picture the user gave: the part it
// sees (the centre crop, or the whole picture), scaled by nearest-pixel
// scaling onto the input or, letterboxed, onto a part of it. Maps results in
// network-input pixels back onto the original picture.
#pragma once

#include "picture/picture_request.h"

#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QTransform>

#include <vector>

class PictureGeometry
{
public:
    // No picture: every mapping is the identity.
    PictureGeometry() = default;
    // crop: what the network sees, in original pixels; networkSize: the
    // input size; placement: where the crop was scaled to in the input
    // (empty: all of it).
    PictureGeometry(const QRect &crop, const QSize &networkSize, const QRect &placement = QRect());

    bool isNull() const { return crop_.isEmpty() || networkSize_.isEmpty(); }
    QRect crop() const { return crop_; }
    QSize networkSize() const { return networkSize_; }
    QRect placement() const { return placement_; }

    // Continuous coordinates, in which pixel (x, y) covers [x, x + 1) x
    // [y, y + 1): network input -> original picture, for drawing. A network
    // pixel covers the part of the crop that the scaling stretched onto it.
    QTransform networkToOriginal() const;
    QPointF toOriginal(const QPointF &networkPoint) const;
    QRectF toOriginal(const QRectF &networkArea) const;
    QPointF toNetwork(const QPointF &originalPoint) const;

    // The original pixel that a network pixel was copied from, as the scaling
    // chose it (indexes outside the input are clamped to its edges; -1 where
    // the scaling left the pixel blank or letterbox padding lies).
    int originalColumn(int networkColumn) const;
    int originalRow(int networkRow) const;
    // A rectangle of network pixels (left to right, top to bottom inclusive)
    // as the original pixels its corner pixels were copied from; a rectangle
    // whose right or bottom lies before its left or top keeps that order.
    QRect originalPixels(const QRect &networkPixels) const;

private:
    QRect crop_;
    QSize networkSize_;
    QRect placement_;
    std::vector<int> columns_; // per network column, the crop column it was copied from
    std::vector<int> rows_;
};

// The geometry of a prepared picture; null for a raw binary image.
PictureGeometry pictureGeometry(const PreparedPicture &prepared);
