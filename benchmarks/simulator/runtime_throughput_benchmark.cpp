// Frames per second of a real detector and a real classifier: the engine's
// forward loop run directly, against the simulator runtime with one unit and
// with four units. "Equal concurrency" pairs one raw loop with one unit, and
// four raw loops on four threads with four units driven by one thread the
// way the application's Run Auto drives them. "runtime_board_4ms" gives the
// simulator a board time of 4 ms: with its one input answered from memory,
// four units should deliver about 1000 frames per second.
#include <vrax.h>
#include <vrax_compiler.h>

#include <opencv2/dnn.hpp>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

struct ModelFiles
{
    const char *label;
    const char *network; // .cfg or .onnx
    const char *weights; // DarkNet weights, or nullptr
    std::vector<int> inputShape;
    std::vector<cv::String> outputs;
};

const ModelFiles detector{"yolo-fastest-1.1", "yolo-fastest-1.1.cfg", "yolo-fastest-1.1.weights",
                          {1, 3, 320, 320}, {"conv_120", "conv_129"}};
// The larger detector of the window's targets (BENCHMARKS.md, Run Auto against the engine).
const ModelFiles detectorXl{"yolo-fastest-1.1-xl", "yolo-fastest-1.1-xl.cfg", "yolo-fastest-1.1-xl.weights",
                            {1, 3, 320, 320}, {"conv_120", "conv_129"}};
const ModelFiles classifier{"face_expression_112", "face_expression_112.onnx", nullptr,
                            {1, 3, 112, 112}, {"expressions"}};

std::string modelsDir()
{
    const char *shared = std::getenv("VRAX_SHARED_DIR");
    return (shared ? std::string(shared) : std::string(VRAX_SOURCE_DIR "/../shared")) + "/models/";
}

std::string readFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot open " + path);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

cv::dnn::Net engineNet(const ModelFiles &model)
{
    const std::string network = readFile(modelsDir() + model.network);
    if (!model.weights)
        return cv::dnn::readNetFromONNX(network.data(), network.size());
    const std::string weights = readFile(modelsDir() + model.weights);
    return cv::dnn::readNetFromDarknet(network.data(), network.size(), weights.data(), weights.size());
}

std::vector<std::uint32_t> compile(const ModelFiles &model, bool multiFlag)
{
    const std::string network = readFile(modelsDir() + model.network);
    std::uint32_t *words = nullptr;
    std::uint32_t count = 0;
    std::int32_t code = 0;
    if (!model.weights) {
        code = VRAX_COMPILER_CompileONNX(1, multiFlag, network.data(), static_cast<std::uint32_t>(network.size()),
                                         &words, &count);
    } else {
        const std::string weights = readFile(modelsDir() + model.weights);
        code = VRAX_COMPILER_CompileDarkNet(1, multiFlag, network.data(), static_cast<std::uint32_t>(network.size()),
                                            weights.data(), static_cast<std::uint32_t>(weights.size()), &words,
                                            &count);
    }
    if (code != 0)
        throw std::runtime_error(VRAX_COMPILER_GetLastError());
    std::vector<std::uint32_t> result(words, words + count);
    VRAX_COMPILER_FreeModel(0, words);
    return result;
}

cv::Mat inputBlob(const ModelFiles &model)
{
    cv::Mat blob(static_cast<int>(model.inputShape.size()), model.inputShape.data(), CV_32F);
    cv::randu(blob, 0.0f, 1.0f);
    return blob;
}

using Clock = std::chrono::steady_clock;

std::int64_t framesFor(const ModelFiles &model)
{
    if (std::getenv("VRAX_SIM_BOARD_TIME"))
        return 2000; // two seconds at 4 ms on four units
    return model.weights ? 120 : 360; // about two seconds each
}

// CPU time of the whole process (every thread), in seconds.
double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Wall time gives the throughput; CPU time per frame gives the cost, which
// holds up when other programs take the cores away. Every variant reports the
// same counter (the csv output wants that).
void report(benchmark::State &state, Clock::time_point start, double cpuStart, std::int64_t frames)
{
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    state.SetItemsProcessed(frames);
    state.counters["cpu_ms_per_frame"] = (processCpuSeconds() - cpuStart) * 1000.0 / static_cast<double>(frames);
}

// The engine run directly: state.range(0) threads, each with its own network,
// taking frames from a shared count until all are done.
void rawForward(benchmark::State &state, const ModelFiles &model)
{
    const int threads = static_cast<int>(state.range(0));
    std::vector<cv::dnn::Net> nets;
    try {
        for (int i = 0; i < threads; ++i)
            nets.push_back(engineNet(model));
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
        return;
    }
    const cv::Mat blob = inputBlob(model);
    for (cv::dnn::Net &net : nets) { // warm-up
        std::vector<cv::Mat> outputs;
        net.setInput(blob);
        net.forward(outputs, model.outputs);
    }
    const std::int64_t frames = framesFor(model);
    for (auto _ : state) {
        std::atomic<std::int64_t> left{frames};
        const Clock::time_point start = Clock::now();
        const double cpuStart = processCpuSeconds();
        std::vector<std::thread> workers;
        for (cv::dnn::Net &net : nets) {
            workers.emplace_back([&net, &left, &blob, &model] {
                std::vector<cv::Mat> outputs;
                while (left.fetch_sub(1) > 0) {
                    net.setInput(blob);
                    net.forward(outputs, model.outputs);
                }
            });
        }
        for (std::thread &worker : workers)
            worker.join();
        report(state, start, cpuStart, frames);
    }
}

// One loop with the engine's own thread pool of state.range(0) threads: what
// a unit would get if the runtime left the engine's threading on.
void rawForwardEngineThreads(benchmark::State &state, const ModelFiles &model)
{
    cv::dnn::Net net;
    try {
        net = engineNet(model);
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
        return;
    }
    const int before = cv::getNumThreads();
    cv::setNumThreads(static_cast<int>(state.range(0)));
    const cv::Mat blob = inputBlob(model);
    std::vector<cv::Mat> outputs;
    net.setInput(blob);
    net.forward(outputs, model.outputs);
    const std::int64_t frames = framesFor(model);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = processCpuSeconds();
        for (std::int64_t frame = 0; frame < frames; ++frame) {
            net.setInput(blob);
            net.forward(outputs, model.outputs);
        }
        report(state, start, cpuStart, frames);
    }
    cv::setNumThreads(before);
}

// The runtime, one thread submitting frames to units 0..U-1 in turn and
// fetching each unit's previous frame before giving it the next, as the
// application's Run Auto does.
void runtimeUnits(benchmark::State &state, const ModelFiles &model)
{
    const bool fourUnits = state.range(0) == 4;
    std::vector<std::uint32_t> words;
    try {
        words = compile(model, fourUnits);
    } catch (const std::exception &error) {
        state.SkipWithError(error.what());
        return;
    }
    VRAX_Handle handle = 0;
    VRAX_Create(&handle);
    const std::uint32_t *const models[4] = {words.data(), words.data(), words.data(), words.data()};
    const std::uint32_t size = static_cast<std::uint32_t>(words.size());
    const std::uint32_t sizes[4] = {size, size, size, size};
    if (VRAX_Initialize(handle, 0, 0, 0, models, sizes) != VRAX_RESULT_OK) {
        state.SkipWithError("VRAX_Initialize failed");
        return;
    }
    VRAX_ModelInfo info{};
    VRAX_GetModelInfo(handle, 0, &info);
    const std::uint32_t units = info.single_slot ? 1u : 4u;

    const VRAX_TensorDims in = info.inputs[0];
    std::vector<float> input(std::size_t(in.width) * in.height * ((in.depth + 1) / 2 * 2));
    cv::randu(cv::Mat(1, static_cast<int>(input.size()), CV_32F, input.data()), 0.0f, 1.0f);
    const float *const inputs[1] = {input.data()};
    std::vector<std::vector<float>> outputs;
    std::vector<float *> outputPointers;
    for (std::uint32_t i = 0; i < info.output_count; ++i)
        outputs.emplace_back(std::size_t(info.outputs[i].width) * info.outputs[i].height * info.outputs[i].depth);
    for (std::vector<float> &output : outputs)
        outputPointers.push_back(output.data());

    std::vector<bool> loaded(units, false);
    double fps = 0.0;
    const auto finish = [&](std::uint32_t unit) {
        std::uint32_t status = VRAX_STATUS_BUSY;
        while (status == VRAX_STATUS_BUSY)
            VRAX_GetStatus(handle, unit, &status);
        VRAX_GetOutput(handle, unit, outputPointers.data(), &fps);
        loaded[unit] = false;
    };
    for (std::uint32_t unit = 0; unit < units; ++unit) { // warm-up
        VRAX_Process(handle, unit, inputs);
        finish(unit);
    }
    const std::int64_t frames = framesFor(model);
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const double cpuStart = processCpuSeconds();
        std::uint32_t next = 0;
        for (std::int64_t frame = 0; frame < frames; ++frame) {
            if (loaded[next])
                finish(next);
            VRAX_Process(handle, next, inputs);
            loaded[next] = true;
            next = (next + 1) % units;
        }
        for (std::uint32_t unit = 0; unit < units; ++unit) {
            if (loaded[unit])
                finish(unit);
        }
        report(state, start, cpuStart, frames);
    }
    // A label, not a counter: the csv output wants the same counters in every run.
    state.SetLabel("board_fps=" + std::to_string(static_cast<int>(fps + 0.5)));
    VRAX_Destroy(handle);
}

// The same with every simulator unit taking 4 ms per frame.
void runtimeUnitsOfBoardTime(benchmark::State &state, const ModelFiles &model)
{
    setenv("VRAX_SIM_BOARD_TIME", "0:4ms", 1);
    runtimeUnits(state, model);
    unsetenv("VRAX_SIM_BOARD_TIME");
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// How much of the two cores this process gets at the moment: two threads spin
// for a second; their CPU time over the wall time (2.0 on an idle machine).
// The figure (label "cores=") puts the other figures of a round in context.
void coresAvailable(benchmark::State &state)
{
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        std::atomic<double> cpu{0.0};
        std::vector<std::thread> spinners;
        for (int i = 0; i < 2; ++i) {
            spinners.emplace_back([&cpu, start] {
                const double begin = threadCpuSeconds();
                volatile double sink = 0.0;
                while (Clock::now() - start < std::chrono::seconds(1))
                    for (int k = 0; k < 1000; ++k)
                        sink = sink + k;
                double expected = cpu.load();
                const double used = threadCpuSeconds() - begin;
                while (!cpu.compare_exchange_weak(expected, expected + used)) {
                }
            });
        }
        for (std::thread &spinner : spinners)
            spinner.join();
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(wall);
        char label[32];
        std::snprintf(label, sizeof label, "cores=%.2f", cpu.load() / wall);
        state.SetLabel(label);
        state.counters["cpu_ms_per_frame"] = 0.0;
    }
}

void registerAll()
{
    benchmark::RegisterBenchmark("machine/cores_available", coresAvailable)
        ->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
    for (const ModelFiles *model : {&detector, &detectorXl, &classifier}) {
        const std::string label = model->label;
        benchmark::RegisterBenchmark(("raw_forward/" + label).c_str(), rawForward, *model)
            ->ArgName("threads")->Arg(1)->Arg(2)->Arg(4)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
        benchmark::RegisterBenchmark(("raw_forward_engine_threads/" + label).c_str(), rawForwardEngineThreads, *model)
            ->ArgName("engine_threads")->Arg(2)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
        benchmark::RegisterBenchmark(("runtime/" + label).c_str(), runtimeUnits, *model)
            ->ArgName("units")->Arg(1)->Arg(4)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
        benchmark::RegisterBenchmark(("runtime_board_4ms/" + label).c_str(), runtimeUnitsOfBoardTime, *model)
            ->ArgName("units")->Arg(4)->UseManualTime()->Iterations(1)->Unit(benchmark::kSecond);
    }
}

} // namespace

int main(int argc, char **argv)
{
    // The runtime gives each unit one engine thread; the raw loops get the
    // same from the start (a fresh process would otherwise use the engine's
    // pool until the runtime's first session sets it).
    cv::setNumThreads(1);
    registerAll();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
