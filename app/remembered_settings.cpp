#include "app/remembered_settings.h"

#include "accel/attached_boards.h"
#include "picture/picture_cache.h"
#include "picture/picture_decoding.h"

#include <QCoreApplication>
#include <QSettings>

#include <algorithm>
#include <cmath>

bool settingsEnabled()
{
    return !QCoreApplication::organizationName().isEmpty();
}

std::optional<BoardChoice> rememberedBoard()
{
    if (!settingsEnabled())
        return std::nullopt;
    QSettings settings;
    bool known = false;
    const unsigned type = settings.value(QStringLiteral("board/type")).toUInt(&known);
    if (!known || type > unsigned(BoardType::Bolt))
        return std::nullopt;
    return BoardChoice{BoardType(type), settings.value(QStringLiteral("board/index")).toUInt(),
                       settings.value(QStringLiteral("board/parallel")).toUInt()};
}

std::optional<BoardChoice> attachedRememberedBoard(QString &missing)
{
    missing.clear();
    const std::optional<BoardChoice> board = rememberedBoard();
    if (!board || board->boardType == BoardType::Simulator)
        return board;
    const bool everyBoard = board->parallelCount > 0;
    try {
        checkBoardAttached(board->boardType, board->boardIndex, everyBoard);
        return board;
    } catch (const std::exception &) {
        missing = QCoreApplication::translate("VRAXGUI", "Board %1, chosen last time, is not attached: the simulator "
                                                         "is used (File > Open Board chooses another).")
                      .arg(QString::fromStdString(boardName(board->boardType, board->boardIndex, everyBoard)));
        return std::nullopt;
    }
}

void rememberBoard(const BoardChoice &choice)
{
    if (!settingsEnabled())
        return;
    QSettings settings;
    settings.setValue(QStringLiteral("board/type"), unsigned(choice.boardType));
    settings.setValue(QStringLiteral("board/index"), choice.boardIndex);
    settings.setValue(QStringLiteral("board/parallel"), choice.parallelCount);
}

bool rememberedOneFrameAtATime()
{
    return settingsEnabled() && QSettings().value(QStringLiteral("run/oneFrameAtATime"), false).toBool();
}

void rememberOneFrameAtATime(bool on)
{
    if (settingsEnabled())
        QSettings().setValue(QStringLiteral("run/oneFrameAtATime"), on);
}

std::size_t pictureCacheBudget()
{
    if (!settingsEnabled())
        return PictureCache::defaultBudget;
    const int megabytes = QSettings().value(QStringLiteral("performance/pictureCacheMegabytes"), 256).toInt();
    return std::size_t(std::max(megabytes, 0)) << 20;
}

std::uint64_t picturePixelLimit()
{
    if (!settingsEnabled())
        return defaultPixelLimit;
    bool number = false;
    const double megapixels = QSettings().value(QStringLiteral("pictures/maxMegapixels")).toDouble(&number);
    if (!number || !(megapixels > 0.0) || megapixels > 1e4)
        return defaultPixelLimit;
    return std::uint64_t(std::llround(megapixels * 1e6));
}
