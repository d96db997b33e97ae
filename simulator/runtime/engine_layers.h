// The layers the simulator adds to the engine's networks: float layers of
// its own, which the engine's int8 quantisation leaves in float (so it
// dequantises before them and quantises after them).
//
//   probe          reads its input and does nothing (its output is one value)
//   pass-through   copies its input
//
// Each type is registered with the engine the first time its name is asked for.
#pragma once

#include <opencv2/dnn.hpp>

const char *probeLayerType();
const char *passThroughLayerType();

bool isProbeLayer(const cv::dnn::Layer &layer);
