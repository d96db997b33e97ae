#!/usr/bin/python3
"""Trains the bundled example networks and writes the example folders.

    /usr/bin/python3 examples/training/train.py [classifier yolo2 yolo3 yolo5 unet]

Needs Debian's python3-torch, python3-onnx and python3-numpy. Without
arguments every example is trained; "yolo3" writes both examples/yolo3 (ONNX)
and examples/yolo3-darknet (.cfg + .weights of the same network). Seeds are
fixed, so a run gives the same pictures and, up to floating-point noise,
the same models. The script lowers its own priority and uses two threads.
"""

import argparse
import json
import math
import os
import re
import sys
import tempfile
import time

import numpy as np
import torch
import torch.nn as nn
import torch.nn.functional as F

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import app_decode  # noqa: E402
import darknet_export  # noqa: E402
import nets  # noqa: E402
import onnx_export  # noqa: E402
import synth  # noqa: E402
from example_settings import EXAMPLES, PICTURES, anchor_groups_px  # noqa: E402

LABELS = synth.CLASSES
EXAMPLES_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUTPUT_DIR = EXAMPLES_DIR


def log(*args):
    print(*args, flush=True)


def optimise(opt, sched, loss, step, steps, t0, clip=None):
    """One optimiser step; clip: the model whose gradient norm is held at 10."""
    opt.zero_grad()
    loss.backward()
    if clip is not None:
        nn.utils.clip_grad_norm_(clip.parameters(), 10.0)
    opt.step()
    sched.step()
    if step % 200 == 0 or step == steps - 1:
        log(f"  step {step}: loss {loss.item():.4f} ({time.time() - t0:.0f} s)")


# ---------------------------------------------------------------------------
# Training data


def random_picture_size(rng, net_w, net_h, scale_range):
    """A picture size around the network's aspect ratio, as a user might open."""
    k = rng.uniform(*scale_range)
    aspect = net_w / net_h * math.exp(rng.uniform(-0.25, 0.25))
    area = net_w * net_h * k * k
    pw = max(net_w, int(round(math.sqrt(area * aspect))))
    ph = max(net_h, int(round(math.sqrt(area / aspect))))
    return pw, ph


_SCENE_SETS = {}


def make_scene_set(seed, n, net_w, net_h, counts, size_range, scale_range):
    """Pictures prepared like the application does, with their boxes and label maps.

    Returns uint8 images (n, H, W, 3) RGB, uint8 label maps (n, H, W) and a
    list of box arrays (k, 5): class, x0, y0, x1, y1 in network pixels.
    Sets are kept, so that networks with the same input share them.
    """
    key = (seed, n, net_w, net_h, tuple(counts), tuple(size_range), tuple(scale_range))
    if key not in _SCENE_SETS:
        _SCENE_SETS[key] = _draw_scene_set(*key)
    return _SCENE_SETS[key]


def _draw_scene_set(seed, n, net_w, net_h, counts, size_range, scale_range):
    rng = np.random.default_rng(seed)
    images = np.zeros((n, net_h, net_w, 3), dtype=np.uint8)
    maps = np.zeros((n, net_h, net_w), dtype=np.uint8)
    boxes = []
    for i in range(n):
        pw, ph = random_picture_size(rng, net_w, net_h, scale_range)
        left, top, cw, ch = synth.app_crop_rect(pw, ph, net_w, net_h)
        count = int(rng.choice(counts))
        shapes = synth.place_shapes(rng, pw, ph, count, size_range, (left, top, left + cw, top + ch))
        pic, labels = synth.render_scene(rng, pw, ph, shapes)
        images[i] = synth.app_scale(pic, net_w, net_h)
        maps[i] = synth.app_scale(labels, net_w, net_h)
        b = [(LABELS.index(s["kind"]),) + synth.box_to_network(synth.shape_extent(s), pw, ph, net_w, net_h)
             for s in shapes]
        boxes.append(np.array(b, dtype=np.float32).reshape(-1, 5))
    return images, maps, boxes


def to_input(images, cfg):
    """uint8 RGB (n, H, W, 3) -> normalised float tensor (n, 3, H, W)."""
    x = synth.normalise(images, cfg["format"], cfg["divider"], cfg["adder"])
    return torch.from_numpy(np.ascontiguousarray(x.transpose(0, 3, 1, 2)))


def flip_batch(rng, images, maps, boxes, net_w, net_h):
    """Random horizontal and vertical flips (every class is mirror-symmetric)."""
    images, maps = images.copy(), maps.copy()
    boxes = [b.copy() for b in boxes]
    for i in range(len(images)):
        if rng.random() < 0.5:
            images[i] = images[i][:, ::-1]
            maps[i] = maps[i][:, ::-1]
            boxes[i][:, [1, 3]] = net_w - boxes[i][:, [3, 1]]
        if rng.random() < 0.5:
            images[i] = images[i][::-1]
            maps[i] = maps[i][::-1]
            boxes[i][:, [2, 4]] = net_h - boxes[i][:, [4, 2]]
    return images, maps, boxes


def make_optimiser(model, lr, steps):
    opt = torch.optim.AdamW(model.parameters(), lr=lr, weight_decay=1e-4)
    sched = torch.optim.lr_scheduler.OneCycleLR(opt, max_lr=lr, total_steps=steps, pct_start=0.15)
    return opt, sched


# ---------------------------------------------------------------------------
# YOLO targets and loss, written against the application's decoding formulas:
# the targets are the exact inverses of the box formulas of each kind.


def shape_iou(w1, h1, w2, h2):
    inter = min(w1, w2) * min(h1, h2)
    return inter / (w1 * h1 + w2 * h2 - inter)


def build_yolo_targets(cfg, grids, boxes):
    """Per output: positive mask, box targets and class of every anchor."""
    kind, in_w, in_h = cfg["kind"], cfg["width"], cfg["height"]
    groups = anchor_groups_px(cfg)          # per output: [(w, h) in pixels]
    n_out, n_anchor = len(groups), len(groups[0])
    bsz = len(boxes)
    targets = []
    for (wo, ho) in grids:
        targets.append(dict(pos=np.zeros((bsz, n_anchor, ho, wo), bool),
                            txy=np.zeros((bsz, n_anchor, 2, ho, wo), np.float32),
                            twh=np.zeros((bsz, n_anchor, 2, ho, wo), np.float32),
                            cls=np.zeros((bsz, n_anchor, ho, wo), np.int64)))
    # Anchors that compete for an object: one output for "yolo2", all of them otherwise.
    choices = [(o, a) for o in range(n_out) for a in range(n_anchor)]
    for b, objs in enumerate(boxes):
        for cls, x0, y0, x1, y1 in objs:
            gx, gy, gw, gh = (x0 + x1) / 2, (y0 + y1) / 2, x1 - x0, y1 - y0
            o, a = max(choices, key=lambda oa: shape_iou(gw, gh, *groups[oa[0]][oa[1]]))
            wo, ho = grids[o]
            aw, ah = groups[o][a]
            t = targets[o]
            if kind in ("yolo2", "yolo3"):
                fx, fy = gx * wo / in_w, gy * ho / in_h
                c, r = min(int(fx), wo - 1), min(int(fy), ho - 1)
                cells = [(c, r, fx - c, fy - r)]
                twh = (math.log(gw / aw), math.log(gh / ah))
            else:
                stride = 2 ** (o + 3)
                fx, fy = gx / stride, gy / stride
                c, r = min(int(fx), wo - 1), min(int(fy), ho - 1)
                ox, oy = fx - c, fy - r
                cells = [(c, r, ox, oy)]
                # The offset range (-0.5, 1.5) lets the nearer neighbours predict it too.
                nc = c - 1 if ox < 0.5 else c + 1
                nr = r - 1 if oy < 0.5 else r + 1
                if 0 <= nc < wo:
                    cells.append((nc, r, fx - nc, oy))
                if 0 <= nr < ho:
                    cells.append((c, nr, ox, fy - nr))
                cells = [(cc, rr, (dx + 0.5) / 2, (dy + 0.5) / 2) for cc, rr, dx, dy in cells]
                twh = (min(0.99, math.sqrt(gw / aw) / 2), min(0.99, math.sqrt(gh / ah) / 2))
            for cc, rr, tx, ty in cells:
                t["pos"][b, a, rr, cc] = True
                t["txy"][b, a, :, rr, cc] = (tx, ty)
                t["twh"][b, a, :, rr, cc] = twh
                t["cls"][b, a, rr, cc] = int(cls)
    return targets


def decode_boxes_torch(cfg, o, pred, groups, grids):
    """Boxes (x0, y0, x1, y1) of every anchor of output o, shape (B, A, H, W, 4)."""
    kind, in_w, in_h = cfg["kind"], cfg["width"], cfg["height"]
    wo, ho = grids[o]
    anchors = torch.tensor(groups[o], dtype=torch.float32)
    aw = anchors[:, 0].view(1, -1, 1, 1)
    ah = anchors[:, 1].view(1, -1, 1, 1)
    cx = torch.arange(wo, dtype=torch.float32).view(1, 1, 1, -1)
    cy = torch.arange(ho, dtype=torch.float32).view(1, 1, -1, 1)
    tx, ty, tw, th = pred[:, :, 0], pred[:, :, 1], pred[:, :, 2], pred[:, :, 3]
    if kind in ("yolo2", "yolo3"):
        x = (torch.sigmoid(tx) + cx) * in_w / wo
        y = (torch.sigmoid(ty) + cy) * in_h / ho
        w = torch.exp(tw.clamp(-6, 6)) * aw
        h = torch.exp(th.clamp(-6, 6)) * ah
    else:
        stride = 2 ** (o + 3)
        x = (2 * torch.sigmoid(tx) + cx - 0.5) * stride
        y = (2 * torch.sigmoid(ty) + cy - 0.5) * stride
        w = (2 * torch.sigmoid(tw)) ** 2 * aw
        h = (2 * torch.sigmoid(th)) ** 2 * ah
    return torch.stack([x - w / 2, y - h / 2, x + w / 2, y + h / 2], -1)


def yolo_loss(cfg, outputs, boxes):
    classes = len(LABELS)
    groups = anchor_groups_px(cfg)
    grids = [(out.shape[3], out.shape[2]) for out in outputs]
    targets = build_yolo_targets(cfg, grids, boxes)
    bsz = outputs[0].shape[0]
    gt_pad = np.zeros((bsz, max(1, max(len(b) for b in boxes)), 4), np.float32)
    for b, objs in enumerate(boxes):
        gt_pad[b, :len(objs)] = objs[:, 1:5]
    total_box = total_obj = total_cls = 0.0
    for o, out in enumerate(outputs):
        n_anchor = len(groups[o])
        pred = out.view(bsz, n_anchor, classes + 5, out.shape[2], out.shape[3])
        t = targets[o]
        pos = torch.from_numpy(t["pos"])
        # Anchors that already overlap an object well are not pushed towards "nothing".
        with torch.no_grad():
            decoded = decode_boxes_torch(cfg, o, pred.detach(), groups, grids).view(bsz, -1, 1, 4)
            gt = torch.from_numpy(gt_pad)[:, None, :, :]
            lt = torch.max(decoded[..., :2], gt[..., :2])
            rb = torch.min(decoded[..., 2:], gt[..., 2:])
            inter = (rb - lt).clamp(min=0).prod(-1)
            area_d = (decoded[..., 2:] - decoded[..., :2]).prod(-1)
            area_g = (gt[..., 2:] - gt[..., :2]).prod(-1)
            iou = inter / (area_d + area_g - inter + 1e-9)
            ignore = (iou.max(-1).values > 0.6).view(pos.shape)
        obj_logit = pred[:, :, 4]
        weight = (pos | ~ignore).float()
        total_obj = total_obj + (F.binary_cross_entropy_with_logits(
            obj_logit, pos.float(), reduction="none") * weight).sum()
        if pos.any():
            p = pred.permute(0, 1, 3, 4, 2)[pos]          # (P, C + 5)
            txy = torch.from_numpy(t["txy"]).permute(0, 1, 3, 4, 2)[pos]
            twh = torch.from_numpy(t["twh"]).permute(0, 1, 3, 4, 2)[pos]
            cls = torch.from_numpy(t["cls"])[pos]
            total_box = total_box + F.binary_cross_entropy_with_logits(p[:, 0:2], txy, reduction="sum")
            if cfg["kind"] == "yolo5":
                total_box = total_box + F.binary_cross_entropy_with_logits(p[:, 2:4], twh, reduction="sum")
            else:
                total_box = total_box + F.smooth_l1_loss(p[:, 2:4], twh, reduction="sum", beta=0.2) * 2
            if cfg["kind"] == "yolo2":
                total_cls = total_cls + F.cross_entropy(p[:, 5:], cls, reduction="sum")
            else:
                onehot = F.one_hot(cls, classes).float()
                total_cls = total_cls + F.binary_cross_entropy_with_logits(p[:, 5:], onehot, reduction="sum")
    return (2.0 * total_box + total_obj + total_cls) / bsz


# ---------------------------------------------------------------------------
# Evaluation through the application's decoding


def detections_of(cfg, outputs_nchw):
    outs = [app_decode.to_depth_last(o) for o in outputs_nchw]
    return app_decode.decode_yolo(outs, cfg["kind"], LABELS, cfg["anchors"], cfg["confidence"],
                                  cfg["iou"], cfg["width"], cfg["height"])


def match_detections(dets, gts, min_iou=0.5):
    """Counts (true positives, false positives, missed) and the matched IoUs."""
    used, ious, tp = set(), [], 0
    for x, y, w, h, conf, cls in dets:
        best, best_j = 0.0, -1
        for j, (gcls, x0, y0, x1, y1) in enumerate(gts):
            if j in used or int(gcls) != cls:
                continue
            iou = app_decode.box_iou((x, y, w, h), (x0, y0, x1 - x0, y1 - y0))
            if iou > best:
                best, best_j = iou, j
        if best >= min_iou:
            used.add(best_j)
            ious.append(best)
            tp += 1
    return tp, len(dets) - tp, len(gts) - len(used), ious


def evaluate_detector(cfg, model, images, boxes):
    model.eval()
    tp = fp = fn = 0
    ious = []
    with torch.no_grad():
        for i in range(0, len(images), 50):
            outs = model(to_input(images[i:i + 50], cfg))
            for k in range(outs[0].shape[0]):
                dets = detections_of(cfg, [o[k:k + 1].numpy() for o in outs])
                a, b, c, d = match_detections(dets, boxes[i + k])
                tp, fp, fn = tp + a, fp + b, fn + c
                ious += d
    return dict(precision=tp / max(1, tp + fp), recall=tp / max(1, tp + fn),
                mean_iou=float(np.mean(ious)) if ious else 0.0, false_positives=fp, missed=fn)


# ---------------------------------------------------------------------------
# The trainers


def train_classifier(cfg, seed):
    rng = np.random.default_rng(seed)
    w, h = cfg["width"], cfg["height"]
    t0 = time.time()
    images, _, boxes = make_scene_set(seed, cfg["train_pictures"], w, h, [1], (0.2, 0.42), (1.0, 4.0))
    labels = np.array([int(b[0, 0]) for b in boxes])
    val_images, _, val_boxes = make_scene_set(seed + 1, 400, w, h, [1], (0.2, 0.42), (1.0, 4.0))
    val_labels = np.array([int(b[0, 0]) for b in val_boxes])
    log(f"  data: {time.time() - t0:.0f} s")
    t0 = time.time()
    model = nets.Classifier(len(LABELS))
    steps, bsz = cfg["steps"], 64
    opt, sched = make_optimiser(model, 3e-3, steps)
    for step in range(steps):
        model.train()
        idx = rng.integers(0, len(images), bsz)
        batch, _, _ = flip_batch(rng, images[idx], np.zeros((bsz, 1, 1), np.uint8),
                                 [np.zeros((0, 5), np.float32)] * bsz, w, h)
        loss = F.cross_entropy(model(to_input(batch, cfg)), torch.from_numpy(labels[idx]))
        optimise(opt, sched, loss, step, steps, t0)
    model.eval()
    with torch.no_grad():
        pred = model(to_input(val_images, cfg)).argmax(1).numpy()
    metrics = dict(accuracy=float((pred == val_labels).mean()))
    return model, metrics


def train_detector(cfg, seed):
    rng = np.random.default_rng(seed)
    w, h = cfg["width"], cfg["height"]
    t0 = time.time()
    counts = [0] + [1, 2, 3, 4, 5] * 4
    scale_range = cfg.get("scale_range", (1.0, 2.8))
    images, maps, boxes = make_scene_set(1000, cfg["train_pictures"], w, h, counts,
                                         cfg["size_range"], scale_range)
    val_images, _, val_boxes = make_scene_set(1001, 300, w, h, counts, cfg["size_range"], scale_range)
    log(f"  data: {time.time() - t0:.0f} s")
    t0 = time.time()
    heads = 3 * (len(LABELS) + 5)
    model = {"yolo2": nets.Yolo2Net, "yolo3": nets.Yolo3Net, "yolo5": nets.Yolo5Net}[cfg["kind"]](heads)
    wrapped = model if cfg["kind"] != "yolo2" else TupleOutput(model)
    steps, bsz = cfg["steps"], 32
    opt, sched = make_optimiser(model, 3e-3, steps)
    for step in range(steps):
        model.train()
        idx = rng.integers(0, len(images), bsz)
        batch, _, bboxes = flip_batch(rng, images[idx], maps[idx], [boxes[i] for i in idx], w, h)
        outs = model(to_input(batch, cfg))
        outs = outs if isinstance(outs, tuple) else (outs,)
        loss = yolo_loss(cfg, outs, bboxes)
        optimise(opt, sched, loss, step, steps, t0, clip=model)
        if cfg.get("eval_every") and step % cfg["eval_every"] == cfg["eval_every"] - 1:
            m = evaluate_detector(cfg, wrapped, val_images[:100], val_boxes[:100])
            log(f"  step {step}: validation {json.dumps(m)}")
    metrics = evaluate_detector(cfg, wrapped, val_images, val_boxes)
    return model, metrics


class TupleOutput(nn.Module):
    def __init__(self, model):
        super().__init__()
        self.model = model

    def forward(self, x):
        return (self.model(x),)


def train_unet(cfg, seed):
    rng = np.random.default_rng(seed)
    w, h = cfg["width"], cfg["height"]
    t0 = time.time()
    counts = [1, 2, 3, 4]
    images, maps, boxes = make_scene_set(seed, cfg["train_pictures"], w, h, counts, cfg["size_range"], (1.0, 3.0))
    val_images, val_maps, _ = make_scene_set(seed + 1, 200, w, h, counts, cfg["size_range"], (1.0, 3.0))
    log(f"  data: {time.time() - t0:.0f} s")
    t0 = time.time()
    model = nets.UNet(len(LABELS) + 1)
    steps, bsz = cfg["steps"], cfg["batch"]
    opt, sched = make_optimiser(model, 3e-3, steps)
    class_weight = torch.tensor([1.0] + [2.0] * len(LABELS))
    for step in range(steps):
        model.train()
        idx = rng.integers(0, len(images), bsz)
        batch, bmaps, _ = flip_batch(rng, images[idx], maps[idx], [boxes[i] for i in idx], w, h)
        loss = F.cross_entropy(model(to_input(batch, cfg)), torch.from_numpy(bmaps.astype(np.int64)),
                               weight=class_weight)
        optimise(opt, sched, loss, step, steps, t0)
        if cfg.get("eval_every") and step % cfg["eval_every"] == cfg["eval_every"] - 1:
            log(f"  step {step}: validation {json.dumps(evaluate_unet(cfg, model, val_images[:50], val_maps[:50]))}")
    return model, evaluate_unet(cfg, model, val_images, val_maps)


def evaluate_unet(cfg, model, val_images, val_maps):
    model.eval()
    inter = np.zeros(len(LABELS) + 1)
    union = np.zeros(len(LABELS) + 1)
    with torch.no_grad():
        for i in range(0, len(val_images), 50):
            out = model(to_input(val_images[i:i + 50], cfg)).numpy()
            for k in range(out.shape[0]):
                painted = app_decode.segment(app_decode.to_depth_last(out[k:k + 1]))
                gt = val_maps[i + k]
                for c in range(1, len(LABELS) + 1):
                    inter[c] += np.sum((painted == c) & (gt == c))
                    union[c] += np.sum((painted == c) | (gt == c))
    return {LABELS[c - 1]: round(float(inter[c] / max(1, union[c])), 4) for c in range(1, len(LABELS) + 1)}


# ---------------------------------------------------------------------------
# Example folders


def description_xml(cfg, model_file):
    lines = ["<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
             "<vrax_nn_description>",
             "    <input>",
             f"        <model>{model_file}</model>",
             f"        <format>{cfg['format']}</format>",
             f"        <divider>{cfg['divider']:g}</divider>",
             f"        <adder>{cfg['adder']:g}</adder>",
             "    </input>",
             "    <output>",
             f"        <neural_network>{cfg['network']}</neural_network>"]
    # List elements hold one entry per line with nothing around it: blanks
    # would become part of a label.
    if cfg["network"] != "unet":
        lines.append("        <labels>" + "\n".join(LABELS) + "</labels>")
    if cfg["network"].startswith("yolo"):
        lines.append("        <yolo_anchors>" + "\n".join(f"{a:g}" for a in cfg["anchors"]) + "</yolo_anchors>")
        lines.append(f"        <yolo_confidence_threshold>{cfg['confidence']:g}</yolo_confidence_threshold>")
        lines.append(f"        <yolo_iou_threshold>{cfg['iou']:g}</yolo_iou_threshold>")
    lines += ["    </output>", "</vrax_nn_description>", ""]
    return "\n".join(lines)


def render_example_picture(picture, cfg):
    rng = np.random.default_rng(picture["seed"])
    pw, ph = picture["size"]
    left, top, cw, ch = synth.app_crop_rect(pw, ph, cfg["width"], cfg["height"])
    shapes = synth.place_shapes(rng, pw, ph, len(picture["shapes"]), picture["size_range"],
                                (left, top, left + cw, top + ch), kinds=picture["shapes"])
    if len(shapes) != len(picture["shapes"]):
        raise RuntimeError(f"{picture['file']}: could not place every shape")
    pic, labels = synth.render_scene(rng, pw, ph, shapes, background=picture["background"], noise=0)
    return pic, labels, shapes


def write_example(name, cfg, model, outputs_fn):
    """Writes description, pictures and expected answers of one example folder."""
    folder = os.path.join(OUTPUT_DIR, cfg["folder"])
    os.makedirs(os.path.join(folder, "pictures"), exist_ok=True)
    w, h = cfg["width"], cfg["height"]
    with open(os.path.join(folder, cfg["stem"] + ".xml"), "w") as f:
        f.write(description_xml(cfg, cfg["model_file"]))
    expected = dict(description=cfg["stem"] + ".xml", model=cfg["model_file"], network=cfg["network"],
                    input=dict(width=w, height=h, depth=3, format=cfg["format"],
                               divider=cfg["divider"], adder=cfg["adder"]),
                    pictures=[])
    if cfg["network"] == "unet":
        expected["classes"] = ["background"] + LABELS
    else:
        expected["labels"] = LABELS
    if cfg["network"].startswith("yolo"):
        expected.update(anchors=cfg["anchors"], confidence_threshold=cfg["confidence"],
                        iou_threshold=cfg["iou"])
    model.eval()
    problems = []
    for picture in PICTURES[name]:
        pic, labels, shapes = render_example_picture(picture, cfg)
        path = os.path.join(folder, picture["file"])
        synth.write_png(path, pic)
        pw, ph = picture["size"]
        entry = dict(file=picture["file"], size=[pw, ph], crop=list(synth.app_crop_rect(pw, ph, w, h)))
        x = torch.from_numpy(synth.app_tensor(pic, w, h, cfg["format"], cfg["divider"], cfg["adder"]))
        with torch.no_grad():
            outs = outputs_fn(x)
        expected_outputs = [list(app_decode.to_depth_last(o.numpy()).shape[1::-1]) +
                            [app_decode.to_depth_last(o.numpy()).shape[2]] for o in outs]
        expected["outputs"] = [dict(width=a, height=b, depth=c) for a, b, c in expected_outputs]
        if cfg["network"] == "classifier":
            ranking = app_decode.classify(outs[0].numpy(), LABELS)
            entry["top_label"] = shapes[0]["kind"]
            entry["reference"] = [dict(label=lab, probability=round(p, 4)) for lab, p in ranking]
            if ranking[0][0] != shapes[0]["kind"]:
                problems.append(f"{picture['file']}: top label {ranking[0][0]}")
            if picture.get("binary"):
                bin_path = os.path.join(folder, picture["binary"])
                with open(bin_path, "wb") as f:
                    f.write(synth.binary_image(pic, w, h, cfg["format"], cfg["divider"], cfg["adder"]))
                expected["binary_image"] = dict(file=picture["binary"], shows=picture["file"], width=w, height=h,
                                                depth=4, top_label=shapes[0]["kind"])
        elif cfg["network"].startswith("yolo"):
            dets = detections_of(cfg, [o.numpy() for o in outs])
            gts = []
            for s in shapes:
                x0, y0, x1, y1 = synth.box_to_network(synth.shape_extent(s), pw, ph, w, h)
                gts.append((LABELS.index(s["kind"]), x0, y0, x1, y1))
            entry["detections"] = [dict(label=LABELS[g[0]], box=[round(g[1], 1), round(g[2], 1),
                                                                round(g[3] - g[1], 1), round(g[4] - g[2], 1)],
                                        min_iou=0.5) for g in gts]
            entry["reference"] = [dict(label=LABELS[d[5]], box=list(d[:4]), confidence=round(d[4], 4))
                                  for d in dets]
            tp, fp, fn, ious = match_detections(dets, gts)
            if fp or fn:
                problems.append(f"{picture['file']}: {fp} spurious, {fn} missed")
            entry["reference_ious"] = [round(v, 3) for v in ious]
        else:
            gt = synth.app_scale(labels, w, h)
            mask_file = "masks/" + os.path.basename(picture["file"])
            os.makedirs(os.path.join(folder, "masks"), exist_ok=True)
            synth.write_png(os.path.join(folder, mask_file), gt)
            painted = app_decode.segment(app_decode.to_depth_last(outs[0].numpy()))
            entry["mask"] = mask_file
            entry["min_iou"] = 0.75
            entry["max_background_painted"] = 0.02
            entry["classes"] = []
            for c in sorted(set(int(v) for v in np.unique(gt)) - {0}):
                ys, xs = np.nonzero(gt == c)
                iou = np.sum((painted == c) & (gt == c)) / np.sum((painted == c) | (gt == c))
                entry["classes"].append(dict(label=LABELS[c - 1], pixels=int(len(xs)),
                                             bbox=[int(xs.min()), int(ys.min()),
                                                   int(xs.max() - xs.min() + 1), int(ys.max() - ys.min() + 1)],
                                             reference_iou=round(float(iou), 3)))
                if iou < entry["min_iou"]:
                    problems.append(f"{picture['file']}: {LABELS[c - 1]} IoU {iou:.2f}")
            bg_painted = float(np.mean(painted[gt == 0] != 0))
            entry["reference_background_painted"] = round(bg_painted, 4)
            if bg_painted > entry["max_background_painted"]:
                problems.append(f"{picture['file']}: background painted {bg_painted:.3f}")
        expected["pictures"].append(entry)
    with open(os.path.join(folder, "expected.json"), "w") as f:
        f.write(json_text(expected))
    return problems


def json_text(obj):
    """Indented JSON with short lists of numbers kept on one line."""
    text = json.dumps(obj, indent=2)
    text = re.sub(r"\[\s+([-0-9.e,\s]+?)\s+\]",
                  lambda m: "[" + ", ".join(v.strip() for v in m.group(1).split(",")) + "]", text)
    return text + "\n"


def export_model(name, cfg, model):
    folder = os.path.join(OUTPUT_DIR, cfg["folder"])
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, cfg["model_file"])
    if cfg["model_file"].endswith(".cfg"):
        darknet_export.write_darknet(model, path, path[:-3] + "weights", cfg["width"], cfg["height"],
                                     [tuple(cfg["anchors"][i:i + 2]) for i in range(0, len(cfg["anchors"]), 2)],
                                     len(LABELS))
        return ["(DarkNet)"]
    return onnx_export.export_onnx(model, path, cfg["width"], cfg["height"], cfg["output_names"])


TRAINERS = {"classifier": train_classifier, "yolo2": train_detector, "yolo3": train_detector,
            "yolo5": train_detector, "unet": train_unet}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("examples", nargs="*", help="any of " + ", ".join(TRAINERS) + " (default: all)")
    parser.add_argument("--quick", action="store_true",
                        help="few steps, to try the script out (writes to a temporary folder)")
    parser.add_argument("--out", help="folder for the example folders (default: examples/)")
    parser.add_argument("--threads", type=int, default=0,
                        help="PyTorch threads (default: 2, or 1 while the machine is busy)")
    parser.add_argument("--steps", type=int, default=0, help="training steps instead of the defaults")
    parser.add_argument("--eval-every", type=int, default=0, help="validate every N steps")
    args = parser.parse_args()
    unknown = [e for e in args.examples if e not in TRAINERS]
    if unknown:
        parser.error("unknown example " + ", ".join(unknown))
    args.examples = args.examples or list(TRAINERS)
    global OUTPUT_DIR
    OUTPUT_DIR = args.out or (tempfile.mkdtemp(prefix="vrax-examples-") if args.quick else EXAMPLES_DIR)
    log(f"writing to {OUTPUT_DIR}")
    try:
        os.nice(10)
    except OSError:
        pass
    # On a shared machine two threads that wait for each other are slower than one.
    threads = args.threads or (2 if os.getloadavg()[0] < 1.5 else 1)
    torch.set_num_threads(threads)
    log(f"{threads} thread(s)")
    start = time.time()
    report = {}
    for name in args.examples:
        cfg = dict(EXAMPLES[name])
        if args.steps:
            cfg["steps"] = args.steps
        cfg["eval_every"] = args.eval_every
        if args.quick:
            cfg["steps"] = 30
            cfg["train_pictures"] = 200
        log(f"{name}: training")
        t0 = time.time()
        torch.manual_seed(cfg["seed"])
        model, metrics = TRAINERS[name](cfg, cfg["seed"])
        log(f"{name}: {time.time() - t0:.0f} s, validation {json.dumps(metrics)}")
        targets = [name] + (["yolo3-darknet"] if name == "yolo3" else [])
        for target in targets:
            tcfg = dict(EXAMPLES[target])
            ops = export_model(target, tcfg, model)
            single = (lambda x, m=model: (m(x),)) if name in ("classifier", "yolo2", "unet") else model
            problems = write_example(target, tcfg, model, single)
            log(f"{target}: exported ({', '.join(ops)}); example pictures: "
                + ("all as expected" if not problems else "; ".join(problems)))
            report[target] = dict(seconds=round(time.time() - t0), validation=metrics, problems=problems)
    log(f"total {time.time() - start:.0f} s")
    return 0 if all(not r["problems"] for r in report.values()) else 1


if __name__ == "__main__":
    sys.exit(main())
