// Frames on the units: which unit of which session gets each frame, and which
// frame's outputs come back. Failing calls are tried through the window.
#include "accel/frame_processing.h"
#include "fake_runtime.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class FrameProcessing : public ::testing::Test
{
protected:
    void SetUp() override { resetFakeRuntime(); }

    // The input's first value tags the frame, so the fake's outputs tell
    // which frame they belong to.
    std::vector<float> inputOf(std::uint64_t frame) { return std::vector<float>(16, float(frame)); }

    OutputBuffers outputs{std::vector<float>(4, -1.0f), std::vector<float>(2, -1.0f)};
    double boardFps = 0.0;
};

} // namespace

TEST_F(FrameProcessing, SingleFrameUsesUnitZeroOfTheFirstSession)
{
    processFrame({7, 8}, inputOf(5), outputs, boardFps);

    const auto &calls = fakeRuntime().calls;
    ASSERT_EQ(calls.size(), 5u); // Process, busy, busy, idle, GetOutput
    EXPECT_EQ(calls.front().function, "VRAX_Process");
    for (const FakeRuntimeCall &call : calls) {
        EXPECT_EQ(call.handle, 7u);
        EXPECT_EQ(call.unit, 0u);
    }
    EXPECT_EQ(calls.back().function, "VRAX_GetOutput");
    EXPECT_EQ(outputs[0][0], 5.0f);
    EXPECT_EQ(boardFps, 42.5);
}

TEST_F(FrameProcessing, PipelineSpreadsFramesOverEveryUnitAndFetchesTheOldest)
{
    // Two sessions with four units each: eight frames in flight.
    const std::vector<RuntimeHandle> sessions = {10, 20};
    std::vector<std::uint64_t> madeCurrent;
    auto makeFrameCurrent = [&madeCurrent](std::uint64_t frame) { madeCurrent.push_back(frame); };

    for (std::uint64_t frame = 0; frame < 7; ++frame)
        processFramePipelined(sessions, inputOf(frame), outputs, boardFps, 4, 8, frame, makeFrameCurrent);
    EXPECT_TRUE(fakeRuntime().callsOf("VRAX_GetOutput").empty());
    EXPECT_TRUE(fakeRuntime().callsOf("VRAX_GetStatus").empty());
    EXPECT_TRUE(madeCurrent.empty());
    EXPECT_EQ(outputs[0][0], -1.0f); // untouched while the pipeline fills

    for (std::uint64_t frame = 7; frame < 20; ++frame)
        processFramePipelined(sessions, inputOf(frame), outputs, boardFps, 4, 8, frame, makeFrameCurrent);

    const auto processed = fakeRuntime().callsOf("VRAX_Process");
    ASSERT_EQ(processed.size(), 20u);
    for (std::uint32_t frame = 0; frame < 20; ++frame) {
        SCOPED_TRACE(frame);
        EXPECT_EQ(processed[frame].handle, sessions[(frame / 4) % 2]);
        EXPECT_EQ(processed[frame].unit, frame % 4);
        EXPECT_EQ(processed[frame].value, frame);
    }
    // Frame 7 fetched frame 0 from session 0 unit 0; frame 8 fetched frame 1
    // from session 0 unit 1; and so on: always the frame seven passes back.
    const auto fetched = fakeRuntime().callsOf("VRAX_GetOutput");
    ASSERT_EQ(fetched.size(), 13u);
    for (std::uint32_t i = 0; i < fetched.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(fetched[i].value, i);
        EXPECT_EQ(fetched[i].handle, sessions[(i / 4) % 2]);
        EXPECT_EQ(fetched[i].unit, i % 4);
    }
    ASSERT_EQ(madeCurrent.size(), 13u);
    EXPECT_EQ(madeCurrent.front(), 0u);
    EXPECT_EQ(madeCurrent.back(), 12u);
    EXPECT_EQ(outputs[0][0], 12.0f);
}

TEST_F(FrameProcessing, PipelineOfOneFetchesEachFrameAtOnceWithoutReloading)
{
    bool reloaded = false;
    // The caller's next frame is prepared while the unit works: right after
    // the submission, before the first status query.
    std::vector<std::string> lastCallBeforePreparing;
    for (std::uint64_t frame = 0; frame < 3; ++frame) {
        processFramePipelined(
            {3}, inputOf(frame), outputs, boardFps, 1, 1, frame, [&reloaded](std::uint64_t) { reloaded = true; },
            [&] { lastCallBeforePreparing.push_back(fakeRuntime().calls.back().function); });
        EXPECT_EQ(outputs[0][0], float(frame));
    }
    EXPECT_FALSE(reloaded);
    EXPECT_EQ(lastCallBeforePreparing, std::vector<std::string>(3, "VRAX_Process"));
}

// The window refuses first; other callers meet this check.
TEST_F(FrameProcessing, NoSessionIsRefusedWithoutTouchingTheRuntime)
{
    EXPECT_THROW(processFrame({}, inputOf(0), outputs, boardFps), std::runtime_error);
    EXPECT_THROW(processFramePipelined({}, inputOf(0), outputs, boardFps, 4, 0, 0, nullptr), std::runtime_error);
    EXPECT_TRUE(fakeRuntime().calls.empty());
}

TEST_F(FrameProcessing, WaitingForUnitsCoversEveryUnitOfEverySession)
{
    processFramePipelined({1, 2}, inputOf(0), outputs, boardFps, 4, 8, 0, nullptr);
    waitForUnits({1, 2}, 4);
    const auto statusCalls = fakeRuntime().callsOf("VRAX_GetStatus");
    // Units that never got a frame answer idle at once; unit 0 of session 1
    // is busy for two polls first.
    EXPECT_EQ(statusCalls.size(), 8u + 2u);
    EXPECT_EQ(statusCalls.back().handle, 2u);
    EXPECT_EQ(statusCalls.back().unit, 3u);
}
