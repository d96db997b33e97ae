// Opening sessions: one per board in use, the model's shapes from the first,
// and never a handle that is destroyed twice.
#include "accel/board_session.h"
#include "fake_runtime.h"
#include "support/failure_message.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class BoardSession : public ::testing::Test
{
protected:
    void SetUp() override
    {
        resetFakeRuntime();
        fakeRuntime().modelInfo.input_count = 1;
        fakeRuntime().modelInfo.inputs[0] = {224, 224, 3};
        fakeRuntime().modelInfo.output_count = 2;
        fakeRuntime().modelInfo.outputs[0] = {13, 13, 30};
        fakeRuntime().modelInfo.outputs[1] = {26, 26, 30};
    }

    std::string messageOf(const BoardChoice &choice)
    {
        return failureMessage([&] { openSessionsWithModel(choice, model, sessions, modelInfo); });
    }

    const std::vector<std::uint32_t> model = {0x58415256, 1, 2, 3};
    std::vector<RuntimeHandle> sessions;
    ModelInfo modelInfo{};
};

} // namespace

TEST_F(BoardSession, ParallelOpensEveryBoardOfTheType)
{
    openSessionsWithModel({BoardType::Slab, 1, 3}, model, sessions, modelInfo);

    ASSERT_EQ(sessions.size(), 3u);
    const auto initialised = fakeRuntime().callsOf("VRAX_Initialize");
    ASSERT_EQ(initialised.size(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(initialised[i].handle, sessions[i]);
        EXPECT_EQ(initialised[i].unit, i); // board index
        EXPECT_EQ(initialised[i].value, std::uint32_t(BoardType::Slab));
    }
    const auto infoCalls = fakeRuntime().callsOf("VRAX_GetModelInfo");
    ASSERT_EQ(infoCalls.size(), 1u);
    EXPECT_EQ(infoCalls[0].handle, sessions[0]);
    EXPECT_EQ(modelInfo.output_count, 2u);
    EXPECT_EQ(modelInfo.outputs[1].width, 26u);
}

TEST_F(BoardSession, OneBoardUsesTheChosenIndexAndTheSameWordsInEverySlot)
{
    openSessionsWithModel({BoardType::TK307_04, 2, 0}, model, sessions, modelInfo);
    ASSERT_EQ(sessions.size(), 1u);
    const FakeRuntimeCall initialised = fakeRuntime().callsOf("VRAX_Initialize").at(0);
    EXPECT_EQ(initialised.unit, 2u);
    EXPECT_TRUE(initialised.slotsAgree);
    EXPECT_EQ(initialised.modelWords, 4u);
}

TEST_F(BoardSession, ReopeningClosesEveryOldSessionFirst)
{
    openSessionsWithModel({BoardType::Slab, 0, 3}, model, sessions, modelInfo);
    const std::vector<RuntimeHandle> old = sessions;
    fakeRuntime().calls.clear();

    openSessionsWithModel({BoardType::Slab, 0, 0}, model, sessions, modelInfo);

    const auto &calls = fakeRuntime().calls;
    ASSERT_GE(calls.size(), 4u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[i].function, "VRAX_Destroy");
        EXPECT_EQ(calls[i].handle, old[i]);
    }
    EXPECT_EQ(calls[3].function, "VRAX_Create");
    EXPECT_EQ(sessions.size(), 1u);
    EXPECT_EQ(fakeRuntime().liveHandles, sessions);
}

TEST_F(BoardSession, FailureHalfWayKeepsOnlyLiveHandles)
{
    struct Case
    {
        const char *function;
        int failAfter;
        std::size_t sessionsLeft;
    };
    // A failed Create leaves no entry; a failed Initialize keeps its created
    // handle so that it is closed later.
    const Case cases[] = {{"VRAX_Create", 1, 1}, {"VRAX_Initialize", 1, 2}, {"VRAX_GetModelInfo", 0, 3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.function);
        SetUp();
        sessions.clear();
        fakeRuntime().fail(c.function, VRAX_RESULT_NO_BOARD);
        fakeRuntime().failAfterCalls = c.failAfter;

        EXPECT_EQ(messageOf({BoardType::Wisp, 0, 3}), "VRAX_RESULT_NO_BOARD");
        EXPECT_EQ(sessions.size(), c.sessionsLeft);
        EXPECT_EQ(fakeRuntime().liveHandles, sessions);

        fakeRuntime().failingFunction.clear();
        destroySessions(sessions);
        EXPECT_TRUE(sessions.empty());
        EXPECT_TRUE(fakeRuntime().liveHandles.empty());
        EXPECT_EQ(fakeRuntime().destroyedUnknownHandles, 0);
    }
}

TEST_F(BoardSession, ImplausibleModelInformationIsRefused)
{
    fakeRuntime().modelInfo.output_count = 0;
    EXPECT_EQ(messageOf({}), "Invalid zero-sized output");
    // The sessions stay open with the model; modelInfo holds what was reported.
    EXPECT_EQ(sessions.size(), 1u);
    EXPECT_EQ(modelInfo.output_count, 0u);

    fakeRuntime().modelInfo.output_count = 9;
    EXPECT_EQ(messageOf({}), "Invalid model information: 1 inputs, 9 outputs");
    fakeRuntime().modelInfo.output_count = 1;
    fakeRuntime().modelInfo.input_count = 0;
    EXPECT_EQ(messageOf({}), "Invalid model information: 0 inputs, 1 outputs");
}

TEST_F(BoardSession, MissingModelFileChangesNothing)
{
    openSessionsWithModel({}, model, sessions, modelInfo);
    const std::vector<RuntimeHandle> before = sessions;
    const ModelInfo infoBefore = modelInfo;
    EXPECT_THROW(openBoardSession({}, "/nonexistent/model.bin", sessions, modelInfo), std::runtime_error);
    EXPECT_EQ(sessions, before);
    EXPECT_EQ(modelInfo.outputs[0].depth, infoBefore.outputs[0].depth);
}
