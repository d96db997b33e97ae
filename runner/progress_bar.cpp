#include "runner/progress_bar.h"

#include "sources/frame.h"

#include <algorithm>
#include <string>

#include <unistd.h>

ProgressBar::ProgressBar(std::FILE *stream, bool enabled)
    : stream(stream), active(enabled && isatty(fileno(stream)) != 0)
{
}

void ProgressBar::update(std::uint64_t done, std::uint64_t totalFrames, double elapsedSeconds, double totalSeconds)
{
    if (!active)
        return;
    const std::int64_t now = steadyNanoseconds();
    const bool last = totalFrames != 0 && done >= totalFrames;
    if (!last && drawn && now - lastDraw < 100000000)
        return;
    lastDraw = now;
    drawn = true;
    double fraction = totalFrames != 0 ? double(done) / double(totalFrames)
                                       : (totalSeconds > 0.0 ? elapsedSeconds / totalSeconds : 0.0);
    fraction = std::clamp(fraction, 0.0, 1.0);
    constexpr int width = 30;
    const int filled = int(fraction * width);
    const std::string bar = std::string(std::size_t(filled), '#') + std::string(std::size_t(width - filled), '-');
    if (totalFrames != 0)
        std::fprintf(stream, "\r[%s] %llu/%llu frames", bar.c_str(), static_cast<unsigned long long>(done),
                     static_cast<unsigned long long>(totalFrames));
    else
        std::fprintf(stream, "\r[%s] %.1f/%.1f s, %llu frames", bar.c_str(), elapsedSeconds, totalSeconds,
                     static_cast<unsigned long long>(done));
    std::fflush(stream);
}

void ProgressBar::finish()
{
    if (active && drawn) {
        std::fprintf(stream, "\r%*s\r", 70, "");
        std::fflush(stream);
    }
}
