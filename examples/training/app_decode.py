"""The application's result decoding, re-written in Python.

Outputs are given depth-last, as the application receives them: one array of
shape (height, width, depth) per network output.
"""

import math

import numpy as np


def to_depth_last(blob):
    """[1, C, H, W] -> (H, W, C); [1, K] -> (1, 1, K)."""
    blob = np.asarray(blob, dtype=np.float32)
    if blob.ndim == 2:
        return blob.reshape(1, 1, -1)
    return blob[0].transpose(1, 2, 0)


# ---------------------------------------------------------------------------
# Classifier: softmax over the first output, highest first.


def classify(output, labels, top=10):
    x = np.asarray(output, dtype=np.float32).reshape(-1)
    m = x[int(np.argmax(x))]
    d = (x - m).astype(np.float32)
    s = float(np.sum(np.exp(d).astype(np.float64)))
    p = np.exp(d.astype(np.float64) - math.log(s)).astype(np.float32)
    order = sorted(range(len(labels)), key=lambda i: -float(p[i]))
    return [(labels[i], float(p[i])) for i in order[:top]]


# ---------------------------------------------------------------------------
# YOLO detectors.


def _sigmoid(v):
    return 1.0 / (1.0 + math.exp(-float(v)))


def _sigmoid_objectness(v):
    e = float(np.exp(np.float32(-v)))
    return 1.0 / (1.0 + e)


def decode_yolo(outputs, kind, labels, anchors, conf_threshold, iou_threshold,
                in_w, in_h, pic_w=None, pic_h=None):
    """Returns [(x, y, width, height, confidence, class index)], best first."""
    pic_w = in_w if pic_w is None else pic_w
    pic_h = in_h if pic_h is None else pic_h
    classes = len(labels)
    n_out = len(outputs)
    cands = []
    for o, out in enumerate(outputs):
        ho, wo, do = out.shape
        ao = do // (classes + 5)
        if kind == "yolo2":
            group = [(anchors[2 * j], anchors[2 * j + 1]) for j in range(ao)]
        elif kind == "yolo3":
            first = (n_out - 1 - o) * ao
            group = [(anchors[2 * j], anchors[2 * j + 1]) for j in range(first, first + ao)]
        else:
            first = o * ao
            group = [(anchors[2 * j], anchors[2 * j + 1]) for j in range(first, first + ao)]
        stride = 2 ** (o + 3)
        cells = out.reshape(ho, wo, do)
        # The confidence never exceeds the objectness probability, so only
        # anchors whose objectness passes the threshold need a closer look
        # (found with numpy first, with a margin, in decode order).
        obj = cells[:, :, :ao * (classes + 5)].reshape(ho, wo, ao, classes + 5)[..., 4]
        limit = math.log(conf_threshold / (1 - conf_threshold)) - 1e-3 if 0 < conf_threshold < 1 else -np.inf
        for r, c, a in np.argwhere(obj > limit):
            v = cells[r, c, a * (classes + 5):(a + 1) * (classes + 5)]
            p_obj = _sigmoid_objectness(v[4])
            if not p_obj > conf_threshold:
                continue
            scores = [float(s) for s in v[5:]]
            if kind == "yolo2":
                m = max(scores)
                ssum = sum(math.exp(s - m) for s in scores)
                lse = math.log(ssum)
                probs = [math.exp(s - m - lse) for s in scores]
            else:
                probs = [_sigmoid(s) for s in scores]
            best = 0
            for k in range(1, classes):
                if probs[k] > probs[best]:
                    best = k
            conf = p_obj * probs[best]
            if not conf > conf_threshold:
                continue
            tx, ty, tw, th = (float(t) for t in v[:4])
            sx, sy = _sigmoid(tx), _sigmoid(ty)
            aw, ah = group[a]
            if kind == "yolo2":
                cx, cy = (sx + c) * 32, (sy + r) * 32
                w, h = math.exp(tw) * aw * 32, math.exp(th) * ah * 32
                left, right, top, bottom = cx - 0.5 * w, cx + 0.5 * w, cy - 0.5 * h, cy + 0.5 * h
            elif kind == "yolo3":
                nx, ny = (sx + c) / wo, (sy + r) / ho
                nw, nh = math.exp(tw) * aw / in_w, math.exp(th) * ah / in_h
                left, right = (nx - 0.5 * nw) * in_w, (nx + 0.5 * nw) * in_w
                top, bottom = (ny - 0.5 * nh) * in_h, (ny + 0.5 * nh) * in_h
            else:
                cx = (2 * sx + c - 0.5) * stride
                cy = (2 * sy + r - 0.5) * stride
                w = (2 * _sigmoid(tw)) ** 2 * aw * stride
                h = (2 * _sigmoid(th)) ** 2 * ah * stride
                left, right, top, bottom = cx - 0.5 * w, cx + 0.5 * w, cy - 0.5 * h, cy + 0.5 * h
            left, top, right, bottom = (int(math.trunc(e)) for e in (left, top, right, bottom))
            x, y = max(left, 0), max(top, 0)
            right, bottom = min(right, pic_w - 1), min(bottom, pic_h - 1)
            cands.append([x, y, right - x, bottom - y, conf, best])
    cands.sort(key=lambda d: -d[4])   # stable: equal confidences keep decode order
    result = []
    for i, ci in enumerate(cands):
        if ci[5] < 0:
            continue
        result.append(tuple(ci))
        for cj in cands[i + 1:]:
            inter = intersection_area(ci, cj)
            union = cj[2] * cj[3] + ci[2] * ci[3] - inter
            if union != 0 and inter / union > iou_threshold:
                cj[5] = -1
            elif union == 0 and inter > 0:
                cj[5] = -1
    return result


def intersection_area(a, b):
    w = min(a[0] + a[2], b[0] + b[2]) - max(a[0], b[0])
    h = min(a[1] + a[3], b[1] + b[3]) - max(a[1], b[1])
    if w <= 0 or h <= 0:
        return 0.0
    return float(w) * float(h)


def box_iou(a, b):
    """IoU of two [x, y, w, h] boxes (continuous)."""
    ix = max(0.0, min(a[0] + a[2], b[0] + b[2]) - max(a[0], b[0]))
    iy = max(0.0, min(a[1] + a[3], b[1] + b[3]) - max(a[1], b[1]))
    inter = ix * iy
    union = a[2] * a[3] + b[2] * b[3] - inter
    return inter / union if union > 0 else 0.0


# ---------------------------------------------------------------------------
# Segmentation: per-pixel softmax, class c painted where its probability > 0.5.


def segment(output):
    """(H, W, D) scores -> H x W class map (0 where nothing is painted).

    A pixel takes the last class (1 .. D-1) whose probability exceeds 0.5, as
    the painting in class order leaves it; with D = 1 the mask is value >= 0.5.
    """
    out = np.asarray(output, dtype=np.float32)
    h, w, d = out.shape
    if d == 1:
        return (out[..., 0] >= 0.5).astype(np.uint8)
    m = out.max(axis=2, keepdims=True)
    diff = (out - m).astype(np.float32)
    s = np.exp(diff).astype(np.float64).sum(axis=2, keepdims=True)
    p = np.exp(diff.astype(np.float64) - np.log(s)).astype(np.float32)
    result = np.zeros((h, w), dtype=np.uint8)
    for c in range(1, d):
        result[p[..., c] > 0.5] = c
    return result
