"""Pictures for the end-to-end tests as RGB pixels: screen captures, the
examples' PNG files, screenshots and what the OCR reads. ImageMagick's
convert reads and writes the files."""

import re
import struct
import subprocess


class Image:
    """An RGB picture: width x height pixels, 3 bytes each, rows top to bottom."""

    def __init__(self, width, height, rgb=None):
        self.width = width
        self.height = height
        self.rgb = bytearray(rgb) if rgb is not None else bytearray(width * height * 3)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def crop(self, x, y, width, height):
        """The part at (x, y), clipped to the picture."""
        x0, y0 = max(0, x), max(0, y)
        part = Image(max(0, min(self.width, x + width) - x0), max(0, min(self.height, y + height) - y0))
        part.paste(self, -x0, -y0)
        return part

    def paste(self, other, x, y):
        """Copies other onto this picture with its top-left at (x, y)."""
        x0, x1 = max(0, x), min(self.width, x + other.width)
        for ty in range(max(0, y), min(self.height, y + other.height)):
            if x0 < x1:
                src = ((ty - y) * other.width + (x0 - x)) * 3
                dst = (ty * self.width + x0) * 3
                self.rgb[dst:dst + (x1 - x0) * 3] = other.rgb[src:src + (x1 - x0) * 3]


def _convert(arguments, data=None):
    return subprocess.run(['convert'] + arguments, input=data, stdout=subprocess.PIPE, check=True,
                          timeout=60).stdout


def read_window_dump(data):
    """A 24-bit TrueColor window dump (xwd's format) as an Image, or None for
    any other kind, which convert reads instead. Reading it here spares a
    convert run of about a second for each screen capture."""
    if len(data) < 100:
        return None
    header = struct.unpack('>25I', data[:100])
    (header_size, version, pixmap_format, depth, width, height, _, byte_order, _, _, _,
     bits_per_pixel, bytes_per_line, visual_class, red, green, blue, _, _, colours) = header[:20]
    if (version != 7 or pixmap_format != 2 or depth != 24 or bits_per_pixel != 32 or visual_class != 4
            or bytes_per_line != width * 4 or (red, green, blue) != (0xff0000, 0xff00, 0xff)):
        return None
    start = header_size + colours * 12
    pixels = data[start:start + width * height * 4]
    if len(pixels) != width * height * 4:
        return None
    # Least significant byte first: blue, green, red, unused.
    first = 2 if byte_order == 0 else 1
    rgb = bytearray(width * height * 3)
    rgb[0::3] = pixels[first::4]
    rgb[1::3] = pixels[(1 if byte_order == 0 else 2)::4]
    rgb[2::3] = pixels[(0 if byte_order == 0 else 3)::4]
    return Image(width, height, rgb)


def read_picture(path):
    """A PNG file or a window dump (.xwd); the alpha channel is left out."""
    if path.endswith('.xwd'):
        with open(path, 'rb') as f:
            image = read_window_dump(f.read())
        if image is not None:
            return image
    data = _convert([path, '-depth', '8', 'ppm:-'])
    fields, pos = [], 0
    token = re.compile(rb'\s*(#[^\n]*\n|\S+)')
    while len(fields) < 4:  # P6, width, height, 255; comments between them
        match = token.match(data, pos)
        pos = match.end()
        if not match.group(1).startswith(b'#'):
            fields.append(match.group(1))
    width, height = int(fields[1]), int(fields[2])
    return Image(width, height, data[pos + 1:pos + 1 + width * height * 3])


def write_picture(image, path, *options):
    """Writes the picture in the format the path's suffix names, after the
    convert options given (such as -sample 200%)."""
    _convert(['-size', '%dx%d' % (image.width, image.height), '-depth', '8', 'rgb:-'] + list(options) + [path],
             bytes(image.rgb))


def crop_and_scale(image, crop, width, height):
    """The part crop = (left, top, width, height) scaled to width x height by
    taking the nearest pixel, as the application prepares its input."""
    left, top, crop_width, crop_height = crop
    columns = [left + min(crop_width - 1, int((x + 0.5) * crop_width / width)) for x in range(width)]
    out = Image(width, height)
    for y in range(height):
        source_row = top + min(crop_height - 1, int((y + 0.5) * crop_height / height))
        base = source_row * image.width
        line = bytearray()
        for x in columns:
            i = (base + x) * 3
            line += image.rgb[i:i + 3]
        out.rgb[y * width * 3:(y + 1) * width * 3] = line
    return out


def differs_from_neighbourhood(image, reference, tolerance=3):
    """Per pixel, 1 when it differs by more than tolerance from every pixel
    of the reference within one pixel: a one-pixel shift of the scaling is
    no difference."""
    width, height = image.width, image.height
    out = bytearray(width * height)
    for y in range(height):
        for x in range(width):
            i = (y * width + x) * 3
            r, g, b = image.rgb[i], image.rgb[i + 1], image.rgb[i + 2]
            same = False
            for ny in (y - 1, y, y + 1):
                if not 0 <= ny < height or same:
                    continue
                for nx in (x - 1, x, x + 1):
                    if 0 <= nx < width:
                        j = (ny * width + nx) * 3
                        if (abs(reference.rgb[j] - r) <= tolerance and abs(reference.rgb[j + 1] - g) <= tolerance
                                and abs(reference.rgb[j + 2] - b) <= tolerance):
                            same = True
                            break
            out[y * width + x] = 0 if same else 1
    return out
