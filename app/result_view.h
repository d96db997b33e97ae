// The result view for the open description's network kind: the table window
// for a classifier, plain output buffers for the kinds drawn over the picture.
#pragma once

#include "description/nn_description.h"
#include "results/nn_results.h"
#include "tensor/tensor_shapes.h"

#include <memory>

// Makes the view for the description's network kind (the table window for a
// classifier) and stores it in resultView before the previous view is
// destroyed. Throws "Unexpected neural network" for an unknown kind, keeping
// the previous view.
void createResultView(std::unique_ptr<NnResults> &resultView, const NnDescription &description,
                      const ModelDims &modelDims);
