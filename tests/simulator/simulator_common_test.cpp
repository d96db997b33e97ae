// The binary model container and the width/height/depth rule shared by the
// compiler and the runtime.
#include "board_tensor_dims.h"
#include "injection_table.h"
#include "model_container.h"

#include <gtest/gtest.h>

#include <string>

namespace {

ModelContainer sampleModel()
{
    ModelContainer model;
    model.sourceFormat = ModelSourceFormat::DarkNet;
    model.singleSlot = true;
    model.inputs.push_back({"", {1, 3, 320, 320}});
    model.outputs.push_back({"conv_120", {1, 255, 10, 10}});
    model.outputs.push_back({"conv_129", {1, 255, 20, 20}});
    model.network = {'[', 'n', 'e', 't', ']', '\n', 'x'}; // 7 bytes: padding in the last word
    model.weights = {1, 2, 3, 4, 5};
    return model;
}

TEST(ModelContainer, EveryTruncationAndFlippedBitIsRefused)
{
    const std::vector<std::uint32_t> words = writeModelContainer(sampleModel());
    for (std::size_t length = 0; length <= words.size() + 1; ++length) {
        if (length == words.size())
            continue; // the model itself; one word more is refused too
        std::vector<std::uint32_t> changed = words;
        changed.resize(length);
        EXPECT_THROW(readModelContainer(changed.data(), changed.size()), ModelFormatError) << "length " << length;
    }
    for (std::size_t word = 0; word < words.size(); ++word) {
        for (int bit : {0, 7, 31}) {
            std::vector<std::uint32_t> damaged = words;
            damaged[word] ^= 1u << bit;
            EXPECT_THROW(readModelContainer(damaged.data(), damaged.size()), ModelFormatError)
                << "word " << word << " bit " << bit;
        }
    }
}

TEST(ModelContainer, ErrorsNameTheProblem)
{
    const std::vector<std::uint32_t> words = writeModelContainer(sampleModel());
    struct Case
    {
        std::size_t word;
        std::uint32_t value;
        const char *text;
    };
    const Case cases[] = {
        {0, 0x12345678, "magic"},        {1, 7, "version 7"},      {2, 3, "says it has 3 words"},
        {3, 9, "source format 9"},       {4, 6, "flags"},          {5, 2, "exactly one input"},
    };
    for (const Case &c : cases) {
        std::vector<std::uint32_t> damaged = words;
        damaged[c.word] = c.value;
        try {
            readModelContainer(damaged.data(), damaged.size());
            ADD_FAILURE() << "word " << c.word << " accepted";
        } catch (const ModelFormatError &error) {
            EXPECT_NE(std::string(error.what()).find(c.text), std::string::npos) << error.what();
        }
    }
}

TEST(ModelContainer, WriterRefusesWhatTheReaderWouldRefuse)
{
    ModelContainer twoInputs = sampleModel();
    twoInputs.inputs.push_back(twoInputs.inputs[0]);
    ModelContainer nineOutputs = sampleModel();
    nineOutputs.outputs.resize(9, nineOutputs.outputs[0]);
    ModelContainer zeroDim = sampleModel();
    zeroDim.outputs[0].shape[2] = 0;
    ModelContainer huge = sampleModel();
    huge.inputs[0].shape = {1, 65536, 65536, 4};
    ModelContainer noNetwork = sampleModel();
    noNetwork.network.clear();
    ModelContainer onnxWithWeights = sampleModel();
    onnxWithWeights.sourceFormat = ModelSourceFormat::Onnx;
    for (const ModelContainer *model : {&twoInputs, &nineOutputs, &zeroDim, &huge, &noNetwork, &onnxWithWeights})
        EXPECT_THROW(writeModelContainer(*model), ModelFormatError);
}

TEST(BoardTensorDims, AxisOneIsTheDepthAndTheLastTheWidth)
{
    struct Case
    {
        std::vector<std::uint32_t> shape;
        std::uint32_t width, height, depth;
    };
    const Case cases[] = {
        {{1, 3, 416, 320}, 320, 416, 3}, {{1, 7}, 1, 1, 7},          {{7}, 1, 1, 7},
        {{300, 85}, 1, 300, 85},         {{1, 4, 9}, 9, 1, 4},       {{2, 4, 9}, 9, 2, 4},
        {{1, 2, 3, 4, 5}, 5, 12, 2},     {{}, 1, 1, 1},
    };
    for (const Case &c : cases) {
        const BoardTensorDims dims = boardTensorDims(c.shape);
        EXPECT_EQ(dims.width, c.width) << shapeText(c.shape);
        EXPECT_EQ(dims.height, c.height) << shapeText(c.shape);
        EXPECT_EQ(dims.depth, c.depth) << shapeText(c.shape);
    }
}

TEST(InjectionSyntax, ParsesFaultsAndDelays)
{
    std::string faults, delays;
    for (const InjectedFault &fault : parseFaultList(" VRAX_Process=13@5 , VRAX_GetStatus=21,"))
        faults += fault.target + "=" + std::to_string(fault.code) + "@" + std::to_string(fault.afterCalls) + " ";
    EXPECT_EQ(faults, "VRAX_Process=13@5 VRAX_GetStatus=21@0 ");
    for (const InjectedDelay &delay : parseDelayList("VRAX_Process=20ms,frame=2s,VRAX_Blink=500us,x=7"))
        delays += delay.target + "=" + std::to_string(delay.duration.count()) + "us ";
    EXPECT_EQ(delays, "VRAX_Process=20000us frame=2000000us VRAX_Blink=500us x=7000us ");

    for (const char *bad : {"VRAX_Process", "=13", "VRAX_Process=x", "VRAX_Process=0", "VRAX_Process=13@",
                            "VRAX_Process=-3"})
        EXPECT_THROW(parseFaultList(bad), std::invalid_argument) << bad;
    for (const char *bad : {"frame=10h", "frame=", "frame=-5ms", "frame"})
        EXPECT_THROW(parseDelayList(bad), std::invalid_argument) << bad;
}

} // namespace
