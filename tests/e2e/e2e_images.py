"""Pictures for the end-to-end tests: X window dumps (xwd), PNG files and
the greyscale PGM files that the OCR reads. Python standard library only."""

import struct
import zlib


class Image:
    """An RGB picture: width x height pixels, 3 bytes each, rows top to bottom."""

    def __init__(self, width, height, rgb=None):
        self.width = width
        self.height = height
        self.rgb = bytearray(rgb) if rgb is not None else bytearray(width * height * 3)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def row(self, y, x0=0, x1=None):
        """The pixels of row y from x0 to x1 (exclusive) as (r, g, b) tuples."""
        x1 = self.width if x1 is None else x1
        data = self.rgb[(y * self.width + x0) * 3:(y * self.width + x1) * 3]
        return list(zip(data[0::3], data[1::3], data[2::3]))

    def crop(self, x, y, width, height):
        """The part at (x, y), clipped to the picture."""
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.width, x + width), min(self.height, y + height)
        part = Image(max(0, x1 - x0), max(0, y1 - y0))
        stride = part.width * 3
        for row in range(part.height):
            start = ((y0 + row) * self.width + x0) * 3
            part.rgb[row * stride:(row + 1) * stride] = self.rgb[start:start + stride]
        return part

    def paste(self, other, x, y):
        """Copies other onto this picture with its top-left at (x, y)."""
        for row in range(other.height):
            ty = y + row
            if not 0 <= ty < self.height:
                continue
            x0, x1 = max(0, x), min(self.width, x + other.width)
            if x0 >= x1:
                continue
            src = (row * other.width + (x0 - x)) * 3
            dst = (ty * self.width + x0) * 3
            self.rgb[dst:dst + (x1 - x0) * 3] = other.rgb[src:src + (x1 - x0) * 3]

    def grey_scaled(self, factor):
        """Luma, each pixel repeated factor times in both directions."""
        out = bytearray()
        for y in range(self.height):
            line = bytearray()
            for r, g, b in self.row(y):
                line += bytes([(r * 299 + g * 587 + b * 114) // 1000]) * factor
            out += bytes(line) * factor
        return self.width * factor, self.height * factor, bytes(out)


def read_xwd(path):
    """Reads a ZPixmap dump of a TrueColor window or screen, as xwd writes it."""
    with open(path, 'rb') as f:
        data = f.read()
    if len(data) < 100:
        raise ValueError('%s: not a window dump (%d bytes)' % (path, len(data)))
    fields = struct.unpack('>25I', data[:100])
    (header_size, version, pixmap_format, _depth, width, height, _xoffset, byte_order,
     _bitmap_unit, _bit_order, _pad, bits_per_pixel, bytes_per_line, _visual_class,
     red_mask, green_mask, blue_mask, _bits_per_rgb, _map_entries, ncolors) = fields[:20]
    if version != 7 or pixmap_format != 2 or bits_per_pixel not in (24, 32):
        raise ValueError('%s: unsupported dump (version %d, format %d, %d bits per pixel)'
                         % (path, version, pixmap_format, bits_per_pixel))
    offset = header_size + ncolors * 12
    pixels = data[offset:offset + bytes_per_line * height]
    if len(pixels) < bytes_per_line * height:
        raise ValueError('%s: truncated dump' % path)
    step = bits_per_pixel // 8
    # Byte of each colour within a pixel, from its mask and the byte order.
    def byte_index(mask):
        shift = (mask & -mask).bit_length() - 1
        index = shift // 8
        return index if byte_order == 0 else step - 1 - index
    ri, gi, bi = byte_index(red_mask), byte_index(green_mask), byte_index(blue_mask)
    image = Image(width, height)
    for y in range(height):
        line = pixels[y * bytes_per_line:y * bytes_per_line + width * step]
        out = memoryview(image.rgb)[y * width * 3:(y + 1) * width * 3]
        out[0::3] = line[ri::step]
        out[1::3] = line[gi::step]
        out[2::3] = line[bi::step]
    return image


def _chunk(kind, body):
    return (struct.pack('>I', len(body)) + kind + body
            + struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))


def _paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def write_png(image, path, small=False):
    """Writes an RGB PNG. small: a palette when the picture has at most 256
    colours, otherwise the Sub or Up filter per row, whichever packs better
    (slower, for pictures that are kept)."""
    width, height = image.width, image.height
    raw = bytearray()
    colour_type = 2
    palette = None
    if small:
        colours = {}
        rgb = image.rgb
        for i in range(0, len(rgb), 3):
            colours.setdefault(bytes(rgb[i:i + 3]), len(colours))
            if len(colours) > 256:
                break
        if len(colours) <= 256:
            colour_type = 3
            palette = b''.join(colours)
            for y in range(height):
                raw.append(0)
                raw += bytes(colours[bytes(rgb[i:i + 3])]
                             for i in range(y * width * 3, (y + 1) * width * 3, 3))
    if colour_type == 2:
        stride = width * 3
        previous = bytes(stride)
        for y in range(height):
            line = bytes(image.rgb[y * stride:(y + 1) * stride])
            if small:
                sub = bytes((line[i] - (line[i - 3] if i >= 3 else 0)) & 0xff for i in range(stride))
                up = bytes((line[i] - previous[i]) & 0xff for i in range(stride))
                options = [(len(zlib.compress(sub, 6)), 1, sub), (len(zlib.compress(up, 6)), 2, up),
                           (len(zlib.compress(line, 6)), 0, line)]
                _, kind, filtered = min(options)
                raw.append(kind)
                raw += filtered
            else:
                raw.append(0)
                raw += line
            previous = line
    body = _chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, colour_type, 0, 0, 0))
    if palette is not None:
        body += _chunk(b'PLTE', palette)
    body += _chunk(b'IDAT', zlib.compress(bytes(raw), 9))
    with open(path, 'wb') as f:
        f.write(b'\x89PNG\r\n\x1a\n' + body + _chunk(b'IEND', b''))


def read_png(path):
    """Reads an 8-bit, non-interlaced grey, grey-alpha, RGB or RGBA PNG file:
    (width, height, channels, pixel bytes)."""
    with open(path, 'rb') as f:
        data = f.read()
    if data[:8] != b'\x89PNG\r\n\x1a\n':
        raise ValueError('%s: not a PNG file' % path)
    pos, idat, header = 8, bytearray(), None
    while pos + 8 <= len(data):
        length, kind = struct.unpack('>I4s', data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            idat += body
        pos += 12 + length
    if header is None:
        raise ValueError('%s: no PNG header' % path)
    width, height, depth, colour_type, _, _, interlace = header
    if depth != 8 or interlace != 0 or colour_type not in (0, 2, 4, 6):
        raise ValueError('%s: only 8-bit non-interlaced PNG files without a palette are read' % path)
    channels = {0: 1, 2: 3, 4: 2, 6: 4}[colour_type]
    raw = zlib.decompress(bytes(idat))
    stride = width * channels
    previous = bytearray(stride)
    pixels = bytearray()
    pos = 0
    for _ in range(height):
        kind = raw[pos]
        line = bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        if kind == 2:
            line = bytearray((v + p) & 0xff for v, p in zip(line, previous))
        elif kind != 0:
            for i in range(stride):
                a = line[i - channels] if i >= channels else 0
                b = previous[i]
                if kind == 1:
                    line[i] = (line[i] + a) & 0xff
                elif kind == 3:
                    line[i] = (line[i] + (a + b) // 2) & 0xff
                elif kind == 4:
                    c = previous[i - channels] if i >= channels else 0
                    line[i] = (line[i] + _paeth(a, b, c)) & 0xff
        pixels += line
        previous = line
    return width, height, channels, bytes(pixels)


def read_png_grey(path):
    """One value per pixel: the grey level, or the first channel of a colour PNG."""
    width, height, channels, pixels = read_png(path)
    return width, height, pixels[0::channels]


def read_png_rgb(path):
    width, height, channels, pixels = read_png(path)
    image = Image(width, height)
    if channels >= 3:
        for c in range(3):
            image.rgb[c::3] = pixels[c::channels]
    else:
        for c in range(3):
            image.rgb[c::3] = pixels[0::channels]
    return image


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


def write_pgm(width, height, grey, path):
    with open(path, 'wb') as f:
        f.write(b'P5\n%d %d\n255\n' % (width, height) + grey)
