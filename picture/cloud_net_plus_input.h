// The "cloud_net_plus" network takes its input from a side file instead of
// the picture: "cloud_net_plus.bin" in the current directory, whose first
// 524288 bytes are 131072 floats in the machine's byte order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t cloudNetPlusValueCount = 131072;

// True when "cloud_net_plus" appears anywhere in the path (case-sensitive,
// directories included). Choosing the input by the path is kept on purpose:
// the network's users name their folders and files for it.
bool isCloudNetPlusPath(const std::string &path);

// Resizes the tensor to 131072 values (values already there stay, new ones
// are 0.0) and reads up to 524288 bytes of "cloud_net_plus.bin" into it; a
// shorter file leaves the rest as it was. When the model needs more values
// than that (requiredCount), the tensor is padded with 0.0 up to that count
// so that the runtime never reads past it. Throws std::runtime_error
// "Cannot load cloud_net_plus.bin" when the file cannot be opened, leaving
// the tensor unchanged.
void readCloudNetPlusInput(std::vector<float> &tensor, std::uint64_t requiredCount);
