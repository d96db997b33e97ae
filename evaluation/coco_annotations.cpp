#include "evaluation/coco_annotations.h"

#include "evaluation/json_document.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

namespace {

std::string entry(const char *kind, std::size_t index, std::int64_t id)
{
    return std::string(kind) + " " + std::to_string(index) + " (id " + std::to_string(id) + ")";
}

// Indexes of the ids in ascending order, refusing an id given twice.
std::unordered_map<std::int64_t, std::size_t> ascendingIndexes(const JsonDocument &file,
                                                               const std::vector<std::int64_t> &ids,
                                                               const char *kind)
{
    std::vector<std::int64_t> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    const auto twice = std::adjacent_find(sorted.begin(), sorted.end());
    if (twice != sorted.end())
        file.fail(std::string("two ") + kind + "s have the id " + std::to_string(*twice));
    std::unordered_map<std::int64_t, std::size_t> indexes;
    indexes.reserve(sorted.size());
    for (std::size_t i = 0; i < sorted.size(); ++i)
        indexes.emplace(sorted[i], i);
    return indexes;
}

template <typename Item>
std::vector<Item> inOrder(const std::vector<Item> &items, const std::vector<std::int64_t> &ids,
                          const std::unordered_map<std::int64_t, std::size_t> &indexes)
{
    std::vector<Item> ordered(items.size());
    for (std::size_t i = 0; i < items.size(); ++i)
        ordered[indexes.at(ids[i])] = items[i];
    return ordered;
}

std::vector<DataSetImage> readImages(const JsonDocument &file, simdjson::dom::object root, const QString &folder)
{
    std::vector<DataSetImage> images;
    const QDir dir(folder);
    std::size_t index = 0;
    for (simdjson::dom::element value : json::array(file, json::member(file, root, "images", "the file"), "\"images\"")) {
        const std::string where = "image " + std::to_string(index++);
        const simdjson::dom::object item = json::object(file, value, where);
        DataSetImage image;
        image.id = json::integer(file, json::member(file, item, "id", where), where + " id");
        const std::string place = entry("image", index - 1, image.id);
        // Some tools write sizes as 640.0: taken as they come, to the pixel.
        if (json::hasMember(item, "width"))
            image.width = int(std::lround(json::number(file, item["width"], place + " width")));
        if (json::hasMember(item, "height"))
            image.height = int(std::lround(json::number(file, item["height"], place + " height")));
        if (!folder.isEmpty()) {
            const std::string name = json::text(file, json::member(file, item, "file_name", place), place + " file_name");
            image.path = dir.absoluteFilePath(QString::fromStdString(name));
            if (!QFileInfo(image.path).isFile())
                file.fail(place + ": the picture " + QDir::toNativeSeparators(image.path).toStdString()
                          + " does not exist");
        }
        images.push_back(image);
    }
    return images;
}

std::vector<DataSetClass> readCategories(const JsonDocument &file, simdjson::dom::object root)
{
    std::vector<DataSetClass> classes;
    std::size_t index = 0;
    for (simdjson::dom::element value :
         json::array(file, json::member(file, root, "categories", "the file"), "\"categories\"")) {
        const std::string where = "category " + std::to_string(index++);
        const simdjson::dom::object item = json::object(file, value, where);
        DataSetClass category;
        category.id = json::integer(file, json::member(file, item, "id", where), where + " id");
        category.name = json::text(file, json::member(file, item, "name", where), where + " name");
        classes.push_back(category);
    }
    return classes;
}

} // namespace

DetectionDataSet readCocoAnnotations(const QString &path, const QString &imagesFolder)
{
    const JsonDocument file(path);
    const simdjson::dom::object root = json::object(file, file.root(), "the file");
    DetectionDataSet data;
    data.source = path;

    const std::vector<DataSetImage> images = readImages(file, root, imagesFolder);
    std::vector<std::int64_t> imageIds(images.size());
    std::transform(images.begin(), images.end(), imageIds.begin(), [](const DataSetImage &i) { return i.id; });
    const auto imageIndex = ascendingIndexes(file, imageIds, "image");
    data.images = inOrder(images, imageIds, imageIndex);

    const std::vector<DataSetClass> classes = readCategories(file, root);
    std::vector<std::int64_t> classIds(classes.size());
    std::transform(classes.begin(), classes.end(), classIds.begin(), [](const DataSetClass &c) { return c.id; });
    const auto classIndex = ascendingIndexes(file, classIds, "category");
    data.classes = inOrder(classes, classIds, classIndex);

    simdjson::dom::element annotations;
    if (root["annotations"].get(annotations))
        return data; // a data set of pictures without any object
    std::size_t index = 0;
    for (simdjson::dom::element value : json::array(file, annotations, "\"annotations\"")) {
        std::string where = "annotation " + std::to_string(index++);
        const simdjson::dom::object item = json::object(file, value, where);
        if (json::hasMember(item, "id"))
            where = entry("annotation", index - 1, json::integer(file, item["id"], where + " id"));
        const std::int64_t image = json::integer(file, json::member(file, item, "image_id", where), where + " image_id");
        const auto foundImage = imageIndex.find(image);
        if (foundImage == imageIndex.end())
            file.fail(where + ": image_id " + std::to_string(image) + " is not among the images");
        const std::int64_t category =
            json::integer(file, json::member(file, item, "category_id", where), where + " category_id");
        const auto foundClass = classIndex.find(category);
        if (foundClass == classIndex.end())
            file.fail(where + ": category_id " + std::to_string(category) + " is not among the categories");

        GroundTruthBox object;
        object.image = foundImage->second;
        object.category = foundClass->second;
        double box[4];
        json::box(file, json::member(file, item, "bbox", where), where + " bbox", box);
        object.box = {box[0], box[1], box[2], box[3]};
        object.area = json::hasMember(item, "area") ? json::number(file, item["area"], where + " area")
                                                    : box[2] * box[3];
        simdjson::dom::element crowd;
        if (!item["iscrowd"].get(crowd)) {
            bool flag = false;
            object.crowd = crowd.get(flag) ? json::integer(file, crowd, where + " iscrowd") != 0 : flag;
        }
        data.objects.push_back(object);
    }
    return data;
}
