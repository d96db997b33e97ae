// The binary model container and the width/height/depth rule shared by the
// compiler and the runtime.
#include "board_tensor_dims.h"
#include "injection_table.h"
#include "model_container.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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

ModelContainer calibratedModel();

TEST(ModelContainer, EveryTruncationAndFlippedBitIsRefused)
{
    for (const ModelContainer &model : {sampleModel(), calibratedModel()}) {
        const std::vector<std::uint32_t> words = writeModelContainer(model);
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
}

TEST(ModelContainer, ErrorsNameTheProblem)
{
    const std::vector<std::uint32_t> words = writeModelContainer(sampleModel());
    const struct
    {
        std::size_t word;
        std::uint32_t value;
        const char *text;
    } cases[] = {
        {0, 0x12345678, "magic"},        {1, 7, "version 7"},      {2, 3, "says it has 3 words"},
        {3, 9, "source format 9"},       {4, 6, "flags"},          {5, 2, "exactly one input"},
    };
    for (const auto &c : cases) {
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

ModelContainer calibratedModel()
{
    ModelContainer model = sampleModel();
    model.inputs[0].shape = {1, 2, 1, 3};
    model.calibration = {{0.5f, -1.0f, 2.0f, 0.0f, -0.0f, 1e-30f}, {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f}};
    return model;
}

TEST(ModelContainer, CalibrationInputsFollowTheWeightsBehindAFlag)
{
    const ModelContainer model = calibratedModel();
    const std::vector<std::uint32_t> words = writeModelContainer(model);
    EXPECT_EQ(words[4], 3u) << "single slot and calibration flags";
    const ModelContainer read = readModelContainer(words.data(), words.size());
    EXPECT_EQ(read.calibration, model.calibration);
    EXPECT_EQ(writeModelContainer(read), words);
    // Before the checksum: the count, then each input's values as they are.
    EXPECT_EQ(words[words.size() - 14], 2u);
    EXPECT_EQ(words[words.size() - 2], 0x40C00000u) << "6.0f";

    // A model without inputs to calibrate on keeps the version 1 layout.
    ModelContainer plain = model;
    plain.calibration.clear();
    EXPECT_EQ(writeModelContainer(plain)[4], 1u);
    EXPECT_EQ(writeModelContainer(plain).size(), words.size() - 13);
}

TEST(ModelContainer, CalibrationInputsAreCheckedBothWays)
{
    const auto withCalibration = [](std::vector<std::vector<float>> inputs) {
        ModelContainer model = calibratedModel();
        model.calibration = std::move(inputs);
        return model;
    };
    const std::vector<float> good(6, 1.0f);
    const struct
    {
        const char *name;
        ModelContainer model;
        const char *text;
    } cases[] = {
        {"too many", withCalibration(std::vector<std::vector<float>>(17, good)), "1 to 16 calibration inputs"},
        {"short", withCalibration({good, std::vector<float>(5, 1.0f)}), "calibration input 1 has 5 values"},
        {"not a number", withCalibration({{1, 2, 3, NAN, 5, 6}}), "not a finite number"},
        {"infinite", withCalibration({{1, 2, 3, 4, 5, -INFINITY}}), "not a finite number"},
    };
    const std::vector<std::uint32_t> good2 = writeModelContainer(withCalibration({good, good}));
    for (const auto &c : cases) {
        try {
            writeModelContainer(c.model);
            ADD_FAILURE() << c.name << " written";
        } catch (const ModelFormatError &error) {
            EXPECT_NE(std::string(error.what()).find(c.text), std::string::npos) << c.name << ": " << error.what();
        }
        // The reader refuses the same words, written past the writer's checks
        // with a correct length and checksum.
        std::vector<std::uint32_t> words(good2.begin(), good2.end() - 14);
        words.push_back(std::uint32_t(c.model.calibration.size()));
        for (const std::vector<float> &input : c.model.calibration)
            for (float value : input) {
                std::uint32_t bits = 0;
                std::memcpy(&bits, &value, sizeof bits);
                words.push_back(bits);
            }
        words.push_back(0);
        words[2] = std::uint32_t(words.size());
        std::uint32_t hash = 2166136261u;
        for (std::size_t i = 0; i + 1 < words.size(); ++i)
            hash = (hash ^ words[i]) * 16777619u;
        words.back() = hash;
        EXPECT_THROW(readModelContainer(words.data(), words.size()), ModelFormatError) << c.name;
    }
}

TEST(BoardTensorDims, AxisOneIsTheDepthAndTheLastTheWidth)
{
    const struct
    {
        std::vector<std::uint32_t> shape;
        std::uint32_t width, height, depth;
    } cases[] = {
        {{1, 3, 416, 320}, 320, 416, 3}, {{1, 7}, 1, 1, 7},          {{7}, 1, 1, 7},
        {{300, 85}, 1, 300, 85},         {{1, 4, 9}, 9, 1, 4},       {{2, 4, 9}, 9, 2, 4},
        {{1, 2, 3, 4, 5}, 5, 12, 2},     {{}, 1, 1, 1},
    };
    for (const auto &c : cases) {
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
