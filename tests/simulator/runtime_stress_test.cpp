// Many frames over every unit of several sessions at once, each result
// checked against the engine run directly on the frame's own input, also on
// boards that answer seen inputs from memory.
#include "simulator_test_support.h"
#include "test_models.h"

#include <vrax.h>
#include <vrax_sim.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace {

constexpr int distinctInputs = 6;

struct Expected
{
    std::vector<std::vector<float>> inputs;                // interleaved
    std::vector<std::vector<std::vector<float>>> outputs;  // per input, per output
};

Expected expectedResults()
{
    const std::string onnx = convOnnxModel();
    cv::dnn::Net reference = cv::dnn::readNetFromONNX(onnx.data(), onnx.size());
    Expected expected;
    for (int i = 0; i < distinctInputs; ++i) {
        const cv::Mat blob = randomBlob({1, 3, 5, 7}, 100 + static_cast<std::uint32_t>(i), -1.0f, 1.0f);
        expected.inputs.push_back(interleavedInput(blob));
        std::vector<std::vector<float>> outputs;
        for (const cv::Mat &output : referenceForward(reference, blob, {"zeta", "alpha"}))
            outputs.push_back(depthLast(output));
        expected.outputs.push_back(outputs);
    }
    return expected;
}

// Drives one session the way the application's Run Auto does: frame f goes to
// unit f mod 4, and once all units are full, the oldest frame is fetched
// before its unit gets the next one.
void pipeline(TestSession &session, const Expected &expected, int frames, int seed, std::atomic<int> &mismatches)
{
    const std::uint32_t units = session.unitCount();
    std::vector<int> inputOfUnit(units, -1);
    for (int frame = 0; frame < frames + static_cast<int>(units); ++frame) {
        const std::uint32_t unit = static_cast<std::uint32_t>(frame) % units;
        if (inputOfUnit[unit] >= 0) {
            session.waitIdle(unit);
            const std::vector<std::vector<float>> outputs = session.fetch(unit);
            const auto &wanted = expected.outputs[static_cast<std::size_t>(inputOfUnit[unit])];
            for (std::size_t i = 0; i < wanted.size(); ++i) {
                if (!nearlyEqual(outputs[i], wanted[i]))
                    ++mismatches;
            }
            inputOfUnit[unit] = -1;
        }
        if (frame < frames) {
            const int input = (frame * 7 + seed) % distinctInputs;
            session.submit(unit, expected.inputs[static_cast<std::size_t>(input)]);
            inputOfUnit[unit] = input;
        }
    }
}

// Drives every session on a thread of its own; returns the mismatches.
int pipelineAll(const std::vector<std::unique_ptr<TestSession>> &sessions, const Expected &expected, int frames)
{
    std::atomic<int> mismatches{0};
    std::vector<std::thread> drivers;
    for (std::size_t i = 0; i < sessions.size(); ++i)
        drivers.emplace_back([&, i] { pipeline(*sessions[i], expected, frames, static_cast<int>(i), mismatches); });
    for (std::thread &driver : drivers)
        driver.join();
    return mismatches.load();
}

TEST(RuntimeStress, ManyFramesOverAllUnitsOfSeveralSessions)
{
    const Expected expected = expectedResults();
    const std::vector<std::uint32_t> model = compiledOnnx(convOnnxModel());
    const std::vector<std::uint32_t> singleSlotModel = compiledOnnx(convOnnxModel(), false);
    // The plain simulator, then a timed board answering seen inputs from the
    // memory its sessions' threads share.
    for (std::uint32_t boardTime : {0u, 2000u}) {
        SCOPED_TRACE("board time " + std::to_string(boardTime) + " us");
        ASSERT_EQ(VRAX_SIM_SetBoardTime(0, boardTime), VRAX_RESULT_OK);
        const std::uint32_t enginesBefore = VRAX_SIM_EngineFrameCount();
        std::vector<std::unique_ptr<TestSession>> sessions;
        for (int i = 0; i < 3; ++i)
            sessions.push_back(std::make_unique<TestSession>(model));
        sessions.push_back(std::make_unique<TestSession>(singleSlotModel));

        std::atomic<bool> running{true};
        std::atomic<int> statusFailures{0};
        // Someone else keeps asking for status meanwhile, as the window's key
        // handlers may.
        std::thread watcher([&] {
            std::uint32_t round = 0;
            while (running) {
                for (auto &session : sessions) {
                    std::uint32_t status = 0;
                    if (VRAX_GetStatus(session->handle, round % session->unitCount(), &status) != VRAX_RESULT_OK)
                        ++statusFailures;
                }
                ++round;
            }
        });
        EXPECT_EQ(pipelineAll(sessions, expected, 300), 0);
        running = false;
        watcher.join();
        EXPECT_EQ(statusFailures.load(), 0);
        sessions.clear();
        if (boardTime > 0) {
            // Each session's model is new to the board; at most every unit meets
            // an input before the first one to finish it has stored the outputs.
            EXPECT_LE(VRAX_SIM_EngineFrameCount() - enginesBefore, std::uint32_t((3 * 4 + 1) * distinctInputs));
            EXPECT_EQ(VRAX_SIM_BoardCacheBytes(), 0u) << "closed sessions left their frames behind";
        }
    }
    VRAX_SIM_ClearInjections();
}

TEST(RuntimeStress, SessionsComeAndGoWhileOthersRun)
{
    const Expected expected = expectedResults();
    const std::vector<std::uint32_t> model = compiledOnnx(convOnnxModel());
    std::atomic<int> mismatches{0};
    TestSession steady(model);
    std::thread steadyDriver([&] { pipeline(steady, expected, 150, 1, mismatches); });
    for (int round = 0; round < 8; ++round) {
        TestSession passing(model);
        pipeline(passing, expected, 6, round, mismatches);
        // Leave frames running: destroying the session must wait for them.
        for (std::uint32_t unit = 0; unit < 4; ++unit)
            passing.submit(unit, expected.inputs[unit % distinctInputs]);
    }
    steadyDriver.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
