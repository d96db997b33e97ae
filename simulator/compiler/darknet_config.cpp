#include "darknet_config.h"

#include "compile_error.h"
#include "vrax_compiler.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <initializer_list>
#include <set>

namespace {

// Output shape of a layer: channels, height, width.
struct Shape
{
    std::int64_t channels = 0;
    std::int64_t height = 0;
    std::int64_t width = 0;
};

const std::set<std::string> &supportedTypes()
{
    static const std::set<std::string> types = {
        "convolutional", "connected", "maxpool",  "avgpool", "softmax", "route",
        "reorg",         "region",    "shortcut", "scale_channels", "upsample", "yolo",
        "dropout"};
    return types;
}

// Product of non-negative factors, held at 2^40 so that absurd layer sizes in
// a hostile cfg cannot wrap around.
std::int64_t boundedProduct(std::initializer_list<std::int64_t> factors)
{
    constexpr std::int64_t limit = std::int64_t(1) << 40;
    std::int64_t product = 1;
    for (std::int64_t factor : factors) {
        if (__builtin_mul_overflow(product, factor, &product) || product > limit)
            return limit;
    }
    return product;
}

std::string layerLabel(std::size_t index, const DarknetLayer &layer)
{
    return "layer " + std::to_string(index) + " [" + layer.type + "] (cfg line "
           + std::to_string(layer.line) + ")";
}

[[noreturn]] void invalid(const std::string &text)
{
    throw CompileError(VRAX_COMPILER_RESULT_INVALID_MODEL, text);
}

std::int64_t parseInteger(const std::string &text, const std::string &what)
{
    std::size_t start = (text.size() > 1 && (text[0] == '-' || text[0] == '+')) ? 1 : 0;
    if (text.size() == start || text.size() > 10
        || !std::all_of(text.begin() + start, text.end(),
                        [](unsigned char c) { return std::isdigit(c) != 0; }))
        invalid(what + ": \"" + text + "\" is not a whole number");
    return std::stoll(text);
}

std::int64_t option(const DarknetLayer &layer, std::size_t index, const std::string &key,
                    std::int64_t fallback)
{
    const auto entry = layer.options.find(key);
    if (entry == layer.options.end())
        return fallback;
    return parseInteger(entry->second, layerLabel(index, layer) + " " + key);
}

std::int64_t positiveOption(const DarknetLayer &layer, std::size_t index, const std::string &key,
                            std::int64_t fallback)
{
    const std::int64_t value = option(layer, index, key, fallback);
    if (value <= 0 || value > (1 << 24))
        invalid(layerLabel(index, layer) + ": " + key + "=" + std::to_string(value)
                + " must be a positive number");
    return value;
}

// Index of an earlier layer given relative (negative) or absolute.
std::size_t layerReference(std::int64_t value, std::size_t index, const DarknetLayer &layer)
{
    const std::int64_t target = value < 0 ? static_cast<std::int64_t>(index) + value : value;
    if (target < 0 || target >= static_cast<std::int64_t>(index))
        invalid(layerLabel(index, layer) + " refers to layer " + std::to_string(value)
                + ", which is not an earlier layer");
    return static_cast<std::size_t>(target);
}

std::vector<std::string> splitList(const std::string &text)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return items;
}

// The engine picks each [yolo] layer's anchor pairs by the mask's indices
// without checking them: every index must name one of the anchor pairs.
void checkAnchorMask(const DarknetLayer &layer, std::size_t index)
{
    const auto mask = layer.options.find("mask");
    const auto anchors = layer.options.find("anchors");
    if (mask == layer.options.end() || anchors == layer.options.end())
        return; // the engine refuses a [yolo] layer without them
    std::int64_t values = 0;
    for (const std::string &item : splitList(anchors->second))
        values += item.empty() ? 0 : 1;
    const std::int64_t pairs = values / 2;
    for (const std::string &item : splitList(mask->second)) {
        if (item.empty())
            continue;
        const std::int64_t anchor = parseInteger(item, layerLabel(index, layer) + " mask");
        if (anchor < 0 || anchor >= pairs)
            invalid(layerLabel(index, layer) + ": mask=" + mask->second + " names anchor pair "
                    + std::to_string(anchor) + ", but anchors= gives " + std::to_string(pairs));
    }
}

std::vector<DarknetLayer> readSections(const char *text, std::size_t size)
{
    std::vector<DarknetLayer> sections;
    if (std::memchr(text, '\0', size))
        invalid("the cfg is not a text file (it holds NUL bytes)");
    std::size_t lineStart = 0;
    int lineNumber = 0;
    while (lineStart < size) {
        const char *end = static_cast<const char *>(std::memchr(text + lineStart, '\n', size - lineStart));
        const std::size_t lineEnd = end ? static_cast<std::size_t>(end - text) : size;
        ++lineNumber;
        std::string line(text + lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        line.erase(std::remove_if(line.begin(), line.end(),
                                  [](unsigned char c) { return std::isspace(c) != 0; }),
                   line.end());
        if (line.empty() || line[0] == '#' || line[0] == ';')
            continue;
        // The engine drops control characters and bytes past ASCII from a
        // line, so "m\xc4ask" would be a mask to it and an unknown key here:
        // both readers must see the same options.
        const auto unprintable = std::find_if(line.begin(), line.end(), [](unsigned char c) {
            return c < 0x20 || c >= 0x7f;
        });
        if (unprintable != line.end())
            invalid("cfg line " + std::to_string(lineNumber) + " holds the byte "
                    + std::to_string(static_cast<unsigned char>(*unprintable))
                    + ", which is not printable ASCII text");
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3)
                invalid("cfg line " + std::to_string(lineNumber) + ": \"" + line
                        + "\" is not a section header");
            sections.push_back({line.substr(1, line.size() - 2), lineNumber, {}});
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0)
            invalid("cfg line " + std::to_string(lineNumber) + ": \"" + line
                    + "\" is neither a section header nor key=value");
        if (sections.empty())
            invalid("cfg line " + std::to_string(lineNumber)
                    + ": an option comes before the first section");
        sections.back().options[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return sections;
}

} // namespace

DarknetConfig parseDarknetConfig(const char *text, std::size_t size)
{
    std::vector<DarknetLayer> sections = readSections(text, size);
    if (sections.empty() || (sections[0].type != "net" && sections[0].type != "network"))
        invalid("the cfg does not begin with a [net] section");
    if (sections.size() < 2)
        invalid("the cfg has no layers after [net]");

    DarknetConfig config;
    const DarknetLayer &net = sections[0];
    const auto netOption = [&net](const std::string &key, std::int64_t fallback) {
        const auto entry = net.options.find(key);
        const std::int64_t value =
            entry == net.options.end() ? fallback : parseInteger(entry->second, "[net] " + key);
        if (value <= 0 || value > 65536)
            invalid("[net] " + key + "=" + std::to_string(value) + " must be a positive number");
        return static_cast<std::uint32_t>(value);
    };
    // The engine's defaults for a [net] section.
    config.width = netOption("width", 416);
    config.height = netOption("height", 416);
    config.channels = netOption("channels", 3);
    config.layers.assign(sections.begin() + 1, sections.end());

    std::vector<Shape> shapes;
    Shape current{config.channels, config.height, config.width};
    for (std::size_t index = 0; index < config.layers.size(); ++index) {
        const DarknetLayer &layer = config.layers[index];
        if (supportedTypes().count(layer.type) == 0)
            throw CompileError(VRAX_COMPILER_RESULT_UNSUPPORTED_OPERATION,
                               layerLabel(index, layer) + ": the layer type \"" + layer.type
                                   + "\" is not supported");
        const Shape input = current;
        Shape output = input;
        if (layer.type == "convolutional") {
            const std::int64_t filters = positiveOption(layer, index, "filters", 1);
            const std::int64_t kernel = positiveOption(layer, index, "size", 1);
            const std::int64_t stride = positiveOption(layer, index, "stride", 1);
            const std::int64_t groups = positiveOption(layer, index, "groups", 1);
            const std::int64_t dilation = positiveOption(layer, index, "dilation", 1);
            const bool batchNormalize = option(layer, index, "batch_normalize", 0) != 0;
            const std::int64_t padding = option(layer, index, "pad", 0) != 0
                                             ? kernel / 2
                                             : option(layer, index, "padding", 0);
            if (input.channels % groups != 0)
                invalid(layerLabel(index, layer) + ": " + std::to_string(input.channels)
                        + " input channels cannot be split into " + std::to_string(groups)
                        + " groups");
            config.weightCount += boundedProduct({filters, batchNormalize ? 4 : 1})
                                  + boundedProduct({filters, input.channels / groups, kernel, kernel});
            const std::int64_t span = (kernel - 1) * dilation + 1;
            output = {filters, (input.height + 2 * padding - span) / stride + 1,
                      (input.width + 2 * padding - span) / stride + 1};
        } else if (layer.type == "connected") {
            const std::int64_t outputs = positiveOption(layer, index, "output", 1);
            const bool batchNormalize = option(layer, index, "batch_normalize", 0) != 0;
            config.weightCount += boundedProduct({outputs, batchNormalize ? 4 : 1})
                                  + boundedProduct({outputs, input.channels, input.height, input.width});
            output = {outputs, 1, 1};
        } else if (layer.type == "maxpool") {
            const std::int64_t stride = positiveOption(layer, index, "stride", 1);
            const std::int64_t kernel = positiveOption(layer, index, "size", stride);
            const std::int64_t padding = option(layer, index, "padding", kernel - 1);
            output.height = (input.height + padding - kernel) / stride + 1;
            output.width = (input.width + padding - kernel) / stride + 1;
        } else if (layer.type == "avgpool") {
            output.height = output.width = 1;
        } else if (layer.type == "reorg") {
            const std::int64_t stride = positiveOption(layer, index, "stride", 1);
            output = {boundedProduct({input.channels, stride, stride}), input.height / stride,
                      input.width / stride};
        } else if (layer.type == "upsample") {
            const std::int64_t stride = option(layer, index, "stride", 2);
            if (stride == 0)
                invalid(layerLabel(index, layer) + ": stride=0 is not allowed");
            output.height = stride > 0 ? boundedProduct({input.height, stride}) : input.height / -stride;
            output.width = stride > 0 ? boundedProduct({input.width, stride}) : input.width / -stride;
        } else if (layer.type == "route") {
            const auto entry = layer.options.find("layers");
            if (entry == layer.options.end())
                invalid(layerLabel(index, layer) + " names no layers");
            output.channels = 0;
            bool first = true;
            for (const std::string &item : splitList(entry->second)) {
                const Shape &source = shapes[layerReference(
                    parseInteger(item, layerLabel(index, layer) + " layers"), index, layer)];
                output.channels += source.channels;
                if (first) {
                    output.height = source.height;
                    output.width = source.width;
                    first = false;
                }
            }
            const std::int64_t groups = positiveOption(layer, index, "groups", 1);
            if (output.channels % groups != 0)
                invalid(layerLabel(index, layer) + ": " + std::to_string(output.channels)
                        + " channels cannot be split into " + std::to_string(groups) + " groups");
            output.channels /= groups;
        } else if (layer.type == "shortcut" || layer.type == "scale_channels") {
            const auto entry = layer.options.find("from");
            if (entry == layer.options.end())
                invalid(layerLabel(index, layer) + " names no layer to take (from=)");
            for (const std::string &item : splitList(entry->second)) {
                const std::size_t source = layerReference(
                    parseInteger(item, layerLabel(index, layer) + " from"), index, layer);
                if (layer.type == "scale_channels")
                    output = shapes[source]; // scales the feature map it names
            }
        } else if (layer.type == "yolo" || layer.type == "region") {
            if (index == 0)
                invalid(layerLabel(index, layer) + " has no layer before it to read");
            if (layer.type == "yolo")
                checkAnchorMask(layer, index);
            config.headLayers.push_back(index - 1);
        }
        if (output.channels <= 0 || output.channels > (std::int64_t(1) << 24))
            invalid(layerLabel(index, layer) + " has " + std::to_string(output.channels)
                    + " output channels");
        // The spatial size only matters for the weights of [connected] layers;
        // keep it sane rather than refuse a cfg over it.
        output.height = std::max<std::int64_t>(output.height, 1);
        output.width = std::max<std::int64_t>(output.width, 1);
        if (config.weightCount > (std::uint64_t(1) << 32))
            invalid(layerLabel(index, layer) + " takes the network past 2^32 weights");
        shapes.push_back(output);
        current = output;
    }
    return config;
}

std::size_t darknetWeightsHeaderBytes(const std::uint8_t *weights, std::size_t size)
{
    if (!weights || size < 12)
        return 0;
    std::int32_t major = 0;
    std::int32_t minor = 0;
    std::memcpy(&major, weights, 4);
    std::memcpy(&minor, weights + 4, 4);
    // From version 0.2 on the count of images seen is 64 bits wide.
    const bool wideSeen = (std::int64_t(major) * 10 + minor) >= 2 && major < 1000 && minor < 1000;
    return wideSeen ? 20 : 16;
}

void checkDarknetWeightsSize(const DarknetConfig &config, const std::uint8_t *weights,
                             std::size_t size)
{
    const std::size_t header = darknetWeightsHeaderBytes(weights, size);
    const std::uint64_t needed = (header == 0 ? 20 : header) + config.weightCount * 4;
    if (header == 0 || size != needed)
        invalid("the weights file holds " + std::to_string(size) + " bytes, but the cfg needs "
                + std::to_string(needed) + " (a header of " + std::to_string(header == 0 ? 20 : header)
                + " bytes and " + std::to_string(config.weightCount) + " weights of 4 bytes)"
                + (size < needed ? ": the weights file is truncated or belongs to another cfg"
                                 : ": the weights file is too long or belongs to another cfg"));
}
