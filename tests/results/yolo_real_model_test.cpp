// Decoding the raw heads of real detectors, run with OpenCV's DNN module: the
// results must equal a plain decode of the same numbers and show the objects
// that the models are known to find.
#include "reference_decode.h"
#include "results/yolo_decoder.h"
#include "support/shared_data.h"

#include <QImage>
#include <QString>

#include <gtest/gtest.h>
#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

#include <array>

namespace {

// The picture resized to the network input, as an NCHW blob of
// pixel / 255 + adder in RGB order.
cv::Mat inputBlob(const std::string &path, int size, const std::array<float, 3> &adder)
{
    QImage picture(QString::fromStdString(path));
    picture = picture.convertToFormat(QImage::Format_RGB888);
    const cv::Mat rgb(picture.height(), picture.width(), CV_8UC3, picture.bits(), std::size_t(picture.bytesPerLine()));
    cv::Mat resized;
    cv::resize(rgb, resized, cv::Size(size, size), 0, 0, cv::INTER_LINEAR);
    const int shape[] = {1, 3, size, size};
    cv::Mat blob(4, shape, CV_32F);
    float *out = blob.ptr<float>();
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                *out++ = resized.at<cv::Vec3b>(y, x)[c] / 255.0f + adder[std::size_t(c)];
    return blob;
}

// OpenCV gives NCHW; the application's outputs are depth-last.
void addDepthLast(const cv::Mat &nchw, OutputBuffers &outputs, std::vector<TensorDims> &dims)
{
    const int depth = nchw.size[1], height = nchw.size[2], width = nchw.size[3];
    const float *in = nchw.ptr<float>();
    std::vector<float> values(nchw.total());
    for (int k = 0; k < depth; ++k)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                values[std::size_t((y * width + x) * depth + k)] = *in++;
    outputs.push_back(std::move(values));
    dims.push_back({std::uint32_t(width), std::uint32_t(height), std::uint32_t(depth)});
}

// The detection of a class near a box given in the original picture's pixels.
void expectFound(const std::vector<Detection> &found, int classIndex, double confidence, std::array<double, 4> box,
                 double scaleX, double scaleY)
{
    for (const Detection &d : found) {
        if (d.classIndex != classIndex)
            continue;
        EXPECT_NEAR(d.confidence, confidence, 2e-3);
        EXPECT_NEAR(d.x, box[0] * scaleX, 2.0);
        EXPECT_NEAR(d.y, box[1] * scaleY, 2.0);
        EXPECT_NEAR(d.x + d.width, box[2] * scaleX, 2.0);
        EXPECT_NEAR(d.y + d.height, box[3] * scaleY, 2.0);
        return;
    }
    ADD_FAILURE() << "class " << classIndex << " not found";
}

} // namespace

TEST(YoloRealModels, DarknetDetectorHeadsDecodeAsYolo3)
{
    VRAX_REQUIRE_SHARED_DATA();
    const std::string models = sharedModelsDir() + "/";
    cv::dnn::Net net = cv::dnn::readNetFromDarknet(models + "yolo-fastest-1.1.cfg", models + "yolo-fastest-1.1.weights");
    net.setInput(inputBlob(sharedPicturesDir() + "/dog.jpg", 320, {0, 0, 0}));
    std::vector<cv::Mat> heads;
    net.forward(heads, std::vector<cv::String>{"conv_120", "conv_129"});

    NnDescription description;
    description.neural_network = NetworkKind::Yolo3;
    for (int k = 0; k < 80; ++k)
        description.labels.push_back(std::to_string(k));
    description.yolo_anchors = {12, 18, 37, 49, 52, 132, 115, 73, 119, 199, 242, 238};
    description.yolo_confidence_threshold = 0.25;
    description.yolo_iou_threshold = 0.45;
    OutputBuffers outputs;
    std::vector<TensorDims> dims;
    for (const cv::Mat &head : heads)
        addDepthLast(head, outputs, dims);
    ASSERT_EQ(dims[0].width, 10u);
    ASSERT_EQ(dims[1].depth, 255u);

    const auto found = decodeDetections(outputs, dims, {320, 320, 3}, QSize(320, 320), description);
    expectSameDetections(found, referenceDecode(outputs, dims, 320, 320, 320, 320, description));
    ASSERT_FALSE(found.empty());
    constexpr int car = 2, dog = 16, cat = 15;
    EXPECT_EQ(found[0].classIndex, car);
    expectFound(found, car, 0.8967, {454.1, 76.4, 684.6, 180.4}, 320.0 / 768, 320.0 / 576);
    expectFound(found, dog, 0.6539, {122.9, 220.6, 365.2, 515.3}, 320.0 / 768, 320.0 / 576);
    // The cat lies on the dog's box; suppression ignores classes.
    for (const Detection &d : found)
        EXPECT_NE(d.classIndex, cat);
}

TEST(YoloRealModels, FaceDetectorDecodesAsYolo2)
{
    VRAX_REQUIRE_SHARED_DATA();
    cv::dnn::Net net = cv::dnn::readNetFromONNX(sharedModelsDir() + "/tiny_face_detector_416_yolo2.onnx");
    net.setInput(inputBlob(sharedPicturesDir() + "/astronaut.png", 416, {-0.458827f, -0.449792f, -0.381976f}));
    OutputBuffers outputs;
    std::vector<TensorDims> dims;
    addDepthLast(net.forward(), outputs, dims);
    ASSERT_EQ(dims[0].depth, 30u);

    NnDescription description;
    description.neural_network = NetworkKind::Yolo2;
    description.labels = {"face"};
    description.yolo_anchors = {1.603231, 2.094468, 6.041143, 7.080126, 2.882459,
                                3.518061, 4.266906, 5.178857, 9.041765, 10.66308};
    description.yolo_confidence_threshold = 0.5;
    description.yolo_iou_threshold = 0.4;

    const auto found = decodeDetections(outputs, dims, {416, 416, 3}, QSize(416, 416), description);
    expectSameDetections(found, referenceDecode(outputs, dims, 416, 416, 416, 416, description));
    ASSERT_EQ(found.size(), 1u);
    expectFound(found, 0, 0.9722, {163.4, 75.8, 278.9, 186.4}, 416.0 / 512, 416.0 / 512);
}
