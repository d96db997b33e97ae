#include "results/segmentation_results.h"

#include "results/segmentation_overlay.h"

#include <QDateTime>
#include <QImage>
#include <QLabel>
#include <QPixmap>

SegmentationResults::SegmentationResults(const NnDescription &description, const ModelDims &modelDims,
                                         QImage *picture, QLabel *const *pictureLabel)
    : NnResults(description, modelDims, picture, pictureLabel)
{
}

void SegmentationResults::showResults(const OutputBuffers &outputs)
{
    const auto seed = quint32(QDateTime::currentMSecsSinceEpoch()); // low 32 bits
    if (!outputs.empty() && !modelDims.outputs.empty()) {
        const TensorDims &dims = modelDims.outputs.front();
        const std::vector<float> &values = outputs.front();
        // A map that holds not even one complete pixel paints nothing.
        if (dims.depth > 0 && dims.depth <= values.size())
            paintSegmentation(*picture, values, dims,
                              randomClassColours(segmentationColourCount(dims.depth), seed));
    }
    if (QLabel *label = *pictureLabel)
        label->setPixmap(QPixmap::fromImage(*picture));
}
