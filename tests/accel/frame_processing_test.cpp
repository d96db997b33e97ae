// Frames on the units: which unit of which session gets each frame, and which
// frame's outputs come back, and what a failure says. The failures of each
// call at each place are tried through the window.
#include "accel/frame_processing.h"
#include "accel/board_session.h"
#include "fake_runtime.h"
#include "support/failure_message.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

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

// A failing call is reported by the code's name; with no session the window
// refuses first, other callers meet the check before the runtime is touched.
TEST_F(FrameProcessing, FailuresAreReported)
{
    const std::pair<std::vector<RuntimeHandle>, std::string> cases[] = {
        {{}, noSessionMessage},
        {{7}, "VRAX_RESULT_BOARD_SYNC_ERROR"}, // VRAX_Process fails
    };
    for (const auto &[sessions, message] : cases) {
        resetFakeRuntime();
        fakeRuntime().fail("VRAX_Process", VRAX_RESULT_BOARD_SYNC_ERROR);
        EXPECT_EQ(failureMessage([&] { processFrame(sessions, inputOf(0), outputs, boardFps); }), message);
        EXPECT_EQ(fakeRuntime().calls.size(), sessions.size());
    }
}

TEST_F(FrameProcessing, WaitingForUnitsCoversEveryUnitOfEverySession)
{
    submitFrame(2, 0, inputOf(0));
    waitForUnits({1, 2}, 4);
    const auto statusCalls = fakeRuntime().callsOf("VRAX_GetStatus");
    // Units that never got a frame answer idle at once; unit 0 of session 1
    // is busy for two polls first.
    EXPECT_EQ(statusCalls.size(), 8u + 2u);
    EXPECT_EQ(statusCalls.back().handle, 2u);
    EXPECT_EQ(statusCalls.back().unit, 3u);
}
