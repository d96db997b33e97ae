"""What each example folder holds: network settings and example pictures."""

_DETECTOR = dict(confidence=0.5, iou=0.45, format="rgb", divider=255.0, adder=0.0,
                 size_range=(0.06, 0.22), train_pictures=5000)

EXAMPLES = {
    "classifier": dict(
        folder="classifier", stem="shapes_classifier", model_file="shapes_classifier.onnx",
        network="classifier", width=96, height=96,
        # Values from -1 to 1: the adder takes the mean away.
        format="rgb", divider=127.5, adder=-1.0,
        output_names=["scores"], seed=101, steps=600, train_pictures=3000),
    "yolo2": dict(
        _DETECTOR, folder="yolo2", stem="shapes_yolo2", model_file="shapes_yolo2.onnx",
        network="yolo2", kind="yolo2", width=160, height=160,
        # Grid cells of 32 pixels.
        anchors=[0.6, 0.6, 1.0, 1.0, 1.5, 1.5],
        output_names=["grid32"], seed=202, steps=1500),
    "yolo3": dict(
        _DETECTOR, folder="yolo3", stem="shapes_yolo3", model_file="shapes_yolo3.onnx",
        network="yolo3", kind="yolo3", width=160, height=160,
        # Input pixels; the first output (5 x 5 grid) uses the last three.
        anchors=[16, 16, 21, 21, 27, 27, 34, 34, 44, 44, 56, 56],
        output_names=["out0_grid5", "out1_grid10"], seed=303, steps=1500),
    "yolo5": dict(
        _DETECTOR, folder="yolo5", stem="shapes_yolo5", model_file="shapes_yolo5.onnx",
        network="yolo5", kind="yolo5", width=192, height=128,
        # Multiples of each output's stride: 8, 16, 32.
        anchors=[2.0, 2.0, 2.5, 2.5, 3.0, 3.0,
                 1.75, 1.75, 2.125, 2.125, 2.5, 2.5,
                 1.5, 1.5, 1.8, 1.8, 2.2, 2.2],
        output_names=["out0_stride8", "out1_stride16", "out2_stride32"], seed=505, steps=2000,
        scale_range=(1.0, 2.4),
        # Neighbouring cells also learn each shape; 0.6 keeps their rare loose duplicates out.
        confidence=0.6),
    "unet": dict(
        folder="unet", stem="shapes_unet", model_file="shapes_unet.onnx",
        network="unet", width=96, height=64, format="bgr", divider=255.0, adder=0.0,
        size_range=(0.1, 0.3), output_names=["classes"], seed=404, steps=1400, batch=16,
        train_pictures=3000),
}
EXAMPLES["yolo3-darknet"] = dict(EXAMPLES["yolo3"], folder="yolo3-darknet", stem="shapes_yolo3_darknet",
                                 model_file="shapes_yolo3.cfg")


def anchor_groups_px(cfg):
    """Anchor (width, height) pairs in input pixels, grouped per output in output order."""
    a = cfg["anchors"]
    pairs = [(a[i], a[i + 1]) for i in range(0, len(a), 2)]
    if cfg["kind"] == "yolo2":
        return [[(w * 32, h * 32) for w, h in pairs]]
    if cfg["kind"] == "yolo3":
        groups = [pairs[i:i + 3] for i in range(0, len(pairs), 3)]
        return groups[::-1]            # first output: last group
    return [[(w * 2 ** (o + 3), h * 2 ** (o + 3)) for w, h in pairs[3 * o:3 * o + 3]] for o in range(3)]


def _pic(file, size, background, shapes, seed, size_range=(0.1, 0.2), **extra):
    return dict(file="pictures/" + file, size=size, background=background, shapes=shapes,
                seed=seed, size_range=size_range, **extra)


PICTURES = {
    "classifier": [
        _pic("circle.png", (320, 240), "gradient", ["circle"], 11, (0.25, 0.35)),
        _pic("square.png", (256, 256), "stripes", ["square"], 12, (0.25, 0.35)),
        _pic("triangle.png", (240, 320), "blotches", ["triangle"], 13, (0.3, 0.4)),
        _pic("star.png", (400, 300), "checker", ["star"], 14, (0.3, 0.4), binary="pictures/star.bin"),
    ],
    "yolo2": [
        _pic("gradient_three_shapes.png", (400, 300), "gradient", ["circle", "square", "star"], 21),
        _pic("stripes_four_shapes.png", (320, 320), "stripes", ["triangle", "triangle", "circle", "star"], 22),
        _pic("checker_two_shapes.png", (300, 400), "checker", ["square", "star"], 23, (0.14, 0.22)),
    ],
    "yolo3": [
        _pic("blotches_four_shapes.png", (400, 300), "blotches", ["star", "circle", "square", "triangle"], 31),
        _pic("plain_three_shapes.png", (256, 256), "plain", ["triangle", "star", "star"], 32),
        _pic("stripes_two_shapes.png", (360, 270), "stripes", ["circle", "square"], 33, (0.14, 0.22)),
    ],
    "yolo3-darknet": [
        _pic("gradient_four_shapes.png", (400, 300), "gradient", ["square", "triangle", "circle", "star"], 41),
        _pic("checker_three_shapes.png", (300, 300), "checker", ["circle", "circle", "triangle"], 42),
        _pic("blotches_two_shapes.png", (270, 360), "blotches", ["star", "square"], 43, (0.14, 0.22)),
    ],
    "yolo5": [
        _pic("stripes_five_shapes.png", (384, 256), "stripes",
             ["circle", "square", "triangle", "star", "circle"], 51, (0.08, 0.16)),
        _pic("gradient_three_shapes.png", (400, 300), "gradient", ["star", "triangle", "square"], 52),
        _pic("blotches_four_shapes.png", (360, 240), "blotches", ["triangle", "circle", "star", "square"], 53),
    ],
    "unet": [
        _pic("gradient_three_shapes.png", (320, 240), "gradient", ["circle", "star", "triangle"], 61,
             (0.12, 0.2)),
        _pic("checker_four_shapes.png", (400, 300), "checker", ["square", "triangle", "star", "circle"], 62,
             (0.12, 0.2)),
        _pic("stripes_two_shapes.png", (256, 256), "stripes", ["star", "square"], 63, (0.16, 0.24)),
    ],
}
