// Small networks that the simulator tests build themselves, in ONNX and
// DarkNet form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// x [1,3,5,7] -> Conv 3x3 + Relu -> "zeta" [1,4,5,7], and MaxPool 2x2 -> "alpha"
// [1,3,4,6]; the graph lists zeta first, against alphabetical order.
std::string convOnnxModel();
// x [1,3,4,4] -> Flatten -> Gemm -> Softmax -> "prob" [1,5].
std::string classifierOnnxModel();
// Damaged on purpose, as fuzzing found them: x [1,3,5,7] -> Conv "conv" whose
// weights "missing" nothing provides -> "zeta"; and x [1,3,5,7] -> Conv "wide"
// padded by a million on every side -> "zeta" [1,4,2000003,2000005].
std::string unprovidedWeightsOnnxModel();
std::string hugePaddingOnnxModel();
// Grey input x [1,1,6,5] -> 1x1 Conv -> "y" [1,3,6,5].
std::string greyOnnxModel();
// Vector input x [1,5] -> Gemm -> "y" [1,3].
std::string vectorOnnxModel();

// A DarkNet detector with two [yolo] heads fed by layers 4 (8x6) and 9
// (16x12), both 18 channels; input 16x12x3. Needs darknetDetectorWeights weights.
std::string darknetDetectorCfg();
constexpr std::uint32_t darknetDetectorWeights = 748;
// A DarkNet classifier without detection layers: conv, avgpool, connected,
// softmax; input 6x6x3, output 5 values.
std::string darknetClassifierCfg();
constexpr std::uint32_t darknetClassifierWeights = 137;

// A weights file: header of version major.minor (a 64-bit "seen" count from
// 0.2 on) followed by count positive values.
std::string darknetWeights(std::uint32_t count, std::int32_t major = 0, std::int32_t minor = 2);
