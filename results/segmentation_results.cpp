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
    const ClassMap map = decodeFrameResult(outputs, modelDims, description).classMap;
    if (!map.classes.empty())
        paintClassMap(*picture, map, randomClassColours(segmentationColourCount(modelDims.outputs.front().depth), seed));
    if (QLabel *label = *pictureLabel)
        label->setPixmap(QPixmap::fromImage(*picture));
}
