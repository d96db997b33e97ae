"""The X desktop of an end-to-end test: the window manager, the application's
windows, keys, screen captures and OCR. Runs inside an X server (xvfb-run)
and drives it with openbox, xdotool, xwininfo, xwd and tesseract."""

import collections
import os
import re
import subprocess
import tempfile
import time

import e2e_images


class TestFailure(Exception):
    """What the user would see go wrong."""


class DesktopUnavailable(Exception):
    """The X server or the window manager did not come up."""


def run(command, timeout=30, check=True, env=None):
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True, timeout=timeout, env=env)
    if check and result.returncode != 0:
        raise TestFailure('%s failed (%d): %s' % (' '.join(command), result.returncode,
                                                  result.stderr.strip()))
    return result.stdout


def poll(what, probe, timeout, interval=0.25):
    """Calls probe until it returns something true; fails after timeout seconds,
    telling what was awaited and the last value (or error) seen."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        try:
            value = probe()
            if value:
                return value
            last = value
        except TestFailure as error:
            last = str(error)
        if time.monotonic() >= deadline:
            raise TestFailure('timed out after %gs waiting for %s (last seen: %r)' % (timeout, what, last))
        time.sleep(interval)


Geometry = collections.namedtuple('Geometry', 'x y width height')


class Desktop:
    def __init__(self, work_dir):
        self.work_dir = work_dir
        self.processes = []

    # --- processes -----------------------------------------------------

    def start(self, command, log_name, env=None):
        log = open(os.path.join(self.work_dir, log_name), 'w')
        process = subprocess.Popen(command, stdout=log, stderr=subprocess.STDOUT, env=env,
                                   stdin=subprocess.DEVNULL)
        self.processes.append((process, log))
        return process

    def start_window_manager(self):
        """Starts openbox once the X server answers; DesktopUnavailable when
        either does not come up (a fault of the test machine, not of the
        application)."""
        try:
            poll('the X server', lambda: subprocess.run(
                ['xprop', '-root', '_NET_SUPPORTING_WM_CHECK'], stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL, timeout=10).returncode == 0, 20)
        except TestFailure as failure:
            raise DesktopUnavailable(str(failure))
        for attempt in range(2):
            openbox = self.start(['openbox', '--sm-disable'], 'openbox.log')

            def managed():
                if openbox.poll() is not None:
                    return 'ended'
                return 'window id' in run(['xprop', '-root', '_NET_SUPPORTING_WM_CHECK'], check=False)
            try:
                if poll('the window manager', managed, 30) is True:
                    return
            except TestFailure:
                pass
        with open(os.path.join(self.work_dir, 'openbox.log'), errors='replace') as f:
            raise DesktopUnavailable('openbox did not start: ' + ' '.join(f.read().split()))

    def stop_all(self):
        """Ends every process this desktop started, the application first."""
        for process, log in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(5)
            log.close()
        self.processes = []

    # --- windows -------------------------------------------------------

    def windows(self, pid, name=None):
        """Visible windows of the process, optionally those whose title matches name."""
        command = ['xdotool', 'search', '--all', '--onlyvisible', '--pid', str(pid)]
        if name:
            command += ['--name', name]
        out = run(command, check=False)
        return [int(w) for w in out.split()]

    def window_name(self, window):
        return run(['xdotool', 'getwindowname', str(window)], check=False).strip()

    def geometry(self, window):
        """Position of the window's client area on the screen, and its size."""
        out = run(['xwininfo', '-id', str(window)])
        values = {}
        for key in ('Absolute upper-left X', 'Absolute upper-left Y', 'Width', 'Height'):
            match = re.search(r'^\s*%s:\s*(-?\d+)' % re.escape(key), out, re.M)
            if not match:
                raise TestFailure('xwininfo gave no %s for window %d' % (key, window))
            values[key] = int(match.group(1))
        return Geometry(values['Absolute upper-left X'], values['Absolute upper-left Y'],
                        values['Width'], values['Height'])

    def frame(self, window):
        """The window with the decorations the window manager draws around it."""
        g = self.geometry(window)
        out = run(['xprop', '-id', str(window), '_NET_FRAME_EXTENTS'], check=False)
        match = re.search(r'=\s*(\d+),\s*(\d+),\s*(\d+),\s*(\d+)', out)
        left, right, top, bottom = (int(v) for v in match.groups()) if match else (0, 0, 0, 0)
        return Geometry(g.x - left, g.y - top, g.width + left + right, g.height + top + bottom)

    def place(self, window, x, y, width=None, height=None):
        run(['xdotool', 'windowmove', '--sync', str(window), str(x), str(y)], check=False)
        if width and height:
            run(['xdotool', 'windowsize', '--sync', str(window), str(width), str(height)], check=False)

    def reveal(self, window, x, y):
        """Moves a dialog to (x, y), clear of the main window: under Xvfb with
        openbox a dialog that lies wholly over the main window can stay black
        until it is moved so that part of it lies beside it."""
        run(['xdotool', 'windowmove', str(window), str(x), str(y)], check=False)

    def pointer_away(self):
        """The pointer to a corner, where it highlights nothing."""
        run(['xdotool', 'mousemove', '0', '0'], check=False)

    def activate(self, window):
        # --sync can wait forever when the window manager refuses; poll instead.
        run(['xdotool', 'windowactivate', str(window)], check=False)

        def active():
            return run(['xdotool', 'getactivewindow'], check=False).strip() == str(window)
        poll('window %d to get the focus' % window, active, 15, 0.1)

    def key(self, window, *keys):
        """Presses keys in the window, bringing it to the front first."""
        self.activate(window)
        run(['xdotool', 'key', '--clearmodifiers', '--delay', '60'] + list(keys))

    def type_text(self, window, text):
        self.activate(window)
        run(['xdotool', 'type', '--delay', '20', text], timeout=120)

    # --- screen --------------------------------------------------------

    def capture(self):
        """The whole screen."""
        path = os.path.join(self.work_dir, 'screen.xwd')
        with open(path, 'wb') as f:
            subprocess.run(['xwd', '-root', '-silent'], stdout=f, check=True, timeout=30)
        return e2e_images.read_picture(path)

    def save(self, image, name):
        path = os.path.join(self.work_dir, name)
        e2e_images.write_picture(image, path)
        return path

    def ocr(self, image, scale=2, mode=6):
        """The text tesseract reads in the picture, enlarged scale times."""
        with tempfile.NamedTemporaryFile(suffix='.pgm', dir=self.work_dir, delete=False) as f:
            path = f.name
        try:
            e2e_images.write_picture(image, path, '-grayscale', 'Rec601Luma', '-sample', '%d%%' % (scale * 100))
            # One thread: the reading is short, and OpenMP's idle threads
            # spinning for work cost more than they give on a busy machine.
            return run(['tesseract', path, '-', '--psm', str(mode)], timeout=60,
                       env=dict(os.environ, OMP_THREAD_LIMIT='1'))
        finally:
            os.unlink(path)
