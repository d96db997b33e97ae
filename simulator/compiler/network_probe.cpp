#include "network_probe.h"

#include <regex>

EngineFailure explainEngineFailure(const cv::Exception &error)
{
    EngineFailure failure;
    const std::string text = error.what();

    static const std::regex nodePattern(R"(Node \[([^@\]]*)(@[^\]]*)?\]:\(([^)]*)\))");
    std::smatch node;
    if (std::regex_search(text, node, nodePattern)) {
        failure.layerType = node[1];
        failure.layerName = node[3];
    }
    // The innermost "error: (code:kind) explanation in function" holds the cause.
    static const std::regex causePattern(R"(error: \((-?[0-9]+):[^)]*\) ([^\n]*?)(?: in function [^\n]*)?(?:\n|$))");
    std::string lastCode;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), causePattern);
         it != std::sregex_iterator(); ++it) {
        const std::string cause = (*it)[2];
        if (!cause.empty() && cause.find("error: (") == std::string::npos) {
            failure.reason = cause;
            lastCode = (*it)[1];
        }
    }
    if (failure.reason.empty())
        failure.reason = error.err.empty() ? text : error.err;

    const std::string notImplemented = std::to_string(cv::Error::StsNotImplemented);
    failure.unsupportedOperation = text.find("Can't create layer") != std::string::npos
                                   || text.find("Unknown layer type") != std::string::npos
                                   || text.find("nsupported") != std::string::npos
                                   || lastCode == notImplemented
                                   || error.code == cv::Error::StsNotImplemented;
    static const std::regex createPattern(R"(Can't create layer \"([^\"]*)\" of type \"([^\"]*)\")");
    std::smatch create;
    if (std::regex_search(text, create, createPattern)) {
        failure.layerName = create[1];
        failure.layerType = create[2];
    }
    return failure;
}

std::vector<ModelTensor> probeOutputs(cv::dnn::Net &net, const ModelTensor &input,
                                      const std::vector<std::string> &outputNames)
{
    std::vector<int> shape(input.shape.begin(), input.shape.end());
    cv::Mat zeros(static_cast<int>(shape.size()), shape.data(), CV_32F, cv::Scalar(0));
    net.setInput(zeros);
    std::vector<cv::Mat> results;
    const std::vector<cv::String> names(outputNames.begin(), outputNames.end());
    net.forward(results, names);

    std::vector<ModelTensor> outputs;
    for (std::size_t i = 0; i < results.size() && i < outputNames.size(); ++i) {
        ModelTensor output;
        output.name = outputNames[i];
        for (int axis = 0; axis < results[i].dims; ++axis)
            output.shape.push_back(static_cast<std::uint32_t>(std::max(results[i].size[axis], 0)));
        outputs.push_back(output);
    }
    return outputs;
}

std::vector<std::string> darknetHeadLayerNames(cv::dnn::Net &net)
{
    // The engine turns [yolo] and [region] into layers of type Region, each
    // reading its head through a Permute that it inserts itself.
    std::vector<std::string> heads;
    for (const cv::String &name : net.getLayerNames()) {
        const int id = net.getLayerId(name);
        if (net.getLayer(id)->type != "Region")
            continue;
        std::vector<cv::Ptr<cv::dnn::Layer>> inputs = net.getLayerInputs(id);
        while (!inputs.empty() && inputs[0]->type == "Permute")
            inputs = net.getLayerInputs(net.getLayerId(inputs[0]->name));
        if (!inputs.empty())
            heads.push_back(inputs[0]->name);
    }
    return heads;
}

std::string lastLayerName(cv::dnn::Net &net)
{
    const std::vector<cv::String> names = net.getLayerNames();
    return names.empty() ? std::string() : names.back();
}
