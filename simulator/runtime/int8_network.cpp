#include "int8_network.h"

#include "engine_layers.h"

#include <stdexcept>

namespace {

const char probePrefix[] = "vrax-probe/";

bool endsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

void attachProbe(cv::dnn::Net &net, const std::string &name)
{
    const int id = net.getLayerId(name);
    if (id <= 0)
        throw std::runtime_error("the network has no layer \"" + name + "\" to read");
    cv::dnn::LayerParams params;
    params.name = probePrefix + name;
    params.type = probeLayerType();
    const int probe = net.addLayer(params.name, params.type, params);
    net.connect(id, 0, probe, 0);
}

} // namespace

cv::String floatOutputName(cv::dnn::Net &net, const std::string &name)
{
    const std::string dequantised = "dequantize/" + name + "/0";
    if (net.getLayerId(dequantised) > 0)
        return dequantised;
    const int id = net.getLayerId(name);
    if (id <= 0)
        return cv::String();
    const std::string type = net.getLayer(id)->type;
    return endsWith(type, "Int8") || type == "Quantize" ? cv::String() : cv::String(name);
}

Int8Network quantiseNetwork(cv::dnn::Net floatNet, const std::vector<std::string> &outputs,
                            const cv::Mat &calibration, bool capturing)
{
    if (capturing) {
        for (const cv::String &name : floatNet.getLayerNames())
            attachProbe(floatNet, name);
    } else {
        for (const std::string &name : outputs)
            attachProbe(floatNet, name);
    }

    Int8Network result;
    result.net = floatNet.quantize(calibration, CV_32F, CV_32F);
    for (const std::string &name : outputs) {
        const cv::String readable = floatOutputName(result.net, name);
        if (readable.empty())
            throw std::runtime_error("output \"" + name + "\" cannot be read as floats from the int8 network");
        result.outputNames.push_back(readable);
    }
    return result;
}
