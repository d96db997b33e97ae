#include "evaluation/yolo_folder.h"
#include "evaluation/native_path.h"

#include "picture/picture_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTextStream>

#include <yaml-cpp/yaml.h>

#include <cmath>
#include <map>
#include <stdexcept>

namespace {

[[noreturn]] void failAt(const QString &file, int line, const std::string &what)
{
    throw std::runtime_error(nativePath(file) + ":" + std::to_string(line) + ": " + what);
}

std::vector<std::string> namesFromYaml(const QString &path)
{
    YAML::Node names;
    try {
        names = YAML::LoadFile(path.toStdString())["names"];
    } catch (const YAML::Exception &error) {
        throw std::runtime_error(nativePath(path) + ":" + std::to_string(error.mark.line + 1) + ": " + error.msg);
    }
    std::vector<std::string> result;
    try {
        if (names.IsSequence()) {
            for (const YAML::Node &name : names)
                result.push_back(name.as<std::string>());
        } else if (names.IsMap()) {
            std::map<long, std::string> byIndex;
            for (const auto &entry : names)
                byIndex[entry.first.as<long>()] = entry.second.as<std::string>();
            for (const auto &[index, name] : byIndex) {
                if (index != long(result.size()))
                    throw std::runtime_error(nativePath(path) + ": \"names\" has no class " + std::to_string(result.size()));
                result.push_back(name);
            }
        }
    } catch (const YAML::Exception &error) {
        throw std::runtime_error(nativePath(path) + ":" + std::to_string(error.mark.line + 1)
                                 + ": \"names\" is neither a list of names nor a map from class index to name");
    }
    if (result.empty())
        throw std::runtime_error(nativePath(path) + ": no class names in \"names\"");
    return result;
}

std::vector<std::string> namesFromLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error("Cannot read " + nativePath(path) + ": " + file.errorString().toStdString());
    std::vector<std::string> names;
    QTextStream in(&file);
    in.setCodec("UTF-8");
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (!line.isEmpty())
            names.push_back(line.toStdString());
    }
    if (names.empty())
        throw std::runtime_error(nativePath(path) + ": no class names");
    return names;
}

// The box of one label line, in the picture's pixels.
Box labelBox(const QString &file, int line, const std::vector<double> &values, const QSize &size)
{
    double left, top, right, bottom;
    if (values.size() == 5) {
        left = values[1] - values[3] / 2.0;
        top = values[2] - values[4] / 2.0;
        right = left + values[3];
        bottom = top + values[4];
        if (values[3] < 0.0 || values[4] < 0.0)
            failAt(file, line, "a negative width or height");
    } else {
        left = top = INFINITY;
        right = bottom = -INFINITY;
        for (std::size_t i = 1; i + 1 < values.size(); i += 2) {
            left = std::min(left, values[i]);
            right = std::max(right, values[i]);
            top = std::min(top, values[i + 1]);
            bottom = std::max(bottom, values[i + 1]);
        }
    }
    const double w = size.width();
    const double h = size.height();
    return {left * w, top * h, (right - left) * w, (bottom - top) * h};
}

void readLabels(const QString &path, std::size_t image, const QSize &size, std::size_t classCount,
                std::vector<GroundTruthBox> &objects)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error("Cannot read " + nativePath(path) + ": " + file.errorString().toStdString());
    int line = 0;
    std::vector<double> values;
    while (!file.atEnd()) {
        ++line;
        const QList<QByteArray> fields = file.readLine().simplified().split(' ');
        if (fields.size() == 1 && fields[0].isEmpty())
            continue;
        values.clear();
        for (const QByteArray &field : fields) {
            bool ok = false;
            values.push_back(field.toDouble(&ok));
            if (!ok || !std::isfinite(values.back()))
                failAt(path, line, "\"" + field.toStdString() + "\" is not a number");
        }
        if (values.size() != 5 && (values.size() < 7 || values.size() % 2 == 0))
            failAt(path, line,
                   std::to_string(values.size()) + " numbers: a label line holds class cx cy w h (5 numbers)"
                                                    " or a class and a polygon's points");
        const double classValue = values[0];
        if (classValue != std::floor(classValue) || classValue < 0.0 || classValue >= double(classCount))
            failAt(path, line,
                   "class " + fields[0].toStdString() + " is out of range: the data set has "
                       + std::to_string(classCount) + " classes, 0 to " + std::to_string(classCount - 1));
        GroundTruthBox object;
        object.image = image;
        object.category = std::size_t(classValue);
        object.box = labelBox(path, line, values, size);
        object.area = object.box.width * object.box.height;
        objects.push_back(object);
    }
}

} // namespace

std::vector<std::string> readYoloClassNames(const QString &folder)
{
    const QDir dir(folder);
    if (dir.exists("data.yaml"))
        return namesFromYaml(dir.filePath("data.yaml"));
    if (dir.exists("classes.txt"))
        return namesFromLines(dir.filePath("classes.txt"));
    const QStringList names = dir.entryList({"*.names"}, QDir::Files, QDir::Name);
    if (!names.isEmpty())
        return namesFromLines(dir.filePath(names.first()));
    throw std::runtime_error(nativePath(dir.absolutePath())
                             + ": no class names: give data.yaml with \"names\", classes.txt or a .names file");
}

DetectionDataSet readYoloFolder(const QString &folder)
{
    const QDir dir(folder);
    DetectionDataSet data;
    data.source = dir.absolutePath();
    const std::vector<std::string> names = readYoloClassNames(folder);
    for (std::size_t k = 0; k < names.size(); ++k)
        data.classes.push_back({std::int64_t(k), names[k]});

    const QStringList pictures = picturesInFolder(dir.filePath("images"));
    const QDir labels(dir.filePath("labels"));
    for (int i = 0; i < pictures.size(); ++i) {
        QImageReader reader(pictures[i]);
        const QSize size = reader.size();
        if (!size.isValid())
            throw std::runtime_error("Cannot read picture: " + nativePath(pictures[i]) + " ("
                                     + reader.errorString().toStdString() + ")");
        data.images.push_back({std::int64_t(i) + 1, pictures[i], size.width(), size.height()});
        const QString label = labels.filePath(QFileInfo(pictures[i]).completeBaseName() + ".txt");
        if (QFileInfo::exists(label))
            readLabels(label, std::size_t(i), size, names.size(), data.objects);
    }
    return data;
}
