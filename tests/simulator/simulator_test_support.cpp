#include "simulator_test_support.h"

#include <vrax_compiler.h>
#include <vrax_sim.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

constexpr float junk = 12345.0f;

// The reference runs use the engine as the libraries set it up (one thread),
// so that results compare like with like whichever runs first.
[[maybe_unused]] const bool engineLikeTheLibraries = [] {
    cv::setNumThreads(1);
    return true;
}();

struct BlobView
{
    int channels = 1;
    int height = 1;
    int width = 1;
};

BlobView viewOf(const cv::Mat &blob)
{
    if (blob.dims == 4)
        return {blob.size[1], blob.size[2], blob.size[3]};
    if (blob.dims == 2)
        return {blob.size[1], 1, 1};
    throw std::invalid_argument("test layouts handle [1,C,H,W] and [1,K] blobs");
}

} // namespace

std::string readWholeFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot open " + path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

namespace {

CompileResult finish(std::int32_t code, std::uint32_t *model, std::uint32_t words)
{
    CompileResult result;
    result.code = code;
    if (code == VRAX_COMPILER_RESULT_OK) {
        result.words.assign(model, model + words);
        VRAX_COMPILER_FreeModel(0, model);
    } else {
        result.error = VRAX_COMPILER_GetLastError();
    }
    return result;
}

std::vector<std::uint32_t> wordsOrThrow(const CompileResult &result)
{
    if (result.code != VRAX_COMPILER_RESULT_OK)
        throw std::runtime_error("compilation failed with code " + std::to_string(result.code) + ": "
                                 + result.error);
    return result.words;
}

} // namespace

CompileResult compileOnnx(const std::string &onnx, bool multiFlag)
{
    std::uint32_t *model = nullptr;
    std::uint32_t words = 0;
    const std::int32_t code = VRAX_COMPILER_CompileONNX(1, multiFlag, onnx.data(),
                                                        static_cast<std::uint32_t>(onnx.size()), &model, &words);
    return finish(code, model, words);
}

CompileResult compileDarknet(const std::string &cfg, const std::string &weights)
{
    std::uint32_t *model = nullptr;
    std::uint32_t words = 0;
    const std::int32_t code = VRAX_COMPILER_CompileDarkNet(
        1, true, cfg.data(), static_cast<std::uint32_t>(cfg.size()), weights.data(),
        static_cast<std::uint32_t>(weights.size()), &model, &words);
    return finish(code, model, words);
}

std::vector<std::uint32_t> compiledOnnx(const std::string &onnx, bool multiFlag)
{
    return wordsOrThrow(compileOnnx(onnx, multiFlag));
}

std::vector<std::uint32_t> compiledDarknet(const std::string &cfg, const std::string &weights)
{
    return wordsOrThrow(compileDarknet(cfg, weights));
}

std::int32_t initializeWith(VRAX_Handle handle, const std::vector<std::uint32_t> &model,
                            std::uint32_t boardType, std::uint32_t boardIndex)
{
    const std::uint32_t *const models[VRAX_MODEL_SLOTS] = {model.data(), model.data(), model.data(),
                                                           model.data()};
    const std::uint32_t size = static_cast<std::uint32_t>(model.size());
    const std::uint32_t sizes[VRAX_MODEL_SLOTS] = {size, size, size, size};
    return VRAX_Initialize(handle, boardType, boardIndex, 0, models, sizes);
}

TestSession::TestSession(const std::vector<std::uint32_t> &model, std::uint32_t boardType,
                         std::uint32_t boardIndex)
{
    if (VRAX_Create(&handle) != VRAX_RESULT_OK)
        throw std::runtime_error("VRAX_Create failed");
    const std::int32_t code = initializeWith(handle, model, boardType, boardIndex);
    if (code != VRAX_RESULT_OK)
        throw std::runtime_error("VRAX_Initialize failed with code " + std::to_string(code) + ": "
                                 + VRAX_SIM_GetLastError());
    if (VRAX_GetModelInfo(handle, 0, &info) != VRAX_RESULT_OK)
        throw std::runtime_error("VRAX_GetModelInfo failed");
}

TestSession::~TestSession()
{
    VRAX_Destroy(handle);
}

void TestSession::submit(std::uint32_t unit, const std::vector<float> &input)
{
    const float *const inputs[1] = {input.data()};
    const std::int32_t code = VRAX_Process(handle, unit, inputs);
    if (code != VRAX_RESULT_OK)
        throw std::runtime_error("VRAX_Process failed with code " + std::to_string(code));
}

void TestSession::waitIdle(std::uint32_t unit)
{
    std::uint32_t status = VRAX_STATUS_BUSY;
    while (status == VRAX_STATUS_BUSY) {
        const std::int32_t code = VRAX_GetStatus(handle, unit, &status);
        if (code != VRAX_RESULT_OK)
            throw std::runtime_error("VRAX_GetStatus failed with code " + std::to_string(code));
    }
}

std::vector<std::vector<float>> TestSession::fetch(std::uint32_t unit, double *framesPerSecond)
{
    std::vector<std::vector<float>> outputs;
    std::vector<float *> pointers;
    for (std::uint32_t i = 0; i < info.output_count; ++i) {
        const VRAX_TensorDims &dims = info.outputs[i];
        outputs.emplace_back(std::size_t(dims.width) * dims.height * dims.depth, -1.0f);
    }
    for (std::vector<float> &output : outputs)
        pointers.push_back(output.data());
    double fps = 0.0;
    const std::int32_t code = VRAX_GetOutput(handle, unit, pointers.data(), &fps);
    if (code != VRAX_RESULT_OK)
        throw std::runtime_error("VRAX_GetOutput failed with code " + std::to_string(code) + ": "
                                 + VRAX_SIM_GetLastError());
    if (framesPerSecond)
        *framesPerSecond = fps;
    return outputs;
}

std::vector<std::vector<float>> TestSession::run(std::uint32_t unit, const std::vector<float> &input)
{
    submit(unit, input);
    waitIdle(unit);
    return fetch(unit);
}

cv::Mat randomBlob(const std::vector<int> &shape, std::uint32_t seed, float low, float high)
{
    cv::Mat blob(static_cast<int>(shape.size()), shape.data(), CV_32F);
    cv::RNG rng(seed);
    rng.fill(blob, cv::RNG::UNIFORM, low, high);
    return blob;
}

namespace {

// The blob's value (c, y, x) copied to where place(c, y, x) says, the rest filled.
template <typename Place>
std::vector<float> rearranged(const cv::Mat &blob, std::size_t size, float fill, Place place)
{
    const BlobView v = viewOf(blob);
    std::vector<float> values(size, fill);
    const float *source = blob.ptr<float>();
    for (int c = 0; c < v.channels; ++c)
        for (int y = 0; y < v.height; ++y)
            for (int x = 0; x < v.width; ++x)
                values[place(std::size_t(c), std::size_t(y), std::size_t(x))] = *source++;
    return values;
}

} // namespace

std::vector<float> interleavedInput(const cv::Mat &blob)
{
    const BlobView v = viewOf(blob);
    const std::size_t depth = std::size_t(v.channels + 1) / 2 * 2;
    return rearranged(blob, std::size_t(v.width) * v.height * depth, junk,
                      [&](std::size_t c, std::size_t y, std::size_t x) { return (y * v.width + x) * depth + c; });
}

std::vector<float> planarInput(const cv::Mat &blob)
{
    const BlobView v = viewOf(blob);
    const std::size_t row = std::size_t(v.width + 1) / 2 * 2;
    return rearranged(blob, row * v.height * v.channels, junk,
                      [&](std::size_t c, std::size_t y, std::size_t x) { return (c * v.height + y) * row + x; });
}

std::vector<float> depthLast(const cv::Mat &output)
{
    const BlobView v = viewOf(output);
    return rearranged(output, output.total(), 0.0f,
                      [&](std::size_t c, std::size_t y, std::size_t x) { return (y * v.width + x) * v.channels + c; });
}

std::vector<cv::Mat> referenceForward(cv::dnn::Net &net, const cv::Mat &blob,
                                      const std::vector<std::string> &outputNames)
{
    net.setInput(blob);
    std::vector<cv::Mat> outputs;
    net.forward(outputs, std::vector<cv::String>(outputNames.begin(), outputNames.end()));
    for (cv::Mat &output : outputs)
        output = output.clone();
    return outputs;
}

::testing::AssertionResult nearlyEqual(const std::vector<float> &actual, const std::vector<float> &expected)
{
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << "sizes differ: " << actual.size() << " vs " << expected.size();
    std::size_t mismatches = 0;
    std::size_t first = 0;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        const float limit = 1e-5f * std::max(1.0f, std::fabs(expected[i]));
        if (!(std::fabs(actual[i] - expected[i]) <= limit)) {
            if (mismatches++ == 0)
                first = i;
        }
    }
    if (mismatches == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << mismatches << " of " << actual.size() << " values differ; first at "
                                         << first << ": " << actual[first] << " vs " << expected[first];
}
