// What the network runs on: a list of pictures taken in turn, or one video
// or camera; and the picture last shown from it. Opening reads the first
// picture (or frame) so that it can be shown before anything runs.
#pragma once

#include "picture/picture_cache.h"
#include "picture/picture_request.h"
#include "sources/frame_source.h"
#include "sources/picture_list_source.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class InputSet
{
public:
    // An input opened on a worker, to be adopted on the GUI thread.
    struct Opened
    {
        QStringList pictures;                // absolute paths; empty for a stream
        std::unique_ptr<FrameSource> stream; // a video or camera, or null
        QString streamPath;
        QSize frameSize; // of a stream's frames
        double framesPerSecond = 0.0;
        PreparedPicture first; // shown until something runs; may be null for a stream
    };

    // Blocking, any thread. Folders stand for the pictures inside them. Throw
    // std::runtime_error naming the file, folder or device that failed.
    static Opened readPictures(const QStringList &chosen, const PictureReading &reading,
                               const std::vector<float> &previousTensor, PictureCache *cache);
    static Opened openVideo(const QString &path, const PictureReading &reading, bool loop);
    static Opened openCamera(const QString &device, const QSize &size, const PictureReading &reading);

    // The rest on the GUI thread.

    // Makes the opened input the current one, its first picture shown.
    void adopt(Opened opened);
    // No input (the current picture stays for what is shown).
    void clear();

    bool isEmpty() const { return pictureList.isEmpty(); }
    // The pictures, or a stream's path alone.
    const QStringList &pictures() const { return pictureList; }
    bool isStream() const { return stream != nullptr; }
    bool isLive() const { return stream && stream->isLive(); }
    QSize streamFrameSize() const { return frameSize; }
    double streamFramesPerSecond() const { return fps; }
    // At the end of a video, whether it starts again; for pictures, whether
    // Run Auto goes round. Any thread for a video.
    void setLooping(bool loop);
    bool isLooping() const { return looping; }

    // The picture last shown and its file (or stream); what File > Record
    // sizes a picture list's video by and the next picture's side file input
    // lies over.
    const QString &currentPath() const { return current.path; }
    // Null before any picture was opened.
    const std::shared_ptr<const PreparedPicture> &currentPicture() const { return current.picture; }
    // The current picture's input, which a side-file input lies over.
    std::vector<float> previousTensor() const;
    // Shared, not copied: a frame shown keeps its picture. tensor: the
    // picture's input when it is not picture->tensor (a cached picture's).
    void setCurrent(const QString &path, std::shared_ptr<const PreparedPicture> picture,
                    std::shared_ptr<const std::vector<float>> tensor = nullptr);

    // The source of Run's next frame: the next picture in turn (the turn
    // moves on whether or not it can be read), or the stream's next frame,
    // a video at its end starting again. The stream stays the input's.
    std::unique_ptr<FrameSource> nextFrameSource(const PictureReading &reading, PictureCache *cache);
    // Run Auto's: the pictures from the first (round and round while
    // looping), or the stream from where it is.
    std::unique_ptr<FrameSource> runSource(const PictureReading &reading, PictureCache *cache);

private:
    struct Current
    {
        QString path;
        std::shared_ptr<const PreparedPicture> picture;
        std::shared_ptr<const std::vector<float>> tensor;
    };

    QStringList pictureList;
    std::unique_ptr<FrameSource> stream;
    QSize frameSize;
    double fps = 0.0;
    bool looping = true;
    std::uint64_t nextPicture = 0;
    Current current;
};
