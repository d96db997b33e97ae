// The one-line summary in the status bar: board, description, picture and the
// two frame rates.
#pragma once

#include "accel/board_type.h"

#include <QString>
#include <QStringList>

#include <cstdint>

struct StatusLineState
{
    BoardType boardType = BoardType::Simulator;
    std::uint32_t boardIndex = 0;
    QString descriptionPath; // empty: no description open
    QStringList pictureList; // empty: no pictures chosen
    QString picturePath;
    double frameTime = 0.0; // seconds per frame as the window measured it
    double boardFps = 0.0;  // frame rate the runtime reports
};

// For example "Board 0 (simulator), no description, no picture. 0.00 (0.00) fps."
QString statusLineText(const StatusLineState &state);
