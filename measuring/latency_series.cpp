#include "measuring/latency_series.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

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

namespace {

// The bucket of a value: its own below 2^exactBits ns, else one of the
// bucketsPerPage equal parts of its power of two.
std::size_t bucketOf(std::int64_t nanoseconds)
{
    const auto value = std::uint64_t(nanoseconds);
    constexpr std::uint64_t exactBelow = std::uint64_t(1) << LatencyHistogram::exactBits;
    if (value < exactBelow)
        return std::size_t(value);
    const int power = 63 - __builtin_clzll(value); // >= exactBits
    const int shift = power - (LatencyHistogram::exactBits - 1);
    const std::uint64_t part = (value >> shift) - LatencyHistogram::bucketsPerPage; // 0 .. bucketsPerPage - 1
    return std::size_t(exactBelow + std::uint64_t(power - LatencyHistogram::exactBits) * LatencyHistogram::bucketsPerPage
                       + part);
}

} // namespace

void LatencyHistogram::add(std::int64_t nanoseconds)
{
    nanoseconds = std::max<std::int64_t>(nanoseconds, 0);
    ++total;
    sumMs += toMs(nanoseconds);
    maxValue = std::max(maxValue, nanoseconds);
    const std::size_t bucket = bucketOf(nanoseconds);
    const std::size_t page = bucket / bucketsPerPage;
    if (pages.size() <= page)
        pages.resize(page + 1);
    if (!pages[page])
        pages[page] = std::make_unique<Page>();
    ++pages[page]->counts[bucket % bucketsPerPage];
    pages[page]->sums[bucket % bucketsPerPage] += double(nanoseconds);
}

void LatencyHistogram::clear()
{
    pages.clear();
    total = 0;
    sumMs = 0.0;
    maxValue = 0;
}

double LatencyHistogram::percentile(double p) const
{
    const std::uint64_t rank = nearestRank(p, total);
    std::uint64_t seen = 0;
    for (const std::unique_ptr<Page> &page : pages) {
        if (!page)
            continue;
        for (std::size_t i = 0; i < bucketsPerPage; ++i) {
            const std::uint32_t count = page->counts[i];
            seen += count;
            if (count != 0 && seen >= rank)
                return std::min(page->sums[i] / double(count), double(maxValue)) / 1e6;
        }
    }
    return toMs(maxValue);
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

std::string millisecondsText(double milliseconds)
{
    char text[32];
    if (milliseconds != 0.0 && std::fabs(milliseconds) < 1.0)
        std::snprintf(text, sizeof text, "%#.3g", milliseconds);
    else
        std::snprintf(text, sizeof text, "%.2f", milliseconds);
    return text;
}
