#include "description/description_reader.h"

#include "description/parse_decimal.h"
#include "files/regular_file.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <tinyxml2.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <unordered_map>

using tinyxml2::XMLElement;

namespace {

constexpr double lowestNumber = std::numeric_limits<double>::lowest();
constexpr double highestNumber = std::numeric_limits<double>::max();

std::string elementPath(const XMLElement *parent, const char *name)
{
    return std::string(parent->Name()) + "/" + name;
}

// "Fail to find" (beside the root's "Failed to find") is kept on purpose: users
// and scripts match these texts.
[[noreturn]] void throwMissing(const XMLElement *parent, const char *name)
{
    throw std::runtime_error("Fail to find \"" + elementPath(parent, name) + "\" element");
}

[[noreturn]] void throwInvalid(const XMLElement *parent, const char *name, const std::string &allowed)
{
    throw std::runtime_error("Invalid value in \"" + elementPath(parent, name) + "\" (" + allowed + ")");
}

// The text of a required child; an element without text counts as missing.
const char *requiredText(const XMLElement *parent, const char *name)
{
    const XMLElement *child = parent->FirstChildElement(name);
    const char *text = child ? child->GetText() : nullptr;
    if (!text)
        throwMissing(parent, name);
    return text;
}

// Fixed notation with six decimals, always with a point: the message must not
// depend on the user's locale.
std::string fixedSix(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::fixed, 6);
    return std::string(buffer, result.ptr);
}

// Lines as repeated line reading yields them: a last line without a line feed
// counts, a final line feed adds no empty line.
std::vector<std::string> splitLines(const std::string &text)
{
    std::vector<std::string> lines;
    lines.reserve(std::size_t(std::count(text.begin(), text.end(), '\n')) + 1);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.emplace_back(text, start, end - start);
        start = end + 1;
    }
    return lines;
}

template <typename Value>
void readKeyword(const XMLElement *parent, const char *name, Value &value,
                 const std::unordered_map<std::string, Value> &keywords, const char *allowed)
{
    const auto found = keywords.find(requiredText(parent, name));
    if (found == keywords.end())
        throwInvalid(parent, name, allowed);
    value = found->second;
}

} // namespace

void resolveModelPath(const std::string &descriptionPath, std::string &modelPath)
{
    const QString model = QString::fromStdString(modelPath);
    if (!QFileInfo(model).isRelative())
        return;
    const QString folder = QFileInfo(QString::fromStdString(descriptionPath)).absolutePath();
    modelPath = (folder + QDir::separator() + model).toStdString();
}

void readNumber(const XMLElement *parent, const char *name, double &value, double lowest,
                double highest)
{
    const char *text = requiredText(parent, name);
    double number = 0.0;
    bool valid = true;
    try {
        number = parseDecimal(text);
    } catch (const std::invalid_argument &) {
        valid = false;
    } catch (const std::out_of_range &) {
        valid = false;
    }
    // A NaN passes: it compares false with both bounds.
    if (!valid || number < lowest || number > highest)
        throwInvalid(parent, name, fixedSix(lowest) + ".." + fixedSix(highest));
    value = number;
}

void readInputFormat(const XMLElement *parent, const char *name, InputFormat &format)
{
    static const std::unordered_map<std::string, InputFormat> keywords = {
        {"rgb", InputFormat::Rgb}, {"rbg", InputFormat::Rbg}, {"grb", InputFormat::Grb},
        {"gbr", InputFormat::Gbr}, {"brg", InputFormat::Brg}, {"bgr", InputFormat::Bgr},
        {"intensity", InputFormat::Intensity},
    };
    readKeyword(parent, name, format, keywords, "rgb, rbg, grb, gbr, brg, bgr, intensity");
}

void readNetworkKind(const XMLElement *parent, const char *name, NetworkKind &kind)
{
    static const std::unordered_map<std::string, NetworkKind> keywords = {
        {"classifier", NetworkKind::Classifier}, {"yolo2", NetworkKind::Yolo2},
        {"yolo3", NetworkKind::Yolo3}, {"yolo5", NetworkKind::Yolo5},
        {"unet", NetworkKind::Unet},
    };
    // The message lists the kinds users are offered; "yolo5" is accepted all the same.
    readKeyword(parent, name, kind, keywords, "classifier, yolo2, yolo3, unet");
}

void readOutputActivation(const XMLElement *parent, const char *name, OutputActivation &activation)
{
    static const std::unordered_map<std::string, OutputActivation> keywords = {
        {"softmax", OutputActivation::Softmax}, {"none", OutputActivation::None},
    };
    activation = OutputActivation::Automatic;
    if (parent->FirstChildElement(name))
        readKeyword(parent, name, activation, keywords, "softmax, none");
}

void readPictureFit(const XMLElement *parent, const char *name, PictureFit &fit)
{
    static const std::unordered_map<std::string, PictureFit> keywords = {
        {"crop", PictureFit::CentreCrop}, {"stretch", PictureFit::Stretch}, {"letterbox", PictureFit::Letterbox}};
    if (parent->FirstChildElement(name))
        readKeyword(parent, name, fit, keywords, "crop, stretch, letterbox");
}

void readLabels(const XMLElement *parent, const char *name, std::vector<std::string> &labels)
{
    const std::string text = requiredText(parent, name);
    labels.clear();
    for (std::string &line : splitLines(text)) {
        // A one-tab line is the indent before a closing tag, not a label.
        if (line.empty() || line == "\t")
            continue;
        labels.push_back(std::move(line));
    }
}

void readAnchors(const XMLElement *parent, const char *name, std::vector<double> &anchors)
{
    const std::string text = requiredText(parent, name);
    anchors.clear();
    for (const std::string &line : splitLines(text)) {
        if (line.empty())
            continue;
        try {
            anchors.push_back(parseDecimal(line));
        } catch (const std::invalid_argument &) {
        } catch (const std::out_of_range &) {
        }
    }
}

void readDescription(NnDescription &description, const std::string &path)
{
    checkRegularFile(path, "description file");
    tinyxml2::XMLDocument document(true, tinyxml2::PRESERVE_WHITESPACE);
    if (document.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS)
        throw std::runtime_error("Failed to open VRAX NN descriptions file");

    const XMLElement *root = document.FirstChildElement("vrax_nn_description");
    if (!root)
        throw std::runtime_error("Failed to find \"vrax_nn_description\" element");

    const XMLElement *input = root->FirstChildElement("input");
    if (!input)
        throw std::runtime_error("Fail to find \"input\" element");
    description.model = requiredText(input, "model");
    resolveModelPath(path, description.model);
    description.calibration.clear();
    if (input->FirstChildElement("calibration")) {
        description.calibration = requiredText(input, "calibration");
        resolveModelPath(path, description.calibration);
    }
    readInputFormat(input, "format", description.format);
    readNumber(input, "divider", description.divider[0], lowestNumber, highestNumber);
    description.divider[1] = description.divider[2] = description.divider[0];
    readNumber(input, "adder", description.adder[0], lowestNumber, highestNumber);
    description.adder[1] = description.adder[2] = description.adder[0];
    description.resize = PictureFit::CentreCrop;
    readPictureFit(input, "resize", description.resize);
    description.padding = 114;
    if (input->FirstChildElement("padding")) {
        double padding = 0.0;
        readNumber(input, "padding", padding, 0.0, 255.0);
        if (padding != std::floor(padding))
            throwInvalid(input, "padding", "a whole number from 0 to 255");
        description.padding = int(padding);
    }

    const XMLElement *output = root->FirstChildElement("output");
    if (!output)
        throw std::runtime_error("Fail to find \"output\" element");
    readNetworkKind(output, "neural_network", description.neural_network);

    switch (description.neural_network) {
    case NetworkKind::Yolo2:
    case NetworkKind::Yolo3:
    case NetworkKind::Yolo5:
        readAnchors(output, "yolo_anchors", description.yolo_anchors);
        readNumber(output, "yolo_confidence_threshold", description.yolo_confidence_threshold,
                   lowestNumber, highestNumber);
        readNumber(output, "yolo_iou_threshold", description.yolo_iou_threshold, lowestNumber,
                   highestNumber);
        [[fallthrough]];
    case NetworkKind::Classifier:
        readLabels(output, "labels", description.labels);
        if (description.labels.empty())
            throw std::runtime_error("Labels required");
        break;
    case NetworkKind::Unet:
        // Labels are optional here: when given, one per output channel. The
        // yolo fields keep what they held.
        description.labels.clear();
        if (output->FirstChildElement("labels"))
            readLabels(output, "labels", description.labels);
        break;
    }
    readOutputActivation(output, "output_activation", description.output_activation);
}
