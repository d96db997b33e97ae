#include "evaluation/coco_results.h"
#include "evaluation/native_path.h"

#include "evaluation/json_document.h"

#include <QDir>

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <unordered_map>

namespace {

void appendNumber(QByteArray &out, double value)
{
    char buffer[32];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, int(written.ptr - buffer));
}

void appendInteger(QByteArray &out, std::int64_t value)
{
    char buffer[24];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, int(written.ptr - buffer));
}

// Results files hold hundreds of thousands of detections: read on demand,
// one detection at a time, without building the whole document.
class ResultsReader
{
public:
    ResultsReader(const QString &path, const DetectionDataSet &data) : path(path), data(data), bytes(readJsonFile(path))
    {
        for (std::size_t i = 0; i < data.images.size(); ++i)
            images.emplace(data.images[i].id, i);
        for (std::size_t k = 0; k < data.classes.size(); ++k)
            classes.emplace(data.classes[k].id, k);
    }

    CocoResults read()
    {
        simdjson::ondemand::document document;
        simdjson::ondemand::array list;
        if (parser.iterate(bytes).get(document) || document.get_array().get(list))
            fail(document, "the file is not a list of detections");
        CocoResults results;
        results.detections.reserve(bytes.size() / 80); // a detection takes some 80 to 100 bytes
        std::size_t index = 0;
        for (auto item : list) {
            where = "detection " + std::to_string(index++);
            simdjson::ondemand::object object;
            if (item.get_object().get(object))
                fail(document, "is not an object");
            DetectedBox detection;
            std::int64_t image = 0, category = 0;
            int seen = 0;
            for (auto field : object) {
                std::string_view key;
                if (field.unescaped_key().get(key))
                    fail(document, "is not an object");
                simdjson::ondemand::value value = field.value();
                if (key == "image_id") {
                    seen |= 1;
                    if (value.get_int64().get(image))
                        fail(document, "image_id is not a whole number");
                } else if (key == "category_id") {
                    seen |= 2;
                    if (value.get_int64().get(category))
                        fail(document, "category_id is not a whole number");
                } else if (key == "bbox") {
                    seen |= 4;
                    readBox(document, value, detection.box);
                } else if (key == "score") {
                    seen |= 8;
                    if (value.get_double().get(detection.score) || !std::isfinite(detection.score))
                        fail(document, "score is not a number");
                }
            }
            for (const auto &[bit, name] : {std::pair{1, "image_id"}, {2, "category_id"}, {4, "bbox"}, {8, "score"}})
                if (!(seen & bit))
                    fail(document, std::string("has no \"") + name + "\"");
            const auto foundImage = images.find(image);
            if (foundImage == images.end())
                throw std::runtime_error(nativePath(path) + ": image_id " + std::to_string(image) + " of " + where
                                         + " is not among the images of " + nativePath(data.source));
            const auto foundClass = classes.find(category);
            if (foundClass == classes.end()) {
                if (results.unknownCategory++ == 0)
                    results.firstUnknownCategory = category;
                continue;
            }
            detection.image = foundImage->second;
            detection.category = foundClass->second;
            results.detections.push_back(detection);
        }
        return results;
    }

private:
    void readBox(simdjson::ondemand::document &document, simdjson::ondemand::value value, Box &box)
    {
        simdjson::ondemand::array list;
        if (value.get_array().get(list))
            fail(document, "bbox is not a box [x, y, width, height]");
        double numbers[4];
        std::size_t n = 0;
        for (auto item : list) {
            double number = 0.0;
            if (n >= 4 || item.get_double().get(number) || !std::isfinite(number))
                fail(document, "bbox is not a box [x, y, width, height]");
            numbers[n++] = number;
        }
        if (n != 4)
            fail(document, "bbox is not a box [x, y, width, height]");
        if (numbers[2] < 0.0 || numbers[3] < 0.0)
            fail(document, "bbox has a negative width or height");
        box = {numbers[0], numbers[1], numbers[2], numbers[3]};
    }

    [[noreturn]] void fail(simdjson::ondemand::document &document, const std::string &what)
    {
        const std::string syntax = jsonSyntaxError(path, bytes);
        if (!syntax.empty())
            throw std::runtime_error(syntax);
        const char *place = nullptr;
        std::string line;
        if (!document.current_location().get(place))
            line = "line " + std::to_string(lineAt(bytes, place)) + ": ";
        throw std::runtime_error(nativePath(path) + ": " + line + (where.empty() ? what : where + " " + what));
    }

    const QString path;
    const DetectionDataSet &data;
    const simdjson::padded_string bytes;
    simdjson::ondemand::parser parser;
    std::unordered_map<std::int64_t, std::size_t> images, classes;
    std::string where;
};

} // namespace

CocoResults readCocoResults(const QString &path, const DetectionDataSet &data)
{
    return ResultsReader(path, data).read();
}

QByteArray cocoResultsJson(const std::vector<DetectedBox> &detections, const DetectionDataSet &data)
{
    QByteArray out;
    out.reserve(int(std::min<std::size_t>(detections.size() * 96 + 4, 1u << 30)));
    out.append('[');
    bool first = true;
    for (const DetectedBox &d : detections) {
        if (d.image >= data.images.size() || d.category >= data.classes.size())
            continue;
        out.append(first ? "\n" : ",\n");
        first = false;
        out.append("{\"image_id\": ");
        appendInteger(out, data.images[d.image].id);
        out.append(", \"category_id\": ");
        appendInteger(out, data.classes[d.category].id);
        out.append(", \"bbox\": [");
        appendNumber(out, d.box.x);
        out.append(", ");
        appendNumber(out, d.box.y);
        out.append(", ");
        appendNumber(out, d.box.width);
        out.append(", ");
        appendNumber(out, d.box.height);
        out.append("], \"score\": ");
        appendNumber(out, d.score);
        out.append('}');
    }
    out.append("\n]\n");
    return out;
}
