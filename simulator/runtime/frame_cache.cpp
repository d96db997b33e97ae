#include "frame_cache.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// What an entry costs beyond its values: list and index nodes, vectors.
constexpr std::size_t entryOverhead = 256;

} // namespace

std::uint64_t FrameCache::hashOf(const Key &key)
{
    // Some thousands of words spread over the input pick the candidates (the
    // full bytes decide): hashing all of a 1.6 MB input cost more than the
    // frame the board is said to take.
    constexpr std::size_t sampled = 4096;
    const auto *bytes = static_cast<const unsigned char *>(key.input);
    const std::size_t words = key.inputBytes / sizeof(std::uint64_t);
    const std::size_t stride = std::max<std::size_t>(1, words / sampled);
    std::uint64_t hash = key.inputBytes * 0x9E3779B97F4A7C15ull;
    for (std::size_t word = 0; word < words; word += stride) {
        std::uint64_t value = 0;
        std::memcpy(&value, bytes + word * sizeof(value), sizeof(value));
        hash = (hash ^ value) * 0x100000001B3ull;
        hash ^= hash >> 29;
    }
    for (std::size_t byte = words * sizeof(std::uint64_t); byte < key.inputBytes; ++byte)
        hash = (hash ^ bytes[byte]) * 0x100000001B3ull;
    return hash ^ ((key.model * 0x9E3779B97F4A7C15ull) + key.precision);
}

FrameCache::Entries::iterator FrameCache::locate(const Key &key, std::uint64_t hash)
{
    const auto [first, last] = index.equal_range(hash);
    for (auto candidate = first; candidate != last; ++candidate) {
        const Entry &entry = *candidate->second;
        if (entry.model == key.model && entry.precision == key.precision && entry.input.size() == key.inputBytes
            && std::memcmp(entry.input.data(), key.input, key.inputBytes) == 0)
            return candidate->second;
    }
    return entriesByUse.end();
}

std::shared_ptr<const FrameCache::Outputs> FrameCache::find(const Key &key)
{
    const std::uint64_t hash = hashOf(key);
    std::lock_guard<std::mutex> lock(mutex);
    const Entries::iterator entry = locate(key, hash);
    if (entry == entriesByUse.end())
        return nullptr;
    entriesByUse.splice(entriesByUse.begin(), entriesByUse, entry);
    return entry->outputs;
}

void FrameCache::store(const Key &key, const Outputs &outputs, std::size_t limitBytes)
{
    std::size_t bytes = entryOverhead + key.inputBytes;
    for (const std::vector<float> &output : outputs)
        bytes += output.size() * sizeof(float);
    if (bytes > limitBytes) {
        std::lock_guard<std::mutex> lock(mutex);
        trimTo(limitBytes);
        return;
    }
    // Copied before the lock: other units go on meanwhile.
    Entry entry;
    entry.hash = hashOf(key);
    entry.model = key.model;
    entry.precision = key.precision;
    const auto *input = static_cast<const unsigned char *>(key.input);
    entry.input.assign(input, input + key.inputBytes);
    entry.outputs = std::make_shared<const Outputs>(outputs);
    entry.bytes = bytes;

    std::lock_guard<std::mutex> lock(mutex);
    if (locate(key, entry.hash) != entriesByUse.end())
        return; // another unit computed the same input meanwhile
    trimTo(limitBytes - bytes);
    entriesByUse.push_front(std::move(entry));
    index.emplace(entriesByUse.front().hash, entriesByUse.begin());
    usedBytes += bytes;
}

void FrameCache::trimTo(std::size_t limitBytes)
{
    while (!entriesByUse.empty() && usedBytes > limitBytes)
        drop(std::prev(entriesByUse.end()));
}

void FrameCache::drop(Entries::iterator entry)
{
    const auto [first, last] = index.equal_range(entry->hash);
    for (auto candidate = first; candidate != last; ++candidate) {
        if (candidate->second == entry) {
            index.erase(candidate);
            break;
        }
    }
    usedBytes -= entry->bytes;
    entriesByUse.erase(entry);
}

void FrameCache::forgetModel(std::uint64_t model)
{
    std::lock_guard<std::mutex> lock(mutex);
    for (auto entry = entriesByUse.begin(); entry != entriesByUse.end();) {
        const auto next = std::next(entry);
        if (entry->model == model)
            drop(entry);
        entry = next;
    }
}

std::size_t FrameCache::bytes() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return usedBytes;
}

std::size_t FrameCache::entries() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return entriesByUse.size();
}

FrameCache &boardFrameCache()
{
    // Never destroyed: sessions that outlive the statics still forget their
    // entries when they go.
    static FrameCache *const cache = new FrameCache;
    return *cache;
}
