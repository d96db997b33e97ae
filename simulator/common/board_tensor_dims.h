// How a tensor of any rank is presented to a board's caller as width, height
// and depth. Axis 1 is the depth (the channels); from rank 3 up the last axis
// is the width; every other axis multiplies into the height. So [1,C,H,W]
// is W x H x C, [1,K] is 1 x 1 x K, [N,C,L] is L x N x C and [K] is 1 x 1 x K.
#pragma once

#include <cstdint>
#include <vector>

struct BoardTensorDims
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t depth = 0;
};

BoardTensorDims boardTensorDims(const std::vector<std::uint32_t> &shape);
