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

QString statusLineRatesDefinition()
{
    return tr("The measured rate, then in brackets the board-reported one. Measured: in Run Auto the frames "
              "delivered per second since it started, after Run one over the board time of its frame. "
              "Board-reported: the rate the board runtime reports, averaged over its frames that finished within "
              "2 seconds of the newest, at most 32; idle time does not count. View > Statistics shows both beside "
              "the other figures.");
}

namespace {

// The path within width: its folder shortened in the middle as far as
// needed ("/home/…/pictures/"), its file name whole even when that alone
// is wider.
QString elidedPath(const QString &path, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    const int room = width - metrics.horizontalAdvance(name);
    QString shortFolder = metrics.elidedText(folder, Qt::ElideMiddle, std::max(room, 0));
    // The ellipsis at least, so that the path still reads as one.
    if (!folder.isEmpty() && (shortFolder.isEmpty() || shortFolder == QStringLiteral("\u2026")))
        shortFolder = QStringLiteral("\u2026/");
    return shortFolder + name;
}

} // namespace

QString elidedStatusLineFiles(const StatusLineState &state, const QFontMetrics &metrics, int width)
{
    const QString whole = statusLineFiles(state);
    if (metrics.horizontalAdvance(whole) <= width)
        return whole;
    // What the paths leave, then their share of the rest: the shorter path
    // whole where it fits in half, the longer one the remainder.
    const bool hasDescription = !state.descriptionPath.isEmpty();
    const bool hasPicture = !state.pictureList.isEmpty() && !state.picturePath.isEmpty();
    const int descriptionWidth = hasDescription ? metrics.horizontalAdvance(state.descriptionPath) : 0;
    const int pictureWidth = hasPicture ? metrics.horizontalAdvance(state.picturePath) : 0;
    const int room = std::max(width - metrics.horizontalAdvance(whole) + descriptionWidth + pictureWidth, 0);
    int descriptionRoom = room / 2;
    int pictureRoom = room - descriptionRoom;
    if (descriptionWidth < descriptionRoom)
        pictureRoom += descriptionRoom - descriptionWidth;
    else if (pictureWidth < pictureRoom)
        descriptionRoom += pictureRoom - pictureWidth;
    StatusLineState elided = state;
    if (hasDescription)
        elided.descriptionPath = elidedPath(state.descriptionPath, metrics, descriptionRoom);
    if (hasPicture)
        elided.picturePath = elidedPath(state.picturePath, metrics, pictureRoom);
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
