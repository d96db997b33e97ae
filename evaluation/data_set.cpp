#include "evaluation/data_set.h"

#include "evaluation/class_folders.h"
#include "evaluation/coco_annotations.h"
#include "evaluation/yolo_folder.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>

LabelledData openDataSet(const QString &path, const QString &imagesFolder)
{
    const QFileInfo info(path);
    LabelledData data;
    if (info.isFile()) {
        if (info.suffix().compare("json", Qt::CaseInsensitive) != 0)
            throw std::runtime_error("The data set " + QDir::toNativeSeparators(path).toStdString()
                                     + " is neither a COCO annotation file (.json) nor a folder");
        data.kind = DataSetKind::Coco;
        const QDir folder = info.absoluteDir();
        const QString images = !imagesFolder.isEmpty()     ? imagesFolder
                               : folder.exists("images") ? folder.filePath("images")
                                                         : folder.absolutePath();
        data.boxes = readCocoAnnotations(path, images);
        return data;
    }
    if (!info.isDir())
        throw std::runtime_error("The data set " + QDir::toNativeSeparators(path).toStdString() + " does not exist");
    const QDir dir(path);
    if (dir.exists("labels")) {
        data.kind = DataSetKind::Yolo;
        data.boxes = readYoloFolder(path);
    } else if (dir.exists("masks")) {
        data.kind = DataSetKind::Masks;
        data.masks = readMaskFolder(path);
    } else {
        data.kind = DataSetKind::ClassFolders;
        data.classes = readClassFolders(path);
    }
    return data;
}

std::vector<std::string> dataSetClassNames(const LabelledData &data)
{
    std::vector<std::string> names;
    const std::vector<DataSetClass> &classes =
        data.kind == DataSetKind::ClassFolders ? data.classes.classes : data.boxes.classes;
    if (data.kind != DataSetKind::Masks)
        for (const DataSetClass &c : classes)
            names.push_back(c.name);
    return names;
}

const char *dataSetKindName(DataSetKind kind)
{
    switch (kind) {
    case DataSetKind::Coco:
        return "COCO annotations";
    case DataSetKind::Yolo:
        return "YOLO folder";
    case DataSetKind::ClassFolders:
        return "a folder per class";
    case DataSetKind::Masks:
        return "pictures and masks";
    }
    return "";
}
