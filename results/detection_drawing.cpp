#include "results/detection_drawing.h"

#include <QBrush>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRect>

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>

namespace {

const std::array<QColor, 3> &classPalette()
{
    static const std::array<QColor, 3> palette{QColor(Qt::yellow), QColor(Qt::green), QColor(Qt::red)};
    return palette;
}

// The rectangle with its corners moved no further than a margin outside the
// canvas. What is visible stays the same, and boxes with edges at the ends
// of the 32-bit range give no overflow in QRect or the paint engine.
QRect drawableRect(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height,
                   const QSize &canvasSize)
{
    constexpr std::int64_t margin = 1024;
    const auto limitX = [&](std::int64_t v) { return int(std::clamp<std::int64_t>(v, -margin, canvasSize.width() + margin)); };
    const auto limitY = [&](std::int64_t v) { return int(std::clamp<std::int64_t>(v, -margin, canvasSize.height() + margin)); };
    return QRect(QPoint(limitX(left), limitY(top)), QPoint(limitX(left + width - 1), limitY(top + height - 1)));
}

} // namespace

void assignClassColours(std::vector<Detection> &detections)
{
    std::unordered_map<std::int32_t, QColor> classColours;
    std::size_t next = 0;
    for (Detection &detection : detections) {
        auto found = classColours.find(detection.classIndex);
        if (found == classColours.end()) {
            found = classColours.emplace(detection.classIndex, classPalette()[next]).first;
            next = (next + 1) % classPalette().size();
        }
        detection.colour = found->second;
    }
}

QFont detectionLabelFont()
{
    QFont font(QStringLiteral("Times New"), 12);
    font.setStyleHint(QFont::Serif); // what to look for when the family is missing
    const int lineHeight = QFontMetrics(font).height();
    if (lineHeight > 0)
        font.setPixelSize(lineHeight);
    return font;
}

QString detectionLabelText(const Detection &detection, const std::vector<std::string> &labels)
{
    const bool known = detection.classIndex >= 0 && std::size_t(detection.classIndex) < labels.size();
    const QString label = known ? QString::fromStdString(labels[std::size_t(detection.classIndex)])
                                : QString::number(detection.classIndex);
    return label + QStringLiteral(": ") + QString::number(detection.confidence, 'f', 2);
}

void drawDetectionLabel(QPainter &painter, const Detection &detection, const std::vector<std::string> &labels,
                        const QColor &colour, const QFont &font)
{
    const QString text = detectionLabelText(detection, labels);
    const QFontMetrics metrics(font);
    const std::int64_t h = metrics.height();
    const std::int64_t w = metrics.horizontalAdvance(text);
    const std::int64_t above = std::int64_t(detection.y) - (h + 2);
    const QRect labelRect = drawableRect(detection.x, above >= 0 ? above : detection.y, w + 2, h + 2,
                                         painter.device() ? QSize(painter.device()->width(), painter.device()->height())
                                                          : QSize());

    painter.setBrush(Qt::NoBrush);
    painter.setPen(colour);
    painter.fillRect(labelRect, QBrush(colour, Qt::SolidPattern));
    painter.drawRects(&labelRect, 1);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(labelRect, Qt::AlignLeft, text);
}

void drawDetections(QImage &canvas, const std::vector<Detection> &detections, const std::vector<std::string> &labels)
{
    if (detections.empty() || canvas.isNull())
        return;
    const QFont font = detectionLabelFont();
    // One painter for the frame: each detection sets every bit of state it
    // draws with, so the result is the same as with a painter per detection.
    QPainter painter(&canvas);
    for (const Detection &detection : detections) {
        const QRect box = drawableRect(detection.x, detection.y, detection.width, detection.height, canvas.size());
        painter.setBrush(Qt::NoBrush);
        painter.setPen(detection.colour);
        painter.drawRects(&box, 1);
        drawDetectionLabel(painter, detection, labels, detection.colour, font);
    }
}
