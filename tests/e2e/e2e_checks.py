"""What the user sees, checked on screen captures: the status line, where the
picture is, whether a result is drawn over it and the classification table.
Each check returns a list of problems (empty when all is well)."""

import difflib
import re

import e2e_images

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


# --- what a Run draws ---------------------------------------------------

def picture_problems(shown, reference, drawn):
    """Problems with the picture shown, against the expected crop of the
    picture file scaled to the network input: before any run it must be that
    crop; with a result drawn (boxes and labels or a class overlay) a visible
    part of it must have changed. Where and in which colour results are drawn
    is checked exactly by the window's headless tests."""
    changed = e2e_images.differs_from_neighbourhood(shown, reference)
    share = sum(changed) / max(1, len(changed))
    if drawn and share < 0.01:
        return ['the result changed only %.1f%% of the picture: nothing seems drawn' % (share * 100)]
    if not drawn and share > 0.05:
        return ['the picture shown differs from the expected crop in %.0f%% of its pixels' % (share * 100)]
    return []


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
