#include "int8_network.h"

#include <mutex>
#include <stdexcept>

namespace {

const char probeType[] = "VraxSimProbe";
const char probePrefix[] = "vrax-probe/";

// A float layer that reads its input and does nothing with it: the engine
// dequantises what an int8 layer hands to it.
class ProbeLayer : public cv::dnn::Layer
{
public:
    explicit ProbeLayer(const cv::dnn::LayerParams &params) { setParamsFrom(params); }

    static cv::Ptr<cv::dnn::Layer> create(cv::dnn::LayerParams &params)
    {
        return cv::Ptr<cv::dnn::Layer>(new ProbeLayer(params));
    }

    bool getMemoryShapes(const std::vector<cv::dnn::MatShape> &, const int, std::vector<cv::dnn::MatShape> &outputs,
                         std::vector<cv::dnn::MatShape> &) const override
    {
        outputs.assign(1, cv::dnn::MatShape(1, 1));
        return false;
    }

    void forward(cv::InputArrayOfArrays, cv::OutputArrayOfArrays, cv::OutputArrayOfArrays) override {}
};

void registerProbeLayer()
{
    static std::once_flag registered;
    std::call_once(registered, [] { cv::dnn::LayerFactory::registerLayer(probeType, ProbeLayer::create); });
}

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
    params.type = probeType;
    const int probe = net.addLayer(params.name, probeType, params);
    net.connect(id, 0, probe, 0);
}

} // namespace

bool isProbeLayer(const cv::dnn::Layer &layer)
{
    return layer.type == probeType;
}

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
    registerProbeLayer();
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
