#include "measuring/latency_series.h"

#include <algorithm>
#include <cmath>

namespace {

double toMs(std::int64_t nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

// 1-based rank of the p-th percentile among n values.
std::uint64_t nearestRank(double p, std::uint64_t n)
{
    const auto rank = std::uint64_t(std::ceil(p / 100.0 * double(n) - 1e-9));
    return std::clamp<std::uint64_t>(rank, 1, n);
}

} // namespace

RecentLatencies::RecentLatencies(std::size_t capacity) : capacity(capacity)
{
    values.reserve(capacity);
}

void RecentLatencies::add(std::int64_t nanoseconds)
{
    if (values.size() < capacity) {
        values.push_back(nanoseconds);
        return;
    }
    values[nextSlot] = nanoseconds;
    nextSlot = (nextSlot + 1) % capacity;
}

void RecentLatencies::clear()
{
    values.clear();
    nextSlot = 0;
}

LatencySummary RecentLatencies::summary() const
{
    LatencySummary summary;
    if (values.empty())
        return summary;
    std::vector<std::int64_t> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const std::uint64_t n = sorted.size();
    double sum = 0.0;
    for (std::int64_t value : sorted)
        sum += toMs(value);
    summary.count = n;
    summary.mean = sum / double(n);
    summary.p50 = toMs(sorted[nearestRank(50, n) - 1]);
    summary.p90 = toMs(sorted[nearestRank(90, n) - 1]);
    summary.p99 = toMs(sorted[nearestRank(99, n) - 1]);
    summary.max = toMs(sorted.back());
    return summary;
}

void LatencyHistogram::add(std::int64_t nanoseconds)
{
    nanoseconds = std::max<std::int64_t>(nanoseconds, 0);
    ++total;
    sumMs += toMs(nanoseconds);
    maxValue = std::max(maxValue, nanoseconds);
    // Bucket b holds (b, b + 1] x 0.01 ms, so that a value on an edge is exact.
    const auto bucket = nanoseconds == 0 ? 0 : std::uint64_t((nanoseconds - 1) / bucketNanoseconds);
    const std::uint64_t page = bucket / bucketsPerPage;
    if (page >= pageCount) {
        ++beyond;
        return;
    }
    if (pages.size() <= page)
        pages.resize(page + 1);
    if (!pages[page])
        pages[page] = std::make_unique<Page>(Page{});
    ++(*pages[page])[bucket % bucketsPerPage];
}

void LatencyHistogram::clear()
{
    pages.clear();
    total = 0;
    beyond = 0;
    sumMs = 0.0;
    maxValue = 0;
}

double LatencyHistogram::percentile(double p) const
{
    const std::uint64_t rank = nearestRank(p, total);
    std::uint64_t seen = 0;
    for (std::size_t page = 0; page < pages.size(); ++page) {
        if (!pages[page])
            continue;
        for (std::size_t i = 0; i < bucketsPerPage; ++i) {
            seen += (*pages[page])[i];
            if (seen >= rank) {
                const auto upperEdge = std::int64_t((page * bucketsPerPage + i + 1)) * bucketNanoseconds;
                return toMs(std::min(upperEdge, maxValue));
            }
        }
    }
    return toMs(maxValue); // among the values beyond the last page
}

LatencySummary LatencyHistogram::summary() const
{
    LatencySummary summary;
    if (total == 0)
        return summary;
    summary.count = total;
    summary.mean = sumMs / double(total);
    summary.p50 = percentile(50);
    summary.p90 = percentile(90);
    summary.p99 = percentile(99);
    summary.max = toMs(maxValue);
    return summary;
}
