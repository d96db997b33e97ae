#include "app/status_line.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("VRAXGUI", text);
}

QString boardTypePiece(BoardType type)
{
    // The simulator is written in lower case here, as the status line always
    // has; any value the board table does not know reads as the simulator.
    const QString name = QLatin1String(boardTypeName(type));
    return tr(" (%1), ").arg(name == QLatin1String(boardTypeName(BoardType::Simulator)) ? tr("simulator") : name);
}

} // namespace

QString statusLineText(const StatusLineState &state)
{
    QString text;
    text += tr("Board %1").arg(state.boardIndex);
    text += boardTypePiece(state.boardType);
    if (!state.descriptionPath.isEmpty())
        text += tr("description: ") + state.descriptionPath + QStringLiteral(", ");
    else
        text += tr("no description, ");
    if (!state.pictureList.isEmpty())
        text += tr("picture: ") + state.picturePath + QStringLiteral(". ");
    else
        text += tr("no picture. ");

    if (std::fabs(state.frameTime) > std::numeric_limits<double>::epsilon())
        text += QString::number(1.0 / state.frameTime, 'f', 2);
    else
        text += QStringLiteral("0.00");
    text += QStringLiteral(" (") + QString::number(state.boardFps, 'f', 2) + QStringLiteral(") fps.");
    return text;
}
