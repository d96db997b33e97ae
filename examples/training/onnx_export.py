"""ONNX export restricted to operators that the simulator imports well."""

import onnx
import torch

ALLOWED_OPS = {"Conv", "BatchNormalization", "Relu", "LeakyRelu", "MaxPool", "Resize",
               "Upsample", "Concat", "Add", "Gemm", "Flatten", "ConvTranspose", "Constant"}


def export_onnx(model, path, in_w, in_h, output_names):
    model.eval()
    dummy = torch.zeros(1, 3, in_h, in_w)
    torch.onnx.export(model, dummy, path, opset_version=11, input_names=["input"],
                      output_names=output_names, do_constant_folding=True)
    graph = onnx.load(path)
    onnx.checker.check_model(graph)
    ops = sorted({n.op_type for n in graph.graph.node})
    unexpected = set(ops) - ALLOWED_OPS
    if unexpected:
        raise RuntimeError(f"{path}: unexpected operators {sorted(unexpected)}")
    return ops
