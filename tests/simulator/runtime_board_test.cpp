// Boards of a chosen speed and precision, through the C interface: a timed
// unit answers seen inputs from memory with the engine's own outputs, stays
// busy for its time and reports the rate that time gives, within a bounded
// memory; a precision board rounds its tensors by at most one step.
#include "onnx_builder.h"
#include "simulator_test_support.h"

#include <vrax.h>
#include <vrax_sim.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

class RuntimeBoard : public RuntimeTest
{
protected:
    static std::vector<float> inputNumber(std::uint32_t number, bool planar = false)
    {
        const cv::Mat blob = randomBlob({1, 3, 5, 7}, 200 + number, -1.0f, 1.0f);
        return planar ? planarInput(blob) : interleavedInput(blob);
    }
};

TEST_F(RuntimeBoard, SeenInputsGetTheEngineOutputsWithoutTheEngine)
{
    setenv("VRAX_BOARDS", "1:1", 1);
    const struct
    {
        std::uint32_t boardType;
        bool fromEnvironment;
    } cases[] = {{0, false}, {0, true}, {1, false}};
    for (const auto &c : cases) {
        const bool planar = c.boardType == 1;
        const std::vector<float> a = inputNumber(1, planar), b = inputNumber(2, planar);
        TestSession exact(convModel(), c.boardType);
        const std::vector<std::vector<float>> exactA = exact.run(0, a), exactB = exact.run(0, b);
        if (c.fromEnvironment)
            setenv("VRAX_SIM_BOARD_TIME", "0:1ms", 1);
        else
            ASSERT_EQ(VRAX_SIM_SetBoardTime(c.boardType, 1000), VRAX_RESULT_OK);
        TestSession timed(convModel(), c.boardType);
        const std::uint32_t last = timed.unitCount() - 1;
        const std::uint32_t before = VRAX_SIM_EngineFrameCount();
        EXPECT_EQ(timed.run(0, a), exactA) << c.boardType;
        EXPECT_EQ(timed.run(last, b), exactB) << c.boardType;
        EXPECT_EQ(timed.run(last, a), exactA) << c.boardType;
        EXPECT_EQ(timed.run(0, b), exactB) << c.boardType;
        EXPECT_EQ(VRAX_SIM_EngineFrameCount() - before, 2u) << "seen inputs ran again on board " << c.boardType;
        TearDown();
        setenv("VRAX_BOARDS", "1:1", 1);
    }
}

TEST_F(RuntimeBoard, ReportedRateFollowsTheBoardTime)
{
    // 200 ms frames: a unit's rate is at most 5 fps, four units' 20 fps,
    // however loaded the machine; the lower bounds leave it ample room.
    ASSERT_EQ(VRAX_SIM_SetBoardTime(0, 200000), VRAX_RESULT_OK);
    const struct
    {
        std::uint32_t unitsAtOnce;
        double above;
        double atMost;
    } cases[] = {{1, 1.0, 5.0}, {4, 5.0, 20.0}};
    for (const auto &c : cases) {
        TestSession session(convModel());
        const std::vector<float> input = inputNumber(1);
        double fps = 0.0;
        for (int round = 0; round < 2; ++round) {
            for (std::uint32_t unit = 0; unit < c.unitsAtOnce; ++unit)
                session.submit(unit, input);
            for (std::uint32_t unit = 0; unit < c.unitsAtOnce; ++unit) {
                session.waitIdle(unit);
                session.fetch(unit, &fps);
            }
        }
        EXPECT_GT(fps, c.above) << c.unitsAtOnce << " units";
        EXPECT_LE(fps, c.atMost * (1 + 1e-9)) << c.unitsAtOnce << " units";
    }
}

TEST_F(RuntimeBoard, MemoryStaysWithinTheLimitAndDroppedInputsAreComputedAgain)
{
    ASSERT_EQ(VRAX_SIM_SetBoardTime(0, 1), VRAX_RESULT_OK);
    // A frame of this model keeps about 1.5 KB: five fit in 8 KB.
    VRAX_SIM_SetBoardCacheLimit(8);
    TestSession session(convModel());
    std::vector<std::vector<std::vector<float>>> outputs;
    for (std::uint32_t i = 0; i < 12; ++i) {
        outputs.push_back(session.run(0, inputNumber(i)));
        EXPECT_GT(VRAX_SIM_BoardCacheBytes(), 0u);
        EXPECT_LE(VRAX_SIM_BoardCacheBytes(), 8u * 1024) << "after input " << i;
    }
    std::uint32_t before = VRAX_SIM_EngineFrameCount();
    EXPECT_EQ(session.run(1, inputNumber(11)), outputs[11]);
    EXPECT_EQ(VRAX_SIM_EngineFrameCount(), before) << "a recent input ran again";
    EXPECT_EQ(session.run(1, inputNumber(0)), outputs[0]);
    EXPECT_EQ(VRAX_SIM_EngineFrameCount(), before + 1) << "a dropped input was not computed";

    // No memory at all: every frame runs on the engine, still in time.
    VRAX_SIM_SetBoardCacheLimit(0);
    setenv("VRAX_SIM_BOARD_CACHE_MB", "0", 1);
    before = VRAX_SIM_EngineFrameCount();
    EXPECT_EQ(session.run(2, inputNumber(3)), outputs[3]);
    EXPECT_EQ(session.run(2, inputNumber(3)), outputs[3]);
    EXPECT_EQ(VRAX_SIM_EngineFrameCount(), before + 2);
    EXPECT_EQ(VRAX_SIM_BoardCacheBytes(), 0u);
}

// x [1,3,4,6] -> Relu -> y: the exact outputs are the inputs' positive parts.
std::string reluOnnxModel()
{
    return OnnxBuilder().input("x", {1, 3, 4, 6}).node("Relu", {"x"}, {"y"}).output("y", {1, 3, 4, 6}).serialize();
}

TEST_F(RuntimeBoard, PrecisionBoardsRoundTheirTensorsByAtMostAStep)
{
    setenv("VRAX_BOARDS", "2:1", 1);
    const std::vector<std::uint32_t> relu = compiledOnnx(reluOnnxModel());
    const cv::Mat blob = randomBlob({1, 3, 4, 6}, 7, -2.0f, 2.0f);
    const std::vector<float> input = interleavedInput(blob);
    const std::vector<float> exact = TestSession(relu).run(0, input)[0];
    const float maxAbs = static_cast<float>(cv::norm(blob, cv::NORM_INF));

    // The input is rounded, then the output: int8-io errs by at most half an
    // input step and half an output step (the output's scale is no larger);
    // half precision by half a unit in the last place, once (a rounded
    // value's positive part is already a half).
    const struct
    {
        const char *precision;
        std::uint32_t boardTime;
        bool fromEnvironment;
        float (*allowedError)(float exact, float maxAbs);
    } cases[] = {
        {"float", 0, false, [](float, float) { return 0.0f; }},
        {"int8-io", 0, false, [](float, float m) { return m / 127.0f * 1.0001f; }},
        {"fp16", 0, false, [](float x, float) { return std::fabs(x) * 0x1p-11f + 0x1p-25f; }},
        {"fp16", 1000, false, [](float x, float) { return std::fabs(x) * 0x1p-11f + 0x1p-25f; }},
        {"int8-io", 1000, true, [](float, float m) { return m / 127.0f * 1.0001f; }},
    };
    for (const auto &c : cases) {
        const std::string name = std::string(c.precision) + (c.boardTime ? " timed" : "")
                                 + (c.fromEnvironment ? " from the environment" : "");
        if (c.fromEnvironment) {
            setenv("VRAX_SIM_PRECISION", (std::string("2:") + c.precision).c_str(), 1);
            setenv("VRAX_SIM_BOARD_TIME", ("2:" + std::to_string(c.boardTime) + "us").c_str(), 1);
        } else {
            ASSERT_EQ(VRAX_SIM_SetPrecision(2, c.precision), VRAX_RESULT_OK);
            ASSERT_EQ(VRAX_SIM_SetBoardTime(2, c.boardTime), VRAX_RESULT_OK);
        }
        TestSession board(relu, 2);
        const std::vector<float> rounded = board.run(0, input)[0];
        ASSERT_EQ(rounded.size(), exact.size());
        float largestError = 0.0f;
        for (std::size_t i = 0; i < exact.size(); ++i) {
            const float error = std::fabs(rounded[i] - exact[i]);
            largestError = std::max(largestError, error);
            EXPECT_LE(error, c.allowedError(exact[i], maxAbs)) << name << " value " << i << ": " << exact[i];
        }
        if (std::string(c.precision) == "float")
            EXPECT_EQ(rounded, exact) << name;
        else
            EXPECT_GT(largestError, 0.0f) << name << " did not round";
        EXPECT_EQ(board.run(1, input)[0], rounded) << name << ", a second time";
        TearDown();
        setenv("VRAX_BOARDS", "2:1", 1);
    }
    EXPECT_EQ(VRAX_SIM_SetPrecision(2, "int4"), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_SIM_SetPrecision(8, "int8"), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_SIM_SetPrecision(2, nullptr), VRAX_RESULT_INVALID_FUNC_PARAMETER);
}

} // namespace
