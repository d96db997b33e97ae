"""What the user sees, checked on screen captures: the status line, where the
picture is, detection boxes, the segmentation overlay and the classification
table. Each check returns a list of problems (empty when all is well)."""

import difflib
import re

import e2e_images

DETECTION_PALETTE = {'yellow': (255, 255, 0), 'green': (0, 255, 0), 'red': (255, 0, 0)}
PALETTE_ORDER = ['yellow', 'green', 'red']

FPS_PATTERN = re.compile(r'(\d+)[.,](\d\d)\s*[(\[{]\s*(\d+)[.,](\d\d)\s*[)\]}]\s*fps')


def squeeze(text):
    """Letters and digits only, lower case: what OCR keeps of a file name."""
    return re.sub(r'[^0-9a-z]', '', text.lower())


def contains_fuzzy(text, wanted, ratio=0.85):
    """Whether text holds wanted, allowing for a few misread characters."""
    haystack, needle = squeeze(text), squeeze(wanted)
    if not needle or needle in haystack:
        return True
    best = 0.0
    for start in range(0, max(1, len(haystack) - len(needle) + 1)):
        window = haystack[start:start + len(needle)]
        best = max(best, difflib.SequenceMatcher(None, window, needle).ratio())
    return best >= ratio


def read_rates(text):
    """The measured and the board's frame rates of a status line, or None."""
    match = FPS_PATTERN.search(text)
    if not match:
        return None
    return float(match.group(1) + '.' + match.group(2)), float(match.group(3) + '.' + match.group(4))


def status_line_problems(text, board, description, picture):
    """Problems with a status line that should name the board, the description
    file and the picture file and show nonzero rates."""
    problems = []
    for what, wanted in (('board', board), ('description', description), ('picture', picture)):
        if wanted and not contains_fuzzy(text, wanted):
            problems.append('the status line does not name the %s %r' % (what, wanted))
    rates = read_rates(text)
    if rates is None:
        problems.append('the status line shows no "N.NN (N.NN) fps." rates')
    elif rates[0] <= 0 or rates[1] <= 0:
        problems.append('the status line shows a zero rate: %.2f (%.2f) fps' % rates)
    return problems


# --- where the picture is ------------------------------------------------

def find_picture(screen, client, width, height):
    """Top-left screen corner of the picture, which sits at the top-left of the
    scroll area: the first pixels of the scroll area's dark background along a
    row and a column that the picture does not reach. None while the scroll
    area is not shown or the picture is not where it should be."""
    probe_row = client.y + min(client.height - 40, height + 60)
    probe_column = client.x + width + 40
    if probe_row < client.y + height + 30 or probe_column >= client.x + client.width:
        return None
    background = screen.pixel(probe_column, probe_row)
    left = next((x for x in range(client.x, client.x + 40) if screen.pixel(x, probe_row) == background), None)
    top = next((y for y in range(client.y, client.y + 80) if screen.pixel(probe_column, y) == background), None)
    if left is None or top is None:
        return None
    # The picture covers its corner; the background starts just past it.
    if screen.pixel(left, top) == background and screen.pixel(left + width - 1, top + height - 1) == background:
        return None
    if screen.pixel(left + width, top + height) != background:
        return None
    return left, top


# --- detection boxes -----------------------------------------------------

def is_overdrawn(pixel):
    """Whether a pixel belongs to a filled label: a palette colour, black text,
    or the blend of the two at the edges of the letters."""
    r, g, b = pixel
    return ((b <= 6 and abs(r - g) <= 6)         # yellow, black and their blends
            or (r <= 6 and b <= 6)                # green
            or (g <= 6 and b <= 6))               # red


class OutlineMap:
    """Per pixel of the picture: 2 where it has the outline colour exactly,
    1 where something else drawn by the application (another box or label)
    may hide the outline, 0 where the picture itself shows."""

    def __init__(self, picture, colour):
        self.width, self.height = picture.width, picture.height
        target = tuple(colour)
        rgb = picture.rgb
        values = bytearray(self.width * self.height)
        for i in range(self.width * self.height):
            pixel = (rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2])
            values[i] = 2 if pixel == target else 1 if is_overdrawn(pixel) else 0
        self.values = values

    def at(self, x, y):
        return self.values[y * self.width + x] if 0 <= x < self.width and 0 <= y < self.height else 0

    def line(self, points):
        """(share in the colour, share in the colour or hidden) along points."""
        inside = [(x, y) for x, y in points if 0 <= x < self.width and 0 <= y < self.height]
        if not inside:
            return 0.0, 0.0
        values = [self.values[y * self.width + x] for x, y in inside]
        return values.count(2) / len(values), (len(values) - values.count(0)) / len(values)

    def thin_pixels(self, points, across):
        """Pixels of the line in the colour with other colours on both sides
        across it: a one-pixel outline has them, a filled label has not, not
        even along its border."""
        dx, dy = across
        return sum(1 for x, y in points if self.at(x, y) == 2
                   and self.at(x - dx, y - dy) != 2 and self.at(x + dx, y + dy) != 2)


def iou(a, b):
    ax, ay, aw, ah = a
    bx, by, bw, bh = b
    w = min(ax + aw, bx + bw) - max(ax, bx)
    h = min(ay + ah, by + bh) - max(ay, by)
    inter = max(0, w) * max(0, h)
    union = aw * ah + bw * bh - inter
    return inter / union if union > 0 else 0.0


def find_box(outline, expected):
    """The outline drawn in one colour around where the expected box
    [x, y, w, h] is, as (box, visible edges), or None.

    Labels of other boxes may hide parts of an edge, and a box's own filled
    label lies on or above its top edge. So each edge is looked for near its
    expected place, away from the corners: a line is a candidate when nearly
    all of it is in the colour or hidden under something drawn, and at least
    a fifth of it shows the colour; the candidate nearest to the expected place
    counts. Three edges must be found; a fourth that is not stays where
    expected. Returns the box and how many of its pixels look like an
    outline rather than the inside of a label.
    """
    ex, ey, ew, eh = expected
    reach_x = max(6, int(ew * 0.4))
    reach_y = max(6, int(eh * 0.4))
    rows = range(int(ey + eh * 0.1), int(ey + eh * 0.9) + 1)
    columns = range(int(ex + ew * 0.1), int(ex + ew * 0.9) + 1)
    edges = (
        ('left', ex, reach_x, lambda x: [(x, y) for y in rows], (1, 0)),
        ('right', ex + ew, reach_x, lambda x: [(x, y) for y in rows], (1, 0)),
        ('top', ey, reach_y, lambda y: [(x, y) for x in columns], (0, 1)),
        ('bottom', ey + eh, reach_y, lambda y: [(x, y) for x in columns], (0, 1)),
    )
    found = {}
    visible = 0
    thin = 0
    for name, place, reach, points, across in edges:
        best = None
        for position in range(int(round(place)) - reach, int(round(place)) + reach + 1):
            shown, explained = outline.line(points(position))
            if explained < 0.85 or shown < 0.2:
                continue
            score = -abs(position - place)
            if best is None or score > best[0]:
                best = (score, position)
        if best is not None:
            found[name] = best[1]
            visible += 1
            if name != 'top':  # the top edge may border its own label
                thin += outline.thin_pixels(points(best[1]), across)
        else:
            found[name] = place
    # Labels drawn later can hide one edge almost wholly; not two.
    if visible < 3:
        return None
    box = (found['left'], found['top'], found['right'] - found['left'], found['bottom'] - found['top'])
    if box[2] <= 0 or box[3] <= 0:
        return None
    return box, thin


def palette_assignments(labels):
    """Every way the classes can be coloured: in order of first appearance
    the classes get yellow, green, red, then yellow again."""
    import itertools
    for order in itertools.permutations(labels):
        yield {label: PALETTE_ORDER[i % len(PALETTE_ORDER)] for i, label in enumerate(order)}


def detection_problems(picture, expected_picture, labels):
    """Problems with the boxes drawn on the picture (network input size) for
    one expected.json picture entry: each expected box must be outlined near
    its place, and the colours must follow the palette by class: one colour
    per class, yellow for the class drawn first, green and red for the next
    (the most confident class first, when it clearly is)."""
    outlines = {name: OutlineMap(picture, colour) for name, colour in DETECTION_PALETTE.items()}
    problems = []
    candidates = []  # per detection: the colours whose outline is there
    for detection in expected_picture['detections']:
        wanted = detection['box']
        outlined = {}
        hidden = False
        closest = None
        for name, outline in outlines.items():
            box = find_box(outline, wanted)
            if not box:
                continue
            overlap = iou(box[0], wanted)
            if overlap < detection.get('min_iou', 0.5):
                if closest is None or overlap > closest[0]:
                    closest = (overlap, box[0])
            elif box[1] >= 4:
                outlined[name] = box[0]
            else:
                hidden = True
        if not outlined and hidden:
            # Only label fills where the box should be: later labels cover
            # it, and its colour cannot be seen.
            outlined = dict.fromkeys(PALETTE_ORDER)
        if not outlined:
            if closest:
                problems.append('the %s box drawn at %s overlaps the expected %s by only %.2f'
                                % (detection['label'], list(closest[1]), wanted, closest[0]))
            else:
                problems.append('no box outline in yellow, green or red around the %s at %s'
                                % (detection['label'], wanted))
        candidates.append((detection['label'], set(outlined)))
    if problems:
        return problems

    classes = sorted({label for label, _ in candidates})
    reference = sorted(expected_picture.get('reference', []), key=lambda r: -r.get('confidence', 0))
    clear_first = None
    if len(reference) >= 2 and reference[0]['confidence'] - reference[1]['confidence'] >= 0.05:
        clear_first = reference[0]['label']
    for colours in palette_assignments(classes):
        if clear_first in colours and colours[clear_first] != 'yellow':
            continue
        if all(colours[label] in seen for label, seen in candidates):
            return []
    return ['the box colours do not follow the palette (one colour per class, yellow first%s): %s'
            % (', %s most confident' % clear_first if clear_first else '',
               '; '.join('%s in %s' % (label, '/'.join(sorted(seen)) or 'none') for label, seen in candidates))]


def label_text_image(picture):
    """Black where the labels' text is, white elsewhere: what OCR reads the
    detection labels from, free of the picture behind them."""
    out = e2e_images.Image(picture.width, picture.height)
    rgb = picture.rgb
    for i in range(picture.width * picture.height):
        pixel = (rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2])
        value = 0 if is_overdrawn(pixel) and max(pixel) < 140 else 255
        out.rgb[i * 3:i * 3 + 3] = bytes((value, value, value))
    return out


def labels_read(text, labels):
    """The class labels found in OCR text: whole words, nearly right, or the
    start of a label cut off by the picture's edge or another label."""
    found = set()
    for word in re.findall(r'[A-Za-z]{3,}', text):
        word = word.lower()
        matches = [label for label in labels
                   if difflib.SequenceMatcher(None, word, label.lower()).ratio() >= 0.8]
        if not matches and len(word) >= 4:
            matches = [label for label in labels if label.lower().startswith(word)]
        if len(matches) == 1:
            found.add(matches[0])
    return found


def label_text_problems(text, expected_picture, labels):
    """Problems with the label texts read off the picture: no label of a class
    the picture does not have, and at least one of those it has."""
    expected = {d['label'] for d in expected_picture['detections']}
    found = labels_read(text, labels)
    if found - expected:
        return ['the labels read %s, which this picture does not have (it has %s; OCR: "%s")'
                % (sorted(found - expected), sorted(expected), ' '.join(text.split()))]
    if not found:
        return ['no label text of %s can be read (OCR: "%s")' % (sorted(expected), ' '.join(text.split()))]
    return []


# --- segmentation overlay ------------------------------------------------

def shown_picture_problems(shown, reference):
    """Problems with the picture shown before any run, against the expected
    crop of the picture file scaled to the network input."""
    changed = e2e_images.differs_from_neighbourhood(shown, reference)
    share = sum(changed) / max(1, len(changed))
    if share > 0.05:
        return ['the picture shown differs from the expected crop in %.0f%% of its pixels' % (share * 100)]
    return []


def overlay_problems(reference, painted, mask_values, expected_picture, label_of_class):
    """Problems with the overlay: the pixels that differ from the clean picture
    must cover each class's mask area and little of the background, and each
    class must be painted in one colour."""
    problems = []
    size = painted.width * painted.height
    changed = e2e_images.differs_from_neighbourhood(painted, reference)
    background = [i for i in range(size) if mask_values[i] == 0]
    painted_background = sum(changed[i] for i in background) / max(1, len(background))
    limit = max(expected_picture.get('max_background_painted', 0.02), 0.03)
    if painted_background > limit:
        problems.append('%.1f%% of the background is painted (at most %.1f%% expected)'
                        % (painted_background * 100, limit * 100))
    colours = {}
    for entry in expected_picture['classes']:
        index = label_of_class[entry['label']]
        pixels = [i for i in range(size) if mask_values[i] == index]
        covered = sum(changed[i] for i in pixels) / max(1, len(pixels))
        wanted = min(0.7, expected_picture.get('min_iou', 0.75) - 0.05)
        if covered < wanted:
            problems.append('only %.0f%% of the %s is painted (at least %.0f%% expected)'
                            % (covered * 100, entry['label'], wanted * 100))
            continue
        counts = {}
        for i in pixels:
            if changed[i]:
                colour = bytes(painted.rgb[i * 3:i * 3 + 3])
                counts[colour] = counts.get(colour, 0) + 1
        colour, count = max(counts.items(), key=lambda item: item[1])
        if count < 0.8 * sum(counts.values()):
            problems.append('the %s is painted in several colours' % entry['label'])
        colours[entry['label']] = colour
    if len(set(colours.values())) != len(colours):
        problems.append('different classes are painted in one colour: %s'
                        % {label: colour.hex() for label, colour in colours.items()})
    return problems


# --- classification table ------------------------------------------------

def first_table_row(text):
    """Label and probability of the table's first row as OCR reads it."""
    for line in text.splitlines():
        match = re.match(r'^\W*1\W+([A-Za-z][\w-]*)\s+([0-9][0-9.,eE+-]*)', line.strip())
        if match:
            return match.group(1), match.group(2)
    return None


def classification_problems(text, expected_label, labels):
    if 'Label' not in text or 'Probability' not in text:
        return ['the results table shows no "Label" and "Probability" columns']
    row = first_table_row(text)
    if row is None:
        return ['the results table has no first row']
    label, probability = row
    if squeeze(label) != squeeze(expected_label):
        close = difflib.get_close_matches(label.lower(), labels, 1, 0.8)
        if close != [expected_label]:
            return ['the first row shows %r instead of %r' % (label, expected_label)]
    try:
        value = float(probability.replace(',', '.'))
    except ValueError:
        return []
    if not 0.5 <= value <= 1.0:
        return ['the first row shows the probability %s, not close to 1' % probability]
    return []
