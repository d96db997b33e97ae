#include "results/result_painter.h"

#include "results/detection_drawing.h"
#include "results/label_placement.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// Device coordinates are kept within a margin of the visible area, so that
// boxes reaching far outside it give no overflow in QRect or the paint engine.
int deviceCoordinate(double value, int low, int high)
{
    constexpr int margin = 1024;
    if (std::isnan(value))
        return low;
    return int(std::floor(std::clamp(value, double(low) - margin, double(high) + margin)));
}

// The outline of a box through the centres of its edge pixels (columns x and
// x + width, rows y and y + height), in device pixels.
QRect deviceBox(const Detection &detection, const ResultPlacement &placement)
{
    const QRectF network(double(detection.x) + 0.5, double(detection.y) + 0.5, double(detection.width),
                         double(detection.height));
    const QRectF device = placement.networkToDevice.mapRect(network);
    const QRect &v = placement.visible;
    const int left = deviceCoordinate(device.left(), v.left(), v.right());
    const int top = deviceCoordinate(device.top(), v.top(), v.bottom());
    const int right = deviceCoordinate(device.right(), v.left(), v.right());
    const int bottom = deviceCoordinate(device.bottom(), v.top(), v.bottom());
    return QRect(left, top, right - left, bottom - top);
}

// One device pixel wide at up to twice the network's size; wider beyond, so
// that an outline stays visible on a strongly enlarged picture.
int outlineWidth(const QTransform &networkToDevice)
{
    const double scale = std::min(std::abs(networkToDevice.m11()), std::abs(networkToDevice.m22()));
    return scale >= 2.0 ? 2 : 1;
}

void drawDetectionsAt(QPainter &painter, const std::vector<Detection> &detections,
                      const std::vector<std::string> &labels, const ResultPlacement &placement)
{
    std::vector<QRect> boxes;
    std::vector<QSize> sizes;
    std::vector<QString> texts;
    boxes.reserve(detections.size());
    sizes.reserve(detections.size());
    texts.reserve(detections.size());
    const QFontMetrics metrics(placement.font);
    const int lineWidth = outlineWidth(placement.networkToDevice);
    painter.setBrush(Qt::NoBrush);
    for (const Detection &detection : detections) {
        const QRect box = deviceBox(detection, placement);
        boxes.push_back(box);
        texts.push_back(detectionLabelText(detection, labels));
        // As the labels have always been: the text's advance and line height
        // plus one pixel of frame on each side.
        sizes.push_back(QSize(metrics.horizontalAdvance(texts.back()) + 2, metrics.height() + 2) + QSize(1, 1));
        if (detection.width < 0 || detection.height < 0)
            continue; // no part of the box lies on the picture
        painter.setPen(QPen(detection.colour, lineWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        painter.drawRect(box);
    }

    const std::vector<QRect> places = placeLabels(boxes, sizes, placement.visible);
    painter.setFont(placement.font);
    for (std::size_t i = 0; i < places.size(); ++i) {
        // The frame is drawn on the label's outer pixels, the text inside.
        const QRect frame = places[i].adjusted(0, 0, -1, -1);
        const QColor &colour = detections[i].colour;
        painter.fillRect(places[i], colour);
        painter.setPen(QPen(colour, 1));
        painter.drawRect(frame);
        painter.setPen(Qt::black);
        const int room = places[i].width() - 3;
        const QString text = metrics.horizontalAdvance(texts[i]) > room
                                 ? metrics.elidedText(texts[i], Qt::ElideRight, std::max(room, 0))
                                 : texts[i];
        painter.drawText(frame, Qt::AlignLeft, text);
    }
}

void drawCaption(QPainter &painter, const QString &caption, const ResultPlacement &placement)
{
    if (caption.isEmpty() || placement.visible.isEmpty())
        return;
    QFont font = placement.font;
    if (font.pixelSize() > 0)
        font.setPixelSize(font.pixelSize() * 3 / 2);
    else
        font.setPointSizeF(font.pointSizeF() * 1.5);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int margin = std::max(2, metrics.height() / 4);
    const int room = std::max(0, placement.visible.width() - 4 * margin);
    const QString text = metrics.elidedText(caption, Qt::ElideRight, room);
    const QRect box(placement.visible.topLeft() + QPoint(margin, margin),
                    QSize(metrics.horizontalAdvance(text) + 2 * margin, metrics.height() + margin));
    painter.fillRect(box.intersected(placement.visible), QColor(0, 0, 0, 170));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, text);
}

} // namespace

QFont labelFontFor(const QFont &base, const QRect &target, const QRect &visible)
{
    constexpr double shareOfSide = 1.0 / 28.0;
    constexpr int smallest = 9;
    constexpr double screenSide = 1280.0;
    const QRect seen = target.intersected(visible);
    const double basePixels = base.pixelSize() > 0 ? double(base.pixelSize()) : double(QFontMetrics(base).height());
    const double longer = std::max(seen.width(), seen.height());
    const double largest = basePixels * std::max(1.0, longer / screenSide);
    const double wanted = std::min(seen.width(), seen.height()) * shareOfSide;
    QFont font = base;
    font.setPixelSize(std::max(smallest, int(std::lround(std::min(wanted, largest)))));
    return font;
}

QString classifierCaption(const FrameResult &result, const std::vector<std::string> &labels)
{
    if (result.ranking.empty())
        return QString();
    const RankedClass &top = result.ranking.front();
    const bool known = top.classIndex >= 0 && std::size_t(top.classIndex) < labels.size();
    const QString label = known ? QString::fromStdString(labels[std::size_t(top.classIndex)])
                                : QString::number(top.classIndex);
    return label + QStringLiteral(": ") + QString::number(double(top.probability), 'f', 2);
}

void drawFrameResult(QPainter &painter, const FrameResult &result, const std::vector<std::string> &labels,
                     const ResultPlacement &placement, const QImage &mask)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (!mask.isNull() && !placement.networkArea.isEmpty()) {
        // Nearest cells, opaque: the mask looks as it does on the network's picture.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.setClipRect(placement.visible);
        painter.drawImage(placement.networkArea, mask);
        painter.setClipping(false);
    }
    if (!result.detections.empty())
        drawDetectionsAt(painter, result.detections, labels, placement);
    drawCaption(painter, classifierCaption(result, labels), placement);
    painter.restore();
}
