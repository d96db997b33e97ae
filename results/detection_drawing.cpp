#include "results/detection_drawing.h"

#include <QFontMetrics>

#include <array>
#include <cstdint>
#include <unordered_map>

namespace {

const std::array<QColor, 3> &classPalette()
{
    static const std::array<QColor, 3> palette{QColor(Qt::yellow), QColor(Qt::green), QColor(Qt::red)};
    return palette;
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
