// Latencies with exact percentiles: the last N values kept as they are, and
// everything since the start in a histogram of 0.01 ms buckets.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Milliseconds. Percentiles are nearest-rank: the smallest value that at
// least p % of the values do not exceed.
struct LatencySummary
{
    std::uint64_t count = 0;
    double mean = 0.0;
    double p50 = 0.0;
    double p90 = 0.0;
    double p99 = 0.0;
    double max = 0.0;
};

// The last `capacity` values; each summary sorts a copy (300 values: a few
// microseconds, paid by whoever asks, not by the frames).
class RecentLatencies
{
public:
    explicit RecentLatencies(std::size_t capacity = 300);
    void add(std::int64_t nanoseconds);
    void clear();
    std::size_t size() const { return values.size(); }
    LatencySummary summary() const;

private:
    std::size_t capacity;
    std::size_t nextSlot = 0;
    std::vector<std::int64_t> values;
};

// Every value since the last clear(), counted in buckets 0.01 ms wide up to
// 10 s: a percentile is the upper edge of its bucket (never above the exact
// maximum), so it is at most 0.01 ms above the exact one. The mean and the
// maximum are exact. Buckets are allocated in pages of 10.24 ms where values
// fall, a few kilobytes for a run whose latencies stay within some tens of
// milliseconds and never more than 4 MB. Values beyond 10 s (a board that
// hung) are counted apart; a percentile that falls among them is the maximum.
class LatencyHistogram
{
public:
    static constexpr std::int64_t bucketNanoseconds = 10000;
    static constexpr std::size_t bucketsPerPage = 1024;
    static constexpr std::size_t pageCount = 977; // 10 s

    void add(std::int64_t nanoseconds);
    void clear();
    std::uint64_t count() const { return total; }
    LatencySummary summary() const;

private:
    using Page = std::array<std::uint32_t, bucketsPerPage>;
    double percentile(double p) const;

    std::vector<std::unique_ptr<Page>> pages;
    std::uint64_t total = 0;
    std::uint64_t beyond = 0;
    double sumMs = 0.0;
    std::int64_t maxValue = 0;
};
