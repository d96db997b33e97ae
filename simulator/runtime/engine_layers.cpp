#include "engine_layers.h"

#include <opencv2/dnn/layer.details.hpp>

#include <mutex>
#include <string>

namespace {

template <typename Derived>
class SimulatorLayer : public cv::dnn::Layer
{
public:
    explicit SimulatorLayer(const cv::dnn::LayerParams &params) { setParamsFrom(params); }

    static cv::Ptr<cv::dnn::Layer> create(cv::dnn::LayerParams &params)
    {
        return cv::Ptr<cv::dnn::Layer>(new Derived(params));
    }
};

class ProbeLayer : public SimulatorLayer<ProbeLayer>
{
public:
    using SimulatorLayer::SimulatorLayer;

    bool getMemoryShapes(const std::vector<cv::dnn::MatShape> &, const int, std::vector<cv::dnn::MatShape> &outputs,
                         std::vector<cv::dnn::MatShape> &) const override
    {
        outputs.assign(1, cv::dnn::MatShape(1, 1));
        return false;
    }

    void forward(cv::InputArrayOfArrays, cv::OutputArrayOfArrays, cv::OutputArrayOfArrays) override {}
};

class PassThroughLayer : public SimulatorLayer<PassThroughLayer>
{
public:
    using SimulatorLayer::SimulatorLayer;

    bool getMemoryShapes(const std::vector<cv::dnn::MatShape> &inputs, const int, std::vector<cv::dnn::MatShape> &outputs,
                         std::vector<cv::dnn::MatShape> &) const override
    {
        outputs.assign(1, inputs.at(0));
        return false;
    }

    void forward(cv::InputArrayOfArrays inputs, cv::OutputArrayOfArrays outputs, cv::OutputArrayOfArrays) override
    {
        std::vector<cv::Mat> in, out;
        inputs.getMatVector(in);
        outputs.getMatVector(out);
        in.at(0).copyTo(out.at(0));
    }
};

template <typename Layer>
const char *registered(const char *type, std::once_flag &once)
{
    std::call_once(once, [type] { cv::dnn::LayerFactory::registerLayer(type, Layer::create); });
    return type;
}

} // namespace

const char *probeLayerType()
{
    static std::once_flag once;
    return registered<ProbeLayer>("VraxSimProbe", once);
}

const char *passThroughLayerType()
{
    static std::once_flag once;
    return registered<PassThroughLayer>("VraxSimPassThrough", once);
}

bool isProbeLayer(const cv::dnn::Layer &layer)
{
    return layer.type == probeLayerType();
}
