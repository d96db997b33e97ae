#include "results/detection_drawing.h"

#include "results/class_colours.h"

#include <QFontMetrics>

void assignClassColours(std::vector<Detection> &detections)
{
    for (Detection &detection : detections)
        detection.colour = classColour(detection.classIndex);
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
