// The pictures vrax-compile --calibrate stores in a model: read from a
// folder and made into inputs the way the application makes them from an NN
// description (centre crop to the input's aspect ratio, nearest-pixel
// scaling, each channel value / divider + adder, in the format's channel
// order), laid out as VRAX_Process takes them on the simulator.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct PictureNormalisation
{
    std::string format = "rgb";               // rgb, rbg, grb, gbr, brg, bgr or intensity
    std::array<double, 3> divider{255.0, 255.0, 255.0}; // per channel: red, green, blue
    std::array<double, 3> adder{0.0, 0.0, 0.0};
};

struct CalibrationPictures
{
    std::vector<std::vector<float>> inputs;
    std::vector<std::string> used;    // file names, in name order
    std::vector<std::string> skipped; // files that are no pictures, with the reason
    std::size_t candidates = 0;       // regular files in the folder
};

// Reads up to maxPictures pictures of folder, in name order, for an input
// of shape [1, C, H, W] with C 1 (format intensity) or 3. Throws
// std::runtime_error naming the folder or the problem.
CalibrationPictures readCalibrationPictures(const std::string &folder, const std::vector<std::uint32_t> &inputShape,
                                            const PictureNormalisation &normalisation, std::size_t maxPictures);

// "255" or "127.5,127.5,127.5": one value for all three channels or one each.
std::array<double, 3> parseChannelValues(const std::string &text);
