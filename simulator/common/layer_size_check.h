// A check both libraries make before the engine runs a network: the engine
// allocates every layer's output at the size the layer shapes give, so a
// tiny model file (a huge padding, a large upsampling) can ask for terabytes.
// Engine code, a header included by the libraries alone, like engine_settings.h.
#pragma once

#include "model_container.h"

#include <opencv2/dnn.hpp>

#include <cstdint>
#include <string>
#include <vector>

// Empty when every layer output for an input of inputShape fits the binary
// model format's tensor limit (ModelFormat::maxTensorElements values), as the
// engine works the shapes out without allocating anything; otherwise a
// sentence naming the first layer that does not. Throws what the engine throws
// for a network it cannot shape.
inline std::string findOversizedLayer(cv::dnn::Net &net, const std::vector<int> &inputShape)
{
    std::vector<int> layerIds;
    std::vector<std::vector<cv::dnn::MatShape>> inputShapes;
    std::vector<std::vector<cv::dnn::MatShape>> outputShapes;
    net.getLayersShapes(cv::dnn::MatShape(inputShape), layerIds, inputShapes, outputShapes);
    for (std::size_t layer = 0; layer < outputShapes.size() && layer < layerIds.size(); ++layer) {
        for (const cv::dnn::MatShape &shape : outputShapes[layer]) {
            std::uint64_t values = 1;
            bool fits = true;
            for (const int dim : shape) {
                // A negative size is an overflow in the engine's own arithmetic.
                if (dim < 0 || (dim > 0 && values > ModelFormat::maxTensorElements / std::uint64_t(dim))) {
                    fits = false;
                    break;
                }
                values *= std::uint64_t(dim);
            }
            if (!fits) {
                std::string text;
                for (const int dim : shape)
                    text += (text.empty() ? "" : "x") + std::to_string(dim);
                const int id = layerIds[layer];
                const std::string name = id > 0 ? std::string(net.getLayer(id)->name) : std::string("input");
                return "layer \"" + name + "\" would make an output of shape " + text + ", more than "
                       + std::to_string(ModelFormat::maxTensorElements) + " values";
            }
        }
    }
    return std::string();
}
