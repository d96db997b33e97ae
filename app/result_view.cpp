#include "app/result_view.h"

#include "app/classification_results.h"

#include <stdexcept>

void createResultView(std::unique_ptr<NnResults> &resultView, const NnDescription &description,
                      const ModelDims &modelDims)
{
    std::unique_ptr<NnResults> view;
    switch (description.neural_network) {
    case NetworkKind::Classifier:
        view = std::make_unique<ClassificationResults>(description, modelDims);
        break;
    case NetworkKind::Yolo2:
    case NetworkKind::Yolo3:
    case NetworkKind::Yolo5:
    case NetworkKind::Unet: // drawn over the picture by the window's picture view
        view = std::make_unique<NnResults>(description, modelDims);
        break;
    default:
        throw std::runtime_error("Unexpected neural network");
    }
    // The new view is in place before the old one goes, so nothing that runs
    // while the old one is destroyed can find it in resultView.
    std::unique_ptr<NnResults> previous = std::move(resultView);
    resultView = std::move(view);
    previous.reset();
}
