#include "engine/calibration_inputs.h"

#include "picture/picture_folder.h"
#include "sources/picture_list_source.h"

#include <stdexcept>
#include <string>

std::vector<std::vector<float>> calibrationInputs(const NnDescription &description, const ModelDims &modelDims,
                                                  BoardType boardType)
{
    const QString folder = QString::fromStdString(description.calibration);
    try {
        const PictureReading reading = pictureReadingOf(description, modelDims, boardType);
        std::vector<std::vector<float>> inputs;
        for (const QString &picture : picturesInFolder(folder).mid(0, int(maxCalibrationPictures)))
            inputs.push_back(readPictureFile(picture, reading, {}).tensor);
        return inputs;
    } catch (const std::exception &error) {
        throw std::runtime_error("The calibration pictures cannot be used: " + std::string(error.what()));
    }
}
