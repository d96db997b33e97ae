// The family of result views: each turns one frame's outputs into something
// the user sees.
#pragma once

#include "description/nn_description.h"
#include "tensor/tensor_shapes.h"

#include <memory>
#include <vector>

class QImage;
class QLabel;

// A view reads the window's members at the moment it shows a frame; it owns
// none of them.
class NnResults
{
public:
    NnResults(const NnDescription &description, const ModelDims &modelDims, QImage *picture,
              QLabel *const *pictureLabel);
    NnResults(const NnResults &) = delete;
    NnResults &operator=(const NnResults &) = delete;
    virtual ~NnResults();

    // Interprets and shows one frame's outputs.
    virtual void showResults(const OutputBuffers &outputs) = 0;

    // Zero-filled buffers sized from the model's outputs. Throws when a size
    // is too large to allocate sensibly.
    OutputBuffers createOutputs() const;

protected:
    const NnDescription &description;
    const ModelDims &modelDims;
    QImage *const picture;             // null for the classification view
    QLabel *const *const pictureLabel; // the window's member, null for the classification view
};

// Makes the view for the description's network kind and stores it in
// resultView before the previous view is destroyed. Throws
// "Unexpected neural network" for an unknown kind, keeping the previous view.
void createResultView(std::unique_ptr<NnResults> &resultView, const NnDescription &description,
                      const ModelDims &modelDims, QImage &picture, QLabel *const &pictureLabel);
