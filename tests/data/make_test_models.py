#!/usr/bin/python3
"""Writes the tiny ONNX models that the tests use (run with Debian's python3-onnx).

mean_colour.onnx: the mean of each input channel over the picture,
  input [1,3,32,32], output [1,3] -- a "classifier" whose answer says which
  picture it was given (the dominant colour), so tests can check that the
  result shown belongs to the picture shown.
"""
import os

import onnx
from onnx import TensorProto, helper


def mean_colour():
    node_pool = helper.make_node("GlobalAveragePool", ["input"], ["pooled"])
    node_flat = helper.make_node("Flatten", ["pooled"], ["scores"], axis=1)
    graph = helper.make_graph(
        [node_pool, node_flat], "mean_colour",
        [helper.make_tensor_value_info("input", TensorProto.FLOAT, [1, 3, 32, 32])],
        [helper.make_tensor_value_info("scores", TensorProto.FLOAT, [1, 3])])
    model = helper.make_model(graph, opset_imports=[helper.make_opsetid("", 11)])
    model.ir_version = 6
    onnx.checker.check_model(model)
    return model


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    onnx.save(mean_colour(), os.path.join(here, "mean_colour.onnx"))
