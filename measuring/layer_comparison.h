// A board against a reference layer by layer: each frame run once more on
// both with every layer's output kept, and the outputs of the layers the two
// have in common (by name) compared. What vrax-run --compare-layers reports
// and the window's Layers dock shows while it compares with the simulator.
#pragma once

#include "accel/board_session.h"
#include "engine/model_session.h"
#include "measuring/tensor_agreement.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// A layer's cosine below this is taken to depart from the reference.
inline constexpr double defaultLayerThreshold = 0.999;

struct LayerDifference
{
    std::string name;
    std::string type; // the board's layer type ("ConvolutionInt8" on an int8 board)
    TensorDifference difference;
};

struct LayerComparisonReport
{
    std::uint64_t frames = 0;
    double threshold = defaultLayerThreshold;
    std::vector<LayerDifference> layers; // the board's order, the layers both boards have
    // The first of layers whose cosine (all frames' values as one vector)
    // falls below threshold.
    std::optional<std::size_t> firstDivergent;
};

class LayerComparison
{
public:
    // board: the board under test (one board of a parallel choice is used);
    // reference: the board compared with. Nothing opens yet.
    LayerComparison(std::string descriptionPath, const BoardChoice &board, const BoardChoice &reference);
    ~LayerComparison();
    LayerComparison(const LayerComparison &) = delete;
    LayerComparison &operator=(const LayerComparison &) = delete;

    // Runs the frame on a session of each board that keeps every layer's
    // output, each side given the input in its own layout, and compares the
    // layers of the same name. The first frame opens the description on both
    // (blocking: the model is compiled). One thread at a time; throws the
    // messages of opening a description and of failing runtime calls, and
    // noLayerProfileMessage when the runtime gives no layers.
    void compare(const std::vector<float> &boardTensor, const std::vector<float> &referenceTensor);

    // Any thread.
    LayerComparisonReport report(double threshold = defaultLayerThreshold) const;
    // Forgets the frames compared so far; any thread.
    void restart();

private:
    struct Side
    {
        BoardChoice choice;
        std::vector<RuntimeHandle> sessions;
        OpenedModel model;
    };

    void open(Side &side);
    static void run(Side &side, const std::vector<float> &tensor);

    const std::string descriptionPath;
    Side board;
    Side reference;
    bool opened = false;
    std::vector<float> boardValues;     // a layer's output, storage kept between layers
    std::vector<float> referenceValues;

    mutable std::mutex mutex;
    std::uint64_t frames = 0;
    std::vector<LayerDifference> layers;               // names and types in the board's order
    std::vector<TensorAgreement> agreements;           // one per entry of layers
    std::unordered_map<std::string, std::size_t> index; // layer name to its entry
};
