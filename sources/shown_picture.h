// The picture as the picture area shows it at a size other than its own:
// scaled smoothly, and on the user's picture the part the network never saw
// dimmed. Made ahead of time on Run Auto's reader thread, or by the view.
#pragma once

#include "picture/picture_request.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QTransform>

class QPainter;

// Bilinear straight from the picture's own pixels, about twice as fast as
// QImage::scaled with Qt::SmoothTransformation; area averaging (Qt's) below
// half the size. The result is RGB32 or, with alpha, ARGB32_Premultiplied;
// null when size is empty or memory runs out.
QImage smoothlyScaled(const QImage &image, const QSize &size);

// Image pixels to the pixels of target, where an image of imageSize is drawn.
QTransform imageToTarget(const QSize &imageSize, const QRect &target);

// Dims the parts of target (where an original picture of imageSize is
// drawn) that lie outside crop, the part the network saw.
void dimUnseen(QPainter &painter, const QRect &target, const QSize &imageSize, const QRect &crop);

// The original picture (or, with original false, the network's input) scaled
// to size, the unseen part of the original dimmed.
QImage shownPicture(const PreparedPicture &picture, bool original, const QSize &size);

// Where the window shows pictures: the area a picture is fitted into (empty
// while zoomed: nothing is scaled ahead) and which picture it shows.
struct DisplayTarget
{
    QSize area;
    bool original = true; // the user's picture, or else the network's input
    bool operator==(const DisplayTarget &other) const { return area == other.area && original == other.original; }
};

// Sets picture.originalShown or networkShown (the one shown; the other is
// cleared) to the picture scaled to its size fitted into the target's area;
// both stay null when no scaling is needed.
void scaleAhead(PreparedPicture &picture, const DisplayTarget &target);
