#include "app/frame_label.h"

#include <QFileInfo>

#include <cmath>

QString videoTimeText(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0.0)
        seconds = 0.0;
    const auto hundredths = static_cast<long long>(std::floor(seconds * 100.0 + 0.5));
    const long long minutes = hundredths / 6000 % 60;
    const long long hours = hundredths / 360000;
    const QString rest = QStringLiteral("%1:%2.%3")
                             .arg(minutes, 2, 10, QLatin1Char('0'))
                             .arg(hundredths / 100 % 60, 2, 10, QLatin1Char('0'))
                             .arg(hundredths % 100, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QStringLiteral("%1:%2").arg(hours).arg(rest) : rest;
}

QString frameLabel(const FrameOrigin &origin)
{
    const QString name = origin.source.isEmpty() ? QFileInfo(origin.path).fileName() : origin.source;
    if (origin.timeSeconds < 0.0)
        return name;
    return QStringLiteral("%1 #%2 %3").arg(name).arg(origin.number).arg(videoTimeText(origin.timeSeconds));
}
