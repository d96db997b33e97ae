// A runtime without the layer extension (the fake runtime has none): the
// board layer says so for every layer call instead of failing otherwise.
#include "accel/layer_extension.h"

#include "fake_runtime.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

TEST(LayerExtension, ARuntimeWithoutItSaysSoForEveryCall)
{
    resetFakeRuntime();
    const LayerExtension &extension = LayerExtension::ofRuntime();
    EXPECT_FALSE(extension.available());
    std::vector<float> values;
    std::vector<std::uint32_t> shape;
    const std::function<void()> calls[] = {
        [&] { extension.layers(100); },
        [&] { extension.enable(100, true, true); },
        [&] { extension.meanTimes(100, 3); },
        [&] { extension.lastFrameTimes(100, 0, 3); },
        [&] { extension.layerOutput(100, 0, 0, values, shape); },
    };
    for (const auto &call : calls) {
        try {
            call();
            ADD_FAILURE() << "a layer call went through";
        } catch (const std::runtime_error &error) {
            EXPECT_STREQ(error.what(), "This board's runtime gives no layer profile");
        }
    }
    EXPECT_TRUE(fakeRuntime().calls.empty());
}

} // namespace
