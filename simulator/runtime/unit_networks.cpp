#include "unit_networks.h"

#include "vrax_profile.h"

#include <chrono>

UnitNetworks::UnitNetworks(cv::dnn::Net floatNet, std::shared_ptr<ModelNetworks> networks)
    : shared(std::move(networks))
{
    floatVariant.net = std::move(floatNet);
    floatVariant.outputNames.assign(shared->outputNames().begin(), shared->outputNames().end());
    floatVariant.table = shared->floatTable();
    floatVariant.places = tablePlaces(floatVariant.net, *floatVariant.table);
    prepareCapture(floatVariant);
}

void UnitNetworks::prepareCapture(Variant &variant)
{
    // Each layer's output as floats, where the network has it.
    for (std::size_t layer = 0; layer < variant.table->layers.size(); ++layer) {
        const cv::String name = floatOutputName(variant.net, variant.table->layers[layer].name);
        if (name.empty())
            continue;
        variant.captureNames.push_back(name);
        variant.captureLayers.push_back(layer);
    }
}

BoardPrecision UnitNetworks::roundingFor(BoardPrecision precision, bool capturing)
{
    if (precision != BoardPrecision::Int8)
        return precision;
    return variantFor(precision, capturing) ? BoardPrecision::Float : BoardPrecision::Int8Io;
}

bool UnitNetworks::quantiseInto(Variant &variant, bool capturing)
{
    Int8Network quantised;
    if (!shared->quantise(capturing, quantised)) {
        int8Refused = true;
        return false;
    }
    variant.net = quantised.net;
    variant.outputNames = quantised.outputNames;
    // A capturing network has probes on every layer; its layers are
    // described by the int8 network's table all the same.
    variant.table = shared->int8Table();
    variant.places = tablePlaces(variant.net, *variant.table);
    if (capturing)
        prepareCapture(variant);
    return true;
}

UnitNetworks::Variant *UnitNetworks::variantFor(BoardPrecision precision, bool capturing)
{
    if (precision != BoardPrecision::Int8)
        return &floatVariant;
    if (int8Refused || (int8Variant.net.empty() && !quantiseInto(int8Variant, false)))
        return nullptr;
    if (!capturing)
        return &int8Variant;
    if (int8Capturing.net.empty() && !quantiseInto(int8Capturing, true))
        return nullptr;
    return &int8Capturing;
}

void UnitNetworks::run(const cv::Mat &input, BoardPrecision precision, std::uint32_t profiling,
                       std::vector<cv::Mat> &results, FrameLayers &layers)
{
    const bool capturing = (profiling & VRAX_PROFILE_LAYER_OUTPUTS) != 0;
    Variant *variant = variantFor(precision, capturing);
    if (!variant)
        variant = &floatVariant; // int8 refused: the float network, rounded as int8-io

    const auto start = std::chrono::steady_clock::now();
    variant->net.setInput(input);
    if (!capturing) {
        // Kept from frame to frame: the engine refills buffers of the right
        // size instead of allocating (and page-faulting) new ones.
        variant->net.forward(results, variant->outputNames);
    } else {
        std::vector<cv::String> names = variant->outputNames;
        names.insert(names.end(), variant->captureNames.begin(), variant->captureNames.end());
        variant->net.forward(everything, names);
        const std::size_t outputCount = variant->outputNames.size();
        results.assign(everything.begin(), everything.begin() + long(outputCount));
        layers.outputs.assign(variant->table->layers.size(), cv::Mat());
        for (std::size_t i = 0; i < variant->captureLayers.size(); ++i)
            layers.outputs[variant->captureLayers[i]] = everything[outputCount + i];
    }
    const double frameMilliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    layers.outputsTable = capturing ? variant->table : nullptr;
    if (!capturing)
        layers.outputs.clear();

    std::vector<double> milliseconds;
    if (profiling & VRAX_PROFILE_TIMES) {
        variant->net.getPerfProfile(timings);
        milliseconds.assign(variant->table->layers.size(), 0.0);
        const double perTick = 1000.0 / cv::getTickFrequency();
        // The engine's timings start at layer id 1 (0 is its input layer).
        for (std::size_t i = 0; i < timings.size(); ++i) {
            const std::size_t id = i + 1;
            if (id < variant->places.size() && variant->places[id] >= 0)
                milliseconds[std::size_t(variant->places[id])] += timings[i] * perTick;
        }
        layers.timesTable = variant->table;
        layers.milliseconds = milliseconds;
        layers.frameMilliseconds = frameMilliseconds;
    }
    // The session's profile hears of frames with times, and of a network
    // whose layers differ from the last one's: other frames take no lock.
    if ((profiling & VRAX_PROFILE_TIMES) || variant->table != reportedTable) {
        shared->profile().frameRan(variant->table, milliseconds, frameMilliseconds);
        reportedTable = variant->table;
    }
}
