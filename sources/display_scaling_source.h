// Run Auto's frames scaled for the screen on the reader thread, so that the
// window only copies them there. The window tells the size of its picture
// area (while the picture is fitted to it) and which picture it shows; each
// frame read afterwards carries that picture scaled to its fitted size.
// Still pictures that come round again (the same pixels, from the picture
// cache) are scaled once; video and camera frames are not kept.
#pragma once

#include "sources/frame_source.h"
#include "sources/shown_picture.h"

#include <QImage>
#include <QSize>

#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>

class DisplayScalingSource : public FrameSource
{
public:
    using Target = DisplayTarget;

    static constexpr std::size_t defaultBudget = std::size_t(64) << 20;

    explicit DisplayScalingSource(FrameSource &source, std::size_t budgetBytes = defaultBudget);

    // Any thread; applies from the next frame read.
    void setTarget(const Target &target);

    bool next(Frame &frame) override;
    bool isLive() const override { return source.isLive(); }

private:
    struct Scaled
    {
        qint64 key = 0; // the cache key of the pixels scaled
        QRect crop;
        QRect placement; // letterbox: where the picture lies in the input
        Target target;
        QImage original; // originalShown
        QImage network;  // networkShown
    };

    FrameSource &source;
    const std::size_t budget;
    mutable std::mutex mutex;
    Target target;
    // Reader thread only.
    std::list<Scaled> scaled; // most recently used first
    std::size_t used = 0;
};
