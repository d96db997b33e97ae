#include "sources/picture_list_source.h"

#include "picture/cloud_net_plus_input.h"
#include "picture/input_depth.h"
#include "picture/picture_decoding.h"
#include "picture/picture_preparation.h"

#include <QFileInfo>

#include <stdexcept>

PictureReading pictureReadingOf(const NnDescription &description, const ModelDims &modelDims, BoardType boardType)
{
    if (modelDims.inputs.empty())
        throw std::runtime_error("No NN description is open");
    const TensorDims &input = modelDims.inputs.front();
    PictureReading reading;
    reading.planar = isPlanarBoard(boardType);
    reading.request.width = input.width;
    reading.request.height = input.height;
    reading.request.format = description.format;
    reading.request.divider = description.divider;
    reading.request.adder = description.adder;
    reading.request.fit = description.resize;
    reading.request.padding = description.padding;
    reading.request.depth = roundedInputDepth(reading.planar, input.depth);
    return reading;
}

PreparedPicture readPictureFile(const QString &path, const PictureReading &reading,
                                const std::vector<float> &previousTensor, StageTimes *times, PictureCache *cache)
{
    PreparedPicture prepared;
    readPictureFileInto(prepared, path, reading, previousTensor, times, cache);
    return prepared;
}

namespace {

// The cached picture into a frame's, its tensor shared rather than copied (a
// frame of Run Auto reads it 1.6 MB at a time otherwise).
void sharePicture(const std::shared_ptr<const PreparedPicture> &cached, PreparedPicture &into,
                  std::shared_ptr<const std::vector<float>> &sharedTensor)
{
    // Every field but the tensor: a field added to PreparedPicture belongs here too.
    static_assert(sizeof(PreparedPicture) == 4 * sizeof(QImage) + 2 * sizeof(QRect) + sizeof(std::vector<float>),
                  "PreparedPicture has a field that sharePicture does not copy");
    into.picture = cached->picture;
    into.original = cached->original;
    into.crop = cached->crop;
    into.placement = cached->placement;
    into.originalShown = cached->originalShown;
    into.networkShown = cached->networkShown;
    into.tensor.clear();
    sharedTensor = std::shared_ptr<const std::vector<float>>(cached, &cached->tensor);
}

} // namespace

void readPictureFileInto(PreparedPicture &into, const QString &path, const PictureReading &reading,
                         const std::vector<float> &previousTensor, StageTimes *times, PictureCache *cache,
                         std::shared_ptr<const std::vector<float>> *sharedTensor)
{
    if (sharedTensor)
        sharedTensor->reset();
    if (times)
        times->readStart = steadyNanoseconds();
    // The same test as isCloudNetPlusPath, without a conversion per frame.
    const bool sideFile = path.contains(QLatin1String("cloud_net_plus"));
    PictureCache::FileStamp stamp;
    if (cache && !sideFile) {
        stamp = PictureCache::stampOf(path);
        if (std::shared_ptr<const PreparedPicture> cached = cache->find(path, stamp)) {
            if (sharedTensor)
                sharePicture(cached, into, *sharedTensor);
            else
                into = *cached;
            if (times)
                times->read = times->prepared = steadyNanoseconds();
            return;
        }
    }

    PictureRequest request = reading.request;
    request.path = path.toUtf8().toStdString();
    const QImage decoded = decodePicture(path, request.pixelLimit);
    if (times)
        times->read = steadyNanoseconds();
    PreparedPicture prepared = decoded.isNull() ? preparePicture(request, reading.planar)
                                                : prepareDecodedPicture(decoded, request, reading.planar);
    if (prepared.picture.isNull())
        throw std::runtime_error("Cannot load picture: " + request.path);
    prepared.picture = prepared.picture.convertToFormat(QImage::Format_RGB32);
    if (sideFile) {
        const std::size_t required = prepared.tensor.size();
        prepared.tensor = previousTensor;
        readCloudNetPlusInput(prepared.tensor, required);
    }
    else if (cache && sharedTensor) {
        auto kept = std::make_shared<const PreparedPicture>(std::move(prepared));
        cache->insert(path, stamp, kept);
        sharePicture(kept, into, *sharedTensor);
        if (times)
            times->prepared = steadyNanoseconds();
        return;
    } else if (cache) {
        cache->insert(path, stamp, std::make_shared<const PreparedPicture>(prepared));
    }
    into = std::move(prepared);
    if (times)
        times->prepared = steadyNanoseconds();
}

PictureListSource::PictureListSource(QStringList paths, PictureReading reading, std::vector<float> previousTensor,
                                     PictureCache *cache, std::uint64_t firstIndex, bool loop)
    : paths(std::move(paths)), reading(std::move(reading)), previousTensor(std::move(previousTensor)),
      index(firstIndex), loop(loop), cache(cache)
{
    for (const QString &path : this->paths)
        keepPrevious = keepPrevious || isCloudNetPlusPath(path.toStdString());
}

bool PictureListSource::next(Frame &frame)
{
    const auto count = std::uint64_t(paths.size());
    if (count == 0 || (!loop && index >= count))
        return false;
    const std::uint64_t number = index % count;
    ++index;
    const QString &path = paths.at(int(number));
    frame.origin.source = QFileInfo(path).fileName();
    frame.origin.path = path;
    frame.origin.number = number;
    frame.origin.timeSeconds = -1.0;
    readPictureFileInto(frame.picture, path, reading, previousTensor, &frame.times, cache, &frame.sharedTensor);
    if (keepPrevious)
        previousTensor = frame.tensor();
    return true;
}
