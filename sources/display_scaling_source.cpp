#include "sources/display_scaling_source.h"

#include "sources/shown_picture.h"

DisplayScalingSource::DisplayScalingSource(FrameSource &source, std::size_t budgetBytes)
    : source(source), budget(budgetBytes)
{
}

void DisplayScalingSource::setTarget(const Target &newTarget)
{
    std::lock_guard<std::mutex> lock(mutex);
    target = newTarget;
}

bool DisplayScalingSource::next(Frame &frame)
{
    if (!source.next(frame))
        return false;
    Target wanted;
    {
        std::lock_guard<std::mutex> lock(mutex);
        wanted = target;
    }
    PreparedPicture &picture = frame.picture;
    // A video's or camera's frame never comes round again: nothing to keep.
    if (frame.origin.timeSeconds >= 0.0) {
        scaleAhead(picture, wanted);
        return true;
    }
    const qint64 key = (wanted.original && !picture.original.isNull() ? picture.original : picture.picture).cacheKey();
    for (auto entry = scaled.begin(); entry != scaled.end(); ++entry) {
        if (entry->key == key && entry->crop == picture.crop && entry->placement == picture.placement
            && entry->target == wanted) {
            scaled.splice(scaled.begin(), scaled, entry);
            picture.originalShown = entry->original;
            picture.networkShown = entry->network;
            return true;
        }
    }
    scaleAhead(picture, wanted);
    const auto bytes = std::size_t(picture.originalShown.sizeInBytes() + picture.networkShown.sizeInBytes());
    if (bytes == 0 || bytes > budget)
        return true;
    scaled.push_front(Scaled{key, picture.crop, picture.placement, wanted, picture.originalShown, picture.networkShown});
    used += bytes;
    while (used > budget) {
        used -= std::size_t(scaled.back().original.sizeInBytes() + scaled.back().network.sizeInBytes());
        scaled.pop_back();
    }
    return true;
}
