#include "layer_table.h"

#include "engine_layers.h"
#include "operation_count.h"

long LayerTable::indexOf(const std::string &name) const
{
    const auto found = indexOfName.find(name);
    return found == indexOfName.end() ? -1 : long(found->second);
}

std::string shownLayerName(const std::string &engineName)
{
    for (const char *prefix : {"onnx_node!", "onnx_node_output_0!"}) {
        const std::string start(prefix);
        if (engineName.size() > start.size() && engineName.compare(0, start.size(), start) == 0)
            return engineName.substr(start.size());
    }
    return engineName;
}

LayerTable describeLayers(cv::dnn::Net &net, const std::vector<int> &inputShape, const LayerTable *costs)
{
    std::vector<int> ids;
    std::vector<std::vector<cv::dnn::MatShape>> inputs;
    std::vector<std::vector<cv::dnn::MatShape>> outputs;
    net.getLayersShapes(cv::dnn::MatShape(inputShape), ids, inputs, outputs);

    LayerTable table;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (ids[i] == 0)
            continue; // the engine's input layer
        const cv::Ptr<cv::dnn::Layer> layer = net.getLayer(ids[i]);
        if (isProbeLayer(*layer))
            continue;
        LayerRecord record;
        record.name = layer->name;
        record.type = layer->type;
        record.inputs = inputs[i];
        record.outputs = outputs[i];
        const long original = costs ? costs->indexOf(record.name) : -1;
        if (original >= 0) {
            record.parameters = costs->layers[std::size_t(original)].parameters;
            record.multiplyAdds = costs->layers[std::size_t(original)].multiplyAdds;
        } else if (!costs) {
            record.parameters = layerParameters(*layer);
            record.multiplyAdds = layerMultiplyAdds(*layer, record.inputs, record.outputs);
        }
        record.shownName = shownLayerName(record.name);
        table.indexOfName.emplace(record.name, table.layers.size());
        table.layers.push_back(std::move(record));
    }
    // Shown names are unique: a taken one stays the engine's.
    std::unordered_map<std::string, int> uses;
    for (const LayerRecord &record : table.layers)
        ++uses[record.shownName];
    for (LayerRecord &record : table.layers)
        if (uses[record.shownName] > 1)
            record.shownName = record.name;
    return table;
}

std::vector<long> tablePlaces(cv::dnn::Net &net, const LayerTable &table)
{
    const std::vector<cv::String> names = net.getLayerNames();
    std::vector<long> places(names.size() + 1, -1);
    for (const cv::String &name : names) {
        const int id = net.getLayerId(name);
        if (id > 0 && std::size_t(id) < places.size())
            places[std::size_t(id)] = table.indexOf(name);
    }
    return places;
}
