#include "network_probe.h"


namespace {

// The text between open and close after position from, or empty.
std::string between(const std::string &text, const std::string &open, const std::string &close,
                    std::size_t from = 0)
{
    const std::size_t start = text.find(open, from);
    if (start == std::string::npos)
        return std::string();
    const std::size_t end = text.find(close, start + open.size());
    if (end == std::string::npos)
        return std::string();
    return text.substr(start + open.size(), end - start - open.size());
}

} // namespace

EngineFailure explainEngineFailure(const cv::Exception &error)
{
    EngineFailure failure;
    const std::string text = error.what();

    // The ONNX importer wraps its causes in "Node [Type@domain]:(layer name) parse error".
    const std::string nodeType = between(text, "Node [", "]");
    if (!nodeType.empty()) {
        failure.layerType = nodeType.substr(0, nodeType.find('@'));
        failure.layerName = between(text, "]:(", ")", text.find("Node ["));
    }
    // Each level reads "error: (code:kind) explanation in function 'name'";
    // the innermost level holds the cause.
    std::string lastCode;
    for (std::size_t at = text.find("error: ("); at != std::string::npos; at = text.find("error: (", at + 1)) {
        const std::size_t codeEnd = text.find(':', at + 8);
        const std::size_t kindEnd = text.find(") ", at + 8);
        if (codeEnd == std::string::npos || kindEnd == std::string::npos)
            break;
        std::size_t causeEnd = text.find('\n', kindEnd);
        if (causeEnd == std::string::npos)
            causeEnd = text.size();
        std::string cause = text.substr(kindEnd + 2, causeEnd - kindEnd - 2);
        const std::size_t function = cause.rfind(" in function ");
        if (function != std::string::npos)
            cause.erase(function);
        if (!cause.empty() && cause.find("error: (") == std::string::npos) {
            failure.reason = cause;
            lastCode = text.substr(at + 8, codeEnd - at - 8);
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
    const std::size_t create = text.find("Can't create layer \"");
    if (create != std::string::npos) {
        failure.layerName = between(text, "layer \"", "\"", create);
        failure.layerType = between(text, "of type \"", "\"", create);
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
