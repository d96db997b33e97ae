#include "measuring/network_profile.h"

#include <algorithm>
#include <numeric>

double NetworkProfile::layersTotalMs() const
{
    return std::accumulate(milliseconds.begin(), milliseconds.end(), 0.0);
}

std::uint64_t NetworkProfile::multiplyAdds() const
{
    std::uint64_t total = 0;
    for (const LayerDescription &layer : layers)
        total += layer.multiplyAdds;
    return total;
}

double NetworkProfile::percent(std::size_t layer) const
{
    const double total = layersTotalMs();
    return total > 0.0 && layer < milliseconds.size() ? 100.0 * milliseconds[layer] / total : 0.0;
}

double NetworkProfile::multiplyAddsPerSecond(std::size_t layer) const
{
    if (layer >= milliseconds.size() || layer >= layers.size() || milliseconds[layer] <= 0.0)
        return 0.0;
    return double(layers[layer].multiplyAdds) / (milliseconds[layer] / 1000.0);
}

double NetworkProfile::networkMultiplyAddsPerSecond() const
{
    const double total = layersTotalMs();
    return total > 0.0 ? double(multiplyAdds()) / (total / 1000.0) : 0.0;
}

void enableLayerTimes(const std::vector<RuntimeHandle> &sessions, bool on)
{
    const LayerExtension &extension = LayerExtension::ofRuntime();
    for (RuntimeHandle session : sessions)
        extension.enable(session, on, false);
}

NetworkProfile readNetworkProfile(const std::vector<RuntimeHandle> &sessions)
{
    const LayerExtension &extension = LayerExtension::ofRuntime();
    NetworkProfile profile;
    if (sessions.empty())
        return profile;
    profile.layers = extension.layers(sessions.front());
    const std::size_t count = profile.layers.size();
    profile.milliseconds.assign(count, 0.0);
    double frameSum = 0.0;
    for (RuntimeHandle session : sessions) {
        if (session != sessions.front() && extension.layers(session).size() != count)
            continue;
        const LayerTimes times = extension.meanTimes(session, count);
        for (std::size_t i = 0; i < count; ++i)
            profile.milliseconds[i] += times.milliseconds[i] * times.frames;
        frameSum += times.frameMilliseconds * times.frames;
        profile.frames += times.frames;
    }
    if (profile.frames == 0)
        return profile;
    for (double &ms : profile.milliseconds)
        ms /= profile.frames;
    profile.engineFrameMs = frameSum / profile.frames;
    return profile;
}

std::vector<std::size_t> slowestLayers(const NetworkProfile &profile)
{
    std::vector<std::size_t> order(profile.milliseconds.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(), [&profile](std::size_t a, std::size_t b) {
        return profile.milliseconds[a] > profile.milliseconds[b];
    });
    return order;
}
