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
    switch (type) {
    case BoardType::TK301_02: return tr(" (TK301.02), ");
    case BoardType::TK307_04: return tr(" (TK307.04), ");
    case BoardType::Wisp: return tr(" (Wisp), ");
    case BoardType::Slab: return tr(" (Slab), ");
    case BoardType::Tier: return tr(" (Tier), ");
    case BoardType::Rack: return tr(" (Rack), ");
    case BoardType::Bolt: return tr(" (Bolt), ");
    case BoardType::Simulator: break;
    }
    // Any value the table does not know reads as the simulator.
    return tr(" (simulator), ");
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
