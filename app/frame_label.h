// How the title and the status line name a frame: "clip.mp4 #123 00:04.10"
// for a video or camera frame, the file name for a picture.
#pragma once

#include "sources/frame.h"

#include <QString>

// "00:04.10": minutes, seconds and hundredths; hours in front from one hour on.
QString videoTimeText(double seconds);

QString frameLabel(const FrameOrigin &origin);
