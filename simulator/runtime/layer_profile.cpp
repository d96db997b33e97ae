#include "layer_profile.h"

LayerProfile::LayerProfile(std::shared_ptr<const LayerTable> firstTable)
    : current(std::move(firstTable)), sums(current->layers.size(), 0.0)
{
}

void LayerProfile::enable(std::uint32_t bits)
{
    std::lock_guard<std::mutex> lock(mutex);
    what = bits;
    sums.assign(current->layers.size(), 0.0);
    frames = 0;
    frameSum = 0.0;
}

void LayerProfile::frameRan(const std::shared_ptr<const LayerTable> &table, const std::vector<double> &milliseconds,
                            double frameMilliseconds)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (table != current) {
        current = table;
        sums.assign(current->layers.size(), 0.0);
        frames = 0;
        frameSum = 0.0;
    }
    if (milliseconds.size() != sums.size())
        return;
    for (std::size_t i = 0; i < sums.size(); ++i)
        sums[i] += milliseconds[i];
    ++frames;
    frameSum += frameMilliseconds;
}

std::shared_ptr<const LayerTable> LayerProfile::table() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return current;
}

LayerProfile::Means LayerProfile::means() const
{
    std::lock_guard<std::mutex> lock(mutex);
    Means result;
    result.frames = frames;
    result.milliseconds.assign(sums.size(), 0.0);
    if (frames == 0)
        return result;
    for (std::size_t i = 0; i < sums.size(); ++i)
        result.milliseconds[i] = sums[i] / frames;
    result.frameMilliseconds = frameSum / frames;
    return result;
}
