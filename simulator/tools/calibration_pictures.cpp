#include "calibration_pictures.h"

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace {

// Channels (0 red, 1 green, 2 blue) in the order the format lists them.
std::array<int, 3> channelOrder(const std::string &format)
{
    static const std::vector<std::pair<std::string, std::array<int, 3>>> orders = {
        {"rgb", {0, 1, 2}}, {"rbg", {0, 2, 1}}, {"grb", {1, 0, 2}}, {"gbr", {1, 2, 0}},
        {"brg", {2, 0, 1}}, {"bgr", {2, 1, 0}}, {"intensity", {0, 1, 2}}};
    for (const auto &order : orders)
        if (order.first == format)
            return order.second;
    throw std::runtime_error("unknown picture format \"" + format
                             + "\" (rgb, rbg, grb, gbr, brg, bgr or intensity)");
}

// The centre of the picture at the aspect ratio width : height.
cv::Rect centreCrop(const cv::Size &picture, std::uint32_t width, std::uint32_t height)
{
    const double aspect = double(width) / double(height);
    if (double(picture.width) / picture.height > aspect) {
        const int columns = int(picture.height * aspect);
        return cv::Rect((picture.width - columns) / 2, 0, columns, picture.height);
    }
    const int rows = int(picture.width / aspect);
    return cv::Rect(0, (picture.height - rows) / 2, picture.width, rows);
}

// The picture (BGR) as an interleaved input, depth rounded up to even.
std::vector<float> toInput(const cv::Mat &picture, std::uint32_t depth, std::uint32_t height, std::uint32_t width,
                           const PictureNormalisation &normalisation)
{
    cv::Mat scaled;
    cv::resize(picture(centreCrop(picture.size(), width, height)), scaled, cv::Size(int(width), int(height)), 0, 0,
               cv::INTER_NEAREST);
    const std::array<int, 3> order = channelOrder(normalisation.format);
    const std::uint32_t stride = depth + depth % 2;
    std::vector<float> input(std::size_t(stride) * width * height, 0.0f);
    for (std::uint32_t y = 0; y < height; ++y) {
        const cv::Vec3b *row = scaled.ptr<cv::Vec3b>(int(y));
        for (std::uint32_t x = 0; x < width; ++x) {
            const cv::Vec3b &bgr = row[x];
            std::array<double, 3> value; // red, green, blue, normalised
            for (int channel = 0; channel < 3; ++channel)
                value[std::size_t(channel)] =
                    bgr[2 - channel] / normalisation.divider[std::size_t(channel)] + normalisation.adder[std::size_t(channel)];
            float *out = &input[(std::size_t(y) * width + x) * stride];
            if (depth == 1) {
                out[0] = float((0.587 * value[1] + 0.299 * value[0]) + 0.114 * value[2]);
            } else {
                for (std::size_t position = 0; position < 3; ++position)
                    out[position] = float(value[std::size_t(order[position])]);
            }
        }
    }
    return input;
}

} // namespace

std::array<double, 3> parseChannelValues(const std::string &text)
{
    std::vector<double> values;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::size_t used = 0;
        double value = 0.0;
        try {
            value = std::stod(part, &used);
        } catch (const std::exception &) {
            used = 0;
        }
        if (part.empty() || used != part.size())
            throw std::runtime_error("\"" + text + "\" is not one number or three separated by commas");
        values.push_back(value);
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (values.size() == 1)
        return {values[0], values[0], values[0]};
    if (values.size() == 3)
        return {values[0], values[1], values[2]};
    throw std::runtime_error("\"" + text + "\" is not one number or three separated by commas");
}

CalibrationPictures readCalibrationPictures(const std::string &folder, const std::vector<std::uint32_t> &inputShape,
                                            const PictureNormalisation &normalisation, std::size_t maxPictures)
{
    if (inputShape.size() != 4 || inputShape[0] != 1 || (inputShape[1] != 1 && inputShape[1] != 3))
        throw std::runtime_error("--calibrate takes pictures, but the model's input is no picture of 1 or 3 channels");
    if ((inputShape[1] == 1) != (normalisation.format == "intensity"))
        throw std::runtime_error("the model's input has " + std::to_string(inputShape[1]) + " channel(s): use --format "
                                 + (inputShape[1] == 1 ? "intensity" : "rgb, bgr or another colour order"));
    channelOrder(normalisation.format);
    for (double divider : normalisation.divider)
        if (divider == 0.0)
            throw std::runtime_error("a divider of 0 makes no input");

    std::error_code error;
    std::vector<std::filesystem::path> files;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file(error) && entry.path().filename().string().front() != '.')
            files.push_back(entry.path());
    }
    if (error)
        throw std::runtime_error("cannot read the folder " + folder + ": " + error.message());
    std::sort(files.begin(), files.end());

    CalibrationPictures pictures;
    pictures.candidates = files.size();
    for (const std::filesystem::path &file : files) {
        if (pictures.inputs.size() == maxPictures)
            break;
        const cv::Mat picture = cv::imread(file.string(), cv::IMREAD_COLOR);
        if (picture.empty() || picture.cols == 0 || picture.rows == 0) {
            pictures.skipped.push_back(file.filename().string() + " (not a picture)");
            continue;
        }
        pictures.inputs.push_back(toInput(picture, inputShape[1], inputShape[2], inputShape[3], normalisation));
        pictures.used.push_back(file.filename().string());
    }
    if (pictures.inputs.empty())
        throw std::runtime_error("the folder " + folder + " holds no picture to calibrate on");
    return pictures;
}
