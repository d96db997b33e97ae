// Helpers of the simulator tests: compiling models, opening sessions, and
// the board tensor layouts written out plainly (independently of the
// runtime's own conversion code) to feed it and read it.
#pragma once

#include <vrax.h>

#include <opencv2/dnn.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

std::string readWholeFile(const std::string &path);

struct CompileResult
{
    std::int32_t code = -1;
    std::string error;
    std::vector<std::uint32_t> words;
};

CompileResult compileOnnx(const std::string &onnx, bool multiFlag = true);
CompileResult compileDarknet(const std::string &cfg, const std::string &weights);

// Compiles and fails the test (by throwing) when compilation fails.
std::vector<std::uint32_t> compiledOnnx(const std::string &onnx, bool multiFlag = true);
std::vector<std::uint32_t> compiledDarknet(const std::string &cfg, const std::string &weights);

// Initializes a handle with the same model in all four slots.
std::int32_t initializeWith(VRAX_Handle handle, const std::vector<std::uint32_t> &model,
                            std::uint32_t boardType = 0, std::uint32_t boardIndex = 0);

// A created and initialised runtime session, destroyed at the end of scope.
class TestSession
{
public:
    explicit TestSession(const std::vector<std::uint32_t> &model, std::uint32_t boardType = 0,
                         std::uint32_t boardIndex = 0);
    ~TestSession();
    TestSession(const TestSession &) = delete;
    TestSession &operator=(const TestSession &) = delete;

    // Submits a frame, waits for it, and returns its outputs.
    std::vector<std::vector<float>> run(std::uint32_t unit, const std::vector<float> &input);
    void submit(std::uint32_t unit, const std::vector<float> &input);
    void waitIdle(std::uint32_t unit);
    std::vector<std::vector<float>> fetch(std::uint32_t unit, double *framesPerSecond = nullptr);
    std::uint32_t unitCount() const { return info.single_slot ? 1u : 4u; }

    VRAX_Handle handle = 0;
    VRAX_ModelInfo info{};
};

// A blob of the given shape filled with deterministic values in [low, high).
cv::Mat randomBlob(const std::vector<int> &shape, std::uint32_t seed, float low = 0.0f, float high = 1.0f);

// The board input layouts of a [1,C,H,W] (or [1,K]) blob. Padding values are
// filled with junk, which the runtime must ignore.
std::vector<float> interleavedInput(const cv::Mat &blob);
std::vector<float> planarInput(const cv::Mat &blob);

// A network output read depth-last, the way the runtime delivers it.
std::vector<float> depthLast(const cv::Mat &output);

// Runs the engine directly: the reference that the runtime must match.
std::vector<cv::Mat> referenceForward(cv::dnn::Net &net, const cv::Mat &blob,
                                      const std::vector<std::string> &outputNames);

// Compares element by element with a relative and absolute tolerance of 1e-5.
::testing::AssertionResult nearlyEqual(const std::vector<float> &actual, const std::vector<float> &expected);
