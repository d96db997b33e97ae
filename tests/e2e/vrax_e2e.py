#!/usr/bin/env python3
"""End-to-end acceptance test of VRAX GUI: starts the real application in an X
server with a window manager, drives it with keys and menu entries as a user
would, and checks on screen captures what the user sees.

    vrax_e2e.py CASE --app build/app/vraxgui --examples examples --work DIR

CASE is an example folder (classifier, yolo3, ...): the application opens its
description and pictures from the command line, on the simulator. Or a board
case (boards-parallel, boards-planar): the board, the description and the
pictures are chosen through the dialogs, on virtual boards.

Run it inside an X server (run_e2e.sh starts one with xvfb-run). Exit status
0 when everything looked right, 1 otherwise, 3 when the X server or the
window manager did not come up; the work folder keeps the screens of failures
and the application's output.
"""

import argparse
import json
import os
import signal
import struct
import sys
import time

import e2e_checks
import e2e_images
from e2e_desktop import Desktop, DesktopUnavailable, TestFailure, poll

# Board cases: which example runs on which virtual boards, chosen in the
# board dialog ("board_row": the row to pick; "parallel": all boards of its type;
# "board_name": the board as the status line names it).
BOARD_CASES = {
    'boards-parallel': {'example': 'yolo3', 'boards': '2:2', 'board_row': 1, 'board_name': '2:all (TK307.04)',
                        'rows': ['0. Simulator', '1. TK307.04', '2. TK307.04'], 'parallel': True},
    'boards-planar': {'example': 'unet', 'boards': '1:1', 'board_row': 1, 'board_name': '1:0 (TK301.02)',
                      'rows': ['0. Simulator', '1. TK301.02'], 'parallel': False},
}

DESKTOP_UNAVAILABLE = 3  # exit status that asks run_e2e.sh to try on another display
SCREEN_WAIT = 90      # seconds for a result to appear on a loaded machine
RUN_AUTO_SECONDS = 4  # how long Run Auto runs before space stops it


class Example:
    """An example folder and what its expected.json says."""

    def __init__(self, examples_dir, name):
        self.name = name
        self.folder = os.path.abspath(os.path.join(examples_dir, name))
        with open(os.path.join(self.folder, 'expected.json')) as f:
            self.expected = json.load(f)
        self.kind = self.expected['network']
        self.description = os.path.join(self.folder, self.expected['description'])
        self.width = self.expected['input']['width']
        self.height = self.expected['input']['height']
        self.labels = self.expected.get('labels', [])
        # Pictures in file name order, as a shell glob passes them.
        self.pictures = sorted(self.expected['pictures'], key=lambda p: os.path.basename(p['file']))
        binary = self.expected.get('binary_image')
        if binary:
            self.pictures.append({'file': binary['file'], 'top_label': binary['top_label'], 'binary': True})

    def path(self, picture):
        return os.path.normpath(os.path.join(self.folder, picture['file']))

    def reference(self, picture):
        """The picture file's expected crop at network input size, or None."""
        if picture.get('binary') or 'crop' not in picture:
            return None
        image = e2e_images.read_picture(self.path(picture))
        return e2e_images.crop_and_scale(image, picture['crop'], self.width, self.height)


class Session:
    """One run of the application on the desktop."""

    def __init__(self, desktop, args, example, board_name):
        self.desktop = desktop
        self.args = args
        self.example = example
        self.board_name = board_name
        self.process = None
        self.main = None
        self.results = None
        self.started = time.monotonic()
        self.expected_dialogs = []

    def log(self, text):
        print('[%6.1fs] %s' % (time.monotonic() - self.started, text), flush=True)

    # --- the application ---------------------------------------------

    def environment(self, boards):
        env = dict(os.environ)
        for name in ('QT_QPA_PLATFORM', 'VRAX_FAULTS', 'VRAX_DELAYS', 'VRAX_BOARDS',
                     'VRAX_COMPILER_FAULTS', 'VRAX_COMPILER_DELAYS'):
            env.pop(name, None)
        env['QT_QPA_PLATFORM'] = 'xcb'
        runtime_dir = os.path.join(self.args.work, 'runtime')
        os.makedirs(runtime_dir, mode=0o700, exist_ok=True)
        env['XDG_RUNTIME_DIR'] = runtime_dir
        # Settings of their own, never the user's. The checks look at the
        # network's input at its actual size, where every pixel is known; the
        # screenshots show the default view, the original picture fitted.
        config_dir = os.path.join(self.args.work, 'config')
        os.makedirs(os.path.join(config_dir, 'VRAX'), exist_ok=True)
        with open(os.path.join(config_dir, 'VRAX', 'vraxgui.conf'), 'w') as f:
            if not self.args.screenshot:
                f.write('[view]\nsource=network\nfit=false\nzoom=1\n')
        env['XDG_CONFIG_HOME'] = config_dir
        if boards:
            env['VRAX_BOARDS'] = boards
        return env

    def start(self, arguments, boards=None):
        self.log('start: vraxgui %s' % ' '.join(os.path.relpath(a) for a in arguments))
        self.process = self.desktop.start([self.args.app] + arguments, 'vraxgui.log', self.environment(boards))

        def main_window():
            self.check_running()
            for window in self.desktop.windows(self.process.pid):
                name = self.desktop.window_name(window)
                if name.endswith('VRAX GUI') and not name.startswith('Classification Results'):
                    return window
            return None
        self.main = poll('the main window', main_window, SCREEN_WAIT)
        # Wide enough for a status line with long paths in it.
        self.desktop.place(self.main, 0, 0, 1900, 1000)
        self.log('main window %d: %s' % (self.main, self.desktop.geometry(self.main)))

    def check_running(self):
        if self.process.poll() is not None:
            raise TestFailure('the application ended with status %d' % self.process.returncode)

    def check_no_message_box(self):
        """Fails when the application shows a window nobody asked for, such as
        an error message box, telling its title and text."""
        self.check_running()
        for window in self.desktop.windows(self.process.pid):
            if window in (self.main, self.results):
                continue
            name = self.desktop.window_name(window)
            if any(name.startswith(d) for d in self.expected_dialogs) or name.startswith('Classification Results'):
                continue
            screen = self.desktop.capture()
            g = self.desktop.geometry(window)
            text = self.desktop.ocr(screen.crop(g.x, g.y, g.width, g.height))
            self.desktop.save(screen, 'message-box.png')
            raise TestFailure('the application shows "%s": %s' % (name, ' '.join(text.split())))

    def close(self):
        self.desktop.key(self.main, 'ctrl+x')
        try:
            status = self.process.wait(60)
        except Exception:
            raise TestFailure('the application did not end within 60 s of Ctrl+X')
        if status != 0:
            raise TestFailure('the application ended with status %d after Ctrl+X' % status)
        self.log('closed with Ctrl+X, exit status 0')

    # --- what the screen shows ---------------------------------------

    def title(self):
        return self.desktop.window_name(self.main)

    def status_text(self, screen=None):
        screen = screen or self.desktop.capture()
        g = self.desktop.geometry(self.main)
        return ' '.join(self.desktop.ocr(screen.crop(g.x, g.y + g.height - 28, g.width, 28)).split())

    def shown_picture(self, screen):
        """The picture area's pixels at network input size, or None while no
        picture is shown."""
        g = self.desktop.geometry(self.main)
        corner = e2e_checks.find_picture(screen, g, self.example.width, self.example.height)
        if corner is None:
            return None
        return screen.crop(corner[0], corner[1], self.example.width, self.example.height)

    def expect(self, what, probe, timeout=SCREEN_WAIT):
        """Polls probe (which returns a list of problems) until it finds none;
        on timeout fails with the last problems."""
        last = ['nothing checked yet']

        def ok():
            nonlocal last
            self.check_no_message_box()
            last = probe()
            return not last
        self.wait_for(what, ok, timeout, 0.3, lambda: ': ' + '; '.join(last))

    def wait_for(self, what, probe, timeout=SCREEN_WAIT, interval=0.25, detail=lambda: ''):
        """poll() that saves the screen when it times out."""
        try:
            return poll(what, probe, timeout, interval)
        except TestFailure as failure:
            path = self.desktop.save(self.desktop.capture(), 'failure-screen.png')
            raise TestFailure('%s%s (screen saved in %s)' % (failure, detail(), path))

    def expect_status(self, picture, rates=True):
        description = self.example.description
        picture_path = self.example.path(picture) if picture else None

        def problems():
            text = self.status_text()
            found = e2e_checks.status_line_problems(text, 'Board %s' % self.board_name,
                                                    description, picture_path)
            if not rates:
                found = [p for p in found if 'rate' not in p]
            return [p + ' in "%s"' % text for p in found]
        self.expect('the status line', problems, SCREEN_WAIT)

    def result_problems(self, picture, screen, drawn=True):
        shown = self.shown_picture(screen)
        if shown is None:
            return ['no picture is shown at the top-left of the picture area']
        # The last picture area checked, for a look after a failure.
        self.desktop.save(shown, 'shown-%s.png' % os.path.splitext(os.path.basename(picture['file']))[0])
        if drawn and self.example.kind == 'classifier':
            return self.table_problems(picture, screen)
        reference = self.example.reference(picture)
        return e2e_checks.picture_problems(shown, reference, drawn) if reference is not None else []

    def table_problems(self, picture, screen):
        windows = self.desktop.windows(self.process.pid, 'Classification Results')
        if not windows:
            return ['no "Classification Results" window is shown']
        if self.results != windows[0]:
            self.results = windows[0]
            self.desktop.place(self.results, 1950, 60)
            return ['the results window has just been placed']
        g = self.desktop.geometry(self.results)
        text = self.desktop.ocr(screen.crop(g.x, g.y, g.width, g.height), scale=3)
        return e2e_checks.classification_problems(text, picture['top_label'], self.example.labels)

    # --- steps ---------------------------------------------------------

    def run_picture(self, index, keys=('ctrl+r',)):
        """Runs the picture with the keys and checks its result; with no keys,
        checks the first picture as opened, before any Run."""
        picture = self.example.pictures[index]
        name = os.path.basename(picture['file'])
        if keys:
            self.desktop.key(self.main, *keys)

        def problems():
            title = self.title()
            if not title.startswith(name):
                return ['the window title is "%s", not "%s"' % (title, name)]
            if self.args.screenshot:  # the default view: only the classifier's table is read
                classifier = keys and self.example.kind == 'classifier'
                return self.table_problems(picture, self.desktop.capture()) if classifier else []
            return self.result_problems(picture, self.desktop.capture(), drawn=bool(keys))
        self.expect('the result of Run on %s' % name if keys else 'the first picture', problems)
        self.expect_status(picture, rates=bool(keys))
        if keys:
            self.log('Run (%s): %s right; status line shows nonzero rates' % (' '.join(keys), name))
        else:
            self.log('%s shown as the network sees it; status line names the description and picture' % name)

    def run_auto(self):
        names = [os.path.basename(p['file']) for p in self.example.pictures]
        self.desktop.key(self.main, 'ctrl+a')
        begun = time.monotonic()
        seen = set()

        def cycled():
            title = self.title()
            seen.update(n for n in names if title.startswith(n))
            return len(seen) >= min(2, len(names)) and time.monotonic() - begun >= RUN_AUTO_SECONDS
        poll('Run Auto to go through the pictures', cycled, SCREEN_WAIT, 0.1)
        text = self.status_text()
        rates = e2e_checks.read_rates(text)
        if not rates or rates[0] <= 0 or rates[1] <= 0:
            raise TestFailure('during Run Auto the status line shows no nonzero rates: "%s"' % text)
        self.log('Run Auto went through %d pictures; status line: %.2f (%.2f) fps' % (len(seen), *rates))

        self.desktop.key(self.main, 'space')

        def stopped():
            before = self.title(), self.status_text()
            time.sleep(1.0)
            return (self.title(), self.status_text()) == before
        poll('Run Auto to stop on space', stopped, SCREEN_WAIT, 0.1)
        # The last frame stays on screen with its own result.
        title = self.title()
        picture = next((p for p in self.example.pictures if title.startswith(os.path.basename(p['file']))), None)
        if picture is None:
            raise TestFailure('after Run Auto the window title "%s" names no picture' % title)
        self.expect('the result of the last Run Auto frame (%s)' % title,
                    lambda: self.result_problems(picture, self.desktop.capture()))
        self.log('space stopped Run Auto; the last frame (%s) shows its result' % os.path.basename(picture['file']))

    def choose_board(self, case):
        self.expected_dialogs = ['Open Board Dialog']
        self.desktop.key(self.main, 'alt+f', 'b')  # File > Open Board...
        dialog = self.wait_for('the board dialog',
                               lambda: self.desktop.windows(self.process.pid, 'Open Board Dialog'))[0]
        self.desktop.reveal(dialog, 1950, 100)

        def rows_listed():
            g = self.desktop.geometry(dialog)
            text = self.desktop.ocr(self.desktop.capture().crop(g.x, g.y, g.width, g.height), scale=3)
            missing = [row for row in case['rows'] + ['parallel', 'Ok', 'Cancel']
                       if not e2e_checks.contains_fuzzy(text, row, 0.8)]
            return ['the board dialog lacks %s: "%s"' % (missing, ' '.join(text.split()))] if missing else []
        self.expect('the board dialog rows', rows_listed)
        # Focus order: the rows (arrows move between them), "parallel",
        # Blink (enabled on a board row), Ok, Cancel.
        keys = ['Down'] * case['board_row'] + ['Tab']
        if case['parallel']:
            keys.append('space')
        keys += ['Tab', 'Tab', 'space']
        self.desktop.key(dialog, *keys)
        self.wait_for('the board dialog to close',
                      lambda: not self.desktop.windows(self.process.pid, 'Open Board Dialog'))
        self.expected_dialogs = []
        self.log('board dialog lists %s; chose row %d%s' % (', '.join(case['rows']), case['board_row'],
                                                              ' with "parallel"' if case['parallel'] else ''))

    def open_through_dialog(self, shortcut, title, typed):
        """Opens a file dialog with shortcut and types each text in it, with Return."""
        self.expected_dialogs = [title]
        self.desktop.key(self.main, *shortcut.split())
        dialog = self.wait_for('the "%s" dialog' % title, lambda: self.desktop.windows(self.process.pid, title))[0]
        self.desktop.reveal(dialog, 1950, 100)
        for text in typed:
            self.desktop.type_text(dialog, text)
            self.desktop.key(dialog, 'Return')
        self.wait_for('the "%s" dialog to close' % title, lambda: not self.desktop.windows(self.process.pid, title))
        self.expected_dialogs = []

    def save_original_result(self):
        """View > Original Picture, then File > Save Result As: the file holds
        the annotated picture at the size of the picture as given."""
        self.desktop.key(self.main, 'ctrl+2')
        target = os.path.join(self.args.work, 'saved-result.png')
        if os.path.exists(target):
            os.remove(target)
        self.open_through_dialog('ctrl+s', 'Save Result As', [target])
        self.wait_for('the saved result', lambda: os.path.exists(target) and os.path.getsize(target) > 0)
        source = self.example.path(self.example.pictures[0])
        if source.endswith('.png'):
            picture = e2e_images.read_picture(source)
            expected = (picture.width, picture.height)
        else:  # a raw binary image has only the network's view
            expected = (self.example.width, self.example.height)
        saved = e2e_images.read_picture(target)
        saved = (saved.width, saved.height)
        if saved != expected:
            raise TestFailure('the saved result is %dx%d, not the picture\'s %dx%d' % (saved + expected))
        self.log('Ctrl+2, Ctrl+S: the result saved at the original picture\'s size %dx%d' % tuple(expected))

    def record_video(self):
        """File > Record..., Run Auto over the video, space: the .avi holds as
        many frames as the .jsonl has lines, each a frame of the video."""
        target = os.path.join(self.args.work, 'recorded.avi')
        self.open_through_dialog('alt+f o', 'Record', [target])
        self.desktop.key(self.main, 'ctrl+a')
        frame = lambda title: int(title.split('#')[1].split()[0]) if '#' in title else 0  # "shapes.avi #12 ..."
        poll('Run Auto past frame 5', lambda: frame(self.title()) > 5, SCREEN_WAIT, 0.1)
        self.desktop.key(self.main, 'space')
        header = lambda: open(target, 'rb').read(52)  # the frame count is written when the file is closed
        count = self.wait_for('the recording to be closed', lambda: header()[8:12] == b'AVI ' and
                              struct.unpack('<I', header()[48:52])[0])
        with open(target[:-4] + '.jsonl') as f:
            lines = [json.loads(line) for line in f]
        if len(lines) != count or any(line['source'] != 'shapes.avi' or 'detections' not in line for line in lines):
            raise TestFailure('%d frames in %s, but the results file has %s' % (count, target, lines[:3]))
        self.log('Record, Run Auto, space: %d frames in the .avi and in the .jsonl' % count)

    def screenshot(self, path):
        """The main window with its frame, made compact, as a small PNG; for
        the classifier with the results window beside it, on white."""
        width, height = self.args.screenshot_size
        # As narrow as the status line allows.
        while True:
            self.desktop.place(self.main, 40, 60, width, height)
            time.sleep(0.5)
            if self.status_text().rstrip().endswith('fps.') or width >= 2200:
                break
            width += 50
        frames = [self.desktop.frame(self.main)]
        if self.results:
            # Over the main window's empty part, reaching past its edge: a
            # window that lies wholly over another one may stay black here.
            g = self.desktop.geometry(self.main)
            self.desktop.place(self.results, g.x + g.width - 260, g.y + 40, 340, 150)
            self.run_picture(1)
            self.desktop.activate(self.results)
            frames.append(self.desktop.frame(self.results))
        self.desktop.pointer_away()
        time.sleep(2.0)
        screen = self.desktop.capture()
        left = min(f.x for f in frames)
        top = min(f.y for f in frames)
        right = max(f.x + f.width for f in frames)
        bottom = max(f.y + f.height for f in frames)
        shot = e2e_images.Image(right - left, bottom - top, b'\xff' * ((right - left) * (bottom - top) * 3))
        for f in frames:
            shot.paste(screen.crop(f.x, f.y, f.width, f.height), f.x - left, f.y - top)
        e2e_images.write_picture(shot, path, '-define', 'png:compression-level=9')
        self.log('screenshot %s (%d bytes)' % (path, os.path.getsize(path)))


def run_case(args, desktop):
    case = BOARD_CASES.get(args.case)
    example = Example(args.examples, case['example'] if case else 'yolo3' if args.case == 'video' else args.case)
    session = Session(desktop, args, example, case['board_name'] if case else '0 (simulator)')
    desktop.start_window_manager()
    pictures = [example.path(p) for p in example.pictures]
    if args.case == 'video':  # the detector over examples/video/shapes.avi
        session.start([example.description, os.path.join(args.examples, 'video', 'shapes.avi')])
        session.wait_for('the video', lambda: session.title().startswith('shapes.avi'))
        if args.screenshot:
            session.desktop.key(session.main, 'ctrl+r')
            session.wait_for('a Run', lambda: session.status_text().endswith('fps.'))
            session.screenshot(args.screenshot)
        else:
            session.record_video()
        return session.close()
    if case:
        session.start([], boards=case['boards'])
        session.choose_board(case)
        session.open_through_dialog('ctrl+d', 'Open NN description File', [example.description])
        # The picture dialog goes to the folder first, then takes the files by name.
        folder = os.path.dirname(pictures[0])
        names = ' '.join('"%s"' % os.path.basename(p) for p in pictures)
        session.open_through_dialog('ctrl+p', 'Open Picture', [folder, names])
    else:
        session.start([example.description] + pictures)
    session.run_picture(0, keys=())
    # The first Run through the menu (File > Run), the others by shortcut.
    session.run_picture(0, keys=('alt+f', 'r'))
    if args.screenshot:
        session.screenshot(args.screenshot)
        session.close()
        return
    for index in range(1, len(example.pictures)):
        session.run_picture(index)
    session.run_auto()
    session.run_picture(0)
    session.save_original_result()
    session.close()


def note_x_server(work):
    """Writes the X server's process id (from its lock file) to xvfb.pid."""
    display = os.environ.get('DISPLAY', '').lstrip(':').split('.')[0]
    try:
        with open('/tmp/.X%s-lock' % display) as f:
            pid = f.read().strip()
        with open(os.path.join(work, 'xvfb.pid'), 'w') as f:
            f.write(pid + '\n')
    except OSError:
        pass


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('case')
    parser.add_argument('--app', required=True)
    parser.add_argument('--examples', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--timeout', type=int, default=300, help='seconds for the whole case')
    parser.add_argument('--screenshot', help='save a screenshot after the first Run and stop there')
    parser.add_argument('--screenshot-size', type=int, nargs=2, default=(1000, 300), metavar=('W', 'H'),
                        help='size of the main window in the screenshot')
    args = parser.parse_args()
    os.makedirs(args.work, exist_ok=True)
    open(os.path.join(args.work, 'driver.started'), 'w').close()

    def out_of_time(_signal, _frame):
        raise TestFailure('the case took longer than %d s' % args.timeout)
    signal.signal(signal.SIGALRM, out_of_time)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    signal.alarm(args.timeout)

    note_x_server(args.work)
    desktop = Desktop(args.work)
    started = time.monotonic()
    try:
        run_case(args, desktop)
    except DesktopUnavailable as failure:
        print('NO DESKTOP: %s: %s' % (args.case, failure), flush=True)
        return DESKTOP_UNAVAILABLE
    except TestFailure as failure:
        print('FAILED: %s: %s' % (args.case, failure), flush=True)
        log = os.path.join(args.work, 'vraxgui.log')
        if os.path.exists(log):
            with open(log, errors='replace') as f:
                tail = f.read()[-3000:]
            if tail.strip():
                print('--- application output ---\n' + tail, flush=True)
        return 1
    finally:
        signal.alarm(0)
        desktop.stop_all()
    print('PASSED: %s in %.1f s' % (args.case, time.monotonic() - started), flush=True)
    return 0


if __name__ == '__main__':
    sys.exit(main())
