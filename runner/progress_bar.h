// A progress bar on a terminal: redrawn in place at most ten times a second.
#pragma once

#include <cstdint>
#include <cstdio>

class ProgressBar
{
public:
    // Draws nothing unless the stream is a terminal and enabled is set.
    ProgressBar(std::FILE *stream, bool enabled);
    // For a run of totalFrames frames, or of totalSeconds when no frame count is known.
    void update(std::uint64_t done, std::uint64_t totalFrames, double elapsedSeconds, double totalSeconds);
    // Clears the bar's line.
    void finish();

private:
    std::FILE *stream;
    bool active;
    bool drawn = false;
    std::int64_t lastDraw = 0;
};
