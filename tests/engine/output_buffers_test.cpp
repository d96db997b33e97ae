// Output buffers are sized in one place for every run: from the model's
// shapes, keeping storage that fits, refusing absurd shapes before
// allocating anything.
#include "engine/output_buffers.h"
#include "support/failure_message.h"

#include <gtest/gtest.h>

TEST(OutputBuffers, SizedFromTheModelAndKeptWhenTheyFit)
{
    OutputBuffers buffers = outputBuffersFor({{5, 5, 30}, {10, 1, 1}});
    ASSERT_EQ(buffers.size(), 2u);
    EXPECT_EQ(buffers[0].size(), 750u);
    EXPECT_EQ(buffers[1].size(), 10u);
    EXPECT_TRUE(std::all_of(buffers[0].begin(), buffers[0].end(), [](float v) { return v == 0.0f; }));

    // A recycled frame's buffers keep their storage (the fetch overwrites them).
    const float *storage = buffers[0].data();
    sizeOutputBuffers(buffers, {{5, 5, 30}, {10, 1, 1}});
    EXPECT_EQ(buffers[0].data(), storage);
    sizeOutputBuffers(buffers, {{2, 2, 1}});
    ASSERT_EQ(buffers.size(), 1u);
    EXPECT_EQ(buffers[0].size(), 4u);
}

TEST(OutputBuffers, AbsurdShapesAreRefusedBeforeAnythingIsAllocated)
{
    OutputBuffers buffers = outputBuffersFor({{4, 1, 1}});
    // Counted in 64 bits: 65536 x 65536 x 3 would wrap around in 32.
    EXPECT_EQ(failureMessage([&buffers] { sizeOutputBuffers(buffers, {{10, 1, 1}, {65536, 65536, 3}}); }),
              "Output 1 of the model is too large: 65536 x 65536 x 3 values");
    EXPECT_EQ(buffers.size(), 1u);
    EXPECT_NE(failureMessage([] { outputBuffersFor({{1u << 14, 1u << 14, 2}}); }), "(no failure)");
}
