#include "evaluation/coco_results.h"

#include "evaluation/json_document.h"

#include <QDir>

#include <charconv>
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

} // namespace

CocoResults readCocoResults(const QString &path, const DetectionDataSet &data)
{
    std::unordered_map<std::int64_t, std::size_t> images, classes;
    for (std::size_t i = 0; i < data.images.size(); ++i)
        images.emplace(data.images[i].id, i);
    for (std::size_t k = 0; k < data.classes.size(); ++k)
        classes.emplace(data.classes[k].id, k);

    const JsonDocument file(path);
    CocoResults results;
    std::size_t index = 0;
    const simdjson::dom::array list = json::array(file, file.root(), "the file (a results file is a list of detections)");
    results.detections.reserve(list.size());
    for (simdjson::dom::element value : list) {
        const std::string where = "detection " + std::to_string(index++);
        const simdjson::dom::object item = json::object(file, value, where);
        const std::int64_t image = json::integer(file, json::member(file, item, "image_id", where), where + " image_id");
        const auto foundImage = images.find(image);
        if (foundImage == images.end())
            file.fail("image_id " + std::to_string(image) + " of " + where + " is not among the images of "
                      + QDir::toNativeSeparators(data.source).toStdString());
        const std::int64_t category =
            json::integer(file, json::member(file, item, "category_id", where), where + " category_id");
        DetectedBox detection;
        double box[4];
        json::box(file, json::member(file, item, "bbox", where), where + " bbox", box);
        detection.box = {box[0], box[1], box[2], box[3]};
        detection.score = json::number(file, json::member(file, item, "score", where), where + " score");
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
