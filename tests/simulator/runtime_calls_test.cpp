// Every runtime call answers bad use with the fitting result code instead of
// crashing: boards, handles, units, pointers, models, busy units; and the
// test interface: injected faults and delays, handle counts.
#include "model_container.h"
#include "onnx_builder.h"
#include "simulator_test_support.h"
#include "test_models.h"

#include <vrax.h>
#include <vrax_sim.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>

namespace {

class RuntimeCalls : public ::testing::Test
{
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        for (const char *variable : {"VRAX_BOARDS", "VRAX_FAULTS", "VRAX_DELAYS"})
            unsetenv(variable);
        VRAX_SIM_ClearInjections();
    }

    static const std::vector<std::uint32_t> &model()
    {
        static const std::vector<std::uint32_t> words = compiledOnnx(convOnnxModel());
        return words;
    }

    std::vector<float> input = interleavedInput(randomBlob({1, 3, 5, 7}, 1));
    std::vector<float> output0 = std::vector<float>(7 * 5 * 4);
    std::vector<float> output1 = std::vector<float>(6 * 4 * 3);
    const float *const inputs[1] = {input.data()};
    float *const outputs[2] = {output0.data(), output1.data()};
    std::uint32_t status = 0;
    double fps = 0;
    VRAX_ModelInfo info{};
};

std::string lastError()
{
    return VRAX_SIM_GetLastError();
}

TEST_F(RuntimeCalls, BoardsComeFromTheEnvironmentAtEachCall)
{
    std::uint32_t count = 99;
    ASSERT_EQ(VRAX_GetBoardCount(0, &count), VRAX_RESULT_OK);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(VRAX_GetBoardCount(1, &count), VRAX_RESULT_OK);
    EXPECT_EQ(count, 0u);

    setenv("VRAX_BOARDS", "1:2, 3:1,bad,9:1,2:1000,4:x", 1);
    const std::uint32_t expected[8] = {1, 2, 0, 1, 0, 0, 0, 0};
    for (std::uint32_t type = 0; type < 8; ++type) {
        ASSERT_EQ(VRAX_GetBoardCount(type, &count), VRAX_RESULT_OK);
        EXPECT_EQ(count, expected[type]) << "type " << type;
    }
    EXPECT_EQ(VRAX_GetBoardCount(8, &count), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_GetBoardCount(1, nullptr), VRAX_RESULT_INVALID_FUNC_PARAMETER);

    setenv("VRAX_BOARDS", "7:3", 1);
    ASSERT_EQ(VRAX_GetBoardCount(1, &count), VRAX_RESULT_OK);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(VRAX_GetBoardCount(7, &count), VRAX_RESULT_OK);
    EXPECT_EQ(count, 3u);
}

TEST_F(RuntimeCalls, BlinkAndInitializeAnswerNoBoardForMissingBoards)
{
    setenv("VRAX_BOARDS", "1:2", 1);
    VRAX_SIM_ResetCounters();
    EXPECT_EQ(VRAX_Blink(1, 1), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_Blink(1, 1), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_Blink(0, 0), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_SIM_BlinkCount(1, 1), 2u);
    EXPECT_EQ(VRAX_SIM_BlinkCount(0, 0), 1u);
    EXPECT_EQ(VRAX_SIM_BlinkCount(1, 0), 0u);
    for (auto [type, index] : {std::pair{1u, 2u}, {2u, 0u}, {0u, 1u}, {8u, 0u}})
        EXPECT_EQ(VRAX_Blink(type, index), VRAX_RESULT_NO_BOARD) << type << ":" << index;

    VRAX_Handle handle = 0;
    ASSERT_EQ(VRAX_Create(&handle), VRAX_RESULT_OK);
    for (auto [type, index] : {std::pair{1u, 2u}, {3u, 0u}, {0u, 1u}})
        EXPECT_EQ(initializeWith(handle, model(), type, index), VRAX_RESULT_NO_BOARD) << type << ":" << index;
    EXPECT_EQ(initializeWith(handle, model(), 1, 1), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_Destroy(handle), VRAX_RESULT_OK);
}

TEST_F(RuntimeCalls, UnknownAndDestroyedHandlesAreRefusedAndDoubleDestroysCounted)
{
    VRAX_SIM_ResetCounters();
    const std::uint32_t liveBefore = VRAX_SIM_LiveSessionCount();
    VRAX_Handle handle = 0;
    ASSERT_EQ(VRAX_Create(&handle), VRAX_RESULT_OK);
    EXPECT_NE(handle, 0u);
    ASSERT_EQ(initializeWith(handle, model()), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_SIM_LiveSessionCount(), liveBefore + 1);
    EXPECT_EQ(VRAX_Destroy(handle), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_SIM_LiveSessionCount(), liveBefore);

    EXPECT_EQ(VRAX_Process(handle, 0, inputs), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_NE(lastError().find("destroyed"), std::string::npos) << lastError();
    EXPECT_EQ(VRAX_GetStatus(handle, 0, &status), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(initializeWith(handle, model()), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_SIM_DestroyedTwiceCount(), 0u);
    EXPECT_EQ(VRAX_Destroy(handle), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_SIM_DestroyedTwiceCount(), 1u);

    for (VRAX_Handle unknown : {VRAX_Handle(0), handle + 1000})
        EXPECT_EQ(VRAX_Process(unknown, 0, inputs), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_Destroy(handle + 1000), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_SIM_DestroyedTwiceCount(), 1u); // never made: no double destroy
    EXPECT_EQ(VRAX_SIM_CreatedCount(), 1u);
    EXPECT_EQ(VRAX_SIM_DestroyedCount(), 1u);
    EXPECT_EQ(VRAX_Create(nullptr), VRAX_RESULT_INVALID_FUNC_PARAMETER);
}

TEST_F(RuntimeCalls, NullPointersAndMissingBusyOrEmptyUnitsAreRefused)
{
    TestSession session(model());
    const float *const nullInput[1] = {nullptr};
    float *const halfOutputs[2] = {output0.data(), nullptr};
    const VRAX_Handle h = session.handle;

    EXPECT_EQ(VRAX_GetLibVersion(nullptr, &status, &status), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_Process(h, 0, nullptr), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_Process(h, 0, nullInput), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_Process(h, 4, inputs), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_NE(lastError().find("unit 4"), std::string::npos) << lastError();
    TestSession singleSlot(compiledOnnx(convOnnxModel(), false));
    EXPECT_EQ(singleSlot.info.single_slot, 1u);
    EXPECT_EQ(VRAX_Process(singleSlot.handle, 1, inputs), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_GetStatus(h, 0, nullptr), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_GetStatus(h, 4, &status), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_GetModelInfo(h, 0, nullptr), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_GetModelInfo(h, 4, &info), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_GetModelInfo(h, 3, &info), VRAX_RESULT_OK);

    ASSERT_EQ(VRAX_Process(h, 0, inputs), VRAX_RESULT_OK);
    session.waitIdle(0);
    EXPECT_EQ(VRAX_GetOutput(h, 0, nullptr, &fps), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_GetOutput(h, 0, outputs, nullptr), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_GetOutput(h, 0, halfOutputs, &fps), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_GetOutput(h, 4, outputs, &fps), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_GetOutput(h, 0, outputs, &fps), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_GetOutput(h, 0, outputs, &fps), VRAX_RESULT_OK) << "outputs can be fetched again";

    EXPECT_EQ(VRAX_GetOutput(h, 1, outputs, &fps), VRAX_RESULT_NOT_INITIALIZED);
    EXPECT_NE(lastError().find("no frame"), std::string::npos) << lastError();

    // Busy status and a second Process are checked with the timed boards.
    ASSERT_EQ(VRAX_SIM_InjectDelay("frame", 300), VRAX_RESULT_OK);
    ASSERT_EQ(VRAX_Process(h, 1, inputs), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_GetOutput(h, 1, outputs, &fps), VRAX_RESULT_INCOMPLETE);
    session.waitIdle(1);
    EXPECT_EQ(VRAX_GetOutput(h, 1, outputs, &fps), VRAX_RESULT_OK);
}

TEST_F(RuntimeCalls, MalformedModelsAnswerInvalidModelWithAReasonAndLeaveNoModel)
{
    const std::vector<std::uint32_t> &good = model();
    std::vector<std::uint32_t> truncated(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    std::vector<std::uint32_t> flipped = good;
    flipped[good.size() / 2] ^= 0x10u;

    // Well-formed containers that lie about the network's output shape, or
    // whose network cannot take the input, or is none; and networks that the
    // engine would read past their data (weights one value short), follow a
    // null pointer for (weights nothing provides) or allocate gigabytes for.
    const auto changed = [&good](const std::function<void(ModelContainer &)> &change) {
        ModelContainer container = readModelContainer(good.data(), good.size());
        change(container);
        return writeModelContainer(container);
    };
    const auto withNetwork = [&changed](const std::string &network) {
        return changed([&network](ModelContainer &c) { c.network.assign(network.begin(), network.end()); });
    };
    const auto lying = changed([](ModelContainer &c) { c.outputs[0].shape = {1, 4, 5, 8}; });
    const auto wrongInput = changed([](ModelContainer &c) { c.inputs[0].shape = {1, 5, 5, 7}; });
    const auto broken = changed([](ModelContainer &c) { c.network.assign(200, 0x55); });
    const auto shortWeights = withNetwork(withOneValueMissing(convOnnxModel(), "w"));
    const auto missingWeights = withNetwork(unprovidedWeightsOnnxModel());
    const auto wide = withNetwork(hugePaddingOnnxModel());
    // A field the engine's reader skips but the checks' reader finds broken
    // (20: the model's functions), after weights one value short.
    const auto unreadable = withNetwork(withOneValueMissing(convOnnxModel(), "w") + std::string("\xa2\x01\x02\xff\xff", 5));

    struct Case
    {
        const char *what;
        std::vector<std::uint32_t> words;
        std::int32_t code;
        const char *text;
    };
    const Case cases[] = {
        {"truncated", truncated, VRAX_RESULT_INVALID_MODEL, "truncated"},
        {"corrupted", flipped, VRAX_RESULT_INVALID_MODEL, "checksum"},
        {"one word", {ModelFormat::magic}, VRAX_RESULT_INVALID_MODEL, "ends before"},
        {"lying about outputs", lying, VRAX_RESULT_INVALID_MODEL, "1x4x5x8"},
        {"not a network", broken, VRAX_RESULT_NN_LOADING_ERROR, "cannot be built"},
        {"network the checks cannot read", unreadable, VRAX_RESULT_NN_LOADING_ERROR, "no ONNX model"},
        {"weights one value short", shortWeights, VRAX_RESULT_INVALID_MODEL, "damaged"},
        {"layer output too large", wide, VRAX_RESULT_NN_CREATION_ERROR, "would make an output"},
        {"weights nothing provides", missingWeights, VRAX_RESULT_INVALID_MODEL, "\"missing\""},
        {"input the network cannot take", wrongInput, VRAX_RESULT_NN_CREATION_ERROR, "cannot run"},
    };
    // A handle left without a model answers every call as one never initialised.
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        VRAX_Handle handle = 0;
        ASSERT_EQ(VRAX_Create(&handle), VRAX_RESULT_OK);
        EXPECT_EQ(initializeWith(handle, c.words), c.code);
        EXPECT_NE(lastError().find(c.text), std::string::npos) << lastError();
        EXPECT_EQ(VRAX_Process(handle, 0, inputs), VRAX_RESULT_NOT_INITIALIZED);
        EXPECT_EQ(VRAX_GetStatus(handle, 0, &status), VRAX_RESULT_NOT_INITIALIZED);
        EXPECT_EQ(VRAX_GetOutput(handle, 0, outputs, &fps), VRAX_RESULT_NOT_INITIALIZED);
        EXPECT_EQ(VRAX_GetModelInfo(handle, 0, &info), VRAX_RESULT_NOT_INITIALIZED);
        EXPECT_EQ(VRAX_Destroy(handle), VRAX_RESULT_OK);
    }
}

TEST_F(RuntimeCalls, SlotTablesMustHoldOneModel)
{
    VRAX_Handle handle = 0;
    ASSERT_EQ(VRAX_Create(&handle), VRAX_RESULT_OK);
    const std::vector<std::uint32_t> &words = model();
    const std::vector<std::uint32_t> copy = words;
    const std::vector<std::uint32_t> other = compiledOnnx(greyOnnxModel());
    const std::uint32_t size = static_cast<std::uint32_t>(words.size());
    const std::uint32_t otherSize = static_cast<std::uint32_t>(other.size());

    const std::uint32_t *const differing[4] = {words.data(), words.data(), other.data(), words.data()};
    const std::uint32_t differingSizes[4] = {size, size, otherSize, size};
    EXPECT_EQ(VRAX_Initialize(handle, 0, 0, 0, differing, differingSizes), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_NE(lastError().find("slot 2"), std::string::npos) << lastError();

    const std::uint32_t *const nullWithSize[4] = {words.data(), nullptr, nullptr, nullptr};
    const std::uint32_t sizes[4] = {size, size, size, size};
    EXPECT_EQ(VRAX_Initialize(handle, 0, 0, 0, nullWithSize, sizes), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    const std::uint32_t *const emptySlot0[4] = {nullptr, words.data(), words.data(), words.data()};
    EXPECT_EQ(VRAX_Initialize(handle, 0, 0, 0, emptySlot0, sizes), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_Initialize(handle, 0, 0, 0, nullptr, sizes), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_Initialize(handle, 0, 0, 0, differing, nullptr), VRAX_RESULT_INVALID_FUNC_PARAMETER);

    // Equal copies, and empty slots 1 to 3, are one model.
    const std::uint32_t *const copies[4] = {words.data(), copy.data(), words.data(), copy.data()};
    EXPECT_EQ(VRAX_Initialize(handle, 0, 0, 0, copies, sizes), VRAX_RESULT_OK);
    const std::uint32_t *const onlySlot0[4] = {words.data(), nullptr, nullptr, nullptr};
    const std::uint32_t onlySize0[4] = {size, 0, 0, 0};
    EXPECT_EQ(VRAX_Initialize(handle, 0, 0, 0, onlySlot0, onlySize0), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_Destroy(handle), VRAX_RESULT_OK);
}

TEST_F(RuntimeCalls, FailedInitializeKeepsThePreviousModel)
{
    TestSession session(model());
    const std::vector<std::vector<float>> before = session.run(0, input);
    const std::vector<std::uint32_t> garbage(64, 0xabcdef01u);
    EXPECT_EQ(initializeWith(session.handle, garbage), VRAX_RESULT_INVALID_MODEL);
    EXPECT_EQ(session.run(0, input), before);

    // A successful one replaces it.
    ASSERT_EQ(initializeWith(session.handle, compiledOnnx(classifierOnnxModel())), VRAX_RESULT_OK);
    ASSERT_EQ(VRAX_GetModelInfo(session.handle, 0, &info), VRAX_RESULT_OK);
    EXPECT_EQ(info.output_count, 1u);
    EXPECT_EQ(info.outputs[0].depth, 5u);
}

TEST_F(RuntimeCalls, DestroyWaitsForRunningFrames)
{
    VRAX_SIM_ResetCounters();
    const auto frameDelay = std::chrono::milliseconds(100);
    ASSERT_EQ(VRAX_SIM_InjectDelay("frame", std::uint32_t(frameDelay.count())), VRAX_RESULT_OK);
    VRAX_Handle handle = 0;
    ASSERT_EQ(VRAX_Create(&handle), VRAX_RESULT_OK);
    ASSERT_EQ(initializeWith(handle, model()), VRAX_RESULT_OK);
    const auto submitted = std::chrono::steady_clock::now();
    for (std::uint32_t unit = 0; unit < 4; ++unit)
        ASSERT_EQ(VRAX_Process(handle, unit, inputs), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_Destroy(handle), VRAX_RESULT_OK);
    // Each frame sleeps frameDelay after its work: a Destroy that returned
    // sooner left its units running.
    EXPECT_GE(std::chrono::steady_clock::now() - submitted, frameDelay);
    EXPECT_EQ(VRAX_SIM_DestroyedCount(), 1u);
    EXPECT_EQ(VRAX_GetStatus(handle, 0, &status), VRAX_RESULT_INVALID_FUNC_PARAMETER);
}

TEST_F(RuntimeCalls, InjectedFaultsLetCallsThroughThenFail)
{
    TestSession session(model());
    EXPECT_EQ(VRAX_SIM_InjectFault("VRAX_NoSuchCall", 13, 0), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    EXPECT_EQ(VRAX_SIM_InjectFault(nullptr, 13, 0), VRAX_RESULT_INVALID_FUNC_PARAMETER);
    ASSERT_EQ(VRAX_SIM_InjectFault("VRAX_Process", VRAX_RESULT_BOARD_SYNC_ERROR, 2), VRAX_RESULT_OK);
    for (std::int32_t expected : {0, 0, 13, 13}) {
        EXPECT_EQ(VRAX_Process(session.handle, 0, inputs), expected);
        session.waitIdle(0);
    }
    EXPECT_NE(lastError().find("injected"), std::string::npos);
    ASSERT_EQ(VRAX_SIM_InjectFault("VRAX_Process", 0, 0), VRAX_RESULT_OK); // code 0 removes it
    EXPECT_EQ(VRAX_Process(session.handle, 0, inputs), VRAX_RESULT_OK);
    session.waitIdle(0);

    // Every exported call can be made to fail, each by its own name.
    VRAX_Handle handle = 0;
    const std::pair<const char *, std::function<std::int32_t()>> calls[] = {
        {"VRAX_GetLibVersion", [&] { return VRAX_GetLibVersion(&status, &status, &status); }},
        {"VRAX_GetBoardCount", [&] { return VRAX_GetBoardCount(1, &status); }},
        {"VRAX_Blink", [] { return VRAX_Blink(0, 0); }},
        {"VRAX_Create", [&] { return VRAX_Create(&handle); }},
        {"VRAX_Initialize", [&] { return initializeWith(session.handle, model()); }},
        {"VRAX_GetModelInfo", [&] { return VRAX_GetModelInfo(session.handle, 0, &info); }},
        {"VRAX_GetStatus", [&] { return VRAX_GetStatus(session.handle, 0, &status); }},
        {"VRAX_GetOutput", [&] { return VRAX_GetOutput(session.handle, 0, outputs, &fps); }},
        {"VRAX_Destroy", [&] { return VRAX_Destroy(session.handle); }},
    };
    for (const auto &[name, call] : calls) {
        ASSERT_EQ(VRAX_SIM_InjectFault(name, VRAX_RESULT_UNKNOWN_ERROR, 0), VRAX_RESULT_OK) << name;
        EXPECT_EQ(call(), VRAX_RESULT_UNKNOWN_ERROR) << name;
        VRAX_SIM_ClearInjections();
    }
    EXPECT_EQ(VRAX_GetOutput(session.handle, 0, outputs, &fps), VRAX_RESULT_OK);
}

TEST_F(RuntimeCalls, FaultsAndDelaysComeFromTheEnvironmentToo)
{
    TestSession session(model());
    setenv("VRAX_FAULTS", "VRAX_Process=13@1,VRAX_GetModelInfo=21", 1);
    EXPECT_EQ(VRAX_GetModelInfo(session.handle, 0, &info), VRAX_RESULT_UNKNOWN_ERROR);
    EXPECT_EQ(VRAX_Process(session.handle, 0, inputs), VRAX_RESULT_OK);
    session.waitIdle(0);
    EXPECT_EQ(VRAX_Process(session.handle, 0, inputs), VRAX_RESULT_BOARD_SYNC_ERROR);

    // The test interface takes precedence; clearing drops the environment's entries too.
    ASSERT_EQ(VRAX_SIM_InjectFault("VRAX_GetModelInfo", VRAX_RESULT_NN_INFO_RETRIEVAL_ERROR, 0), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_GetModelInfo(session.handle, 0, &info), VRAX_RESULT_NN_INFO_RETRIEVAL_ERROR);
    VRAX_SIM_ClearInjections();
    EXPECT_EQ(VRAX_GetModelInfo(session.handle, 0, &info), VRAX_RESULT_OK);
    EXPECT_EQ(VRAX_Process(session.handle, 0, inputs), VRAX_RESULT_OK);
    session.waitIdle(0);

    // A changed text applies again; a malformed one is ignored.
    setenv("VRAX_FAULTS", "VRAX_GetModelInfo=21", 1);
    EXPECT_EQ(VRAX_GetModelInfo(session.handle, 0, &info), VRAX_RESULT_UNKNOWN_ERROR);
    setenv("VRAX_FAULTS", "VRAX_GetModelInfo=oops", 1);
    EXPECT_EQ(VRAX_GetModelInfo(session.handle, 0, &info), VRAX_RESULT_OK);
    unsetenv("VRAX_FAULTS");

    setenv("VRAX_DELAYS", "frame=300ms,VRAX_GetBoardCount=1ms", 1);
    ASSERT_EQ(VRAX_Process(session.handle, 2, inputs), VRAX_RESULT_OK);
    ASSERT_EQ(VRAX_GetStatus(session.handle, 2, &status), VRAX_RESULT_OK);
    EXPECT_EQ(status, VRAX_STATUS_BUSY);
    session.waitIdle(2);
}

} // namespace
