#!/usr/bin/python3
"""Writes the seed corpora of the fuzz targets that take structured input.

The targets read their parameters with FuzzedDataProvider: integers and raw
floating-point values from the end of the input, the payload (a file, raw
floats) from the front. Each seed here is payload + trailer, with the trailer
laid out in the order the target consumes it.

Run from anywhere: /usr/bin/python3 fuzz/make_seeds.py
Small pictures are made with ImageMagick (convert-im6.q16) when present.
"""
import math
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


class Trailer:
    """Bytes that FuzzedDataProvider consumes from the end of the input."""

    def __init__(self):
        self.consumed = bytearray()  # in the order the provider takes them

    def integral(self, value, lowest, highest):
        """ConsumeIntegralInRange(lowest, highest) returning value."""
        span = highest - lowest
        offset = value - lowest
        assert 0 <= offset <= span
        count = 0
        while count < 8 and (span >> (8 * count)) > 0:
            count += 1
        # The provider builds the result most significant byte first, then
        # takes it modulo span + 1 (unless the range covers the whole type).
        self.consumed += offset.to_bytes(count, "big") if count else b""
        return self

    def boolean(self, value):
        self.consumed.append(1 if value else 0)
        return self

    def u32(self, value):
        self.consumed += (value & 0xFFFFFFFF).to_bytes(4, "big")
        return self

    def raw_double(self, value):
        bits = struct.unpack("<Q", struct.pack("<d", value))[0]
        self.consumed += bits.to_bytes(8, "big")
        return self

    def build(self):
        return bytes(reversed(self.consumed))


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def floats(values):
    return struct.pack("<%df" % len(values), *values)


# ---------------------------------------------------------------- pictures

SVG = b"""<svg xmlns="http://www.w3.org/2000/svg" width="8" height="6">
<rect width="8" height="6" fill="#36c"/><text x="1" y="5" font-size="4">a</text></svg>
"""


def small_pictures():
    """Name -> bytes of tiny pictures in the formats the toolkit reads."""
    pictures = {"p.svg": SVG}
    convert = shutil.which("convert-im6.q16")
    if not convert:
        print("convert-im6.q16 not found: only the SVG picture seed is made", file=sys.stderr)
        return pictures
    recipes = {
        "p.png": ["-size", "5x3", "gradient:red-blue"],
        "p.bmp": ["-size", "4x4", "xc:orange"],
        "p.gif": ["-size", "3x5", "gradient:white-black"],
        "p.jpg": ["-size", "6x4", "gradient:green-yellow"],
        "p.pgm": ["-size", "4x2", "gradient:"],
        "p.ppm": ["-size", "3x3", "xc:purple"],
        "p.pbm": ["-size", "8x2", "pattern:checkerboard"],
        "p.ico": ["-size", "4x4", "xc:cyan"],
        "p.xbm": ["-size", "4x3", "pattern:gray50"],
        "p.xpm": ["-size", "3x2", "xc:red"],
    }
    with tempfile.TemporaryDirectory() as folder:
        for name, arguments in recipes.items():
            path = os.path.join(folder, name)
            # No metadata: the seeds stay the same from one run to the next.
            subprocess.run([convert] + arguments + ["-strip", "-define", "png:exclude-chunks=date,time",
                                                    path], check=True)
            with open(path, "rb") as f:
                pictures[name] = f.read()
    return pictures


def request_trailer(trailer, width, height, depth, fmt, largest, divider=None, adder=None):
    """consumeRequest(): sizes, depth, format, then the normalisation."""
    trailer.integral(width, 0, largest).integral(height, 0, largest)
    trailer.integral(depth, 0, 5).integral(fmt, 0, 7)
    for value in divider or [None] * 3:
        trailer.boolean(value is not None)
        if value is not None:
            trailer.raw_double(value)
    for value in adder or [None] * 3:
        trailer.boolean(value is not None)
        if value is not None:
            trailer.raw_double(value)
    return trailer


def picture_seed(payload, width, height, depth, fmt, planar, divider=None, adder=None):
    trailer = Trailer().integral(0, 0, 2)
    request_trailer(trailer, width, height, depth, fmt, 64, divider, adder)
    trailer.boolean(planar)
    return payload + trailer.build()


def binary_image_seeds():
    target = "fuzz_binary_image"
    rgb, bgr, intensity = 0, 5, 6
    for name, data in small_pictures().items():
        base = name.replace(".", "_")
        write(target, base + "_rgb4", picture_seed(data, 4, 4, 4, rgb, False))
        write(target, base + "_planar", picture_seed(data, 5, 3, 3, bgr, True))
    write(target, "picture_intensity", picture_seed(small_pictures().get("p.png", SVG), 3, 2, 2,
                                                    intensity, False, [255.0, 1.0, 0.5], [-1.0, 0.0, 0.5]))
    # Raw binary images through preparePicture: exact, short and odd sizes.
    pixels = [i / 16.0 for i in range(2 * 2 * 4)]
    write(target, "binary_2x2x4", picture_seed(floats(pixels), 2, 2, 4, rgb, False))
    write(target, "binary_short", picture_seed(floats(pixels[:-1]), 2, 2, 4, rgb, False))
    write(target, "binary_intensity_3x1x2",
          picture_seed(floats([0.1, 0, 0.5, 0, 0.9, 0]), 3, 1, 2, intensity, False))
    write(target, "binary_nan_inf",
          picture_seed(floats([math.nan, math.inf, -math.inf, 1e30]), 1, 1, 4, bgr, False,
                       [math.nan, 0.0, -255.0], [math.inf, 0.0, 0.0]))
    # readBinaryImage with dimensions of any size.
    write(target, "read_exact", floats(pixels) + Trailer().integral(1, 0, 2).u32(2).u32(2).u32(4).build())
    write(target, "read_overflow", floats(pixels)
          + Trailer().integral(1, 0, 2).u32(0xFFFFFFFF).u32(0xFFFFFFFF).u32(0x40000000).build())
    write(target, "read_zero_depth", Trailer().integral(1, 0, 2).u32(70000).u32(70000).u32(0).build())
    # tensorToImage with tensors shorter and longer than the picture.
    trailer = Trailer().integral(2, 0, 2)
    request_trailer(trailer, 3, 2, 4, rgb, 256)
    write(target, "tensor_short", floats(pixels[:10]) + trailer.build())
    trailer = Trailer().integral(2, 0, 2)
    request_trailer(trailer, 2, 2, 1, intensity, 256, [1.0, 1.0, 1.0], [0.0, 0.0, 0.0])
    write(target, "tensor_intensity", floats([0.0, 128.0, 255.0, 300.0, -1.0]) + trailer.build())


# ------------------------------------------------------------ YOLO outputs

KINDS = {"yolo2": 0, "yolo3": 2, "yolo5": 4, "classifier": 6}


def description_trailer(trailer, kind, labels, anchors, confidence, iou):
    trailer.integral(KINDS[kind], 0, 6)
    if kind == "classifier":
        trailer.boolean(True)
    trailer.integral(labels, 0, 12).integral(len(anchors), 0, 40)
    for anchor in anchors:
        if math.isfinite(anchor) and float(anchor).is_integer() and 0 <= anchor <= 400:
            trailer.boolean(False).integral(int(anchor), 0, 400)
        else:
            trailer.boolean(True).raw_double(anchor)
    for threshold in (confidence, iou):
        hundredths = round(threshold * 100) if math.isfinite(threshold) else None
        if hundredths is not None and hundredths / 100 == threshold and -10 <= hundredths <= 110:
            trailer.boolean(False).integral(hundredths, -10, 110)
        else:
            trailer.boolean(True).raw_double(threshold)
    return trailer


def decoding_seed(kind, labels, anchors, confidence, iou, input_size, picture, outputs, values,
                  buffer_mode=2, lengths=None):
    """outputs: (width, height, depth) per output; lengths: None (as claimed) or per buffer."""
    trailer = Trailer().integral(1, 0, 7)
    description_trailer(trailer, kind, labels, anchors, confidence, iou)
    trailer.integral(input_size[0], 0, 1024).integral(input_size[1], 0, 1024)
    trailer.integral(picture[0], -2, 1024).integral(picture[1], -2, 1024)
    trailer.integral(len(outputs), 0, 8)
    for width, height, depth in outputs:
        if width <= 64 and height <= 64 and depth <= 512:
            trailer.integral(1, 0, 15).integral(width, 0, 64).integral(height, 0, 64)
            trailer.integral(depth, 0, 512)
        else:
            trailer.integral(0, 0, 15).u32(width).u32(height).u32(depth)
    trailer.integral(buffer_mode, 0, 7)
    count = len(outputs) + (1 if buffer_mode == 1 else -1 if buffer_mode == 0 and outputs else 0)
    for o in range(count):
        length = lengths[o] if lengths else None
        trailer.boolean(length is None)
        if length is not None:
            trailer.integral(length, 0, 1 << 12)
    return floats(values) + trailer.build()


def cell(classes, objectness, scores, box=(0.2, -0.3, 0.1, 0.4)):
    return list(box) + [objectness] + list(scores)[:classes] + [0.0] * (classes - len(scores))


def yolo_seeds():
    target = "fuzz_yolo_decoder"
    tiny_yolo2 = [1.08, 1.19, 3.42, 4.41, 6.63, 11.38, 9.42, 5.11, 16.62, 10.52]
    yolo3 = [10, 14, 23, 27, 37, 58, 81, 82, 135, 169, 344, 319]
    yolo5 = [10, 13, 16, 30, 33, 23, 30, 61, 62, 45, 59, 119, 116, 90, 156, 198, 373, 326]
    # Values repeat cyclically over each buffer: a few cells make whole grids.
    two = cell(2, 3.0, [2.5, -1.0]) + cell(2, -9.0, [0.0, 0.0]) + cell(2, 1.5, [-0.5, 4.0])
    write(target, "yolo2_one_output",
          decoding_seed("yolo2", 2, tiny_yolo2, 0.5, 0.45, (416, 416), (416, 416), [(13, 13, 35)], two))
    write(target, "yolo3_two_outputs",
          decoding_seed("yolo3", 2, yolo3, 0.3, 0.45, (416, 416), (640, 480),
                        [(13, 13, 21), (26, 26, 21)], two))
    write(target, "yolo5_three_outputs",
          decoding_seed("yolo5", 1, yolo5, 0.25, 0.5, (64, 64), (64, 64),
                        [(8, 8, 18), (4, 4, 18), (2, 2, 18)], cell(1, 4.0, [3.0]) * 3))
    odd = [math.nan, math.inf, -math.inf, 88.0, -88.0, 1e-45, 3.4e38, -0.0]
    write(target, "nan_and_infinities",
          decoding_seed("yolo3", 3, yolo3[:6] + [math.nan, math.inf, -1.0, 0.0], 0.1, math.nan, (32, 32),
                        (32, 32), [(4, 4, 16), (2, 2, 8)], odd + cell(3, 5.0, [1.0, 1.0, 1.0])))
    write(target, "short_buffers",
          decoding_seed("yolo5", 2, yolo5, 0.0, 1.0, (128, 96), (100, 50),
                        [(16, 12, 21), (8, 6, 21)], two, buffer_mode=0, lengths=[50]))
    write(target, "huge_shapes_short_buffer",
          decoding_seed("yolo3", 1, yolo3, 0.2, 0.4, (416, 416), (416, 416),
                        [(0xFFFFFFFF, 0xFFFFFFFF, 6), (1, 0xFFFFFFFF, 12)], cell(1, 6.0, [6.0]),
                        buffer_mode=2, lengths=[60, 7]))
    write(target, "too_few_anchors",
          decoding_seed("yolo3", 2, yolo3[:4], 0.5, 0.45, (416, 416), (416, 416),
                        [(13, 13, 21), (26, 26, 21)], two))
    write(target, "not_a_detector",
          decoding_seed("classifier", 2, [], 0.5, 0.45, (224, 224), (224, 224), [(1, 1, 2)], [0.5, 0.5]))
    write(target, "empty_picture_extra_buffer",
          decoding_seed("yolo2", 1, tiny_yolo2, -0.1, 0.0, (0, 0), (0, -2), [(2, 2, 30)],
                        cell(1, 2.0, [2.0]), buffer_mode=1))
    # The anchor check alone, with shapes of any size.
    trailer = Trailer().integral(0, 0, 7)
    description_trailer(trailer, "yolo3", 12, yolo3, 0.5, 0.45)
    trailer.integral(3, 0, 8)
    for dims in [(13, 13, 51), (26, 26, 51), (0xFFFFFFFF, 1, 0xFFFFFFFF)]:
        for value in dims:
            trailer.u32(value)
    write(target, "anchor_check", trailer.build())


# ------------------------------------------------------ model front ends

def onnx_models():
    """Name -> serialised tiny ONNX models (python3-onnx), valid and not."""
    try:
        import numpy
        import onnx
        from onnx import TensorProto, helper, numpy_helper
    except ImportError:
        print("python3-onnx not found: no ONNX seeds are made", file=sys.stderr)
        return {}

    def weights(name, shape, seed):
        values = numpy.random.RandomState(seed).uniform(0.05, 0.5, shape).astype(numpy.float32)
        return numpy_helper.from_array(values, name)

    def model(nodes, inputs, outputs, initializers=(), opset=13):
        graph = helper.make_graph(nodes, "g", inputs, outputs, list(initializers))
        result = helper.make_model(graph, producer_name="vrax-fuzz-seeds",
                                   opset_imports=[helper.make_opsetid("", opset)])
        result.ir_version = 7
        return result.SerializeToString()

    def tensor(name, shape, kind=TensorProto.FLOAT):
        return helper.make_tensor_value_info(name, kind, shape)

    models = {}
    models["conv_relu.onnx"] = model(
        [helper.make_node("Conv", ["x", "w", "b"], ["c"], kernel_shape=[3, 3], pads=[1, 1, 1, 1]),
         helper.make_node("Relu", ["c"], ["y"]),
         helper.make_node("MaxPool", ["x"], ["p"], kernel_shape=[2, 2], strides=[1, 1])],
        [tensor("x", [1, 3, 5, 7])], [tensor("y", [1, 4, 5, 7]), tensor("p", [1, 3, 4, 6])],
        [weights("w", [4, 3, 3, 3], 1), weights("b", [4], 2)])
    models["classifier.onnx"] = model(
        [helper.make_node("Flatten", ["x"], ["f"]),
         helper.make_node("Gemm", ["f", "w"], ["g"], transB=1),
         helper.make_node("Softmax", ["g"], ["prob"], axis=1)],
        [tensor("x", [1, 3, 4, 4])], [tensor("prob", [1, 5])], [weights("w", [5, 48], 3)])
    # A detector head: 1x1 convolution, upsampling, concatenation, sigmoid.
    models["detector_head.onnx"] = model(
        [helper.make_node("Conv", ["x", "w1"], ["c1"], kernel_shape=[1, 1]),
         helper.make_node("Resize", ["c1", "", "scales"], ["up"], mode="nearest"),
         helper.make_node("Conv", ["x", "w2"], ["c2"], kernel_shape=[3, 3], pads=[1, 1, 1, 1],
                          strides=[1, 1]),
         helper.make_node("Resize", ["c2", "", "scales"], ["up2"], mode="nearest"),
         helper.make_node("Concat", ["up", "up2"], ["cat"], axis=1),
         helper.make_node("Sigmoid", ["cat"], ["out"]),
         helper.make_node("Transpose", ["c1"], ["t"], perm=[0, 2, 3, 1]),
         helper.make_node("Reshape", ["t", "shape"], ["flat"])],
        [tensor("x", [1, 3, 4, 4])], [tensor("out", [1, 12, 8, 8]), tensor("flat", [1, 16, 6])],
        [weights("w1", [6, 3, 1, 1], 4), weights("w2", [6, 3, 3, 3], 5),
         numpy_helper.from_array(numpy.array([1, 1, 2, 2], numpy.float32), "scales"),
         numpy_helper.from_array(numpy.array([1, 16, 6], numpy.int64), "shape")])
    # Declared without output shape or type (the compiler mends it), open batch axis.
    no_shape = helper.make_tensor_value_info("y", TensorProto.UNDEFINED, None)
    models["open_batch_no_output_shape.onnx"] = model(
        [helper.make_node("Relu", ["x"], ["y"])], [tensor("x", ["N", 3, 4, 4])], [no_shape])
    models["grey_vector.onnx"] = model(
        [helper.make_node("Gemm", ["x", "w"], ["y"], transB=1)],
        [tensor("x", [1, 5])], [tensor("y", [1, 3])], [weights("w", [3, 5], 6)])
    # Refused ones.
    models["dynamic_height.onnx"] = model(
        [helper.make_node("Relu", ["x"], ["y"])], [tensor("x", [1, 3, "H", 4])], [tensor("y", None)])
    models["two_inputs.onnx"] = model(
        [helper.make_node("Add", ["a", "b"], ["y"])],
        [tensor("a", [1, 2]), tensor("b", [1, 2])], [tensor("y", [1, 2])])
    models["integer_input.onnx"] = model(
        [helper.make_node("Relu", ["x"], ["y"])], [tensor("x", [1, 4], TensorProto.INT32)],
        [tensor("y", [1, 4], TensorProto.INT32)])
    models["unknown_operation.onnx"] = model(
        [helper.make_node("NoSuchOperation", ["x"], ["y"], name="mystery")],
        [tensor("x", [1, 3, 2, 2])], [tensor("y", [1, 3, 2, 2])])
    models["no_output.onnx"] = model([helper.make_node("Relu", ["x"], ["y"])], [tensor("x", [1, 2])], [])
    models["wrong_weight_shape.onnx"] = model(
        [helper.make_node("Conv", ["x", "w"], ["y"], kernel_shape=[3, 3])],
        [tensor("x", [1, 3, 5, 5])], [tensor("y", [1, 2, 3, 3])], [weights("w", [2, 5, 3, 3], 7)])
    # Damaged copies of a valid model.
    valid = models["conv_relu.onnx"]
    models["conv_relu_truncated.onnx"] = valid[: len(valid) * 2 // 3]
    flipped = bytearray(valid)
    for at in range(7, len(flipped), 97):
        flipped[at] ^= 0x10
    models["conv_relu_bit_flips.onnx"] = bytes(flipped)
    return models


DETECTOR_CFG = """[net]
width=16
height=12
channels=3

[convolutional]
batch_normalize=1
filters=8
size=3
stride=1
pad=1
activation=leaky

[maxpool]
size=2
stride=2

[convolutional]
batch_normalize=1
filters=8
groups=8
size=3
stride=1
pad=1
activation=leaky

[route]
layers=-1
groups=2
group_id=1

[convolutional]
filters=18
size=1
stride=1
activation=linear

[yolo]
mask=0,1,2
anchors=1,1, 2,2, 3,3, 4,4, 5,5, 6,6
classes=1
num=6

[route]
layers=2

[upsample]
stride=2

[route]
layers=-1,0

[convolutional]
filters=18
size=1
stride=1
activation=linear

[yolo]
mask=3,4,5
anchors=1,1, 2,2, 3,3, 4,4, 5,5, 6,6
classes=1
num=6
"""
DETECTOR_WEIGHTS = 748

CLASSIFIER_CFG = """[net]
width=6
height=6
channels=3

[convolutional]
filters=4
size=3
stride=2
pad=1
activation=relu

[avgpool]

[connected]
output=5
activation=linear

[softmax]
"""
CLASSIFIER_WEIGHTS = 137

REGION_CFG = """[net]
width=8
height=8
channels=1

[convolutional]
filters=12
size=1
stride=1
activation=linear

[region]
anchors=1,1, 2,2
classes=1
coords=4
num=2
softmax=1
"""
REGION_WEIGHTS = 24


def darknet_weights(count, major=0, minor=2):
    header = struct.pack("<iii", major, minor, 0)
    header += struct.pack("<Q" if major * 10 + minor >= 2 else "<I", 0)
    state = 99
    values = []
    for _ in range(count):
        state = (state * 1664525 + 1013904223) & 0xFFFFFFFF
        values.append(0.05 + 0.45 * (state >> 8) / 16777216.0)  # positive: valid variances
    return header + floats(values)


def darknet_seed(cfg, weights, mend_weights=False):
    """fuzz_darknet_front_end: a mode byte, the cfg, a NUL byte, the weights."""
    return bytes([1 if mend_weights else 0]) + cfg.encode() + b"\0" + weights


def front_end_seeds():
    for name, data in onnx_models().items():
        write("fuzz_onnx_front_end", name, data)

    target = "fuzz_darknet_front_end"
    write(target, "detector", darknet_seed(DETECTOR_CFG, darknet_weights(DETECTOR_WEIGHTS)))
    write(target, "classifier", darknet_seed(CLASSIFIER_CFG, darknet_weights(CLASSIFIER_WEIGHTS)))
    write(target, "classifier_old_header",
          darknet_seed(CLASSIFIER_CFG, darknet_weights(CLASSIFIER_WEIGHTS, 0, 1)))
    write(target, "region", darknet_seed(REGION_CFG, darknet_weights(REGION_WEIGHTS)))
    write(target, "detector_weights_mended", darknet_seed(DETECTOR_CFG, darknet_weights(10), True))
    write(target, "classifier_short_weights",
          darknet_seed(CLASSIFIER_CFG, darknet_weights(CLASSIFIER_WEIGHTS)[:-5]))
    write(target, "unsupported_layer",
          darknet_seed("[net]\nwidth=4\nheight=4\n[lstm]\noutput=4\n", darknet_weights(0), True))
    write(target, "bad_reference",
          darknet_seed("[net]\n[route]\nlayers=-3\n", darknet_weights(0), True))
    write(target, "reorg_shortcut",
          darknet_seed(REGION_CFG.replace("[region]", "[reorg]\nstride=2\n[shortcut]\nfrom=-2\n[region]"),
                       darknet_weights(REGION_WEIGHTS)))
    write(target, "no_net", darknet_seed("[convolutional]\nfilters=2\n", darknet_weights(0)))


def container_seed(flags, words):
    """fuzz_model_container: a flags byte (1 mends, 2 loads), then the words."""
    return bytes([flags]) + words


def container_seeds(compiler):
    """Binary models compiled from the front-end seeds by vrax-compile."""
    target = "fuzz_model_container"
    models = {name[:-5]: data for name, data in onnx_models().items()
              if name in ("conv_relu.onnx", "classifier.onnx", "grey_vector.onnx",
                          "open_batch_no_output_shape.onnx")}
    with tempfile.TemporaryDirectory() as folder:
        compiled = {}
        for name, data in models.items():
            with open(os.path.join(folder, name + ".onnx"), "wb") as f:
                f.write(data)
            compiled[name] = name + ".onnx"
        for name, cfg, count in (("darknet_classifier", CLASSIFIER_CFG, CLASSIFIER_WEIGHTS),
                                 ("darknet_region", REGION_CFG, REGION_WEIGHTS)):
            with open(os.path.join(folder, name + ".cfg"), "w") as f:
                f.write(cfg)
            with open(os.path.join(folder, name + ".weights"), "wb") as f:
                f.write(darknet_weights(count))
            compiled[name] = name + ".cfg"
        for name, source in compiled.items():
            output = os.path.join(folder, name + ".vrax")
            subprocess.run([compiler, "-o", output, os.path.join(folder, source)], check=True,
                           stdout=subprocess.DEVNULL)
            with open(output, "rb") as f:
                words = f.read()
            write(target, name + "_load", container_seed(2, words))
            write(target, name, container_seed(0, words))
            write(target, name + "_truncated_mended", container_seed(3, words[: len(words) // 2 // 4 * 4]))
            flipped = bytearray(words)
            for at in range(24, len(flipped), 61):
                flipped[at] ^= 0x04
            write(target, name + "_bit_flips_mended", container_seed(3, bytes(flipped)))
        # Calibration inputs for int8 boards, made from the examples' pictures.
        pictures = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "yolo3", "pictures")
        output = os.path.join(folder, "conv_relu_calibrated.vrax")
        subprocess.run([compiler, "-c", pictures, "-o", output, os.path.join(folder, "conv_relu.onnx")], check=True,
                       stdout=subprocess.DEVNULL)
        with open(output, "rb") as f:
            words = f.read()
        write(target, "conv_relu_calibrated", container_seed(0, words))
        write(target, "conv_relu_calibrated_load", container_seed(2, words))
    write(target, "empty", container_seed(0, b""))
    write(target, "magic_only", container_seed(1, struct.pack("<4I", 0x58415256, 1, 4, 0)))


if __name__ == "__main__":
    binary_image_seeds()
    yolo_seeds()
    front_end_seeds()
    # Binary models need the compiler: make_seeds.py --compiler BUILD/simulator/vrax-compile
    if len(sys.argv) == 3 and sys.argv[1] == "--compiler":
        container_seeds(sys.argv[2])
