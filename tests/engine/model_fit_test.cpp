// What opening a description checks of the model, for the window, vrax-run
// and --check alike: the labels fit the outputs, whatever the network kind.
#include "engine/model_session.h"
#include "support/failure_message.h"

#include <gtest/gtest.h>

namespace {

struct FitCase
{
    const char *name;
    NetworkKind kind;
    std::vector<std::string> labels;
    std::vector<double> anchors;
    TensorDims output;
    const char *message; // null: the model fits
};

TEST(ModelFit, LabelsMustFitTheOutputs)
{
    const std::vector<std::string> two{"background", "person"};
    const FitCase cases[] = {
        {"classifier", NetworkKind::Classifier, two, {}, {1, 1, 2}, nullptr},
        {"classifier with a label too many", NetworkKind::Classifier, two, {}, {1, 1, 1},
         "Incorrect number of labels for classification"},
        {"segmentation without labels", NetworkKind::Unet, {}, {}, {64, 64, 3}, nullptr},
        {"segmentation with a label per channel", NetworkKind::Unet, two, {}, {64, 64, 2}, nullptr},
        {"one-channel mask named", NetworkKind::Unet, {"person"}, {}, {64, 64, 1}, nullptr},
        {"segmentation with a label too few", NetworkKind::Unet, two, {}, {64, 64, 3},
         "Output 0 of the model holds 3 channels, but the description gives 2 labels: one per channel is needed"},
        {"detector with a label too many", NetworkKind::Yolo2, two, {1, 1}, {13, 13, 6},
         "Output 0 of the model holds 6 values per cell, but the description's 1 anchor per cell and 2 labels "
         "need 7 (1 x (2 + 5))"},
    };
    for (const FitCase &c : cases) {
        NnDescription description;
        description.neural_network = c.kind;
        description.labels = c.labels;
        description.yolo_anchors = c.anchors;
        ModelDims dims;
        dims.inputs = {{64, 64, 3}};
        dims.outputs = {c.output};
        EXPECT_EQ(failureMessage([&] { checkModelFitsDescription(description, dims, BoardType::Simulator); }),
                  c.message ? c.message : "(no failure)")
            << c.name;
    }
}

} // namespace
