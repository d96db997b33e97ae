"""Writes the "yolo3" example network as a DarkNet .cfg + .weights pair."""

import struct

import numpy as np
import torch.nn as nn

# The DarkNet importer normalises with (x - mean) / sqrt(var + eps) using its
# own eps; PyTorch used 1e-5 during training. The difference is added to the
# stored variance so that both compute the same thing.
DARKNET_BN_EPS = 1e-6


def _cfg_text(layers, in_w, in_h, anchors_px, classes):
    lines = ["[net]", "batch=1", "subdivisions=1", f"width={in_w}", f"height={in_h}",
             "channels=3", ""]
    anchors = ",  ".join(f"{w:g},{h:g}" for w, h in anchors_px)
    for index, (kind, p) in enumerate(layers):
        if kind == "conv":
            lines.append("[convolutional]")
            if p["bn"]:
                lines.append("batch_normalize=1")
            lines += [f"filters={p['cout']}", f"size={p['k']}", f"stride={p.get('stride', 1)}", "pad=1",
                      "activation=" + ("leaky" if p["bn"] else "linear")]
        elif kind == "maxpool":
            lines += ["[maxpool]", "size=2", "stride=2"]
        elif kind == "upsample":
            lines += ["[upsample]", "stride=2"]
        elif kind == "route":
            rel = ", ".join(str(i - index) for i in p["layers"])
            lines += ["[route]", f"layers={rel}"]
        elif kind == "yolo":
            lines += ["[yolo]", "mask=" + ",".join(str(m) for m in p["mask"]),
                      f"anchors={anchors}", f"classes={classes}", f"num={len(anchors_px)}",
                      "jitter=0", "ignore_thresh=.7", "truth_thresh=1", "random=0"]
        lines.append("")
    return "\n".join(lines)


def _conv_blobs(mod, with_bn):
    """Weight blobs in DarkNet order for one convolutional layer."""
    blobs = []
    if with_bn:
        conv, bn = mod[0], mod[1]
        blobs.append(bn.bias.detach().numpy())
        blobs.append(bn.weight.detach().numpy())
        blobs.append(bn.running_mean.detach().numpy())
        blobs.append(bn.running_var.detach().numpy() + (bn.eps - DARKNET_BN_EPS))
    else:
        conv = mod
        blobs.append(conv.bias.detach().numpy())
    blobs.append(conv.weight.detach().numpy())
    return blobs


def write_darknet(model, cfg_path, weights_path, in_w, in_h, anchors_px, classes):
    with open(cfg_path, "w") as f:
        f.write(_cfg_text(model.layers, in_w, in_h, anchors_px, classes))
    with open(weights_path, "wb") as f:
        f.write(struct.pack("<iii", 0, 2, 0))   # major, minor, revision
        f.write(struct.pack("<Q", 0))           # images seen (64-bit from version 0.2)
        for (kind, p), mod in zip(model.layers, model.mods):
            if kind != "conv":
                continue
            assert isinstance(mod, nn.Sequential) == p["bn"]
            for blob in _conv_blobs(mod, p["bn"]):
                f.write(np.ascontiguousarray(blob, dtype="<f4").tobytes())
