// Pictures as frames: the files of a list, read and prepared one after the
// other, round and round.
#pragma once

#include "accel/board_type.h"
#include "description/nn_description.h"
#include "sources/frame_source.h"
#include "picture/picture_cache.h"
#include "picture/picture_request.h"

#include <QString>
#include <QStringList>

#include <vector>

// How pictures become the network's input: the request's size, format and
// normalisation (its path is not used) and the board's layout.
struct PictureReading
{
    PictureRequest request;
    bool planar = false;
};

// The reading of the description's model input on a board of that type.
PictureReading pictureReadingOf(const NnDescription &description, const ModelDims &modelDims, BoardType boardType);

// Reads the file as the network's input. previousTensor is the input of the
// frame before: a "cloud_net_plus" path takes its input from the side file,
// laid over the previous input (kept on purpose: that network's files rely
// on it). Throws std::runtime_error "Cannot load picture: PATH" when no
// picture can be made, and what picture preparation throws. With a cache, a
// file unchanged since it was prepared is not read again.
PreparedPicture readPictureFile(const QString &path, const PictureReading &reading,
                                const std::vector<float> &previousTensor, StageTimes *times = nullptr,
                                PictureCache *cache = nullptr);
// The same into a picture whose storage is reused: a cached picture is
// copied into the tensor already there, without allocating; or, given
// sharedTensor, the cached tensor is shared there instead (into.tensor is
// then empty; see Frame::tensor()).
void readPictureFileInto(PreparedPicture &into, const QString &path, const PictureReading &reading,
                         const std::vector<float> &previousTensor, StageTimes *times = nullptr,
                         PictureCache *cache = nullptr,
                         std::shared_ptr<const std::vector<float>> *sharedTensor = nullptr);

class PictureListSource : public FrameSource
{
public:
    // Starts with the picture at firstIndex; with loop false the list is read once.
    PictureListSource(QStringList paths, PictureReading reading, std::vector<float> previousTensor,
                      PictureCache *cache = nullptr, std::uint64_t firstIndex = 0, bool loop = true);

    bool next(Frame &frame) override;

private:
    const QStringList paths;
    const PictureReading reading;
    std::vector<float> previousTensor;
    std::uint64_t index;
    const bool loop;
    PictureCache *const cache;
    bool keepPrevious = false; // only a side-file input reads the previous one

};
