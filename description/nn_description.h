// The NN description: which model to load, how a picture becomes its input
// and how its outputs are read.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Channel order of the input tensor, or one grey value per pixel.
enum class InputFormat : std::uint32_t {
    Rgb = 0,
    Rbg = 1,
    Grb = 2,
    Gbr = 3,
    Brg = 4,
    Bgr = 5,
    Intensity = 6,
};

enum class NetworkKind : std::uint32_t {
    Classifier = 0,
    Yolo2 = 1,
    Yolo3 = 2,
    Yolo5 = 3,
    Unet = 4,
};

// The YOLO networks, whose results are boxes.
inline bool isDetector(NetworkKind kind)
{
    return kind == NetworkKind::Yolo2 || kind == NetworkKind::Yolo3 || kind == NetworkKind::Yolo5;
}

// How a classifier's or a segmentation network's output becomes class
// probabilities: the description's optional "output_activation". Detectors
// keep the activations of their YOLO version whatever it says.
enum class OutputActivation : std::uint32_t {
    Automatic = 0, // not given: a softmax, unless the output already is a probability distribution
    Softmax = 1,   // "softmax": the output holds raw scores
    None = 2,      // "none": the output holds the probabilities themselves
};

// How a picture is brought to the network's input size: cut in the middle
// to the input's aspect ratio (the default), stretched whole, or scaled whole
// with its aspect kept and the rest padded (letterbox).
enum class PictureFit : std::uint32_t {
    CentreCrop = 0,
    Stretch = 1,
    Letterbox = 2,
};

// Field names follow the element names of the description file.
struct NnDescription
{
    std::string model; // absolute path, UTF-8
    std::string calibration; // pictures an int8 board calibrates on: absolute folder path, UTF-8; empty when none
    InputFormat format = InputFormat::Rgb;
    std::array<double, 3> divider{}; // per channel: red, green, blue
    std::array<double, 3> adder{};
    PictureFit resize = PictureFit::CentreCrop; // optional
    int padding = 114;                          // optional: letterbox grey, 0 to 255, before the divider
    NetworkKind neural_network = NetworkKind::Classifier;
    std::vector<std::string> labels; // UTF-8; a segmentation network's are optional, one per output channel
    OutputActivation output_activation = OutputActivation::Automatic;
    std::vector<double> yolo_anchors; // consecutive (width, height) pairs
    double yolo_confidence_threshold = 0.0;
    double yolo_iou_threshold = 0.0;
};
