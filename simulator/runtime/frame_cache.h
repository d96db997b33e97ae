// The outputs of frames already computed, so that a unit of a board with a
// frame time answers an input it has seen without running the network
// again. An entry belongs to one loaded model and one precision, and is
// found by the input's bytes: a 64-bit hash of words spread over them picks
// the candidates, the full bytes decide, so two inputs never share outputs. The least recently used
// entries go when the entries (inputs and outputs) would exceed the limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

class FrameCache
{
public:
    using Outputs = std::vector<std::vector<float>>;

    struct Key
    {
        std::uint64_t model = 0;
        std::uint8_t precision = 0;
        const void *input = nullptr;
        std::size_t inputBytes = 0;
    };

    // Null when the input has not been seen (or has been dropped).
    std::shared_ptr<const Outputs> find(const Key &key);
    // Keeps a copy of the input and the outputs unless they alone exceed
    // limitBytes; drops the least recently used entries to stay within it.
    void store(const Key &key, const Outputs &outputs, std::size_t limitBytes);
    // Drops a model's entries (the model is gone).
    void forgetModel(std::uint64_t model);

    std::size_t bytes() const;
    std::size_t entries() const;

private:
    struct Entry
    {
        std::uint64_t hash = 0;
        std::uint64_t model = 0;
        std::uint8_t precision = 0;
        std::vector<unsigned char> input;
        std::shared_ptr<const Outputs> outputs;
        std::size_t bytes = 0;
    };
    using Entries = std::list<Entry>; // most recently used first

    static std::uint64_t hashOf(const Key &key);
    Entries::iterator locate(const Key &key, std::uint64_t hash);
    void trimTo(std::size_t limitBytes);
    void drop(Entries::iterator entry);

    mutable std::mutex mutex;
    Entries entriesByUse;
    std::unordered_multimap<std::uint64_t, Entries::iterator> index;
    std::size_t usedBytes = 0;
};

// The one cache of the process, shared by all sessions.
FrameCache &boardFrameCache();
