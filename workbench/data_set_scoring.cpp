#include "workbench/data_set_scoring.h"

#include "evaluation/class_folders.h"
#include "evaluation/class_matching.h"
#include "evaluation/coco_results.h"
#include "evaluation/mask_projection.h"
#include "picture/picture_geometry.h"

#include <QDir>

#include <algorithm>
#include <stdexcept>

namespace {

// The data set's layout serves this kind of network.
bool fits(DataSetKind format, NetworkKind kind)
{
    switch (format) {
    case DataSetKind::Coco:
    case DataSetKind::Yolo:
        return isDetector(kind);
    case DataSetKind::ClassFolders:
        return kind == NetworkKind::Classifier;
    case DataSetKind::Masks:
        return kind == NetworkKind::Unet;
    }
    return false;
}

const char *servedBy(DataSetKind format)
{
    switch (format) {
    case DataSetKind::Coco:
    case DataSetKind::Yolo:
        return "detectors";
    case DataSetKind::ClassFolders:
        return "classifiers";
    case DataSetKind::Masks:
        return "segmentation networks";
    }
    return "";
}

const char *networkName(NetworkKind kind)
{
    return kind == NetworkKind::Classifier ? "a classifier" : kind == NetworkKind::Unet ? "a segmentation network"
                                                                                          : "a detector";
}

// Class 0 is the background; a segmentation network's labels, when given,
// name its channels.
std::vector<std::string> segmentationClasses(const NnDescription &description, const ModelDims &modelDims)
{
    const std::size_t depth = modelDims.outputs.empty() ? 2 : std::max<std::size_t>(modelDims.outputs[0].depth, 2);
    if (description.labels.size() == depth)
        return description.labels;
    std::vector<std::string> names{"background"};
    for (std::size_t k = 1; k < depth; ++k)
        names.push_back("class " + std::to_string(k));
    return names;
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

struct DataSetScoring::Tally
{
    std::vector<std::vector<DetectedBox>> boxes; // per picture; category: the data set's class index
    std::unique_ptr<ClassificationTally> labels;
    std::unique_ptr<SegmentationTally> masks;
    std::size_t added = 0;
};

DataSetScoring::DataSetScoring(const DataSetChoice &choice, const NnDescription &description,
                               const ModelDims &modelDims)
    : kind(description.neural_network), threshold(description.yolo_confidence_threshold)
{
    auto read = std::make_shared<LabelledData>(openDataSet(choice.path, choice.images));
    data = read;
    if (!fits(data->kind, kind))
        throw std::runtime_error(QStringLiteral("The data set %1 is %2, which serves %3, but the description's "
                                                "network is %4")
                                     .arg(native(choice.path), QString::fromLatin1(dataSetKindName(data->kind)),
                                          QString::fromLatin1(servedBy(data->kind)),
                                          QString::fromLatin1(networkName(kind)))
                                     .toStdString());
    labels = kind == NetworkKind::Unet ? segmentationClasses(description, modelDims) : description.labels;
    if (data->kind != DataSetKind::Masks) {
        const ClassMapping mapping = choice.classMap.isEmpty() ? ClassMapping() : readClassMap(choice.classMap, labels);
        ClassMatching matching = matchClasses(dataSetClassNames(*data), labels, mapping);
        labelOfClass = std::move(matching.labelOfClass);
        classOfLabel = std::move(matching.classOfLabel);
        matchWarning = std::move(matching.warning);
    }
    switch (data->kind) {
    case DataSetKind::Coco:
    case DataSetKind::Yolo:
        for (const DataSetImage &image : data->boxes.images)
            paths << image.path;
        break;
    case DataSetKind::ClassFolders:
        for (const ClassifiedPicture &picture : data->classes.pictures)
            paths << picture.path;
        break;
    case DataSetKind::Masks:
        for (const MaskedPicture &picture : data->masks.pictures)
            paths << picture.picture;
        break;
    }
    for (std::unique_ptr<Tally> &tally : tallies) {
        tally = std::make_unique<Tally>();
        tally->boxes.resize(std::size_t(paths.size()));
        if (data->kind == DataSetKind::ClassFolders)
            tally->labels = std::make_unique<ClassificationTally>(labels);
        if (data->kind == DataSetKind::Masks)
            tally->masks = std::make_unique<SegmentationTally>(labels);
    }
}

DataSetScoring::~DataSetScoring() = default;

void DataSetScoring::add(std::size_t picture, const PreparedPicture &prepared, const FrameResult &result,
                         ScoredBoard board)
{
    if (picture >= std::size_t(paths.size()))
        return;
    Tally &tally = *tallies[std::size_t(board)];
    ++tally.added;
    switch (data->kind) {
    case DataSetKind::Coco:
    case DataSetKind::Yolo: {
        const PictureGeometry geometry = pictureGeometry(prepared);
        const QRectF bounds = prepared.original.isNull() ? QRectF() : QRectF(QPointF(0, 0), prepared.original.size());
        std::vector<DetectedBox> &boxes = tally.boxes[picture];
        boxes.clear();
        for (const Detection &d : result.detections) {
            if (d.classIndex < 0 || std::size_t(d.classIndex) >= classOfLabel.size()
                || classOfLabel[std::size_t(d.classIndex)] < 0)
                continue;
            QRectF box(d.x, d.y, std::max(d.width, 0), std::max(d.height, 0));
            if (!geometry.isNull())
                box = geometry.toOriginal(box);
            // Letterbox padding lies beyond the picture: boxes end at its edges.
            if (!bounds.isEmpty())
                box = QRectF(QPointF(std::clamp(box.left(), 0.0, bounds.right()), std::clamp(box.top(), 0.0, bounds.bottom())),
                             QPointF(std::clamp(box.right(), 0.0, bounds.right()),
                                     std::clamp(box.bottom(), 0.0, bounds.bottom())));
            boxes.push_back({picture, std::size_t(classOfLabel[std::size_t(d.classIndex)]),
                             Box{box.x(), box.y(), box.width(), box.height()}, d.confidence});
        }
        break;
    }
    case DataSetKind::ClassFolders: {
        const int truth = labelOfClass[data->classes.pictures[picture].classIndex];
        if (truth < 0)
            return;
        std::vector<std::size_t> ranking;
        ranking.reserve(result.ranking.size());
        for (const RankedClass &c : result.ranking)
            if (c.classIndex >= 0)
                ranking.push_back(std::size_t(c.classIndex));
        tally.labels->add(std::size_t(truth), ranking);
        break;
    }
    case DataSetKind::Masks: {
        const MaskedPicture &files = data->masks.pictures[picture];
        QSize maskSize;
        const std::vector<std::uint8_t> mask = readClassMask(files.mask, maskSize);
        const QSize pictureSize = prepared.original.isNull() ? prepared.picture.size() : prepared.original.size();
        if (maskSize != pictureSize)
            throw std::runtime_error(QStringLiteral("The mask %1 is %2 x %3 pixels, but its picture %4 is %5 x %6")
                                         .arg(native(files.mask))
                                         .arg(maskSize.width())
                                         .arg(maskSize.height())
                                         .arg(native(files.picture))
                                         .arg(pictureSize.width())
                                         .arg(pictureSize.height())
                                         .toStdString());
        const ClassMap &map = result.classMap;
        tally.masks->add(mask, classesAtPictureSize(map.classes, int(map.width), int(map.height),
                                                    pictureGeometry(prepared), pictureSize));
        break;
    }
    }
}

bool DataSetScoring::scored(ScoredBoard board) const
{
    return tallies[std::size_t(board)]->added > 0;
}

AccuracyFigures DataSetScoring::figures(ScoredBoard board) const
{
    const Tally &tally = *tallies[std::size_t(board)];
    AccuracyFigures figures;
    switch (data->kind) {
    case DataSetKind::Coco:
    case DataSetKind::Yolo: {
        figures.kind = AccuracyFigures::Kind::Boxes;
        // Data set classes that match no label are not evaluated.
        const DetectionDataSet &set = data->boxes;
        std::vector<int> category(set.classes.size(), -1);
        std::vector<std::string> names;
        for (std::size_t k = 0; k < set.classes.size(); ++k) {
            if (labelOfClass[k] >= 0) {
                category[k] = int(names.size());
                names.push_back(set.classes[k].name);
            }
        }
        std::vector<GroundTruthBox> truth;
        truth.reserve(set.objects.size());
        for (GroundTruthBox object : set.objects) {
            if (category[object.category] < 0)
                continue;
            object.category = std::size_t(category[object.category]);
            truth.push_back(object);
        }
        std::vector<DetectedBox> detections;
        for (const std::vector<DetectedBox> &boxes : tally.boxes)
            for (DetectedBox box : boxes) {
                box.category = std::size_t(category[box.category]);
                detections.push_back(box);
            }
        figures.boxes = detectionAccuracy(truth, detections, set.images.size(), names, threshold);
        break;
    }
    case DataSetKind::ClassFolders:
        figures.kind = AccuracyFigures::Kind::Labels;
        figures.labels = tally.labels->accuracy();
        break;
    case DataSetKind::Masks:
        figures.kind = AccuracyFigures::Kind::Masks;
        figures.masks = tally.masks->accuracy();
        break;
    }
    return figures;
}

QByteArray DataSetScoring::cocoResults(ScoredBoard board) const
{
    std::vector<DetectedBox> detections;
    for (const std::vector<DetectedBox> &boxes : tallies[std::size_t(board)]->boxes)
        detections.insert(detections.end(), boxes.begin(), boxes.end());
    return cocoResultsJson(detections, data->boxes);
}
