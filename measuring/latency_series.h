// Latencies with exact percentiles: the last N values kept as they are, and
// everything since the start in a histogram of buckets 0.4 % wide.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
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

// Every value since the last clear(), counted in buckets that are exact
// below 512 ns and above that 1/256 of their value wide: a percentile is
// the mean of the values in its bucket, so it is within 0.4 % of the exact
// one (exact when they are all alike), from microseconds to hours, at the
// resolution of the exact mean beside it. The mean and the maximum are
// exact. Buckets are allocated a power of two at a time where values fall: a
// few kilobytes for a run whose latencies span some powers of two.
class LatencyHistogram
{
public:
    static constexpr int exactBits = 9;                            // values below 512 ns are kept exactly
    static constexpr std::size_t bucketsPerPage = 1u << (exactBits - 1); // a page per power of two

    void add(std::int64_t nanoseconds);
    void clear();
    std::uint64_t count() const { return total; }
    LatencySummary summary() const;

private:
    struct Page
    {
        std::array<std::uint32_t, bucketsPerPage> counts{};
        std::array<double, bucketsPerPage> sums{}; // nanoseconds
    };
    double percentile(double p) const;

    std::vector<std::unique_ptr<Page>> pages;
    std::uint64_t total = 0;
    double sumMs = 0.0;
    std::int64_t maxValue = 0;
};

// A figure in milliseconds as people read it: two decimals, and three
// significant digits below 1 ms ("0.00123"), so that a mean or percentile of
// a few microseconds does not read as 0.00 or 0.01.
std::string millisecondsText(double milliseconds);
