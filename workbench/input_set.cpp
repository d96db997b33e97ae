#include "workbench/input_set.h"

#include "picture/picture_folder.h"
#include "picture/picture_preparation.h"
#include "sources/camera_source.h"
#include "sources/video_source.h"

#include <QFileInfo>

#include <stdexcept>

namespace {

// The input's stream as a run's source; the input keeps it.
class StreamView : public FrameSource
{
public:
    explicit StreamView(FrameSource &stream) : stream(stream) {}
    bool next(Frame &frame) override { return stream.next(frame); }
    bool isLive() const override { return stream.isLive(); }

protected:
    FrameSource &stream;
};

// Run's frame of a stream: a video at its end (Loop off) starts again.
class NextStreamFrame : public StreamView
{
public:
    NextStreamFrame(FrameSource &stream, QString path) : StreamView(stream), path(std::move(path)) {}
    bool next(Frame &frame) override
    {
        if (stream.next(frame) || stream.next(frame))
            return true;
        throw std::runtime_error("No frame can be read from " + path.toStdString());
    }

private:
    const QString path;
};

} // namespace

InputSet::Opened InputSet::readPictures(const QStringList &chosen, const PictureReading &reading,
                                        const std::vector<float> &previousTensor, PictureCache *cache)
{
    Opened opened;
    for (const QString &file : chosen) {
        if (QFileInfo(file).isDir())
            opened.pictures << picturesInFolder(file);
        else
            opened.pictures << file;
    }
    if (opened.pictures.isEmpty())
        throw std::runtime_error("No picture was chosen");
    opened.first = readPictureFile(opened.pictures.front(), reading, previousTensor, nullptr, cache);
    return opened;
}

InputSet::Opened InputSet::openVideo(const QString &path, const PictureReading &reading, bool loop)
{
    auto video = std::make_unique<VideoSource>(path, reading.request, reading.planar);
    video->setLooping(loop);
    Opened opened;
    opened.streamPath = video->path();
    opened.frameSize = video->frameSize();
    opened.framesPerSecond = video->framesPerSecond();
    opened.first = prepareDecodedPicture(video->upcomingPicture(), reading.request, reading.planar);
    opened.stream = std::move(video);
    return opened;
}

InputSet::Opened InputSet::openCamera(const QString &device, const QSize &size, const PictureReading &reading)
{
    auto camera = std::make_unique<CameraSource>(device, size, reading.request, reading.planar);
    Opened opened;
    opened.streamPath = device;
    opened.frameSize = camera->frameSize();
    opened.framesPerSecond = camera->framesPerSecond();
    opened.first = prepareDecodedPicture(camera->upcomingPicture(), reading.request, reading.planar);
    opened.stream = std::move(camera);
    return opened;
}

void InputSet::adopt(Opened opened)
{
    stream = std::move(opened.stream);
    frameSize = opened.frameSize;
    fps = opened.framesPerSecond;
    pictureList = stream ? QStringList{opened.streamPath} : opened.pictures;
    nextPicture = 0;
    if (!opened.first.picture.isNull())
        setCurrent(pictureList.front(), std::make_shared<const PreparedPicture>(std::move(opened.first)));
}

void InputSet::clear()
{
    pictureList.clear();
    stream.reset();
    frameSize = QSize();
    fps = 0.0;
    nextPicture = 0;
}

void InputSet::setLooping(bool loop)
{
    looping = loop;
    if (auto *video = dynamic_cast<VideoSource *>(stream.get()))
        video->setLooping(loop);
}

void InputSet::setCurrent(const QString &path, std::shared_ptr<const PreparedPicture> picture,
                          std::shared_ptr<const std::vector<float>> tensor)
{
    current.path = path;
    current.picture = std::move(picture);
    current.tensor = std::move(tensor);
}

std::vector<float> InputSet::previousTensor() const
{
    if (current.tensor)
        return *current.tensor;
    return current.picture ? current.picture->tensor : std::vector<float>();
}

std::unique_ptr<FrameSource> InputSet::nextFrameSource(const PictureReading &reading, PictureCache *cache)
{
    if (stream)
        return std::make_unique<NextStreamFrame>(*stream, pictureList.value(0));
    const std::uint64_t index = nextPicture;
    if (++nextPicture >= std::uint64_t(pictureList.size()))
        nextPicture = 0;
    return std::make_unique<PictureListSource>(pictureList, reading, previousTensor(), cache, index, false);
}

std::unique_ptr<FrameSource> InputSet::runSource(const PictureReading &reading, PictureCache *cache)
{
    if (stream)
        return std::make_unique<StreamView>(*stream);
    return std::make_unique<PictureListSource>(pictureList, reading, previousTensor(), cache, 0, looping);
}
