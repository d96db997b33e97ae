// A DarkNet configuration as far as the compiler needs it: the input size,
// the layers, how many weights they need, and which layers are detection heads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct DarknetLayer
{
    std::string type; // section name without brackets, e.g. "convolutional"
    int line = 0;     // line of the section header in the cfg, from 1
    std::map<std::string, std::string> options;
};

struct DarknetConfig
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t channels = 0;
    std::vector<DarknetLayer> layers;     // the sections after [net], numbered from 0
    std::uint64_t weightCount = 0;        // 32-bit floats the layers read from the weights file
    std::vector<std::size_t> headLayers;  // layers feeding a [yolo] or [region] layer, cfg order
};

// Parses the cfg text; throws CompileError: UNSUPPORTED_OPERATION naming the
// layer and its type for a layer the engine lacks, INVALID_MODEL for anything
// else that is wrong.
DarknetConfig parseDarknetConfig(const char *text, std::size_t size);

// Size of the weights file header (major, minor, revision and the count of
// images seen, 32 or 64 bits wide depending on the version), or 0 when the
// data is too short to hold one.
std::size_t darknetWeightsHeaderBytes(const std::uint8_t *weights, std::size_t size);

// Throws CompileError (INVALID_MODEL, with the byte counts) unless the weights
// data is exactly as long as the configuration needs.
void checkDarknetWeightsSize(const DarknetConfig &config, const std::uint8_t *weights,
                             std::size_t size);
