"""Small labelled validation sets for the examples, in each network kind's
usual format, drawn with the training pictures' generator:

  yolo3/validation          COCO: instances.json and images/
  yolo5/validation          YOLO: images/, labels/, data.yaml
  yolo2/validation          YOLO: images/, labels/, classes.txt
  yolo3-darknet/validation  YOLO: images/, labels/, shapes.names
  classifier/validation     a folder per class
  unet/validation           images/ and masks/ (class index per pixel)

Run with Debian's python3 and numpy from the repository's root:
  /usr/bin/python3 examples/training/make_validation.py
Fixed seeds: the sets come out the same every time.
"""

import json
import os
import shutil
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import synth  # noqa: E402
from example_settings import EXAMPLES  # noqa: E402

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
DETECTOR_PICTURES = 20
CLASSIFIER_PICTURES_PER_CLASS = 6
UNET_PICTURES = 16


def fresh(folder):
    path = os.path.join(ROOT, folder, "validation")
    if os.path.isdir(path):
        shutil.rmtree(path)
    os.makedirs(path)
    return path


def detector_scenes(name, seed, size):
    """Pictures with 1 to 4 shapes inside the part the network sees."""
    cfg = EXAMPLES[name]
    rng = np.random.default_rng(seed)
    w, h = size
    left, top, cw, ch = synth.app_crop_rect(w, h, cfg["width"], cfg["height"])
    for i in range(DETECTOR_PICTURES):
        shapes = synth.place_shapes(rng, w, h, int(rng.integers(1, 5)), (0.12, 0.22),
                                    region=(left, top, left + cw, top + ch))
        pic, labels = synth.render_scene(rng, w, h, shapes, noise=0)
        objects = []
        for s in shapes:
            x0, y0, x1, y1 = synth.shape_extent(s)
            x0, y0, x1, y1 = max(0.0, x0), max(0.0, y0), min(float(w), x1), min(float(h), y1)
            area = int(np.count_nonzero(labels[int(y0):int(np.ceil(y1)), int(x0):int(np.ceil(x1))]
                                        == 1 + synth.CLASSES.index(s["kind"])))
            objects.append((synth.CLASSES.index(s["kind"]), (x0, y0, x1 - x0, y1 - y0), area))
        yield "val_%02d.png" % (i + 1), pic, objects


def coco_set(name, seed, size):
    out = fresh(name)
    os.makedirs(os.path.join(out, "images"))
    images, annotations = [], []
    for n, (file, pic, objects) in enumerate(detector_scenes(name, seed, size), start=1):
        synth.write_png(os.path.join(out, "images", file), pic)
        images.append({"id": n, "file_name": file, "width": size[0], "height": size[1]})
        for k, box, area in objects:
            annotations.append({"id": len(annotations) + 1, "image_id": n, "category_id": k + 1,
                                "bbox": [round(v, 2) for v in box], "area": area, "iscrowd": 0})
    categories = [{"id": k + 1, "name": c} for k, c in enumerate(synth.CLASSES)]
    with open(os.path.join(out, "instances.json"), "w") as f:
        json.dump({"images": images, "categories": categories, "annotations": annotations}, f, indent=1)


def yolo_set(name, seed, size, names_file):
    out = fresh(name)
    os.makedirs(os.path.join(out, "images"))
    os.makedirs(os.path.join(out, "labels"))
    w, h = size
    for file, pic, objects in detector_scenes(name, seed, size):
        synth.write_png(os.path.join(out, "images", file), pic)
        with open(os.path.join(out, "labels", file.replace(".png", ".txt")), "w") as f:
            for k, (x, y, bw, bh), _ in objects:
                f.write("%d %.6f %.6f %.6f %.6f\n" % (k, (x + bw / 2) / w, (y + bh / 2) / h, bw / w, bh / h))
    with open(os.path.join(out, names_file), "w") as f:
        if names_file == "data.yaml":
            f.write("path: .\nval: images\nnames:\n" + "".join("  %d: %s\n" % (k, c) for k, c in enumerate(synth.CLASSES)))
        else:
            f.write("".join(c + "\n" for c in synth.CLASSES))


def classifier_set(seed):
    out = fresh("classifier")
    rng = np.random.default_rng(seed)
    for kind in synth.CLASSES:
        os.makedirs(os.path.join(out, kind))
        for i in range(CLASSIFIER_PICTURES_PER_CLASS):
            shapes = synth.place_shapes(rng, 96, 96, 1, (0.28, 0.4), kinds=[kind])
            pic, _ = synth.render_scene(rng, 96, 96, shapes, noise=0)
            synth.write_png(os.path.join(out, kind, "%s_%d.png" % (kind, i + 1)), pic)


def unet_set(seed):
    cfg = EXAMPLES["unet"]
    out = fresh("unet")
    os.makedirs(os.path.join(out, "images"))
    os.makedirs(os.path.join(out, "masks"))
    rng = np.random.default_rng(seed)
    w, h = 144, 96  # the network's 3:2
    for i in range(UNET_PICTURES):
        shapes = synth.place_shapes(rng, w, h, int(rng.integers(1, 4)), (0.14, 0.24))
        pic, labels = synth.render_scene(rng, w, h, shapes, noise=0)
        synth.write_png(os.path.join(out, "images", "val_%02d.png" % (i + 1)), pic)
        synth.write_png(os.path.join(out, "masks", "val_%02d.png" % (i + 1)), labels)
    assert (cfg["width"], cfg["height"]) == (96, 64)


def main():
    coco_set("yolo3", 1303, (160, 120))
    yolo_set("yolo5", 1505, (192, 128), "data.yaml")
    yolo_set("yolo2", 1202, (160, 120), "classes.txt")
    yolo_set("yolo3-darknet", 1403, (160, 120), "shapes.names")
    classifier_set(1101)
    unet_set(1404)


if __name__ == "__main__":
    main()
