#include "pipeline/picture_list_source.h"

#include "picture/cloud_net_plus_input.h"
#include "picture/picture_preparation.h"

#include <QFileInfo>
#include <QImageReader>

#include <stdexcept>

PreparedPicture readPictureFile(const QString &path, const PictureReading &reading,
                                const std::vector<float> &previousTensor, StageTimes *times)
{
    PictureRequest request = reading.request;
    request.path = path.toUtf8().toStdString();
    if (times)
        times->readStart = steadyNanoseconds();

    QImageReader reader(path);
    const QImage decoded = reader.read();
    if (times)
        times->read = steadyNanoseconds();
    PreparedPicture prepared = decoded.isNull() ? preparePicture(request, reading.planar)
                                                : prepareDecodedPicture(decoded, request, reading.planar);
    if (prepared.picture.isNull())
        throw std::runtime_error("Cannot load picture: " + request.path);
    prepared.picture = prepared.picture.convertToFormat(QImage::Format_RGB32);
    if (isCloudNetPlusPath(request.path)) {
        const std::size_t required = prepared.tensor.size();
        prepared.tensor = previousTensor;
        readCloudNetPlusInput(prepared.tensor, required);
    }
    if (times)
        times->prepared = steadyNanoseconds();
    return prepared;
}

PictureListSource::PictureListSource(QStringList paths, PictureReading reading, std::vector<float> previousTensor,
                                     std::uint64_t firstIndex, bool loop)
    : paths(std::move(paths)), reading(std::move(reading)), previousTensor(std::move(previousTensor)),
      index(firstIndex), loop(loop)
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
    frame.picture = readPictureFile(path, reading, previousTensor, &frame.times);
    if (keepPrevious)
        previousTensor = frame.picture.tensor;
    return true;
}
