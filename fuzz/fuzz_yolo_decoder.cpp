// Arbitrary detector outputs for decodeDetections: kind, labels, anchors,
// thresholds, input and picture sizes, output shapes and raw values (NaN and
// the infinities included) all come from the fuzzer. The buffers are exactly
// as long as the fuzzer says, often shorter than their shapes claim, so the
// address checks catch any read past their end. The anchor check is also
// called on its own with shapes of any size.
#include "results/detection.h"
#include "results/yolo_decoder.h"

#include "fuzz_values.h"

#include <QSize>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Bounds that keep one run short: a decode walks at most this many values per output.
constexpr std::uint32_t largestGrid = 64;
constexpr std::uint32_t largestDepth = 512;
constexpr std::size_t longestBuffer = 1 << 12;
constexpr std::size_t mostOutputs = 8;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

NetworkKind consumeKind(FuzzedDataProvider &provider)
{
    // Mostly detectors; now and then another kind, which must be refused.
    switch (provider.ConsumeIntegralInRange<int>(0, 6)) {
    case 0:
    case 1:
        return NetworkKind::Yolo2;
    case 2:
    case 3:
        return NetworkKind::Yolo3;
    case 4:
    case 5:
        return NetworkKind::Yolo5;
    default:
        return provider.ConsumeBool() ? NetworkKind::Classifier : NetworkKind::Unet;
    }
}

// A plain value most of the time, any bit pattern otherwise.
double consumeNumber(FuzzedDataProvider &provider, int lowest, int highest, double scale)
{
    if (provider.ConsumeBool())
        return consumeRawDouble(provider);
    return provider.ConsumeIntegralInRange<int>(lowest, highest) * scale;
}

NnDescription consumeDescription(FuzzedDataProvider &provider)
{
    NnDescription description;
    description.neural_network = consumeKind(provider);
    description.labels.resize(provider.ConsumeIntegralInRange<std::size_t>(0, 12), "label");
    description.yolo_anchors.resize(provider.ConsumeIntegralInRange<std::size_t>(0, 40));
    for (double &anchor : description.yolo_anchors)
        anchor = consumeNumber(provider, 0, 400, 1.0);
    description.yolo_confidence_threshold = consumeNumber(provider, -10, 110, 0.01);
    description.yolo_iou_threshold = consumeNumber(provider, -10, 110, 0.01);
    return description;
}

TensorDims consumeDims(FuzzedDataProvider &provider)
{
    if (provider.ConsumeIntegralInRange<int>(0, 15) == 0) // rarely: shapes of any size
        return {provider.ConsumeIntegral<std::uint32_t>(), provider.ConsumeIntegral<std::uint32_t>(),
                provider.ConsumeIntegral<std::uint32_t>()};
    TensorDims dims;
    dims.width = provider.ConsumeIntegralInRange<std::uint32_t>(0, largestGrid);
    dims.height = provider.ConsumeIntegralInRange<std::uint32_t>(0, largestGrid);
    dims.depth = provider.ConsumeIntegralInRange<std::uint32_t>(0, largestDepth);
    return dims;
}

// What decodeDetections promises about its result.
void checkDetections(const std::vector<Detection> &detections, const NnDescription &description,
                     const QSize &pictureSize)
{
    for (std::size_t i = 0; i < detections.size(); ++i) {
        const Detection &d = detections[i];
        check(d.x >= 0 && d.y >= 0);
        check(d.classIndex >= 0 && std::size_t(d.classIndex) < description.labels.size());
        check(d.confidence > description.yolo_confidence_threshold);
        if (d.width >= 0)
            check(std::int64_t(d.x) + d.width <= std::int64_t(pictureSize.width()) - 1);
        if (d.height >= 0)
            check(std::int64_t(d.y) + d.height <= std::int64_t(pictureSize.height()) - 1);
        if (i > 0)
            check(!(d.confidence > detections[i - 1].confidence));
    }
}

void fuzzDecoding(FuzzedDataProvider &provider)
{
    const NnDescription description = consumeDescription(provider);
    TensorDims inputDims;
    inputDims.width = provider.ConsumeIntegralInRange<std::uint32_t>(0, 1024);
    inputDims.height = provider.ConsumeIntegralInRange<std::uint32_t>(0, 1024);
    inputDims.depth = 3;
    const QSize pictureSize(provider.ConsumeIntegralInRange<int>(-2, 1024),
                            provider.ConsumeIntegralInRange<int>(-2, 1024));

    std::vector<TensorDims> outputDims(provider.ConsumeIntegralInRange<std::size_t>(0, mostOutputs));
    for (TensorDims &dims : outputDims)
        dims = consumeDims(provider);

    // Usually one buffer per shape; sometimes one fewer or one more.
    std::size_t bufferCount = outputDims.size();
    switch (provider.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:
        bufferCount = bufferCount > 0 ? bufferCount - 1 : 0;
        break;
    case 1:
        ++bufferCount;
        break;
    default:
        break;
    }
    std::vector<std::size_t> lengths(bufferCount);
    for (std::size_t o = 0; o < bufferCount; ++o) {
        const std::size_t claimed = o < outputDims.size()
            ? std::size_t(std::min<std::uint64_t>(elementCount(outputDims[o]), longestBuffer))
            : 0;
        lengths[o] = provider.ConsumeBool() ? claimed
                                            : provider.ConsumeIntegralInRange<std::size_t>(0, longestBuffer);
    }

    // The values: the rest of the input as floats, repeated to fill every buffer.
    const std::vector<std::uint8_t> bytes = provider.ConsumeRemainingBytes<std::uint8_t>();
    std::vector<float> values(bytes.size() / sizeof(float));
    if (!values.empty())
        std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
    OutputBuffers outputs(bufferCount);
    for (std::size_t o = 0; o < bufferCount; ++o) {
        outputs[o] = std::vector<float>(lengths[o], 0.0f);
        for (std::size_t i = 0; i < lengths[o] && !values.empty(); ++i)
            outputs[o][i] = values[(i + o) % values.size()];
    }

    std::vector<Detection> detections;
    try {
        detections = decodeDetections(outputs, outputDims, inputDims, pictureSize, description);
    } catch (const std::runtime_error &) {
        return;
    }
    check(description.neural_network != NetworkKind::Classifier
          && description.neural_network != NetworkKind::Unet);
    checkDetections(detections, description, pictureSize);
}

void fuzzAnchorCheck(FuzzedDataProvider &provider)
{
    const NnDescription description = consumeDescription(provider);
    std::vector<TensorDims> outputs(provider.ConsumeIntegralInRange<std::size_t>(0, mostOutputs));
    for (TensorDims &dims : outputs)
        dims = {provider.ConsumeIntegral<std::uint32_t>(), provider.ConsumeIntegral<std::uint32_t>(),
                provider.ConsumeIntegral<std::uint32_t>()};
    const std::uint64_t needed = anchorPairsNeeded(description, outputs);
    bool refused = false;
    try {
        checkAnchorCount(description, outputs);
    } catch (const std::runtime_error &) {
        refused = true;
    }
    check(refused == (description.yolo_anchors.size() / 2 < needed));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    if (provider.ConsumeIntegralInRange<int>(0, 7) == 0)
        fuzzAnchorCheck(provider);
    else
        fuzzDecoding(provider);
    return 0;
}
