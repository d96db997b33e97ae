#include "test_models.h"

#include "onnx_builder.h"

#include <cstring>

std::string convOnnxModel()
{
    return OnnxBuilder().input("x", {1, 3, 5, 7})
        .weights("w", {4, 3, 3, 3})
        .weights("b", {4})
        .node("Conv", {"x", "w", "b"}, {"c"}, {{"kernel_shape", {3, 3}}, {"pads", {1, 1, 1, 1}}}, "conv")
        .node("Relu", {"c"}, {"zeta"}, {}, "relu")
        .node("MaxPool", {"x"}, {"alpha"}, {{"kernel_shape", {2, 2}}, {"strides", {1, 1}}}, "pool")
        .output("zeta", {1, 4, 5, 7})
        .output("alpha", {1, 3, 4, 6})
        .serialize();
}

std::string classifierOnnxModel()
{
    return OnnxBuilder().input("x", {1, 3, 4, 4})
        .weights("w", {5, 48})
        .weights("b", {5})
        .node("Flatten", {"x"}, {"f"}, {{"axis", {1}}})
        .node("Gemm", {"f", "w", "b"}, {"g"}, {{"transB", {1}}})
        .node("Softmax", {"g"}, {"prob"}, {{"axis", {1}}})
        .output("prob", {1, 5})
        .serialize();
}

std::string unprovidedWeightsOnnxModel()
{
    return OnnxBuilder().input("x", {1, 3, 5, 7})
        .node("Conv", {"x", "missing"}, {"zeta"}, {{"kernel_shape", {1, 1}}}, "conv")
        .output("zeta", {1, 4, 5, 7})
        .serialize();
}

std::string hugePaddingOnnxModel()
{
    return OnnxBuilder().input("x", {1, 3, 5, 7})
        .weights("w", {4, 3, 3, 3})
        .node("Conv", {"x", "w"}, {"zeta"}, {{"kernel_shape", {3, 3}}, {"pads", {1000000, 1000000, 1000000, 1000000}}},
              "wide")
        .output("zeta", {1, 4, 2000003, 2000005})
        .serialize();
}

std::string greyOnnxModel()
{
    return OnnxBuilder().input("x", {1, 1, 6, 5})
        .weights("w", {3, 1, 1, 1})
        .node("Conv", {"x", "w"}, {"y"}, {{"kernel_shape", {1, 1}}})
        .output("y", {1, 3, 6, 5})
        .serialize();
}

std::string vectorOnnxModel()
{
    return OnnxBuilder().input("x", {1, 5})
        .weights("w", {3, 5})
        .node("Gemm", {"x", "w"}, {"y"}, {{"transB", {1}}})
        .output("y", {1, 3})
        .serialize();
}

std::string darknetDetectorCfg()
{
    return "[net]\nwidth=16\nheight=12\nchannels=3\n\n"
           "# 0: 3 -> 8, batch normalised: 8 + 3*8 + 8*3*3*3 = 248 weights\n"
           "[convolutional]\nbatch_normalize=1\nfilters=8\nsize=3\nstride=1\npad=1\nactivation=leaky\n\n"
           "[maxpool]\nsize=2\nstride=2\n\n"
           "# 2: depthwise, 8*4 + 8*1*3*3 = 104 weights\n"
           "[convolutional]\nbatch_normalize=1\nfilters=8\ngroups=8\nsize=3\nstride=1\npad=1\nactivation=leaky\n\n"
           "# 3: the second half of the channels, 4 of them\n"
           "[route]\nlayers=-1\ngroups=2\ngroup_id=1\n\n"
           "# 4: 18 + 18*4 = 90 weights\n"
           "[convolutional]\nfilters=18\nsize=1\nstride=1\nactivation=linear\n\n"
           "[yolo]\nmask=0,1,2\nanchors=1,1, 2,2, 3,3, 4,4, 5,5, 6,6\nclasses=1\nnum=6\n\n"
           "[route]\nlayers=2\n\n"
           "[upsample]\nstride=2\n\n"
           "# 8: 8 + 8 channels\n"
           "[route]\nlayers=-1,0\n\n"
           "# 9: 18 + 18*16 = 306 weights\n"
           "[convolutional]\nfilters=18\nsize=1\nstride=1\nactivation=linear\n\n"
           "[yolo]\nmask=3,4,5\nanchors=1,1, 2,2, 3,3, 4,4, 5,5, 6,6\nclasses=1\nnum=6\n";
}

std::string darknetClassifierCfg()
{
    return "[net]\nwidth=6\nheight=6\nchannels=3\n\n"
           "# 4 + 4*3*3*3 = 112 weights, output 3x3\n"
           "[convolutional]\nfilters=4\nsize=3\nstride=2\npad=1\nactivation=relu\n\n"
           "[avgpool]\n\n"
           "# 5 + 5*4 = 25 weights\n"
           "[connected]\noutput=5\nactivation=linear\n\n"
           "[softmax]\n";
}

std::string darknetWeights(std::uint32_t count, std::int32_t major, std::int32_t minor)
{
    std::string bytes;
    const auto append = [&bytes](const void *data, std::size_t size) {
        bytes.append(static_cast<const char *>(data), size);
    };
    const std::int32_t revision = 0;
    append(&major, 4);
    append(&minor, 4);
    append(&revision, 4);
    const bool wideSeen = major * 10 + minor >= 2;
    const std::uint64_t seen = 0;
    append(&seen, wideSeen ? 8 : 4);
    std::uint32_t state = 99;
    for (std::uint32_t i = 0; i < count; ++i) {
        state = state * 1664525u + 1013904223u;
        // Positive values keep batch-norm variances valid.
        const float value = 0.05f + 0.45f * static_cast<float>(state >> 8) / 16777216.0f;
        append(&value, 4);
    }
    return bytes;
}
