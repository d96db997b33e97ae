#include "reference_decode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

double sigmoid(double v)
{
    return 1.0 / (1.0 + std::exp(-v));
}

} // namespace

std::vector<Detection> referenceDecode(const OutputBuffers &outputs, const std::vector<TensorDims> &dims,
                                       int inputWidth, int inputHeight, int pictureWidth, int pictureHeight,
                                       const NnDescription &description)
{
    const NetworkKind kind = description.neural_network;
    const int classes = int(description.labels.size());
    const int fields = classes + 5;
    const int n = int(outputs.size());
    std::vector<Detection> candidates;
    for (int o = 0; o < n; ++o) {
        const int w = int(dims[o].width), h = int(dims[o].height), d = int(dims[o].depth);
        const int anchors = d / fields;
        const int group = kind == NetworkKind::Yolo2 ? 0 : kind == NetworkKind::Yolo3 ? (n - 1 - o) * anchors : o * anchors;
        const double stride = std::pow(2.0, o + 3);
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c)
                for (int a = 0; a < anchors; ++a) {
                    const float *v = &outputs[o][std::size_t((r * w + c) * d + a * fields)];
                    const double objectness = 1.0 / (1.0 + double(std::exp(-v[4])));
                    std::vector<double> p(static_cast<std::size_t>(classes));
                    if (kind == NetworkKind::Yolo2) {
                        double m = v[5];
                        for (int k = 0; k < classes; ++k)
                            m = std::max(m, double(v[5 + k]));
                        double s = 0.0;
                        for (int k = 0; k < classes; ++k)
                            s += std::exp(double(v[5 + k]) - m);
                        for (int k = 0; k < classes; ++k)
                            p[std::size_t(k)] = std::exp(double(v[5 + k]) - m - std::log(s));
                    } else {
                        for (int k = 0; k < classes; ++k)
                            p[std::size_t(k)] = sigmoid(v[5 + k]);
                    }
                    int best = 0;
                    for (int k = 1; k < classes; ++k)
                        if (p[std::size_t(k)] > p[std::size_t(best)])
                            best = k;
                    const double confidence = objectness * p[std::size_t(best)];
                    if (!(confidence > description.yolo_confidence_threshold))
                        continue;
                    const double aw = description.yolo_anchors[std::size_t(2 * (group + a))];
                    const double ah = description.yolo_anchors[std::size_t(2 * (group + a) + 1)];
                    const double sx = sigmoid(v[0]), sy = sigmoid(v[1]);
                    double left, right, top, bottom;
                    if (kind == NetworkKind::Yolo2) {
                        const double cx = (sx + c) * 32, cy = (sy + r) * 32;
                        const double bw = std::exp(double(v[2])) * aw * 32, bh = std::exp(double(v[3])) * ah * 32;
                        left = cx - 0.5 * bw, right = cx + 0.5 * bw, top = cy - 0.5 * bh, bottom = cy + 0.5 * bh;
                    } else if (kind == NetworkKind::Yolo3) {
                        const double nx = (sx + c) / w, ny = (sy + r) / h;
                        const double nw = std::exp(double(v[2])) * aw / inputWidth;
                        const double nh = std::exp(double(v[3])) * ah / inputHeight;
                        left = (nx - 0.5 * nw) * inputWidth, right = (nx + 0.5 * nw) * inputWidth;
                        top = (ny - 0.5 * nh) * inputHeight, bottom = (ny + 0.5 * nh) * inputHeight;
                    } else {
                        const double cx = (2 * sx + c - 0.5) * stride, cy = (2 * sy + r - 0.5) * stride;
                        const double bw = std::pow(2 * sigmoid(v[2]), 2) * aw * stride;
                        const double bh = std::pow(2 * sigmoid(v[3]), 2) * ah * stride;
                        left = cx - 0.5 * bw, right = cx + 0.5 * bw, top = cy - 0.5 * bh, bottom = cy + 0.5 * bh;
                    }
                    Detection detection;
                    detection.x = std::max(int(left), 0);
                    detection.y = std::max(int(top), 0);
                    detection.width = std::min(int(right), pictureWidth - 1) - detection.x;
                    detection.height = std::min(int(bottom), pictureHeight - 1) - detection.y;
                    detection.confidence = confidence;
                    detection.classIndex = best;
                    candidates.push_back(detection);
                }
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Detection &a, const Detection &b) { return a.confidence > b.confidence; });
    std::vector<Detection> kept;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (candidates[i].classIndex == -1)
            continue;
        kept.push_back(candidates[i]);
        const Detection &a = candidates[i];
        for (std::size_t j = i + 1; j < candidates.size(); ++j) {
            Detection &b = candidates[j];
            const double ow = std::min(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
            const double oh = std::min(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
            const double overlap = ow <= 0 || oh <= 0 ? 0.0 : ow * oh;
            const double areaA = double(a.width) * a.height, areaB = double(b.width) * b.height;
            if (overlap / (areaB + areaA - overlap) > description.yolo_iou_threshold)
                b.classIndex = -1;
        }
    }
    return kept;
}

void expectSameDetections(const std::vector<Detection> &found, const std::vector<Detection> &expected)
{
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(found[i].x, expected[i].x);
        EXPECT_EQ(found[i].y, expected[i].y);
        EXPECT_EQ(found[i].width, expected[i].width);
        EXPECT_EQ(found[i].height, expected[i].height);
        EXPECT_EQ(found[i].confidence, expected[i].confidence);
        EXPECT_EQ(found[i].classIndex, expected[i].classIndex);
    }
}
