// Cost of interpreting a frame: YOLO decoding and suppression, detection
// drawing and the segmentation overlay, next to the forward pass of a real
// detector run with OpenCV's DNN module.
#include "results/class_colours.h"
#include "results/detection_drawing.h"
#include "results/frame_result.h"
#include "results/result_painter.h"
#include "results/segmentation_overlay.h"
#include "results/yolo_decoder.h"

#include <QApplication>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>
#include <opencv2/dnn.hpp>

#include <random>

namespace {

std::string sharedModels()
{
    const QByteArray fromEnvironment = qgetenv("VRAX_SHARED_DIR");
    const QString root = fromEnvironment.isEmpty() ? QStringLiteral(VRAX_SOURCE_DIR "/../shared")
                                                   : QString::fromLocal8Bit(fromEnvironment);
    const QFileInfo models(root + QStringLiteral("/models"));
    return models.isDir() ? models.canonicalFilePath().toStdString() + "/" : std::string();
}

NnDescription cocoDescription(NetworkKind kind, std::vector<double> anchors)
{
    NnDescription description;
    description.neural_network = kind;
    for (int k = 0; k < 80; ++k)
        description.labels.push_back("class" + std::to_string(k));
    description.yolo_anchors = std::move(anchors);
    description.yolo_confidence_threshold = 0.25;
    description.yolo_iou_threshold = 0.45;
    return description;
}

// yolo5 heads for a 640 x 640 input: 80 x 80, 40 x 40 and 20 x 20 cells of
// 3 anchors x 85 values. Objectness is very negative except at `objects`
// anchors, as in a real frame.
struct Yolo5Frame
{
    NnDescription description = cocoDescription(
        NetworkKind::Yolo5, {1.25, 1.625, 2, 3.75, 4.125, 2.875, 1.875, 3.8125, 3.875, 2.8125, 3.6875, 7.4375,
                             3.625, 2.8125, 4.875, 6.1875, 11.65625, 10.1875});
    std::vector<TensorDims> dims{{80, 80, 255}, {40, 40, 255}, {20, 20, 255}};
    OutputBuffers outputs;

    explicit Yolo5Frame(int objects)
    {
        std::mt19937 random(7);
        std::normal_distribution<float> raw(0.0f, 1.5f);
        std::normal_distribution<float> background(-9.0f, 1.5f);
        std::vector<std::pair<std::size_t, std::size_t>> anchors; // (output, offset)
        for (const TensorDims &d : dims) {
            std::vector<float> values(elementCount(d));
            for (std::size_t i = 0; i < values.size(); ++i)
                values[i] = i % 85 == 4 ? background(random) : raw(random) - (i % 85 >= 5 ? 3.0f : 0.0f);
            for (std::size_t at = 0; at < values.size(); at += 85)
                anchors.emplace_back(outputs.size(), at);
            outputs.push_back(std::move(values));
        }
        std::shuffle(anchors.begin(), anchors.end(), random);
        std::uniform_real_distribution<float> present(1.0f, 6.0f);
        for (int i = 0; i < objects; ++i) {
            float *anchor = outputs[anchors[std::size_t(i)].first].data() + anchors[std::size_t(i)].second;
            anchor[4] = present(random);
            anchor[5 + i % 80] = present(random);
        }
    }
};

// With a second argument of 1, each run follows some Qt image work (as in the
// application, where the picture was just loaded and shown).
void decodeYolo5(benchmark::State &state)
{
    const Yolo5Frame frame(int(state.range(0)));
    QImage picture(640, 640, QImage::Format_RGB32);
    std::size_t kept = 0;
    for (auto _ : state) {
        if (state.range(1) == 1) {
            state.PauseTiming();
            picture.fill(qRgb(90, 120, 160));
            state.ResumeTiming();
        }
        const auto detections =
            decodeDetections(frame.outputs, frame.dims, {640, 640, 3}, QSize(640, 640), frame.description);
        kept = detections.size();
        benchmark::DoNotOptimize(detections.data());
    }
    state.counters["kept"] = double(kept);
}
BENCHMARK(decodeYolo5)->Args({0, 0})->Args({300, 0})->Args({300, 1})->Args({1000, 0})->Unit(benchmark::kMicrosecond);

cv::dnn::Net yoloFastest()
{
    const std::string models = sharedModels();
    if (models.empty())
        return {};
    cv::dnn::Net net = cv::dnn::readNetFromDarknet(models + "yolo-fastest-1.1.cfg", models + "yolo-fastest-1.1.weights");
    net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
    return net;
}

cv::Mat randomPictureBlob(int size)
{
    cv::Mat blob(std::vector<int>{1, 3, size, size}, CV_32F);
    cv::randu(blob, 0.0f, 1.0f);
    return blob;
}

// One forward pass of the real detector, at its own input size and at 640.
void yoloFastestForward(benchmark::State &state)
{
    cv::dnn::Net net = yoloFastest();
    if (net.empty()) {
        state.SkipWithError("the shared models folder is missing");
        return;
    }
    const cv::Mat blob = randomPictureBlob(int(state.range(0)));
    const std::vector<cv::String> heads{"conv_120", "conv_129"};
    std::vector<cv::Mat> outputs;
    net.setInput(blob);
    net.forward(outputs, heads); // first run allocates
    for (auto _ : state) {
        net.setInput(blob);
        net.forward(outputs, heads);
    }
}
BENCHMARK(yoloFastestForward)->Arg(320)->Arg(640)->Unit(benchmark::kMicrosecond);

// Decoding the same detector's real raw heads (80 classes, 10 x 10 and 20 x 20 cells).
void decodeYoloFastestHeads(benchmark::State &state)
{
    cv::dnn::Net net = yoloFastest();
    if (net.empty()) {
        state.SkipWithError("the shared models folder is missing");
        return;
    }
    cv::Mat blob = randomPictureBlob(320);
    net.setInput(blob);
    std::vector<cv::Mat> heads;
    net.forward(heads, std::vector<cv::String>{"conv_120", "conv_129"});
    OutputBuffers outputs;
    std::vector<TensorDims> dims;
    for (const cv::Mat &head : heads) {
        const int depth = head.size[1], height = head.size[2], width = head.size[3];
        std::vector<float> values(head.total());
        const float *in = head.ptr<float>();
        for (int k = 0; k < depth; ++k)
            for (int i = 0; i < width * height; ++i)
                values[std::size_t(i * depth + k)] = *in++;
        outputs.push_back(std::move(values));
        dims.push_back({std::uint32_t(width), std::uint32_t(height), std::uint32_t(depth)});
    }
    const NnDescription description =
        cocoDescription(NetworkKind::Yolo3, {12, 18, 37, 49, 52, 132, 115, 73, 119, 199, 242, 238});
    for (auto _ : state)
        benchmark::DoNotOptimize(decodeDetections(outputs, dims, {320, 320, 3}, QSize(320, 320), description));
}
BENCHMARK(decodeYoloFastestHeads)->Unit(benchmark::kMicrosecond);

// Colours, a copy of the picture and 20 boxes with labels placed clear of
// one another, at the picture's own resolution.
void drawTwentyDetections(benchmark::State &state)
{
    QImage picture(640, 640, QImage::Format_RGB32);
    picture.fill(qRgb(90, 120, 160));
    std::vector<Detection> detections;
    std::mt19937 random(3);
    std::uniform_int_distribution<int> position(0, 560), size(20, 200);
    for (int i = 0; i < 20; ++i) {
        Detection d;
        d.x = position(random), d.y = position(random), d.width = size(random), d.height = size(random);
        d.confidence = 0.9 - i * 0.02;
        d.classIndex = i % 5;
        detections.push_back(d);
    }
    const std::vector<std::string> labels{"person", "bicycle", "car", "motorbike", "aeroplane"};
    ResultPlacement placement;
    placement.visible = picture.rect();
    placement.networkArea = QRectF(picture.rect());
    placement.font = detectionLabelFont();
    for (auto _ : state) {
        FrameResult result;
        result.detections = detections;
        assignClassColours(result.detections);
        QImage canvas = picture;
        QPainter painter(&canvas);
        drawFrameResult(painter, result, labels, placement);
        painter.end();
        benchmark::DoNotOptimize(canvas.constBits());
    }
}
BENCHMARK(drawTwentyDetections)->Unit(benchmark::kMicrosecond);

// A 256 x 256 map of depth 1 or 2, decoded into classes and painted over a
// picture of the same size (about half of the pixels painted), or over a
// picture twice as large.
void segmentationOverlay(benchmark::State &state)
{
    const std::uint32_t depth = std::uint32_t(state.range(0));
    const int pictureSize = int(state.range(1));
    ModelDims dims;
    dims.outputs = {{256, 256, depth}};
    NnDescription description;
    description.neural_network = NetworkKind::Unet;
    std::vector<float> values(elementCount(dims.outputs.front()));
    std::mt19937 random(5);
    std::uniform_real_distribution<float> score(-2.0f, 2.0f);
    for (float &v : values)
        v = depth == 1 ? (score(random) + 2.0f) / 4.0f : score(random);
    const QImage clean = [&] {
        QImage image(pictureSize, pictureSize, QImage::Format_RGB32);
        image.fill(qRgb(90, 120, 160));
        return image;
    }();
    for (auto _ : state) {
        QImage picture = clean;
        const ClassMap map = decodeFrameResult({values}, dims, description).classMap;
        paintClassMap(picture, map, segmentationColours());
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(segmentationOverlay)->Args({1, 256})->Args({2, 256})->Args({2, 512})->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv); // fonts for the labels
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
