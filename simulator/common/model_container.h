// The binary model that the compiler writes and the runtime loads: a
// self-describing array of 32-bit words. The layout is documented in
// simulator/README.md; the reader trusts nothing in the words it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Where the network itself comes from.
enum class ModelSourceFormat : std::uint32_t {
    Onnx = 1,
    DarkNet = 2
};

// One input or output tensor: its name in the network and its shape in the
// network's own axis order (for example N, C, H, W).
struct ModelTensor
{
    std::string name;
    std::vector<std::uint32_t> shape;
};

struct ModelContainer
{
    ModelSourceFormat sourceFormat = ModelSourceFormat::Onnx;
    bool singleSlot = false;
    std::vector<ModelTensor> inputs;
    std::vector<ModelTensor> outputs;
    std::vector<std::uint8_t> network; // ONNX file bytes, or the DarkNet cfg text
    std::vector<std::uint8_t> weights; // DarkNet weights; empty for ONNX
    // Inputs an int8 board calibrates on, in the network's axis order (each
    // as many values as the input has); empty when the model has none.
    std::vector<std::vector<float>> calibration;
};

// A word array that is not a well-formed binary model.
class ModelFormatError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

namespace ModelFormat {
constexpr std::uint32_t magic = 0x58415256; // "VRAX" in little-endian byte order
constexpr std::uint32_t version = 1;
constexpr std::uint32_t singleSlotFlag = 1;
constexpr std::uint32_t calibrationFlag = 2; // calibration inputs follow the weights
constexpr std::uint32_t maxCalibrationInputs = 16;
// All calibration inputs together (256 MiB of floats at most).
constexpr std::uint64_t maxCalibrationValues = std::uint64_t(1) << 26;
constexpr std::uint32_t maxInputs = 1;
constexpr std::uint32_t maxOutputs = 8;
constexpr std::uint32_t maxRank = 8;
constexpr std::uint32_t maxNameBytes = 1024;
constexpr std::uint64_t maxTensorElements = std::uint64_t(1) << 28;
} // namespace ModelFormat

// Serialises a model; throws ModelFormatError when the model breaks the
// format's limits (so that the reader would refuse what was written).
std::vector<std::uint32_t> writeModelContainer(const ModelContainer &model);

// Parses and checks a binary model of wordCount words; throws
// ModelFormatError naming the first problem found.
ModelContainer readModelContainer(const std::uint32_t *words, std::size_t wordCount);

// Throws ModelFormatError, naming the tensor by what, unless the shape fits
// the format: rank 1 to maxRank, no dimension of 0, at most
// maxTensorElements values.
void checkTensorShape(const std::vector<std::uint32_t> &shape, const std::string &what);

// Number of values in a tensor of the given shape.
std::uint64_t shapeElementCount(const std::vector<std::uint32_t> &shape);

// Shape as text, for example "1x3x320x320".
std::string shapeText(const std::vector<std::uint32_t> &shape);
