// The view of the segmentation networks: a coloured overlay on the picture.
#pragma once

#include "results/nn_results.h"

class SegmentationResults : public NnResults
{
public:
    SegmentationResults(const NnDescription &description, const ModelDims &modelDims, QImage *picture,
                        QLabel *const *pictureLabel);

    // Paints the first output's foreground classes into the window's picture
    // in colours drawn afresh for every frame, then shows the picture.
    void showResults(const OutputBuffers &outputs) override;
};
