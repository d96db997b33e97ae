#include "picture/picture_cache.h"

#include <QFileInfo>

PictureCache::PictureCache(std::size_t budgetBytes) : budget(budgetBytes) {}

PictureCache::FileStamp PictureCache::stampOf(const QString &path)
{
    const QFileInfo info(path);
    FileStamp stamp;
    if (info.isFile()) {
        stamp.size = info.size();
        stamp.modified = info.lastModified();
    }
    return stamp;
}

std::size_t PictureCache::bytesOf(const PreparedPicture &picture)
{
    // The original picture is kept along with the network's: it counts too.
    return picture.tensor.capacity() * sizeof(float) + std::size_t(picture.picture.sizeInBytes())
           + std::size_t(picture.original.sizeInBytes());
}

std::shared_ptr<const PreparedPicture> PictureCache::find(const QString &path, const FileStamp &stamp)
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = byPath.find(path);
    if (found == byPath.end())
        return nullptr;
    if (!(found->second->stamp == stamp) || stamp.size < 0) {
        // Changed on disk: the old picture must never be shown again.
        used -= found->second->bytes;
        entries.erase(found->second);
        byPath.erase(found);
        return nullptr;
    }
    entries.splice(entries.begin(), entries, found->second);
    return found->second->picture;
}

void PictureCache::insert(const QString &path, const FileStamp &stamp, std::shared_ptr<const PreparedPicture> picture)
{
    if (!picture || stamp.size < 0)
        return;
    const std::size_t bytes = bytesOf(*picture);
    std::lock_guard<std::mutex> lock(mutex);
    if (const auto found = byPath.find(path); found != byPath.end()) {
        used -= found->second->bytes;
        entries.erase(found->second);
        byPath.erase(found);
    }
    if (bytes > budget)
        return;
    evictDownTo(budget - bytes);
    entries.push_front(Entry{path, stamp, std::move(picture), bytes});
    byPath.emplace(path, entries.begin());
    used += bytes;
}

void PictureCache::clear()
{
    std::lock_guard<std::mutex> lock(mutex);
    entries.clear();
    byPath.clear();
    used = 0;
}

void PictureCache::setBudget(std::size_t budgetBytes)
{
    std::lock_guard<std::mutex> lock(mutex);
    budget = budgetBytes;
    evictDownTo(budget);
}

std::size_t PictureCache::bytesUsed() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return used;
}

std::size_t PictureCache::entryCount() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return entries.size();
}

void PictureCache::evictDownTo(std::size_t limit)
{
    while (used > limit && !entries.empty()) {
        used -= entries.back().bytes;
        byPath.erase(entries.back().path);
        entries.pop_back();
    }
}
