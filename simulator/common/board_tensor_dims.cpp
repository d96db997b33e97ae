#include "board_tensor_dims.h"

BoardTensorDims boardTensorDims(const std::vector<std::uint32_t> &shape)
{
    BoardTensorDims dims{1, 1, 1};
    if (shape.empty())
        return dims;
    if (shape.size() == 1) {
        dims.depth = shape[0];
        return dims;
    }
    dims.depth = shape[1];
    dims.height = shape[0];
    if (shape.size() >= 3) {
        dims.width = shape.back();
        for (std::size_t axis = 2; axis + 1 < shape.size(); ++axis)
            dims.height *= shape[axis];
    }
    return dims;
}
