"""Synthetic pictures: coloured shapes on textured backgrounds.

Everything here is plain numpy so that the pictures, their labels and the
application's way of turning a picture into an input tensor can be shared by
the training and the verification scripts.
"""

import struct
import zlib

import numpy as np

CLASSES = ["circle", "square", "triangle", "star"]

# Size of a shape relative to its circumradius, so that shapes of one "size"
# look about equally big.
_RADIUS_SCALE = {"circle": 1.0, "square": 1.2, "triangle": 1.25, "star": 1.2}


# ---------------------------------------------------------------------------
# Shapes


def shape_polygon(kind, cx, cy, r, angle):
    """Vertices (N, 2) of a polygonal shape, None for the circle."""
    if kind == "circle":
        return None
    if kind == "square":
        t = angle + np.pi / 4 + np.arange(4) * np.pi / 2
        radii = np.full(4, r)
    elif kind == "triangle":
        t = angle - np.pi / 2 + np.arange(3) * 2 * np.pi / 3
        radii = np.full(3, r)
    elif kind == "star":
        t = angle - np.pi / 2 + np.arange(10) * np.pi / 5
        radii = np.where(np.arange(10) % 2 == 0, r, r * 0.45)
    else:
        raise ValueError(kind)
    return np.stack([cx + radii * np.cos(t), cy + radii * np.sin(t)], axis=1)


def shape_extent(shape):
    """Continuous bounding box (x0, y0, x1, y1) of a shape in picture pixels."""
    verts = shape_polygon(shape["kind"], shape["cx"], shape["cy"], shape["r"], shape["angle"])
    if verts is None:
        return (shape["cx"] - shape["r"], shape["cy"] - shape["r"],
                shape["cx"] + shape["r"], shape["cy"] + shape["r"])
    return (verts[:, 0].min(), verts[:, 1].min(), verts[:, 0].max(), verts[:, 1].max())


def _inside_polygon(px, py, verts):
    inside = np.zeros(px.shape, dtype=bool)
    n = len(verts)
    for i in range(n):
        x1, y1 = verts[i]
        x2, y2 = verts[(i + 1) % n]
        crosses = (y1 > py) != (y2 > py)
        if y2 == y1:
            continue
        xint = (x2 - x1) * (py - y1) / (y2 - y1) + x1
        inside ^= crosses & (px < xint)
    return inside


def shape_coverage(shape, x0, y0, x1, y1, ss=3):
    """Fraction of each pixel in [x0, x1) x [y0, y1) covered by the shape."""
    offs = (np.arange(ss) + 0.5) / ss
    xs = (np.arange(x0, x1)[:, None] + offs[None, :]).reshape(-1)
    ys = (np.arange(y0, y1)[:, None] + offs[None, :]).reshape(-1)
    px, py = np.meshgrid(xs, ys)
    verts = shape_polygon(shape["kind"], shape["cx"], shape["cy"], shape["r"], shape["angle"])
    if verts is None:
        inside = (px - shape["cx"]) ** 2 + (py - shape["cy"]) ** 2 <= shape["r"] ** 2
    else:
        inside = _inside_polygon(px, py, verts)
    h, w = y1 - y0, x1 - x0
    return inside.reshape(h, ss, w, ss).mean(axis=(1, 3))


# ---------------------------------------------------------------------------
# Colours and backgrounds


def _hsv_to_rgb(h, s, v):
    i = int(h * 6) % 6
    f = h * 6 - int(h * 6)
    p, q, t = v * (1 - s), v * (1 - f * s), v * (1 - (1 - f) * s)
    r, g, b = [(v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q)][i]
    return np.array([r, g, b]) * 255.0


def random_colour(rng, saturated):
    if saturated:
        return _hsv_to_rgb(rng.random(), rng.uniform(0.55, 1.0), rng.uniform(0.45, 1.0))
    return _hsv_to_rgb(rng.random(), rng.uniform(0.0, 0.7), rng.uniform(0.15, 1.0))


def _smooth_field(rng, w, h, cells):
    """Smooth random field in [0, 1], bilinear from a coarse grid."""
    gw, gh = cells + 1, max(2, int(round(cells * h / w)) + 1)
    grid = rng.random((gh, gw))
    ys = np.linspace(0, gh - 1, h)
    xs = np.linspace(0, gw - 1, w)
    y0 = np.minimum(ys.astype(int), gh - 2)
    x0 = np.minimum(xs.astype(int), gw - 2)
    fy = (ys - y0)[:, None]
    fx = (xs - x0)[None, :]
    g00 = grid[y0][:, x0]
    g01 = grid[y0][:, x0 + 1]
    g10 = grid[y0 + 1][:, x0]
    g11 = grid[y0 + 1][:, x0 + 1]
    return (g00 * (1 - fx) + g01 * fx) * (1 - fy) + (g10 * (1 - fx) + g11 * fx) * fy


BACKGROUNDS = ["gradient", "stripes", "checker", "blotches", "plain"]


def render_background(rng, w, h, kind=None):
    """Returns (float picture H x W x 3 in 0..255, list of its main colours)."""
    if kind is None:
        kind = BACKGROUNDS[rng.integers(len(BACKGROUNDS))]
    c1 = random_colour(rng, False)
    c2 = random_colour(rng, False)
    yy = np.arange(h, dtype=np.float32)[:, None]
    xx = np.arange(w, dtype=np.float32)[None, :]
    if kind == "plain":
        t = np.zeros((h, w), dtype=np.float32)
        c2 = c1
    elif kind == "gradient":
        a = rng.uniform(0, 2 * np.pi)
        proj = xx * np.cos(a) + yy * np.sin(a)
        t = (proj - proj.min()) / max(1e-9, proj.max() - proj.min())
    elif kind == "stripes":
        a = rng.uniform(0, np.pi)
        period = rng.uniform(0.03, 0.15) * min(w, h)
        proj = xx * np.cos(a) + yy * np.sin(a)
        t = 0.5 + 0.5 * np.sin(2 * np.pi * proj / period)
        if rng.random() < 0.5:
            t = (t > 0.5).astype(np.float32)
        c2 = c1 + (c2 - c1) * rng.uniform(0.3, 0.8)
    elif kind == "checker":
        cell = rng.uniform(0.04, 0.12) * min(w, h)
        t = ((np.floor(xx / cell) + np.floor(yy / cell)) % 2).astype(np.float32)
        c2 = c1 + (c2 - c1) * rng.uniform(0.2, 0.6)
    elif kind == "blotches":
        t = _smooth_field(rng, w, h, int(rng.integers(3, 8))).astype(np.float32)
    else:
        raise ValueError(kind)
    c1f, c2f = c1.astype(np.float32), c2.astype(np.float32)
    pic = c1f + (c2f - c1f) * t[..., None]
    return pic, [c1, c2]


def pick_shape_colour(rng, background_colours):
    """A saturated colour that stands out from every background colour."""
    best, best_dist = None, -1.0
    for _ in range(50):
        c = random_colour(rng, True)
        d = min(np.linalg.norm(c - b) for b in background_colours)
        if d > 110:
            return c
        if d > best_dist:
            best, best_dist = c, d
    return best


# ---------------------------------------------------------------------------
# Scenes


def place_shapes(rng, w, h, count, size_range, region=None, kinds=None):
    """Random non-overlapping shapes inside region (x0, y0, x1, y1).

    size_range is the circumradius range as a fraction of the region's
    smaller side. Fewer shapes than asked come back when space runs out.
    """
    if region is None:
        region = (0, 0, w, h)
    rx0, ry0, rx1, ry1 = region
    side = min(rx1 - rx0, ry1 - ry0)
    shapes = []
    for i in range(count):
        kind = kinds[i] if kinds is not None else CLASSES[rng.integers(len(CLASSES))]
        for _ in range(60):
            r = rng.uniform(*size_range) * side * _RADIUS_SCALE[kind] / 1.2
            margin = r * 1.05 + 1
            if rx1 - rx0 <= 2 * margin or ry1 - ry0 <= 2 * margin:
                continue
            cx = rng.uniform(rx0 + margin, rx1 - margin)
            cy = rng.uniform(ry0 + margin, ry1 - margin)
            if all(np.hypot(cx - s["cx"], cy - s["cy"]) > (r + s["r"]) * 1.15 for s in shapes):
                angle = rng.uniform(-0.45, 0.45) if kind == "square" else rng.uniform(0, 2 * np.pi)
                shapes.append({"kind": kind, "cx": cx, "cy": cy, "r": r, "angle": angle})
                break
    return shapes


_NOISE_BANK = {}


def _noise_patch(rng, w, h):
    """Unit Gaussian noise, cut at a random place from a bank made once."""
    bank = _NOISE_BANK.get("bank")
    if bank is None or bank.shape[0] < h + 64 or bank.shape[1] < w + 64:
        side = max(h, w, 512) + 64
        bank = np.random.default_rng(12345).normal(0, 1, (side, side, 3)).astype(np.float32)
        _NOISE_BANK["bank"] = bank
    y = int(rng.integers(bank.shape[0] - h + 1))
    x = int(rng.integers(bank.shape[1] - w + 1))
    return bank[y:y + h, x:x + w]


def render_scene(rng, w, h, shapes, background=None, noise=None):
    """Draws the shapes on a background.

    Returns the picture (uint8 H x W x 3, RGB) and the label map (uint8 H x W,
    0 for the background and 1 + class index where a shape covers at least
    half of the pixel).
    """
    pic, bg_colours = render_background(rng, w, h, background)
    labels = np.zeros((h, w), dtype=np.uint8)
    for s in shapes:
        colour = s.get("colour")
        if colour is None:
            colour = pick_shape_colour(rng, bg_colours)
            s["colour"] = colour
        ex0, ey0, ex1, ey1 = shape_extent(s)
        x0, y0 = max(0, int(np.floor(ex0)) - 1), max(0, int(np.floor(ey0)) - 1)
        x1, y1 = min(w, int(np.ceil(ex1)) + 1), min(h, int(np.ceil(ey1)) + 1)
        cov = shape_coverage(s, x0, y0, x1, y1)
        region = pic[y0:y1, x0:x1]
        region[:] = region * (1 - cov[..., None]) + np.asarray(colour)[None, None, :] * cov[..., None]
        labels[y0:y1, x0:x1][cov >= 0.5] = 1 + CLASSES.index(s["kind"])
    if noise is None:
        noise = rng.uniform(0, 10)
    if noise > 0:
        pic += _noise_patch(rng, w, h) * np.float32(noise)
    return np.clip(np.rint(pic), 0, 255).astype(np.uint8), labels


# ---------------------------------------------------------------------------
# The application's picture preparation: centre crop, nearest scaling,
# per-channel normalisation, channel order.


def app_crop_rect(w, h, net_w, net_h):
    """Centre crop (left, top, width, height) to the network's aspect ratio."""
    a = net_w / net_h
    r = w / h
    if r > a:
        ch = h
        cw = int(h * a)
    else:
        cw = w
        ch = int(w / a)
    return (w - cw) // 2, (h - ch) // 2, cw, ch


def nearest_indices(src, dst):
    """Source index of each destination pixel for nearest scaling (pixel centres)."""
    return np.minimum(((np.arange(dst) + 0.5) * src / dst).astype(np.int64), src - 1)


def app_scale(img, net_w, net_h):
    """Centre crop then nearest scaling of an H x W (x C) array to net_h x net_w."""
    h, w = img.shape[:2]
    left, top, cw, ch = app_crop_rect(w, h, net_w, net_h)
    ys = top + nearest_indices(ch, net_h)
    xs = left + nearest_indices(cw, net_w)
    return img[ys][:, xs]


def box_to_network(box, pic_w, pic_h, net_w, net_h):
    """Maps a continuous picture box (x0, y0, x1, y1) into network input pixels."""
    left, top, cw, ch = app_crop_rect(pic_w, pic_h, net_w, net_h)
    sx, sy = net_w / cw, net_h / ch
    x0, y0, x1, y1 = box
    return ((x0 - left) * sx, (y0 - top) * sy, (x1 - left) * sx, (y1 - top) * sy)


_ORDER = {"rgb": (0, 1, 2), "rbg": (0, 2, 1), "grb": (1, 0, 2),
          "gbr": (1, 2, 0), "brg": (2, 0, 1), "bgr": (2, 1, 0)}


def normalise(rgb, fmt, divider, adder):
    """H x W x 3 uint8 RGB -> H x W x 3 float32 in the format's channel order."""
    v = rgb.astype(np.float64) / divider + adder
    return v[..., list(_ORDER[fmt])].astype(np.float32)


def app_tensor(rgb, net_w, net_h, fmt, divider, adder):
    """Network input (1, 3, H, W) float32, prepared as the application does."""
    scaled = app_scale(rgb, net_w, net_h)
    return normalise(scaled, fmt, divider, adder).transpose(2, 0, 1)[None].copy()


def binary_image(rgb, net_w, net_h, fmt, divider, adder):
    """The application's raw binary image: W x H x 4 float32, interleaved, 4th value 0."""
    scaled = app_scale(rgb, net_w, net_h)
    v = normalise(scaled, fmt, divider, adder)
    out = np.zeros((net_h, net_w, 4), dtype=np.float32)
    out[..., :3] = v
    return out.tobytes()


# ---------------------------------------------------------------------------
# PNG files without extra packages


def write_png(path, img):
    """Writes an 8-bit RGB (H x W x 3) or grey (H x W) picture."""
    img = np.ascontiguousarray(img, dtype=np.uint8)
    h, w = img.shape[:2]
    colour_type = 2 if img.ndim == 3 else 0
    raw = b"".join(b"\x00" + img[y].tobytes() for y in range(h))

    def chunk(tag, data):
        body = tag + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, colour_type, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(_png_filter(img, raw), 9)))
        f.write(chunk(b"IEND", b""))


def _png_filter(img, raw):
    """Filter type 'Up' for every row (smaller files for smooth pictures)."""
    h = img.shape[0]
    rows = img.reshape(h, -1).astype(np.int16)
    up = np.empty_like(rows)
    up[0] = rows[0]
    up[1:] = (rows[1:] - rows[:-1]) % 256
    up = up.astype(np.uint8)
    return b"".join(b"\x02" + up[y].tobytes() for y in range(h))
