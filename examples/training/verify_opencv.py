#!/usr/bin/python3
"""Checks the example folders with OpenCV's DNN module, the simulator's engine.

    /usr/bin/python3 examples/training/verify_opencv.py [folder ...]

Needs Debian's python3-opencv, python3-onnx and python3-numpy. For every
example folder it reads the description, loads the model with cv2.dnn (ONNX,
or DarkNet .cfg + .weights), prepares each picture as the application does
(centre crop to the network's aspect ratio, nearest scaling, value = pixel /
divider + adder, channels in the description's order), decodes the outputs
with the application's formulas (app_decode.py) and compares the result with
the folder's expected.json:

- classifier: the expected label ranks first (also for the raw binary image);
- detectors: exactly one box per expected shape, with the expected label and
  at least the expected IoU with the expected box (network input pixels);
- unet: per class, the painted pixels overlap the expected mask (a grey PNG at
  network input size holding the class index per pixel) by at least the
  expected IoU, and hardly any background pixel is painted.

It also compares with the reference answers that train.py recorded from
PyTorch: both engines must agree to within a pixel and 0.01 in confidence.
"""

import json
import os
import sys
import xml.etree.ElementTree as ET

import cv2
import numpy as np
import onnx

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import app_decode  # noqa: E402
import synth  # noqa: E402

EXAMPLES_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["classifier", "yolo2", "yolo3", "yolo3-darknet", "yolo5", "unet"]


def read_description(path):
    root = ET.parse(path).getroot()
    assert root.tag == "vrax_nn_description", path
    inp, out = root.find("input"), root.find("output")
    desc = dict(model=os.path.join(os.path.dirname(path), inp.find("model").text),
                format=inp.find("format").text, divider=float(inp.find("divider").text),
                adder=float(inp.find("adder").text), network=out.find("neural_network").text)
    if desc["network"] != "unet":
        desc["labels"] = [line for line in out.find("labels").text.split("\n") if line not in ("", "\t")]
    if desc["network"].startswith("yolo"):
        desc["anchors"] = [float(v) for v in out.find("yolo_anchors").text.split("\n") if v.strip()]
        desc["confidence"] = float(out.find("yolo_confidence_threshold").text)
        desc["iou"] = float(out.find("yolo_iou_threshold").text)
    return desc


def load_network(model_path):
    """The network and the names of its outputs, in the order the application gets them."""
    if model_path.endswith(".cfg"):
        net = cv2.dnn.readNetFromDarknet(model_path, model_path[:-3] + "weights")
        # The raw convolutions that feed each [yolo] layer, in .cfg order.
        names, index, previous = [], -1, None
        with open(model_path) as f:
            for line in f:
                line = line.strip()
                if line.startswith("[") and line != "[net]":
                    index += 1
                    if line == "[yolo]":
                        names.append(f"conv_{previous}")
                    if line == "[convolutional]":
                        previous = index
        return net, names
    net = cv2.dnn.readNetFromONNX(model_path)
    names = [o.name for o in onnx.load(model_path).graph.output]
    return net, names


def run(net, names, tensor):
    net.setInput(tensor)
    return [app_decode.to_depth_last(o) for o in net.forward(names)]


def close_boxes(a, b, tol=1):
    return all(abs(x - y) <= tol for x, y in zip(a, b))


def check_folder(folder):
    exp_path = os.path.join(EXAMPLES_DIR, folder, "expected.json")
    with open(exp_path) as f:
        expected = json.load(f)
    desc = read_description(os.path.join(EXAMPLES_DIR, folder, expected["description"]))
    net, names = load_network(desc["model"])
    w, h = expected["input"]["width"], expected["input"]["height"]
    failures = []
    lines = []

    def fail(msg):
        failures.append(f"{folder}: {msg}")

    for pic in expected["pictures"]:
        path = os.path.join(EXAMPLES_DIR, folder, pic["file"])
        bgr = cv2.imread(path, cv2.IMREAD_COLOR)
        rgb = bgr[..., ::-1]
        if [rgb.shape[1], rgb.shape[0]] != pic["size"]:
            fail(f"{pic['file']}: size {rgb.shape[1]}x{rgb.shape[0]}")
        tensor = synth.app_tensor(rgb, w, h, desc["format"], desc["divider"], desc["adder"])
        outs = run(net, names, tensor)
        dims = [dict(width=o.shape[1], height=o.shape[0], depth=o.shape[2]) for o in outs]
        if dims != expected["outputs"]:
            fail(f"{pic['file']}: outputs {dims}, expected {expected['outputs']}")
            continue
        if desc["network"] == "classifier":
            ranking = app_decode.classify(outs[0], desc["labels"])
            ok = ranking[0][0] == pic["top_label"]
            ref_ok = all(abs(p - r["probability"]) <= 0.01 and lab == r["label"]
                         for (lab, p), r in zip(ranking, pic["reference"]))
            lines.append(f"  {pic['file']}: top {ranking[0][0]} {ranking[0][1]:.4f}, expected "
                         f"{pic['top_label']} -> {'ok' if ok else 'WRONG'}"
                         f"{'' if ref_ok else ' (differs from the PyTorch reference)'}")
            if not ok:
                fail(f"{pic['file']}: top label {ranking[0][0]}")
            if not ref_ok:
                fail(f"{pic['file']}: probabilities differ from the reference")
        elif desc["network"].startswith("yolo"):
            dets = app_decode.decode_yolo(outs, desc["network"], desc["labels"], desc["anchors"],
                                          desc["confidence"], desc["iou"], w, h)
            used = set()
            for e in pic["detections"]:
                best, best_i = 0.0, -1
                for i, d in enumerate(dets):
                    if i in used or desc["labels"][d[5]] != e["label"]:
                        continue
                    iou = app_decode.box_iou(d[:4], e["box"])
                    if iou > best:
                        best, best_i = iou, i
                if best >= e["min_iou"]:
                    used.add(best_i)
                else:
                    fail(f"{pic['file']}: no {e['label']} at {e['box']} (best IoU {best:.2f})")
            if len(dets) != len(pic["detections"]):
                fail(f"{pic['file']}: {len(dets)} boxes, expected {len(pic['detections'])}")
            ref = pic["reference"]
            ref_ok = len(ref) == len(dets) and all(
                desc["labels"][d[5]] == r["label"] and close_boxes(d[:4], r["box"])
                and abs(d[4] - r["confidence"]) <= 0.01 for d, r in zip(dets, ref))
            if not ref_ok:
                fail(f"{pic['file']}: boxes differ from the PyTorch reference")
            found = ", ".join(f"{desc['labels'][d[5]]} {list(d[:4])} {d[4]:.2f}" for d in dets)
            lines.append(f"  {pic['file']}: {found}")
        else:
            painted = app_decode.segment(outs[0])
            gt = cv2.imread(os.path.join(EXAMPLES_DIR, folder, pic["mask"]), cv2.IMREAD_GRAYSCALE)
            parts = []
            for c in pic["classes"]:
                k = expected["classes"].index(c["label"])
                if int(np.sum(gt == k)) != c["pixels"]:
                    fail(f"{pic['mask']}: {c['label']} pixel count differs")
                union = np.sum((painted == k) | (gt == k))
                iou = float(np.sum((painted == k) & (gt == k)) / union)
                parts.append(f"{c['label']} IoU {iou:.3f}")
                if iou < pic["min_iou"]:
                    fail(f"{pic['file']}: {c['label']} IoU {iou:.3f}")
            stray = float(np.mean(painted[gt == 0] != 0))
            parts.append(f"background painted {stray:.4f}")
            if stray > pic["max_background_painted"]:
                fail(f"{pic['file']}: {stray:.3f} of the background painted")
            lines.append(f"  {pic['file']}: " + ", ".join(parts))
    binary = expected.get("binary_image")
    if binary:
        raw = np.fromfile(os.path.join(EXAMPLES_DIR, folder, binary["file"]), dtype=np.float32)
        bw, bh, bd = binary["width"], binary["height"], binary["depth"]
        if raw.size != bw * bh * bd:
            fail(f"{binary['file']}: {raw.size} values, expected {bw * bh * bd}")
        else:
            pixels = raw.reshape(bh, bw, bd)
            tensor = np.ascontiguousarray(pixels[..., :3].transpose(2, 0, 1)[None])
            ranking = app_decode.classify(run(net, names, tensor)[0], desc["labels"])
            ok = ranking[0][0] == binary["top_label"] and np.all(pixels[..., 3] == 0)
            lines.append(f"  {binary['file']} ({bw}x{bh}x{bd} float32): top {ranking[0][0]} "
                         f"{ranking[0][1]:.4f} -> {'ok' if ok else 'WRONG'}")
            if not ok:
                fail(f"{binary['file']}: top label {ranking[0][0]}")
    return lines, failures


def compare_yolo3_formats():
    """The DarkNet files hold the same network as the ONNX model: same raw outputs."""
    onnx_net, onnx_names = load_network(os.path.join(EXAMPLES_DIR, "yolo3", "shapes_yolo3.onnx"))
    dn_net, dn_names = load_network(os.path.join(EXAMPLES_DIR, "yolo3-darknet", "shapes_yolo3.cfg"))
    tensor = np.random.default_rng(0).random((1, 3, 160, 160), dtype=np.float32)
    a = run(onnx_net, onnx_names, tensor)
    b = run(dn_net, dn_names, tensor)
    diff = max(float(np.abs(x - y).max()) for x, y in zip(a, b))
    return diff, [x.shape for x in a] == [y.shape for y in b] and diff < 1e-3


def main():
    folders = sys.argv[1:] or FOLDERS
    failures = []
    for folder in folders:
        print(f"{folder}:")
        lines, fails = check_folder(folder)
        for line in lines:
            print(line)
        failures += fails
    if "yolo3" in folders and "yolo3-darknet" in folders:
        diff, ok = compare_yolo3_formats()
        print(f"yolo3 ONNX and DarkNet files: largest output difference {diff:.2e}")
        if not ok:
            failures.append("yolo3-darknet: outputs differ from the ONNX model")
    for f in failures:
        print("FAILED", f)
    checked = len(folders)
    print(f"{checked - len({f.split(':')[0] for f in failures})} passed, "
          f"{len({f.split(':')[0] for f in failures})} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
