#include "operation_count.h"

#include <opencv2/dnn/all_layers.hpp>
#include <opencv2/dnn/shape_utils.hpp>

#include <string>

namespace {

// The float type an int8 layer stands for.
std::string baseType(const std::string &type)
{
    const std::string suffix = "Int8";
    if (type.size() > suffix.size() && type.compare(type.size() - suffix.size(), suffix.size(), suffix) == 0)
        return type.substr(0, type.size() - suffix.size());
    return type;
}

std::uint64_t product(const std::vector<std::size_t> &values)
{
    std::uint64_t result = 1;
    for (std::size_t value : values)
        result *= value;
    return result;
}

// Spatial axes of a shape: everything after N and C.
std::uint64_t spatialValues(const cv::dnn::MatShape &shape)
{
    std::uint64_t result = 1;
    for (std::size_t axis = 2; axis < shape.size(); ++axis)
        result *= std::uint64_t(shape[axis]);
    return result;
}

std::uint64_t convolutionMultiplyAdds(const cv::dnn::Layer &layer, const std::vector<cv::dnn::MatShape> &inputs,
                                      const std::vector<cv::dnn::MatShape> &outputs, bool transposed)
{
    const auto *convolution = dynamic_cast<const cv::dnn::BaseConvolutionLayer *>(&layer);
    if (!convolution || inputs.empty() || outputs.empty())
        return 0;
    // Weights are [out, in / groups, kernel...] for a convolution and
    // [in, out / groups, kernel...] for a deconvolution; axis 1 is the
    // channels each output (or input) value meets, whatever the groups.
    const cv::dnn::MatShape weights =
        !layer.blobs.empty() ? cv::dnn::shape(layer.blobs[0])
                             : (inputs.size() > 1 ? inputs[1] : cv::dnn::MatShape());
    if (weights.size() < 2)
        return 0;
    const std::uint64_t kernelArea = product(convolution->kernel_size);
    const cv::dnn::MatShape &counted = transposed ? inputs[0] : outputs[0];
    return shapeValues(counted) * std::uint64_t(weights[1]) * kernelArea;
}

std::uint64_t poolingMultiplyAdds(const cv::dnn::Layer &layer, const std::vector<cv::dnn::MatShape> &inputs,
                                  const std::vector<cv::dnn::MatShape> &outputs)
{
    const auto *pooling = dynamic_cast<const cv::dnn::PoolingLayer *>(&layer);
    if (!pooling || inputs.empty() || outputs.empty())
        return 0;
    const cv::dnn::MatShape &input = inputs[0];
    std::uint64_t kernelArea = 1;
    if (pooling->globalPooling && pooling->isGlobalPooling.empty()) {
        kernelArea = spatialValues(input);
    } else {
        for (std::size_t axis = 0; axis < pooling->kernel_size.size(); ++axis) {
            const bool global = axis < pooling->isGlobalPooling.size() && pooling->isGlobalPooling[axis];
            const std::size_t inputAxis = input.size() - pooling->kernel_size.size() + axis;
            kernelArea *= global && inputAxis < input.size() ? std::uint64_t(input[inputAxis])
                                                               : std::uint64_t(pooling->kernel_size[axis]);
        }
    }
    return shapeValues(outputs[0]) * kernelArea;
}

} // namespace

std::uint64_t shapeValues(const cv::dnn::MatShape &shape)
{
    std::uint64_t values = 1;
    for (int dim : shape)
        values *= std::uint64_t(dim > 0 ? dim : 0);
    return values;
}

std::uint64_t layerMultiplyAdds(const cv::dnn::Layer &layer, const std::vector<cv::dnn::MatShape> &inputs,
                                const std::vector<cv::dnn::MatShape> &outputs)
{
    const std::string type = baseType(layer.type);
    if (type == "Convolution")
        return convolutionMultiplyAdds(layer, inputs, outputs, false);
    if (type == "Deconvolution")
        return convolutionMultiplyAdds(layer, inputs, outputs, true);
    if (type == "Pooling")
        return poolingMultiplyAdds(layer, inputs, outputs);
    if (outputs.empty())
        return 0;
    if (type == "InnerProduct") {
        // Weights [outputs per row, values per output]; without stored
        // weights the second input holds them.
        if (!layer.blobs.empty() && layer.blobs[0].dims >= 2)
            return shapeValues(outputs[0]) * std::uint64_t(layer.blobs[0].size[1]);
        if (!inputs.empty() && !inputs[0].empty())
            return shapeValues(outputs[0]) * std::uint64_t(inputs[0].back());
        return 0;
    }
    if (type == "BatchNorm" || type == "Scale")
        return shapeValues(outputs[0]);
    return 0;
}

std::uint64_t layerParameters(const cv::dnn::Layer &layer)
{
    if (layer.type == "Region")
        return 0;
    std::uint64_t values = 0;
    for (const cv::Mat &blob : layer.blobs)
        values += blob.total();
    return values;
}
