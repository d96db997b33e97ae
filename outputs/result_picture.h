// A frame's result over its picture, the way the picture area shows it: on
// the original picture the part the network never saw is dimmed, and the
// boxes, labels, caption and segmentation mask are drawn at the resolution of
// the painter's device. The picture area, File > Save Result As and
// recordings all draw results through here.
#pragma once

#include "picture/picture_request.h"
#include "results/frame_result.h"
#include "results/result_record.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QTransform>

#include <string>
#include <vector>

class QPainter;

struct ResultScene
{
    QImage image;                           // the original picture, or the network's input (shared)
    const FrameResult &result;
    const std::vector<std::string> &labels; // the names of the result's classes
    QTransform networkToImage;              // network-input coordinates to image pixels
    QSize networkSize;                      // of the network's input
    QRect seen;                             // image pixels the network saw; the rest is dimmed (empty: none)
    QImage mask;                            // classMapMask() of the result, or null for none
};

// Draws the scene's result over its image, which the painter shows at target;
// labels and the caption stay within visible, their font font sized by
// labelFontFor() to the picture as it is seen.
void drawSceneResult(QPainter &painter, const ResultScene &scene, const QRect &target, const QRect &visible,
                     const QFont &font);

// The scene at its image's own resolution, labels sized to it as to a
// picture seen whole; background shows through a
// picture's transparent parts.
QImage renderResultScene(const ResultScene &scene, const QFont &font, const QColor &background = Qt::black);

// The result over the original picture at its own resolution (over the
// network's input for a raw binary image): what Save Result As writes in the
// "Original Picture" view. font: detectionLabelFont(), made on the GUI
// thread. Any thread.
QImage resultOnOriginal(const PreparedPicture &picture, const FrameResult &result,
                        const std::vector<std::string> &labels, const QFont &font);

// Maps the frame's network-input boxes onto the picture it was read from
// (none for a raw binary image), for resultRecordLine().
BoxToOriginal boxToOriginal(const PreparedPicture &picture);
