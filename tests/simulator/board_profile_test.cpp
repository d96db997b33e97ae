// What a board's speed and precision are made of, without the engine: the
// frame rate computed from frame times, the rounding of int8 and half
// precision boards, the memory of seen inputs, and the settings' syntax.
#include "board_profile.h"
#include "frame_cache.h"
#include "frame_rate_meter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>

namespace {

using Clock = FrameRateMeter::Clock;
using std::chrono::milliseconds;

struct Frame
{
    double startMs;
    double endMs;
};

// Feeds the frames' starts and ends up to readAtMs to a meter in time
// order, ends first at equal times, and returns the rate it reports then.
double rateOf(const std::vector<Frame> &frames, double readAtMs)
{
    // (time, is a start) -> frame: ends sort first at equal times.
    std::multimap<std::pair<double, bool>, std::size_t> events;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        events.emplace(std::pair(frames[i].startMs, true), i);
        events.emplace(std::pair(frames[i].endMs, false), i);
    }
    const Clock::time_point origin{};
    const auto at = [&](double ms) {
        return origin + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(ms));
    };
    FrameRateMeter meter;
    std::vector<FrameRateMeter::Start> starts(frames.size());
    for (const auto &[event, frame] : events) {
        const auto [ms, isStart] = event;
        if (ms > readAtMs)
            break;
        if (isStart)
            starts[frame] = meter.frameStarted(at(ms));
        else
            meter.frameFinished(starts[frame], at(ms));
    }
    return meter.framesPerSecond();
}

// Frames of the given length on units fed in turn, a new one every period.
std::vector<Frame> pipelined(int count, double lengthMs, double periodMs, double fromMs = 0.0)
{
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back({fromMs + i * periodMs, fromMs + i * periodMs + lengthMs});
    return frames;
}

TEST(FrameRateMeter, ReportsWhatTheUnitsSustain)
{
    std::vector<Frame> slowThenFast = pipelined(5, 100.0, 100.0);
    for (const Frame &frame : pipelined(10, 10.0, 10.0, 3000.0))
        slowThenFast.push_back(frame);
    const double end = 1e9;
    struct Case
    {
        const char *name;
        std::vector<Frame> frames;
        double readAtMs;
        double fps;
    } cases[] = {
        {"no frame", {}, end, 0.0},
        {"one frame of 4 ms", {{0, 4}}, end, 250.0},
        {"single runs of 4 ms with idle time between", pipelined(6, 4.0, 500.0), end, 250.0},
        // Read while the pipeline runs, as the caller fetching each frame does.
        {"four units kept busy, 4 ms each", pipelined(100, 4.0, 1.0), 60.0, 1000.0},
        {"four frames submitted at once", pipelined(4, 4.0, 0.0), end, 1000.0},
        {"two of four units busy, 40 ms each", pipelined(100, 40.0, 20.0), 1000.0, 50.0},
        {"frames older than two seconds drop out", slowThenFast, end, 100.0},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(rateOf(c.frames, c.readAtMs), c.fps, c.fps * 1e-6) << c.name;
}

TEST(BoardPrecision, HalfPrecisionRoundsToNearestEvenAndSaturates)
{
    const float inf = std::numeric_limits<float>::infinity();
    const struct
    {
        float value;
        float half;
    } cases[] = {
        {0.0f, 0.0f},
        {1.0f + 0x1p-11f, 1.0f},                   // tie: to the even neighbour below
        {1.0f + 3 * 0x1p-11f, 1.0f + 0x1p-9f},     // tie: to the even neighbour above
        {1.0f + 0x1p-11f + 0x1p-20f, 1.0f + 0x1p-10f},
        {-3.14159265f, -3.140625f},
        {65504.0f, 65504.0f},
        {65519.0f, 65504.0f},
        {1e9f, 65504.0f},
        {-70000.0f, -65504.0f},
        {inf, inf},
        {-inf, -inf},
        {0x1p-14f, 0x1p-14f},                      // smallest normal
        {0x1p-24f, 0x1p-24f},                      // smallest subnormal
        {3 * 0x1p-25f, 0x1p-23f},                  // subnormal tie, to even
        {0x1p-25f, 0.0f},                          // tie between 0 and the smallest subnormal
        {-0x1p-26f, -0.0f},
        {1e-30f, 0.0f},
    };
    for (const auto &c : cases) {
        const float half = nearestHalf(c.value);
        EXPECT_EQ(half, c.half) << c.value;
        EXPECT_EQ(std::signbit(half), std::signbit(c.half)) << c.value;
    }
    EXPECT_TRUE(std::isnan(nearestHalf(std::numeric_limits<float>::quiet_NaN())));
}

TEST(BoardPrecision, Int8AtTheEdgesUsesOneSymmetricScalePerTensor)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct
    {
        const char *name;
        std::vector<float> values;
        std::vector<float> quantised;
    } cases[] = {
        {"scale 1", {127.0f, -3.5f, 2.5f, 0.4f, -0.5f, -127.0f}, {127.0f, -4.0f, 3.0f, 0.0f, -1.0f, -127.0f}},
        {"negative maximum, scale 1/4", {0.125f, -31.75f, 1.0f, -0.375f, 0.1f}, {0.25f, -31.75f, 1.0f, -0.5f, 0.0f}},
        {"all zero", {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.0f}},
        {"non-finite values", {127.0f, inf, -inf, nan, 1.0f}, {127.0f, 127.0f, -127.0f, 0.0f, 1.0f}},
        {"only non-finite values", {inf, nan}, {0.0f, 0.0f}},
        {"empty", {}, {}},
    };
    for (const auto &c : cases) {
        std::vector<float> values = c.values;
        quantise(values.data(), values.size(), BoardPrecision::Int8Io);
        EXPECT_EQ(values, c.quantised) << c.name;
        // A board that computes in int8 leaves its edges to the network.
        values = c.values;
        quantise(values.data(), values.size(), BoardPrecision::Int8);
        EXPECT_EQ(values.size(), c.values.size());
        EXPECT_TRUE(std::equal(values.begin(), values.end(), c.values.begin(), [](float a, float b) {
            return a == b || (std::isnan(a) && std::isnan(b));
        })) << c.name;
    }
}

TEST(BoardProfileSyntax, ParsesTimesAndPrecisionsPerBoardType)
{
    const auto times = parseBoardTimeList(" 0:4ms, 2:500us ,7:2s,3:9");
    const std::map<std::uint32_t, std::chrono::microseconds> expectedTimes = {
        {0, milliseconds(4)}, {2, std::chrono::microseconds(500)}, {3, milliseconds(9)}, {7, std::chrono::seconds(2)}};
    EXPECT_EQ(times, expectedTimes);
    const auto precisions = parseBoardPrecisionList("1:int8,3:fp16,0:float,2:int8-io");
    const std::map<std::uint32_t, BoardPrecision> expectedPrecisions = {
        {0, BoardPrecision::Float}, {1, BoardPrecision::Int8}, {2, BoardPrecision::Int8Io}, {3, BoardPrecision::Half}};
    EXPECT_EQ(precisions, expectedPrecisions);
    EXPECT_TRUE(parseBoardTimeList("").empty());

    for (const char *bad : {"8:4ms", "0=4ms", "0:4h", "0:", ":4ms", "x:4ms", "10:4ms", "0:-4ms"})
        EXPECT_THROW(parseBoardTimeList(bad), std::invalid_argument) << bad;
    for (const char *bad : {"1:int4", "1:", "1:FP16", "9:int8", "int8", "1:int8io"})
        EXPECT_THROW(parseBoardPrecisionList(bad), std::invalid_argument) << bad;
}

std::vector<unsigned char> inputNumber(int number)
{
    std::vector<unsigned char> bytes(100, 7);
    bytes[99] = static_cast<unsigned char>(number); // differs in the last byte only
    return bytes;
}

FrameCache::Outputs outputsFor(int number)
{
    return {std::vector<float>(100, static_cast<float>(number))};
}

FrameCache::Key keyOf(const std::vector<unsigned char> &input, std::uint64_t model = 1, std::uint8_t precision = 0)
{
    return FrameCache::Key{model, precision, input.data(), input.size()};
}

TEST(FrameCache, EntriesBelongToOneModelPrecisionAndInput)
{
    FrameCache cache;
    const std::vector<unsigned char> input = inputNumber(1);
    cache.store(keyOf(input, 1, 0), outputsFor(1), 1 << 20);
    cache.store(keyOf(input, 2, 0), outputsFor(2), 1 << 20);
    std::vector<unsigned char> shorter(input.begin(), input.end() - 1);
    const std::vector<unsigned char> second = inputNumber(2); // a key holds no copy of its input
    const struct
    {
        const char *name;
        FrameCache::Key key;
        int outputs; // 0: not found
    } cases[] = {
        {"model 1", keyOf(input, 1, 0), 1},
        {"model 2", keyOf(input, 2, 0), 2},
        {"model 3", keyOf(input, 3, 0), 0},
        {"another precision", keyOf(input, 1, 1), 0},
        {"another last byte", keyOf(second, 1, 0), 0},
        {"shorter input", keyOf(shorter, 1, 0), 0},
    };
    for (const auto &c : cases) {
        const auto outputs = cache.find(c.key);
        ASSERT_EQ(outputs != nullptr, c.outputs != 0) << c.name;
        if (outputs) {
            EXPECT_EQ(*outputs, outputsFor(c.outputs)) << c.name;
        }
    }
    // Inputs that differ in one float anywhere never share outputs, though
    // only words spread over them pick the candidates.
    std::vector<unsigned char> large(1 << 20, 3);
    cache.store(keyOf(large, 1, 0), outputsFor(5), 4 << 20);
    for (const std::size_t at : {std::size_t(0), std::size_t(4), std::size_t(12345 * 4), large.size() - 4}) {
        std::vector<unsigned char> other = large;
        other[at] = 9;
        EXPECT_FALSE(cache.find(keyOf(other, 1, 0))) << at;
    }
    ASSERT_TRUE(cache.find(keyOf(large, 1, 0)));
    EXPECT_EQ(*cache.find(keyOf(large, 1, 0)), outputsFor(5));

    cache.forgetModel(1);
    EXPECT_FALSE(cache.find(keyOf(input, 1, 0)));
    EXPECT_TRUE(cache.find(keyOf(input, 2, 0)));
    EXPECT_EQ(cache.bytes(), 256u + 100 + 400) << "one entry: its bookkeeping, input and output values";
}

} // namespace
