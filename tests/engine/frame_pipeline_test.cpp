// Run Auto's engine against a scripted runtime: which unit gets each frame,
// that every frame comes back with its own outputs, in order, and how the run
// ends on a stop, a limit, a bad picture and a failing board.
#include "accel/fake_runtime.h"
#include "engine/frame_hand_over.h"
#include "engine/frame_pipeline.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

// Frames tagged by their number: the fake runtime echoes an input's first
// value as the outputs' first value.
class TaggedFrames : public FrameSource
{
public:
    explicit TaggedFrames(std::uint64_t count, std::uint64_t failingFrame = ~0ull)
        : count(count), failingFrame(failingFrame)
    {
    }

    bool next(Frame &frame) override
    {
        if (made == count)
            return false;
        if (made == failingFrame)
            throw std::runtime_error("Cannot load picture: bad.png");
        frame.origin.number = made;
        frame.picture.tensor.assign(16, float(made));
        ++made;
        return true;
    }
    bool isLive() const override { return false; }
    std::uint64_t framesRead() const { return made; }

private:
    const std::uint64_t count;
    const std::uint64_t failingFrame;
    std::uint64_t made = 0;
};

struct PipelineRun
{
    std::vector<FramePtr> delivered;
    std::string failure;
};

// stopAfter: stop() once that many frames were delivered.
PipelineRun runPipeline(FramePipeline::Boards boards, FrameSource &source, std::uint64_t limit = 0,
                        std::size_t stopAfter = 0)
{
    const ModelDims dims{{TensorDims{4, 4, 1}}, {TensorDims{2, 2, 1}, TensorDims{2, 1, 1}}};
    PipelineRun run;
    FramePipeline *self = nullptr;
    FramePipeline pipeline(boards, source, dims, nullptr, [&](FramePtr frame) {
        run.delivered.push_back(frame);
        if (run.delivered.size() == stopAfter)
            self->stop();
    });
    self = &pipeline;
    pipeline.start(limit);
    try {
        pipeline.wait();
    } catch (const std::exception &error) {
        run.failure = error.what();
    }
    return run;
}

class FramePipelineTest : public ::testing::Test
{
protected:
    void SetUp() override { resetFakeRuntime(); }
};

} // namespace

TEST_F(FramePipelineTest, EveryUnitOfEverySessionWorksAndEachFrameKeepsItsOwnOutputs)
{
    TaggedFrames source(20);
    const PipelineRun run = runPipeline({{10, 20}, 4}, source);
    ASSERT_EQ(run.failure, "");

    // Frame n goes to unit n mod 4 of session (n div 4) mod 2.
    const auto processed = fakeRuntime().callsOf("VRAX_Process");
    ASSERT_EQ(processed.size(), 20u);
    for (std::uint32_t n = 0; n < 20; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(processed[n].handle, (n / 4) % 2 == 0 ? 10u : 20u);
        EXPECT_EQ(processed[n].unit, n % 4);
        EXPECT_EQ(processed[n].value, n);
    }
    // At most eight frames in flight, and each fetched from its unit before
    // the unit gets another.
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> onUnit;
    std::size_t inFlight = 0;
    for (const FakeRuntimeCall &call : fakeRuntime().calls) {
        const std::pair<std::uint32_t, std::uint32_t> unit(call.handle, call.unit);
        if (call.function == "VRAX_Process") {
            EXPECT_LE(++inFlight, 8u);
            EXPECT_EQ(++onUnit[unit], 1);
        } else if (call.function == "VRAX_GetOutput") {
            --inFlight;
            --onUnit[unit];
        }
    }
    ASSERT_EQ(run.delivered.size(), 20u);
    for (std::uint32_t n = 0; n < 20; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(run.delivered[n]->sequence, n);
        EXPECT_EQ(run.delivered[n]->origin.number, n);
        EXPECT_EQ(run.delivered[n]->outputs[0][0], float(n));
        const StageTimes &t = run.delivered[n]->times;
        EXPECT_TRUE(t.submitted > 0 && t.submitted <= t.fetched && t.fetched <= t.decoded);
    }
}

TEST_F(FramePipelineTest, RunEnds)
{
    struct Case
    {
        const char *name;
        std::uint64_t frames, failingFrame, limit;
        std::size_t stopAfter;
        std::string failingCall;
        std::size_t delivered; // at least, after a stop
        std::string failure;
    };
    const Case cases[] = {
        {"the source ends", 5, ~0ull, 0, 0, "", 5, ""},
        // No frame beyond the limit is read.
        {"a frame limit", 100, ~0ull, 7, 0, "", 7, ""},
        // The frames on the units when stop() comes are fetched and delivered.
        {"a stop", 1000000, ~0ull, 0, 3, "", 3, ""},
        // The frames read before the bad one still finish.
        {"a picture that cannot be read", 10, 6, 0, 0, "", 6, "Cannot load picture: bad.png"},
        {"a failing fetch", 10, ~0ull, 0, 0, "VRAX_GetOutput", 0, "VRAX_RESULT_BOARD_SYNC_ERROR"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        resetFakeRuntime();
        fakeRuntime().failingFunction = c.failingCall;
        TaggedFrames source(c.frames, c.failingFrame);
        const PipelineRun run = runPipeline({{1}, 4}, source, c.limit, c.stopAfter);
        EXPECT_EQ(run.failure, c.failure);
        if (c.stopAfter != 0)
            ASSERT_GE(run.delivered.size(), c.delivered);
        else
            ASSERT_EQ(run.delivered.size(), c.delivered);
        for (std::size_t n = 0; n < run.delivered.size(); ++n)
            EXPECT_EQ(run.delivered[n]->outputs[0][0], float(n));
        if (c.limit != 0) {
            EXPECT_EQ(source.framesRead(), c.limit);
        }
        // Nothing is left on the units: every submitted frame was fetched,
        // or, after a failure, every unit was waited for.
        if (c.failure.empty())
            EXPECT_EQ(fakeRuntime().callsOf("VRAX_Process").size(), fakeRuntime().callsOf("VRAX_GetOutput").size());
        else
            EXPECT_FALSE(fakeRuntime().callsOf("VRAX_GetStatus").empty());
    }
}

TEST_F(FramePipelineTest, FewerFramesInFlightWhenAsked)
{
    for (const std::uint32_t limit : {1u, 3u}) {
        SCOPED_TRACE(limit);
        resetFakeRuntime();
        TaggedFrames source(20);
        const PipelineRun run = runPipeline({{10, 20}, 4, limit}, source);
        ASSERT_EQ(run.failure, "");
        ASSERT_EQ(run.delivered.size(), 20u);
        EXPECT_LE(fakeRuntime().mostFramesInFlight(), limit);
    }
}

TEST(FrameHandOver, NewestWinsUnlessEveryFrameIsWanted)
{
    auto frame = [](std::uint64_t n) {
        auto f = std::make_shared<Frame>();
        f->sequence = n;
        return f;
    };
    FrameHandOver newest;
    int wakeUps = 0;
    newest.onArrival = [&wakeUps] { ++wakeUps; };
    for (std::uint64_t n = 0; n < 5; ++n)
        newest.put(frame(n));
    EXPECT_EQ(wakeUps, 1); // one wake-up while a frame waits
    EXPECT_EQ(newest.take()->sequence, 4u);
    EXPECT_EQ(newest.skipped(), 4u);
    EXPECT_EQ(newest.take(), nullptr);

    // Every frame: the second put waits until the first is taken.
    FrameHandOver every(true);
    std::mutex mutex;
    std::condition_variable arrived;
    bool arrival = false;
    every.onArrival = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        arrival = true;
        arrived.notify_one();
    };
    std::vector<std::uint64_t> taken;
    std::thread producer([&] {
        for (std::uint64_t n = 0; n < 50; ++n)
            every.put(frame(n));
    });
    while (taken.size() < 50) {
        if (FramePtr f = every.take()) {
            taken.push_back(f->sequence);
            continue;
        }
        std::unique_lock<std::mutex> lock(mutex);
        arrived.wait(lock, [&] { return arrival; });
        arrival = false;
    }
    producer.join();
    EXPECT_EQ(every.skipped(), 0u);
    for (std::uint64_t n = 0; n < 50; ++n)
        EXPECT_EQ(taken[n], n);
}

TEST(FrameHandOver, CloseReleasesAWaitingPut)
{
    FrameHandOver every(true);
    every.put(std::make_shared<Frame>());
    std::thread producer([&] { every.put(std::make_shared<Frame>()); });
    every.close();
    producer.join(); // would hang if close did not release it
    EXPECT_EQ(every.skipped(), 1u);
}
