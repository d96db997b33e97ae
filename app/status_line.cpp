#include "app/status_line.h"

#include "accel/attached_boards.h"

#include <QCoreApplication>
#include <QFontMetrics>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("VRAXGUI", text);
}

} // namespace

QString statusLineText(const StatusLineState &state)
{
    return statusLineFiles(state) + statusLineRates(state);
}

QString statusLineFiles(const StatusLineState &state)
{
    QString text;
    text += tr("Board %1, ").arg(QString::fromStdString(
        boardName(state.boardType, state.boardIndex, state.everyBoardOfType)));
    if (!state.descriptionPath.isEmpty())
        text += tr("description: ") + state.descriptionPath + QStringLiteral(", ");
    else
        text += tr("no description, ");
    if (!state.pictureList.isEmpty())
        text += tr("picture: ") + state.picturePath + QStringLiteral(". ");
    else
        text += tr("no picture. ");
    return text;
}

QString statusLineRates(const StatusLineState &state)
{
    QString text;
    if (std::fabs(state.frameTime) > std::numeric_limits<double>::epsilon())
        text += QString::number(1.0 / state.frameTime, 'f', 2);
    else
        text += QStringLiteral("0.00");
    text += QStringLiteral(" (") + QString::number(state.boardFps, 'f', 2) + QStringLiteral(") fps.");
    return text;
}

QString elidedStatusLineFiles(const StatusLineState &state, const QFontMetrics &metrics, int width)
{
    const QString whole = statusLineFiles(state);
    if (metrics.horizontalAdvance(whole) <= width)
        return whole;
    // What the paths leave, then their share of the rest: the shorter path
    // whole where it fits in half, the longer one the remainder.
    const bool hasDescription = !state.descriptionPath.isEmpty();
    const bool hasPicture = !state.pictureList.isEmpty() && !state.picturePath.isEmpty();
    int room = width - metrics.horizontalAdvance(statusLineFiles(state))
               + (hasDescription ? metrics.horizontalAdvance(state.descriptionPath) : 0)
               + (hasPicture ? metrics.horizontalAdvance(state.picturePath) : 0);
    room = std::max(room, 0);
    const int descriptionWidth = hasDescription ? metrics.horizontalAdvance(state.descriptionPath) : 0;
    const int pictureWidth = hasPicture ? metrics.horizontalAdvance(state.picturePath) : 0;
    int descriptionRoom = room / 2;
    int pictureRoom = room - descriptionRoom;
    if (descriptionWidth < descriptionRoom)
        pictureRoom += descriptionRoom - descriptionWidth;
    else if (pictureWidth < pictureRoom)
        descriptionRoom += pictureRoom - pictureWidth;
    StatusLineState elided = state;
    if (hasDescription)
        elided.descriptionPath = metrics.elidedText(state.descriptionPath, Qt::ElideMiddle, descriptionRoom);
    if (hasPicture)
        elided.picturePath = metrics.elidedText(state.picturePath, Qt::ElideMiddle, pictureRoom);
    // An empty elision would read as "no description": keep the ellipsis at least.
    if (hasDescription && elided.descriptionPath.isEmpty())
        elided.descriptionPath = QStringLiteral("\u2026");
    if (hasPicture && elided.picturePath.isEmpty())
        elided.picturePath = QStringLiteral("\u2026");
    return statusLineFiles(elided);
}

StatusFilesLabel::StatusFilesLabel(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void StatusFilesLabel::setState(const StatusLineState &newState)
{
    state = newState;
    setToolTip(statusLineText(state));
    elide();
}

QSize StatusFilesLabel::minimumSizeHint() const
{
    return QSize(0, QLabel::minimumSizeHint().height());
}

QSize StatusFilesLabel::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(statusLineFiles(state)), QLabel::sizeHint().height());
}

void StatusFilesLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void StatusFilesLabel::elide()
{
    const int room = contentsRect().width() - 2 * margin() - 2;
    const QString text = elidedStatusLineFiles(state, fontMetrics(), std::max(room, 0));
    if (text != QLabel::text())
        setText(text);
}
