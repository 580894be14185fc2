#!/usr/bin/python3
"""End-to-end checks of the Linux program `zumbolo` on a real (virtual) desktop.

Each check starts its own desktop (desktop_session.py: Xvfb, openbox, tint2 with a tray, and
PulseAudio where sound is checked), starts the program with ZUMBOLO_HOME, ZUMBOLO_TRACE and
ZUMBOLO_AUDIO_SINK, drives it with xdotool and reads the outcome from X (xprop, xwininfo,
screenshots) and from the program's trace file. Every wait polls with a time-out. The
Conformance checks hold a whole run's trace against zumbolo-sim's log of the same run
(tools/conformance), instead of expectations of their own.

    python3 tests/e2e/zumbolo_e2e.py --binary BUILD/platform/qt/zumbolo
        [--sim BUILD/tools/sim/zumbolo-sim] [unittest arguments]

Screenshots (PNG), traces and logs of every check go to $ZUMBOLO_E2E_ARTIFACTS (default
/tmp/zumbolo-e2e/), one folder per check. Exit status 77 means "skipped": the program was not
built in this build tree, or (outside CI) a desktop tool is missing.
"""

import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, HERE)

import xshot  # noqa: E402
from trace_reader import Trace  # noqa: E402
from debian_commands import report_missing  # noqa: E402
sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "conformance"))
import conformance  # noqa: E402
from desktop_session import (DesktopSession, DesktopError, ROOT_COLOUR, NULL_SINK,  # noqa: E402
                             wait_until, _die_with_parent)

SOURCE_DIR = os.path.normpath(os.path.join(HERE, "..", ".."))
ARTIFACTS = os.environ.get("ZUMBOLO_E2E_ARTIFACTS", "/tmp/zumbolo-e2e")
BINARY = None  # set by main()
SIM = None  # zumbolo-sim, set by main()
FAKE_SINK = "fakesink sync=true"
TEST_TIME_LIMIT = 120  # seconds for one check, set-up and tear-down included
TOOLS = ["Xvfb", "xsetroot", "openbox", "tint2", "xdotool", "xprop", "xwininfo", "xwd", "wmctrl",
         "pulseaudio", "pactl", "parec", "gst-launch-1.0"]

WHITE, BLACK, RED = (255, 255, 255), (0, 0, 0), (255, 0, 0)
PANEL_BG = (0x28, 0x28, 0x28)  # tint2rc, background 1

# The window's resting place from the work area's size.
HOME_DX, HOME_DY = 250, 118


def home_of(workarea):
    return workarea[2] - HOME_DX, workarea[3] - HOME_DY


# -- the program's pictures ---------------------------------------------------------------------

def picture(name):
    with open(os.path.join(SOURCE_DIR, "assets", "pictures", name), "rb") as f:
        return xshot.read_bmp(f.read())


def keyed_mismatches(screen, x0, y0, pic, key, scale=1, phase=(0, 0)):
    """Compares the screen at (x0, y0) with `pic` drawn with colour `key` transparent: where the
    picture has the key the desktop must show, elsewhere the picture's own colour. With scale 2
    the screen holds the picture halved by nearest neighbour, sampled at phase (dx, dy).
    Returns the list of (x, y, expected, seen) that differ."""
    out = []
    w, h = pic.width // scale, pic.height // scale
    for y in range(h):
        for x in range(w):
            p = pic.pixel(x * scale + phase[0], y * scale + phase[1])
            expected = ROOT_COLOUR if p == key else p
            seen = screen.pixel(x0 + x, y0 + y)
            if seen != expected:
                out.append((x, y, expected, seen))
    return out


def figure_cells(screen, rect, scale=1):
    """Which pose each of the three figures in the window `rect` shows, as a list of
    (pose or None, mismatches of the best candidate). A pose is 0..11 of the default colour set
    (poses1.bmp, twelve 64 x 64 cells side by side) or -1 for an empty cell."""
    sheet = picture("poses1.bmp")
    cell = 64 // scale
    blank = xshot.Image(64, 64, bytearray(b"\xff" * 64 * 64 * 3))
    phases = [(0, 0)] if scale == 1 else [(0, 0), (1, 1), (0, 1), (1, 0)]
    result = []
    for i in range(3):
        best = None
        for pose in range(-1, 12):
            pic = blank if pose < 0 else sheet.crop(64 * pose, 0, 64, 64)
            for phase in phases:
                bad = keyed_mismatches(screen, rect[0] + i * cell, rect[1], pic, WHITE, scale, phase)
                if best is None or len(bad) < len(best[1]):
                    best = (pose, bad)
        result.append(best if not best[1] else (None, best[1]))
    return result


def figure_point():
    """A point of a 64 x 64 cell that every pose covers (none of them is white there), the one
    nearest the cell's centre: a click there hits a figure whatever pose it shows."""
    sheet = picture("poses1.bmp")
    points = [(x, y) for y in range(64) for x in range(64)
              if all(sheet.pixel(64 * p + x, y) != WHITE for p in range(12))]
    if not points:
        raise AssertionError("no point is covered by all twelve poses")
    return min(points, key=lambda p: (p[0] - 32) ** 2 + (p[1] - 32) ** 2)


def task_buttons(screen):
    """Number of task buttons in tint2's taskbar: runs of 50 or more pixels that are not the
    panel's background on a row through the middle of the panel."""
    y = screen.height - 15
    runs, run = 0, 0
    for x in range(screen.width):
        if screen.pixel(x, y) != PANEL_BG:
            run += 1
        else:
            runs += run >= 50
            run = 0
    return runs + (run >= 50)


# -- tracks ----------------------------------------------------------------------------------------

MPEG1_L3_KBPS = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
MPEG1_RATES = [44100, 48000, 32000]


def mp3_audio_frames(data):
    """(offset, length) of the audio frames of an MPEG-1 Layer III file: the ID3v2 tag and a
    leading "Info"/"Xing" header frame are skipped; frames are found by their sync headers."""
    pos = 0
    if data[:3] == b"ID3":
        size = data[6] << 21 | data[7] << 14 | data[8] << 7 | data[9]
        pos = 10 + size
    frames = []
    while pos + 4 <= len(data):
        b = data[pos:pos + 4]
        if b[0] != 0xFF or (b[1] & 0xFE) != 0xFA:  # MPEG-1, Layer III, with or without CRC
            raise ValueError(f"no frame header at byte {pos}")
        kbps, rate = MPEG1_L3_KBPS[b[2] >> 4], MPEG1_RATES[(b[2] >> 2) & 3]
        length = 144000 * kbps // rate + ((b[2] >> 1) & 1)
        side = 17 if (b[3] >> 6) == 3 else 32
        tag_at = pos + 4 + (0 if b[1] & 1 else 2) + side
        if not frames and data[tag_at:tag_at + 4] in (b"Info", b"Xing"):
            pos += length
            continue
        frames.append((pos, length))
        pos += length
    return frames


def tone_mp3(desk, path, frames):
    """Writes a 440 Hz tone of `frames` MP3 frames (1152 samples each, 128 kbit/s) to path."""
    desk.run(["gst-launch-1.0", "-q", "audiotestsrc", "wave=sine", "freq=440", "volume=0.4",
              f"num-buffers={frames}", "samplesperbuffer=1152", "!",
              "audio/x-raw,format=S16LE,rate=44100,channels=2", "!",
              "lamemp3enc", "target=bitrate", "bitrate=128", "cbr=true", "!",
              "filesink", f"location={path}"], timeout=60)


def short_track(name, frames):
    """The first `frames` audio frames of assets/tracks/NAME, cut at frame boundaries, and its
    duration in seconds (1152 samples a frame at 44.1 kHz)."""
    with open(os.path.join(SOURCE_DIR, "assets", "tracks", name), "rb") as f:
        data = f.read()
    found = mp3_audio_frames(data)
    if len(found) < frames:
        raise ValueError(f"{name} has only {len(found)} frames")
    start, end = found[0][0], found[frames - 1][0] + found[frames - 1][1]
    return data[start:end], frames * 1152 / 44100


class SoundOnsets:
    """Records, from the null sink's monitor, where sound starts after at least `quiet` seconds
    of silence, in seconds of the monitor's own sample count. The monitor delivers silence too,
    so the count is the sink's timeline, however late the reader gets to it. Runs in a thread
    between start() and stop()."""

    RATE = 44100
    LOUD = 300  # a sample above this (of 32767) is sound

    def __init__(self, desk, quiet=0.15):
        self.desk, self.quiet = desk, quiet
        self.onsets = []
        self._proc = self._thread = None

    def start(self):
        self._proc = subprocess.Popen(["parec", "-d", NULL_SINK + ".monitor", "--raw", "--format=s16le",
                                       "--rate=44100", "--channels=2", "--latency-msec=20"],
                                      env=self.desk.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                      preexec_fn=_die_with_parent)
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()

    def _read(self):
        fd, rest, frame, last_loud = self._proc.stdout.fileno(), b"", 0, None
        while True:
            chunk = os.read(fd, 65536)
            if not chunk:
                return
            data = rest + chunk
            frames = len(data) // 4
            rest = data[frames * 4:]
            left = struct.unpack(f"<{frames * 2}h", data[:frames * 4])[0::2]
            for i, sample in enumerate(left):
                if abs(sample) > self.LOUD:
                    if last_loud is None or frame + i - last_loud > self.quiet * self.RATE:
                        self.onsets.append((frame + i) / self.RATE)
                    last_loud = frame + i
            frame += frames

    def stop(self):
        DesktopSession.stop_process(self._proc)
        self._thread.join(5)
        self._proc.stdout.close()


def monitor_level(desk, seconds=1.0):
    """(RMS, seconds read) of what the null sink plays, read from its monitor (16-bit stereo)
    for up to `seconds` of sound. An idle null sink delivers nothing: then (0.0, 0.0) after a
    few seconds."""
    want = int(44100 * seconds) * 4
    p = subprocess.Popen(["parec", "-d", NULL_SINK + ".monitor", "--raw", "--format=s16le",
                          "--rate=44100", "--channels=2"], env=desk.env, stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent)
    data = b""
    deadline = time.monotonic() + seconds + 5
    try:
        while len(data) < want and time.monotonic() < deadline:
            r, _, _ = select.select([p.stdout], [], [], 0.5)
            if r:
                chunk = os.read(p.stdout.fileno(), want - len(data))
                if not chunk:
                    break
                data += chunk
    finally:
        DesktopSession.stop_process(p)
        p.stdout.close()
    n = len(data) // 2
    if n == 0:
        return 0.0, 0.0
    samples = struct.unpack(f"<{n}h", data[:n * 2])
    return (sum(s * s for s in samples) / n) ** 0.5, n / 2 / 44100


# -- the program under test ------------------------------------------------------------------------

class Zumbolo:
    """One run of the program in a desktop session."""

    def __init__(self, desk, home, args=(), sink=FAKE_SINK, name="zumbolo", wrapper=()):
        self.desk, self.home, self.args, self.sink, self.name = desk, home, list(args), sink, name
        self.wrapper = list(wrapper)  # a command the program is started through
        self.trace = Trace(desk.path(name + ".trace"))
        self.proc = None
        self.main = None

    def start(self):
        env = {"ZUMBOLO_HOME": self.home, "ZUMBOLO_TRACE": self.trace.path, "QT_QPA_PLATFORM": "xcb"}
        if self.sink is not None:
            env["ZUMBOLO_AUDIO_SINK"] = self.sink
        self.proc = self.desk.spawn(self.name, self.wrapper + [BINARY] + self.args, extra_env=env)
        return self

    def alive(self):
        return self.proc.poll() is None

    def windows(self):
        """The program's viewable windows outside the tray, as xwininfo sees them."""
        ids = set(self.desk.search("--onlyvisible", "--class", "^zumbolo$"))
        tray = {w.id for w in self.desk.tray_icons("zumbolo")}
        return [w for w in self.desk.tree() if w.id in ids and w.id not in tray]

    def is_dialog(self, window):
        return "_NET_WM_WINDOW_TYPE_DIALOG" in self.desk.window_prop(window.id, "_NET_WM_WINDOW_TYPE")

    def wait_main_window(self, timeout=20):
        def probe():
            if not self.alive():
                raise AssertionError(f"the program exited with {self.proc.returncode}:\n"
                                     + self.desk.log_tail(self.name))
            mains = [w for w in self.windows() if w.name == "Zumbolo!" and not self.is_dialog(w)]
            return mains[0] if mains else None
        self.main = wait_until(probe, timeout, "the window \"Zumbolo!\" of class zumbolo")
        return self.main

    def dialogs(self):
        """Viewable dialogs titled "Zumbolo!" (the error box, the tally box)."""
        return [w for w in self.windows() if w.name == "Zumbolo!" and self.is_dialog(w)]

    def wait_exit(self, timeout):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise DesktopError(f"the program did not exit within {timeout} s") from None

    def kill(self):
        """Ends this run at once (SIGKILL: a SIGTERM would bring up the tally box and wait)."""
        if self.proc is not None:
            if self.alive():
                os.kill(self.proc.pid, signal.SIGKILL)
                self.proc.wait(5)
            self.desk.forget(self.proc)


class TimeLimit(Exception):
    pass


class E2ECase(unittest.TestCase):
    """Each check gets its own desktop, home folder and artifact folder."""

    pulse = False

    def setUp(self):
        self.artifacts = os.path.join(ARTIFACTS, self.id().split(".")[-1])
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts, exist_ok=True)

        def over_time(signum, frame):
            raise TimeLimit(f"the check ran over its {TEST_TIME_LIMIT} s")
        signal.signal(signal.SIGALRM, over_time)
        signal.alarm(TEST_TIME_LIMIT)
        self.addCleanup(signal.alarm, 0)

        self.desk = DesktopSession(pulse=self.pulse)
        self.desk.__enter__()
        self.addCleanup(self.desk.stop)
        self.addCleanup(self.keep_artifacts)
        self.home = self.desk.path("home-zumbolo")
        os.makedirs(self.home)
        self.runs = []

    def keep_artifacts(self):
        for name in os.listdir(self.desk.path("logs")):
            shutil.copy(self.desk.path("logs", name), self.artifacts)
        for run in self.runs:
            if os.path.exists(run.trace.path):
                shutil.copy(run.trace.path, self.artifacts)
        ini = os.path.join(self.home, "zumbolo.ini")
        if os.path.exists(ini):
            shutil.copy(ini, self.artifacts)

    def program(self, args=(), sink=FAKE_SINK, name="zumbolo", home=None, wrapper=()):
        run = Zumbolo(self.desk, home or self.home, args, sink, name, wrapper)
        self.runs.append(run)
        run.start()
        self.addCleanup(run.kill)
        return run

    def write_home(self, name, data):
        with open(os.path.join(self.home, name), "wb") as f:
            f.write(data)

    def shot(self, name):
        """A screenshot, saved as NAME.png (the whole screen) in the artifact folder."""
        img = self.desk.screenshot()
        xshot.write_png(img, os.path.join(self.artifacts, name + ".png"))
        return img

    def focus_is(self, wid):
        out = self.desk.run(["xdotool", "getwindowfocus"], check=False).strip()
        return out.isdigit() and int(out) == wid

    def wait_focus(self, window, timeout=5):
        return wait_until(lambda: self.focus_is(window.id), timeout,
                          f"the keyboard focus on 0x{window.id:x}")

    def wait_dialog(self, run, timeout=10):
        try:
            return wait_until(lambda: run.dialogs(), timeout, "a dialog titled \"Zumbolo!\"")[0]
        except DesktopError as error:
            seen = [(w, self.desk.window_prop(w.id, "_NET_WM_WINDOW_TYPE").strip()) for w in run.windows()]
            raise DesktopError(f"{error}\nthe program's viewable windows: {seen}\n"
                               + run.trace.tail()) from None

    def assertGeometry(self, window, expected, timeout=5):
        seen = []

        def probe():
            g = self.desk.geometry(window.id)
            seen.append(g)
            return g[:4] == tuple(expected)
        try:
            wait_until(probe, timeout, "")
        except DesktopError:
            self.fail(f"window 0x{window.id:x} {window.name!r}: expected (x, y, w, h) = {tuple(expected)}, "
                      f"saw {seen[-1][:4]} ({seen[-1][4]})")


# -- the checks ------------------------------------------------------------------------------------

class PlacementAndLook(E2ECase):
    def test_a_b_c_placement_transparency_stacking_taskbar(self):
        wa = self.desk.workarea()
        self.assertLess(wa[3], 800, f"the panel's strut did not shrink the work area: {wa}")
        run = self.program()
        main = run.wait_main_window()
        hx, hy = home_of(wa)
        # (a) at the work area's width - 250, height - 118, 192 x 64
        self.assertGeometry(main, (hx, hy, 192, 64))
        state = self.desk.net_wm_state(main.id)
        for needed in ("_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_ABOVE"):
            self.assertIn(needed, state, f"_NET_WM_STATE of the main window is {state}")
        klass = self.desk.window_prop(main.id, "WM_CLASS")
        self.assertRegex(klass, r'"zumbolo"', "WM_CLASS of the main window")

        # (b) white is transparent: every figure cell shows one pose of the default colour set
        # with the desktop colour wherever that pose is white.
        rect = (hx, hy, 192, 64)
        seen = []

        def cells_match():
            img = self.desk.screenshot()
            cells = figure_cells(img, rect)
            seen.append((img, cells))
            return all(pose is not None for pose, _ in cells)
        try:
            wait_until(cells_match, 10, "the three figures drawn with white transparent", interval=0.2)
        except DesktopError:
            img, cells = seen[-1]
            xshot.write_png(img, os.path.join(self.artifacts, "b_mismatch.png"))
            self.fail("the window's pixels are no pose on the desktop colour: "
                      + "; ".join(f"figure {i + 1}: {len(bad)} pixels differ, first {bad[:3]}"
                                  for i, (pose, bad) in enumerate(cells) if pose is None))
        img, cells = seen[-1]
        xshot.write_png(img, os.path.join(self.artifacts, "b_window.png"))
        xshot.write_png(img.crop(hx - 20, hy - 20, 232, 104), os.path.join(self.artifacts, "b_window_zoom.png"))
        poses = [pose for pose, _ in cells]
        self.assertTrue(any(p >= 0 for p in poses), f"all three figures are empty: {poses}")
        # The desktop shows through: pixels of the window's rectangle with the desktop colour.
        inside = img.crop(*rect)
        self.assertIn(bytes(ROOT_COLOUR), inside.colours(), "no desktop colour inside the window")
        self.assertGreater(len(inside.colours()), 2, "no figure colours inside the window")
        # Absent from the taskbar: tint2 shows no task button for it.
        self.assertEqual(task_buttons(img), 0, "tint2 shows a task button while only zumbolo runs")

        # (c) above other windows: an ordinary window opened over it stays below it.
        other = self.desk.spawn("xmessage", ["xmessage", "-geometry", f"300x140+{hx - 60}+{hy - 50}",
                                             "an ordinary window over the figures"])
        msg = wait_until(lambda: self.desk.search("--onlyvisible", "--pid", str(other.pid))
                         or self.desk.search("--onlyvisible", "--name", "^xmessage$"), 10, "xmessage")[0]
        self.desk.xdotool("windowactivate", msg)
        self.desk.xdotool("windowraise", msg)

        def order():
            stack = self.desk.stacking()
            return stack if msg in stack and main.id in stack else None
        stack = wait_until(order, 5, "both windows in _NET_CLIENT_LIST_STACKING")
        self.assertGreater(stack.index(main.id), stack.index(msg),
                           f"the main window 0x{main.id:x} is below xmessage 0x{msg:x}: "
                           f"stacking bottom to top {[hex(w) for w in stack]}")
        # The figures still show over xmessage: each cell holds some pose's figure pixels
        # exactly (its white pixels now let xmessage show through).
        sheet = picture("poses1.bmp")
        masks = [[(x, y, sheet.pixel(64 * p + x, y)) for y in range(64) for x in range(64)
                  if sheet.pixel(64 * p + x, y) != WHITE] for p in range(12)]
        seen = []

        def figures_on_top():
            img = self.desk.screenshot()
            covered = []
            for i in range(3):
                bad = [sum(1 for x, y, c in mask if img.pixel(hx + 64 * i + x, hy + y) != c)
                       for mask in masks]
                covered.append((bad.index(min(bad)), min(bad)))
            seen.append((img, covered))
            return all(n == 0 for _, n in covered)
        mx, my, mw, mh, _ = self.desk.geometry(msg)
        self.assertTrue(mx <= hx and my <= hy and mx + mw >= hx + 192 and my + mh >= hy + 64,
                        f"xmessage at {(mx, my, mw, mh)} does not cover the figures at {rect}")
        try:
            wait_until(figures_on_top, 5, "the figures drawn over xmessage", interval=0.2)
        except DesktopError:
            self.fail(f"figures covered by xmessage (best pose, differing figure pixels): {seen[-1][1]}")
        finally:
            img = seen[-1][0] if seen else self.desk.screenshot()
            xshot.write_png(img, os.path.join(self.artifacts, "c_over_xmessage.png"))
        self.assertEqual(task_buttons(img), 1, "xmessage should have the only task button")
        state = self.desk.net_wm_state(main.id)
        self.assertIn("_NET_WM_STATE_SKIP_TASKBAR", state, f"_NET_WM_STATE is {state}")

    def test_figures_come_back_after_an_expose_while_the_program_sleeps(self):
        wa = self.desk.workarea()
        run = self.program()
        main = run.wait_main_window()
        hx, hy = home_of(wa)
        rect = (hx, hy, 192, 64)
        seen = []

        def cells(want_all):
            img = self.desk.screenshot()
            found = figure_cells(img, rect)
            seen.append((img, found))
            drawn = [pose is not None for pose, _ in found]
            return all(drawn) if want_all else not any(drawn)
        wait_until(lambda: cells(True), 10, "the three figures drawn", interval=0.2)

        # A window the window manager does not stack (override-redirect) goes over the figures.
        other = self.desk.spawn("xmessage", ["xmessage", "-geometry", f"300x140+{hx - 60}+{hy - 50}",
                                             "a window over the figures"])
        msg = wait_until(lambda: self.desk.search("--onlyvisible", "--pid", str(other.pid))
                         or self.desk.search("--onlyvisible", "--name", "^xmessage$"), 10, "xmessage")[0]
        self.desk.xdotool("set_window", "--overrideredirect", "1", str(msg))
        self.desk.xdotool("windowunmap", "--sync", str(msg))
        self.desk.xdotool("windowmap", "--sync", str(msg))
        self.desk.xdotool("windowmove", "--sync", str(msg), str(hx - 60), str(hy - 50))
        try:
            wait_until(lambda: cells(False), 5, "the figures covered", interval=0.2)
        except DesktopError:
            xshot.write_png(seen[-1][0], os.path.join(self.artifacts, "not_covered.png"))
            self.fail(f"the override-redirect window does not cover the figures: {seen[-1][1]}")

        # The program cannot paint while stopped: what the uncovered window shows, the X server
        # draws by itself.
        os.kill(run.proc.pid, signal.SIGSTOP)
        try:
            self.desk.xdotool("windowunmap", "--sync", str(msg))
            try:
                wait_until(lambda: cells(True), 5, "the figures drawn again", interval=0.2)
            except DesktopError:
                xshot.write_png(seen[-1][0], os.path.join(self.artifacts, "after_expose.png"))
                self.fail("with the program stopped, the exposed window shows no figures: "
                          + "; ".join(f"figure {i + 1}: {len(bad)} pixels differ"
                                      for i, (pose, bad) in enumerate(seen[-1][1]) if pose is None))
        finally:
            os.kill(run.proc.pid, signal.SIGCONT)
        xshot.write_png(seen[-1][0], os.path.join(self.artifacts, "after_expose.png"))

    def test_mini_mode_window(self):
        run = self.program(["/m"])
        main = run.wait_main_window()
        hx, hy = home_of(self.desk.workarea())
        self.assertGeometry(main, (hx, hy, 96, 32))
        seen = []

        def cells_match():
            img = self.desk.screenshot()
            cells = figure_cells(img, (hx, hy, 96, 32), scale=2)
            seen.append((img, cells))
            return all(pose is not None for pose, _ in cells)
        try:
            wait_until(cells_match, 10, "three half-size figures", interval=0.2)
        except DesktopError:
            img, cells = seen[-1]
            xshot.write_png(img, os.path.join(self.artifacts, "mini_mismatch.png"))
            self.fail("the mini figures are no pose halved by nearest neighbour: "
                      + "; ".join(f"figure {i + 1}: {len(bad)} pixels differ, first {bad[:3]}"
                                  for i, (pose, bad) in enumerate(cells) if pose is None))
        xshot.write_png(seen[-1][0].crop(hx - 20, hy - 20, 136, 72), os.path.join(self.artifacts, "mini.png"))


class Tray(E2ECase):
    def tray_icon(self, run):
        icons = wait_until(lambda: [w for w in self.desk.tray_icons("zumbolo") if w.width <= 64],
                           15, "the program's icon in tint2's tray")
        return icons[0]

    def test_d_tray_left_click_stops_and_starts_right_click_menu(self):
        run = self.program()
        run.wait_main_window()
        tr = run.trace
        tr.wait_for(r"beat 1 0", 10)
        icon = self.tray_icon(run)
        cx, cy = icon.x + icon.width // 2, icon.y + icon.height // 2
        mark = len(tr.lines())
        self.desk.click(cx, cy, 1)
        i = tr.wait_for(r"caption 開始", 5, mark)
        tr.wait_for(r"enabled 0", 1, mark)
        time.sleep(1.0)  # no beat while stopped
        self.assertIsNone(tr.find(r"beat \d+ \d", i), "beats went on after the stop:\n" + tr.tail(i))
        mark = len(tr.lines())
        self.desk.click(cx, cy, 1)
        tr.wait_for(r"caption 停止", 5, mark)
        tr.wait_for(r"enabled 1", 1, mark)
        tr.wait_for(r"beat 1 0", 3, mark)

        # A double click: its first click stops the beat, the double click itself does nothing.
        mark = len(tr.lines())
        time.sleep(self.desk.DOUBLE_CLICK_GAP)
        self.desk.xdotool("click", "--repeat", 2, "--delay", 120, 1)
        self.desk._last_press[1] = time.monotonic()
        tr.wait_for(r"caption 開始", 5, mark)
        time.sleep(1.0)  # time for a wrongly taken second click to show
        self.assertEqual(len(tr.find_all(r"caption .*", mark)), 1,
                         "a double click on the icon should toggle once:\n" + tr.tail(mark))
        mark = len(tr.lines())
        self.desk.click(cx, cy, 1)
        tr.wait_for(r"caption 停止", 5, mark)
        tr.wait_for(r"beat 1 0", 3, mark)

        # Right click: a popup menu appears at the cursor; Escape closes it.
        mark = len(tr.lines())
        before = {w.id for w in run.windows()}
        self.desk.click(cx, cy, 3)
        menu = wait_until(lambda: [w for w in run.windows() if w.id not in before and w.height > 100],
                          5, "a new window of the program after the right click (the menu)")[0]
        self.shot("d_menu")
        # At the cursor: the cursor is in the panel, so the menu, kept inside the work area,
        # lies just above it.
        wa = self.desk.workarea()
        gap_x = max(menu.x - cx, cx - (menu.x + menu.width), 0)
        gap_y = max(menu.y - cy, cy - (menu.y + menu.height), 0)
        self.assertLessEqual(max(gap_x, gap_y), 32,
                             f"the menu {menu} is not at the cursor ({cx}, {cy})")
        self.assertTrue(menu.x >= wa[0] and menu.y >= wa[1] and menu.x + menu.width <= wa[0] + wa[2]
                        and menu.y + menu.height <= wa[1] + wa[3],
                        f"the menu {menu} reaches out of the work area {wa}")
        self.assertIsNotNone(tr.find(r"foreground", mark),
                             "the right click did not bring the main window to the front:\n" + tr.tail(mark))
        self.desk.key("Escape")
        wait_until(lambda: not self.desk.viewable(menu.id), 5, "the menu to close on Escape")
        mark = len(tr.lines())
        tr.wait_for(r"beat \d+ \d", 3, mark)  # the beat goes on

        # The menu's Exit, by its keyboard accelerator: the tally box, then the end.
        self.desk.click(cx, cy, 3)
        wait_until(lambda: [w for w in run.windows() if w.id not in before and w.height > 100],
                   5, "the menu again")
        self.desk.key("x")
        tr.wait_for(r"message .*", 5, mark)
        box = self.wait_dialog(run)
        self.wait_focus(box)
        self.desk.key("Return")
        self.assertEqual(run.wait_exit(10), 0, "exit status after 終了 and the tally box")


class Keys(E2ECase):
    def test_e_space_v_and_arrows_on_the_focused_window(self):
        run = self.program()
        main = run.wait_main_window()
        tr = run.trace
        tr.wait_for(r"beat 1 0", 10)
        hx, hy = home_of(self.desk.workarea())
        # A click on a figure focuses the window and, being a click on the figures, stops the beat.
        mark = len(tr.lines())
        fx, fy = figure_point()
        self.desk.click(hx + 64 + fx, hy + fy)
        tr.wait_for(r"caption 開始", 5, mark)
        self.wait_focus(main)

        mark = len(tr.lines())
        self.desk.key("space")
        i = tr.wait_for(r"caption 停止", 5, mark)
        tr.wait_for(r"enabled 1", 1, mark)
        tr.wait_for(r"beat 1 0", 3, i)
        mark = len(tr.lines())
        self.desk.key("space")
        tr.wait_for(r"caption 開始", 5, mark)
        tr.wait_for(r"enabled 0", 1, mark)

        # The arrows move the window by 10 pixels each.
        for key, word, value, where in (("Up", "top", hy - 10, (hx, hy - 10)),
                                        ("Left", "left", hx - 10, (hx - 10, hy - 10)),
                                        ("Down", "top", hy, (hx - 10, hy)),
                                        ("Right", "left", hx, (hx, hy))):
            mark = len(tr.lines())
            self.desk.key(key)
            tr.wait_for(f"{word} {value}", 5, mark)
            self.assertGeometry(main, where + (192, 64))

        # V forces hits: started again, the first stop of the reels is a hit.
        mark = len(tr.lines())
        self.desk.key("v")
        tr.wait_for(r"check avictory 1", 5, mark)
        self.desk.key("space")
        i = tr.wait_for(r"caption 停止", 5, mark)
        j = tr.wait_for(r"hits 1 1", 6, i)
        self.assertIsNotNone(tr.find(r"beat 7 0", i), "no spin beat 7 before the hit:\n" + tr.tail(i))
        self.assertLess(tr.find(r"beat 7 0", i), j)
        mark = len(tr.lines())
        self.desk.key("v")
        tr.wait_for(r"check avictory 0", 5, mark)


class Show(E2ECase):
    # The Funiculì show (beats 12 to 39 of its script): the pose drawn on each beat.
    FUNICULI_POSES = dict(zip(range(12, 40), [
        1,                                                        # 12
        0, 5, 2, 6, 1, 5, 2, 6, 1, 6, 9, 5, 0, 5, 11, 6,           # 13-28
        2, 1,                                                     # 29-30
        0, 5, 2, 6, 1, 5, 2, 6, 1,                                # 31-39
    ]))

    def test_f_forced_hit_plays_a_short_show_with_sound(self):
        self.write_home("zumbolo.ini", b"[mode]\r\nmode=3\r\n")  # フニクリ・フニクラ
        fun, duration = short_track("fun.mp3", 400)
        self.write_home("fun.res", fun)
        run = self.program(["/v"])
        main = run.wait_main_window()
        hx, hy = home_of(self.desk.workarea())
        tr = run.trace
        hit = tr.wait_for(r"hits 1 1", 15)
        tr.wait_for(r"player render eye\.res", 5, hit)
        load = tr.wait_for(r"player render fun\.res", 10, hit)
        play = tr.wait_for(r"player play", 10, load)
        celebration = None

        # Beat 11 shows the celebration, beat 12 begins the show.
        shown = tr.wait_for(r"form2 show", 15, play)
        celebration = wait_until(lambda: [w for w in run.windows() if w.name == "Zumbolo! celebration"],
                                 5, "the window \"Zumbolo! celebration\" mapped")[0]
        self.assertGeometry(celebration, (hx + 30, hy - 230, 136, 201))
        img = self.shot("f_celebration")
        bad = keyed_mismatches(img, hx + 30, hy - 230, picture("celebration.bmp"), BLACK)
        self.assertEqual(len(bad), 0, f"the celebration is not its picture with black transparent: "
                                      f"{len(bad)} pixels differ, first {bad[:3]}")
        end = tr.wait_for(r"dance 110", duration + 10, shown)
        lines = tr.lines()
        played_for = (lines[end][0] - lines[play][0]) / 1000
        self.assertAlmostEqual(played_for, duration, delta=0.25,
                               msg=f"the show ended {played_for:.3f} s after 'player play'; the track "
                                   f"lasts {duration:.3f} s")
        # The show's beats, each with the pose of the script.
        beats = [(i, int(m.group(1))) for i, (_, t) in enumerate(lines[shown:end], shown)
                 for m in [re.fullmatch(r"beat (\d+) 3", t)] if m]
        self.assertGreaterEqual(len(beats), 5, "too few show beats:\n" + tr.tail(shown))
        self.assertEqual(beats[0][1], 12, "the first show beat")
        for k, (i, n) in enumerate(beats):
            stop = beats[k + 1][0] if k + 1 < len(beats) else end
            drawn = [t for _, t in lines[i + 1:stop] if t.startswith("pose ")]
            if n in self.FUNICULI_POSES:
                self.assertEqual(drawn[:1], [f"pose {self.FUNICULI_POSES[n]}"],
                                 f"beat {n} drew {drawn}:\n" + "\n".join(t for _, t in lines[i:stop]))
        self.assertIsNotNone(tr.find(r"foreground", beats[0][0]), "beat 12 brings no window to the front")

        # The end: the balloon for three seconds, then the restart.
        b = tr.wait_for(r"form3 show", 2, end)
        balloon = wait_until(lambda: [w for w in run.windows() if w.name == "Zumbolo! balloon"],
                             5, "the window \"Zumbolo! balloon\" mapped")[0]
        self.assertGeometry(balloon, (hx + 30, hy - 75, 131, 72))
        wait_until(lambda: not self.desk.viewable(celebration.id), 3, "the celebration hidden")
        img = self.shot("f_balloon")
        bad = keyed_mismatches(img, hx + 30, hy - 75, picture("balloon.bmp"), RED)
        self.assertEqual(len(bad), 0, f"the balloon is not its picture with red transparent: "
                                      f"{len(bad)} pixels differ, first {bad[:3]}")
        hide = tr.wait_for(r"form3 hide", 6, b)
        lines = tr.lines()
        waited = (lines[hide][0] - lines[end][0]) / 1000
        self.assertAlmostEqual(waited, 3.0, delta=0.2, msg=f"the balloon stayed {waited:.3f} s")
        wait_until(lambda: not self.desk.viewable(balloon.id), 3, "the balloon hidden")
        r = tr.wait_for(r"player render kokab\.res", 3, hide)
        c = tr.wait_for(r"caption 停止", 3, r)
        tr.wait_for(r"enabled 1", 3, c)
        tr.wait_for(r"beat 1 0", 3, c)
        self.assertGeometry(main, (hx, hy, 192, 64))  # back at rest
        with open(os.path.join(self.home, "fun.res"), "rb") as f:
            self.assertEqual(f.read(), fun, "the program rewrote an existing track file")


class Closing(E2ECase):
    def read_ini(self):
        with open(os.path.join(self.home, "zumbolo.ini"), "rb") as f:
            text = f.read().decode("cp932", errors="replace")
        sections, current = [], None
        for line in text.splitlines():
            line = line.strip()
            m = re.fullmatch(r"\[(.*)\]", line)
            if m:
                current = (m.group(1), {})
                sections.append(current)
            elif "=" in line and current is not None:
                key, _, value = line.partition("=")
                current[1][key] = value
        return text, sections

    def test_g_window_manager_close_writes_the_ini_and_shows_the_tally(self):
        run = self.program()
        main = run.wait_main_window()
        hx, hy = home_of(self.desk.workarea())
        tr = run.trace
        tr.wait_for(r"beat 1 0", 10)
        self.tray_icon_present = wait_until(lambda: self.desk.tray_icons("zumbolo"), 15, "the tray icon")
        self.assertFalse(os.path.exists(os.path.join(self.home, "zumbolo.ini")), "zumbolo.ini before closing")
        mark = len(tr.lines())
        self.desk.run(["wmctrl", "-i", "-c", hex(main.id)])
        m = tr.wait_for(r"message .*", 10, mark)
        self.assertEqual(tr.at(m)[1], r"message 今回の当たりは0回\n今日の当たりは0回でした")
        self.assertIsNotNone(tr.find(r"enabled 0", mark), "the beat clock was not stopped:\n" + tr.tail(mark))
        box = self.wait_dialog(run)
        self.shot("g_tally")
        # The settings are written before the box shows, its sections in this order.
        text, sections = self.read_ini()
        names = [s for s, _ in sections]
        self.assertEqual(names, ["num", "form", "date", "sound", "mode", "color", "option"], f"zumbolo.ini:\n{text}")
        values = {s: kv for s, kv in sections}
        self.assertEqual(values["num"], {"ritu": "100"}, text)
        self.assertEqual(values["form"], {"left": str(hx), "top": str(hy)}, text)
        self.assertEqual(list(values["date"].values()), ["0"], text)
        self.assertEqual(values["sound"], {"koka": "0"}, text)
        self.assertEqual(values["mode"], {"mode": "3", "random": "0"}, text)
        self.assertEqual(values["color"], {"redchar": "1"}, text)
        self.assertEqual(values["option"], {"fullscreen": "1", "volume": "100"}, text)
        # The icon has left the tray while the box is up.
        wait_until(lambda: not self.desk.tray_icons("zumbolo"), 3, "the tray icon removed")
        # The box sits with its top-left at (HomeLeft - 180, HomeTop - 50).
        left, right, top, bottom = self.desk.frame_extents(box.id)
        g = self.desk.geometry(box.id)
        frame_at, client_at = (g[0] - left, g[1] - top), (g[0], g[1])
        self.assertIn((hx - 180, hy - 50), (frame_at, client_at),
                      f"the tally box's frame is at {frame_at}, its client at {client_at}")
        wtype = self.desk.window_prop(box.id, "_NET_WM_WINDOW_TYPE")
        self.assertIn("_NET_WM_WINDOW_TYPE_DIALOG", wtype)
        self.assertRegex(self.desk.window_prop(box.id, "WM_TRANSIENT_FOR"), r"0x[0-9a-f]+",
                         "the tally box is not transient for a window")
        self.wait_focus(box)
        self.desk.key("Return")
        self.assertEqual(run.wait_exit(10), 0, "exit status after the tally box")
        self.assertEqual(len(tr.find_all(r"message .*")), 1, "the close handling ran more than once:\n"
                         + tr.tail(mark))

    def test_g_sigterm_closes_the_same_way(self):
        self.write_home("zumbolo.ini", b"[form]\r\nleft=500\r\ntop=300\r\n[num]\r\nritu=500\r\n")
        run = self.program()
        main = run.wait_main_window()
        self.assertGeometry(main, (500, 300, 192, 64))  # the stored place is used
        tr = run.trace
        tr.wait_for(r"beat 1 0", 10)
        mark = len(tr.lines())
        os.kill(run.proc.pid, signal.SIGTERM)
        tr.wait_for(r"message .*", 10, mark)
        box = self.wait_dialog(run)
        text, sections = self.read_ini()
        values = {s: kv for s, kv in sections}
        self.assertEqual(values.get("form"), {"left": "500", "top": "300"}, text)
        self.assertEqual(values.get("num"), {"ritu": "500"}, text)
        self.wait_focus(box)
        self.desk.key("Return")
        self.assertEqual(run.wait_exit(10), 0, "exit status after SIGTERM and the tally box")


class SingleInstance(E2ECase):
    def test_h_second_instance_exits_at_once(self):
        first = self.program(name="first")
        first.wait_main_window()
        first.trace.wait_for(r"beat 1 0", 10)
        started = time.monotonic()
        second = self.program(name="second")
        status = second.wait_exit(5)
        took = time.monotonic() - started
        self.assertEqual(status, 0, "exit status of the second instance")
        self.assertLess(took, 3.0, f"the second instance took {took:.2f} s to exit")
        self.assertEqual(len([w for w in first.windows() if w.name == "Zumbolo!"]), 1,
                         "windows titled Zumbolo! after the second start")
        self.assertFalse([l for l in second.trace.lines() if l[1].startswith("beat")],
                         "the second instance beat")
        mark = len(first.trace.lines())
        first.trace.wait_for(r"beat \d+ \d", 3, mark)
        self.assertTrue(first.alive(), "the first instance ended")
        # The lock dies with its process: after a crash of the first, a new start runs.
        os.kill(first.proc.pid, signal.SIGKILL)
        first.proc.wait(5)
        third = self.program(name="third")
        third.wait_main_window()
        third.trace.wait_for(r"beat 1 0", 10)


class BrokenTrack(E2ECase):
    def test_i_broken_track_gives_an_error_box_and_the_program_goes_on(self):
        junk = b"this is not an MP3 file\n" * 200
        self.write_home("kokab.res", junk)
        run = self.program()
        tr = run.trace
        err = tr.wait_for(r"error .+", 15)
        box = self.wait_dialog(run)
        self.shot("i_error_box")
        self.wait_focus(box)
        self.desk.key("Return")
        wait_until(lambda: not self.desk.viewable(box.id), 5, "the error box to close on Return")
        main = run.wait_main_window()
        mark = len(tr.lines())
        # The figures spin on: a whole spin cycle after the box is gone, and no new error.
        tr.wait_for(r"beat 7 0", 8, mark)
        tr.wait_for(r"beat 1 0", 8, mark)
        self.assertTrue(self.desk.viewable(main.id), "the main window is gone")
        self.assertIsNone(tr.find(r"error .+", err + 1),
                          "further errors after the first was closed:\n" + tr.tail(err))
        self.assertFalse(run.dialogs(), "another dialog is up")
        with open(os.path.join(self.home, "kokab.res"), "rb") as f:
            self.assertEqual(f.read(), junk, "the program replaced the broken track file")


class UnreadableSettings(E2ECase):
    def test_an_unreadable_settings_file_is_told_once_and_never_written(self):
        mine = b"[num]\r\nritu=5\r\n[date]\r\n12/8/26=40\r\n[form]\r\nleft=500\r\ntop=300\r\n"
        self.write_home("zumbolo.ini", mine)
        ini = os.path.join(self.home, "zumbolo.ini")
        os.chmod(ini, 0)
        self.addCleanup(os.chmod, ini, 0o644)
        # The superuser reads any file: the program runs without that right, as a user would.
        wrapper = []
        if os.geteuid() == 0:
            if not shutil.which("setpriv"):
                self.skipTest("running as the superuser, and no setpriv to drop its file rights")
            wrapper = ["setpriv", "--bounding-set", "-dac_override,-dac_read_search", "--"]
        run = self.program(wrapper=wrapper)
        tr = run.trace
        err = tr.wait_for(r"error .+", 15)
        told = tr.text(err)[len("error "):]
        self.assertIn(ini, told)
        self.assertIsNone(re.search(r"[A-Za-z]", told.replace(ini, "")), f"not in Japanese: {told}")
        box = self.wait_dialog(run)
        self.shot("unreadable_settings_box")
        self.wait_focus(box)
        self.desk.key("Return")
        wait_until(lambda: not self.desk.viewable(box.id), 5, "the error box to close on Return")
        # The program runs on with the defaults: at home, not at the stored place.
        main = run.wait_main_window()
        hx, hy = home_of(self.desk.workarea())
        self.assertGeometry(main, (hx, hy, 192, 64))
        tr.wait_for(r"beat 7 0", 10)
        mark = len(tr.lines())
        self.desk.run(["wmctrl", "-i", "-c", hex(main.id)])
        tr.wait_for(r"message .*", 10, mark)
        tally = self.wait_dialog(run)
        self.wait_focus(tally)
        self.desk.key("Return")
        self.assertEqual(run.wait_exit(10), 0, "exit status after the tally box")
        self.assertEqual(len(tr.find_all(r"error .*")), 1, "told more than once:\n" + tr.tail())
        # Nothing was written: the file, its bytes and its permissions are as they were.
        self.assertEqual(os.stat(ini).st_mode & 0o7777, 0)
        with open(ini, "rb") as f:
            self.assertEqual(f.read(), mine)
        self.assertEqual(sorted(n for n in os.listdir(self.home) if "zumbolo.ini" in n), ["zumbolo.ini"])


class BrokenSong(E2ECase):
    def test_a_show_whose_song_cannot_be_loaded_ends_after_the_error_box(self):
        # Every spin a hit, the Funiculì show, whose track is no MP3 file.
        self.write_home("zumbolo.ini", b"[mode]\r\nmode=3\r\n")
        self.write_home("fun.res", b"this is not an MP3 file\n" * 200)
        run = self.program(["/v"])
        main = run.wait_main_window()
        hx, hy = home_of(self.desk.workarea())
        tr = run.trace
        load = tr.wait_for(r"player render fun\.res", 20)
        err = tr.wait_for(r"error .+", 5, load)
        box = self.wait_dialog(run)
        self.shot("error_box")
        self.wait_focus(box)
        self.desk.key("Return")
        wait_until(lambda: not self.desk.viewable(box.id), 5, "the error box to close on Return")
        # Then the show ends as at its song's end: the balloon for three seconds, and the restart.
        b = tr.wait_for(r"form3 show", 3, err)
        self.assertEqual([tr.text(i) for i in range(b - 3, b + 1)],
                         ["enabled 0", "form2 hide", "player stop", "form3 show"], tr.tail(err))
        balloon = wait_until(lambda: [w for w in run.windows() if w.name == "Zumbolo! balloon"],
                             5, "the window \"Zumbolo! balloon\" mapped")[0]
        self.assertGeometry(balloon, (hx + 30, hy - 75, 131, 72))
        hide = tr.wait_for(r"form3 hide", 6, b)
        waited = (tr.ms(hide) - tr.ms(b)) / 1000
        self.assertAlmostEqual(waited, 3.0, delta=0.2, msg=f"the balloon stayed {waited:.3f} s")
        r = tr.wait_for(r"player render kokab\.res", 3, hide)
        tr.wait_for(r"beat 1 0", 3, r)
        self.assertGeometry(main, (hx, hy, 192, 64))
        self.assertEqual(len(tr.find_all(r"error .+")), 1, "more than one error:\n" + tr.tail(err))


class Sound(E2ECase):
    pulse = True

    def test_background_music_reaches_pulseaudio(self):
        # A tone as the background music (the program leaves an existing track file alone).
        tone = self.desk.path("tone.mp3")
        tone_mp3(self.desk, tone, 300)
        with open(tone, "rb") as f:
            self.write_home("spring.res", f.read())
        self.write_home("zumbolo.ini", b"[sound]\r\nkoka=1\r\n")  # ＢＧＭ
        run = self.program(sink=None)  # the default sink: autoaudiosink finds PulseAudio
        run.wait_main_window()
        run.trace.wait_for(r"player play", 10)
        self.assertHeard(run, "its tone")

    def test_spin_sound_reaches_pulseaudio(self):
        # A short tone as the spin sound, which is played from memory.
        tone = self.desk.path("tone.mp3")
        tone_mp3(self.desk, tone, 120)  # 3.1 s, replayed every spin of 3.24 s
        with open(tone, "rb") as f:
            self.write_home("kokab.res", f.read())
        self.write_home("zumbolo.ini", b"[num]\r\nritu=2147483647\r\n")  # spins only
        run = self.program(sink=None)
        run.wait_main_window()
        run.trace.wait_for(r"player play", 10)
        self.assertHeard(run, "the spin sound")

    def test_background_music_loops_on_time(self):
        # Nothing records the null sink's monitor here: with no other stream on it, a sink that
        # kept the pipeline's clock ended the first stretch of a track 0.5-1.2 s late.
        spring, duration = short_track("spring.mp3", 100)
        self.write_home("spring.res", spring)
        self.write_home("zumbolo.ini", b"[sound]\r\nkoka=1\r\n")  # ＢＧＭ
        run = self.program(sink=None)
        tr = run.trace
        play = tr.wait_for(r"player play", 10)
        seek = tr.find(r"player seek \d+")
        loops = [tr.wait_for(r"player play", duration + 5, play + 1)]
        loops.append(tr.wait_for(r"player play", duration + 5, loops[0] + 1))
        rewound_to = int(tr.text(seek).split()[-1]) / 1e7  # 100 ns units
        expected = duration - rewound_to
        plays = [tr.ms(i) for i in [play] + loops]
        for a, b in zip(plays, plays[1:]):
            self.assertAlmostEqual((b - a) / 1000, expected, delta=0.1,
                                   msg=f"the music played from {rewound_to:.3f} s to its end ({duration:.3f} s) "
                                       f"in {(b - a) / 1000:.3f} s; plays at {plays} ms")

    def test_each_sound_starts_when_it_is_played(self):
        # A forced hit: the spin sound, the celebration's sound and the show's music, each
        # rendered a while before it is played (the show's music during the lead-in).
        self.write_home("zumbolo.ini", b"[mode]\r\nmode=3\r\n")  # フニクリ・フニクラ
        fun, duration = short_track("fun.mp3", 200)
        self.write_home("fun.res", fun)
        onsets = SoundOnsets(self.desk)
        onsets.start()
        try:
            time.sleep(0.5)  # the null sink runs for its monitor before the program starts
            run = self.program(["/v"], sink=None)
            tr = run.trace
            load = tr.wait_for(r"player render fun\.res", 20)
            tr.wait_for(r"player play", 10, load)
            time.sleep(1.5)
        finally:
            onsets.stop()
        lines = tr.lines()
        plays = [ms for ms, text in lines if text == "player play"]
        renders = [text.split()[-1] for _, text in lines if text.startswith("player render")]
        self.assertEqual(renders[:3], ["kokab.res", "eye.res", "fun.res"], tr.tail())
        self.assertEqual(len(plays), 3, "one play of each track:\n" + tr.tail())
        self.assertTrue(onsets.onsets, "no sound reached the null sink")
        # The trace's clock is the program's; the monitor's lags by PulseAudio's latency. So
        # the sounds are compared with each other: each must start as long after the first as
        # the program played it after the first. The monitor's timeline is not exact where the
        # sink rewinds for a new stream (up to 0.07 s here), hence the tolerance; a sound that
        # waited for its stream came 0.8 s and 2.8 s late.
        first = onsets.onsets[0]
        found = ", ".join(f"{(t - first) * 1000:.0f}" for t in onsets.onsets)
        print(f"played at {[ms - plays[0] for ms in plays]} ms; sounds began at {found} ms")
        for k in (1, 2):
            expected = first + (plays[k] - plays[0]) / 1000
            near = [t for t in onsets.onsets if abs(t - expected) < 0.4]
            self.assertTrue(near, f"play {k + 1} ({renders[k]}) at {plays[k] - plays[0]} ms after the "
                                  f"first: no sound began near it; sounds began at {found} ms")
            self.assertAlmostEqual(near[0], expected, delta=0.15,
                                   msg=f"{renders[k]} began {(near[0] - first) * 1000:.0f} ms after the first "
                                       f"sound; it was played {plays[k] - plays[0]} ms after it")
        # And the show ends with its music.
        end = tr.wait_for(r"dance 110", duration + 10)
        played_for = (tr.ms(end) - plays[2]) / 1000
        self.assertAlmostEqual(played_for, duration, delta=0.25,
                               msg=f"the show ended {played_for:.3f} s after its music was played; the music "
                                   f"lasts {duration:.3f} s")

    def assertHeard(self, run, what):
        def stream():
            text = self.desk.run(["pactl", "list", "sink-inputs"], timeout=5)
            for block in text.split("\n\n"):
                if re.search(rf'application\.process\.id = "{run.proc.pid}"', block):
                    return block
            return None
        block = wait_until(stream, 10, "the program's stream in `pactl list sink-inputs`")
        self.assertRegex(block, r"Corked: no", f"the stream is corked:\n{block}")
        # An idle null sink takes a moment to wake up: the first half second may be silence.
        for _ in range(4):
            level, heard = monitor_level(self.desk, 1.0)
            if level > 1000:
                break
        self.assertGreater(heard, 0.9, f"the null sink's monitor gave {heard:.2f} s of sound in a "
                                       f"second while the program plays {what}:\n{block}")
        self.assertGreater(level, 1000, f"the null sink's monitor is quiet (RMS {level:.0f}) "
                                        f"while the program plays {what}:\n{block}")


def assert_conforms(case, run):
    """The program's whole run, held line by line against zumbolo-sim's (tools/conformance)."""
    result = conformance.check(run.trace.path, SIM, keep=case.artifacts)
    print(result.report)
    case.assertTrue(result.ok, "the program and zumbolo-sim part:\n" + result.report)


def close_and_confirm(case, run):
    """Closes the program as the session's end does (SIGTERM): the tally box, OK, the end."""
    mark = len(run.trace.lines())
    os.kill(run.proc.pid, signal.SIGTERM)
    end_at_tally_box(case, run, mark)


def end_at_tally_box(case, run, mark):
    run.trace.wait_for(r"message .*", 10, mark)
    box = case.wait_dialog(run)
    case.wait_focus(box)
    case.desk.key("Return")
    case.assertEqual(run.wait_exit(10), 0, "exit status after the tally box")


class DesktopCitizen(E2ECase):
    """What makes the program keep out of the way: stepping aside for full-screen windows, the
    volume, the start at login, and its place on every layout of screens and panels."""

    # The keys that reach the "オプション" submenu from a freshly opened menu: "終了(&X)" is the
    # last item and "オプション" the one above it. Its items: "全画面のときは隠れる", "音量"
    # (a submenu: 100%, 75%, 50%, 25%, 消音), "ログイン時に起動".
    OPTIONS = ("Up", "Up", "Right")
    VOLUME = OPTIONS + ("Down", "Right")
    AUTOSTART = OPTIONS + ("Down", "Down")

    def menu(self, run, *keys):
        """Opens the tray icon's menu and types `keys` into it."""
        icon = wait_until(lambda: [w for w in self.desk.tray_icons("zumbolo") if w.width <= 64],
                          15, "the program's icon in tint2's tray")[0]
        before = {w.id for w in run.windows()}
        self.desk.click(icon.x + icon.width // 2, icon.y + icon.height // 2, 3)
        wait_until(lambda: [w for w in run.windows() if w.id not in before and w.height > 100],
                   5, "the menu after the right click")
        self.desk.key(*keys)

    def tone_home(self, name, frames):
        tone = self.desk.path(name + ".mp3")
        tone_mp3(self.desk, tone, frames)
        with open(tone, "rb") as f:
            self.write_home(name, f.read())

    def level(self):
        """RMS of half a second of the null sink's monitor."""
        return monitor_level(self.desk, 0.5)[0]

    def assertLoud(self, what):
        levels = []
        for _ in range(6):
            levels.append(self.level())
            if levels[-1] > 1000:
                return
        self.fail(f"the null sink's monitor is quiet while {what}: RMS {levels}")

    def assertSilent(self, what):
        level, heard = monitor_level(self.desk, 1.0)
        self.assertLess(level, 30, f"the null sink's monitor is not silent while {what}: RMS {level:.0f} "
                                   f"in {heard:.2f} s")


class FullScreen(DesktopCitizen):
    pulse = True

    def test_a_full_screen_window_hides_the_figures_and_stops_the_music_until_it_goes(self):
        self.tone_home("spring.res", 600)  # the background music: a tone of 15.7 s
        self.write_home("zumbolo.ini", b"[sound]\r\nkoka=1\r\n")  # ＢＧＭ
        run = self.program(sink=None)
        main = run.wait_main_window()
        hx, hy = home_of(self.desk.workarea())
        tr = run.trace
        tr.wait_for(r"player play", 10)
        self.assertLoud("the background music plays")

        # A film: an ordinary window made full screen through the window manager, and active.
        mark = len(tr.lines())
        film = self.desk.spawn("xmessage", ["xmessage", "-geometry", "300x100+100+100", "a film"])
        wid = wait_until(lambda: self.desk.search("--onlyvisible", "--pid", str(film.pid))
                         or self.desk.search("--onlyvisible", "--name", "^xmessage$"), 10, "xmessage")[0]
        self.desk.run(["wmctrl", "-i", "-r", hex(wid), "-b", "add,fullscreen"])
        self.desk.run(["wmctrl", "-i", "-a", hex(wid)])
        wait_until(lambda: "_NET_WM_STATE_FULLSCREEN" in self.desk.net_wm_state(wid), 5, "the film full screen")
        aside = tr.wait_for(r"step-aside", 5, mark)
        tr.wait_for(r"form1 hide", 2, aside)
        self.assertIsNotNone(tr.find(r"enabled 0", aside), "the beat did not stop:\n" + tr.tail(aside))
        wait_until(lambda: not self.desk.viewable(main.id), 5, "the figures hidden")
        self.shot("a_film")
        self.assertSilent("a full-screen window is active")
        time.sleep(1.0)
        self.assertEqual(tr.find_all(r"beat \d+ \d", aside), [], "beats while stepped aside:\n" + tr.tail(aside))

        # The film ends: the figures come back at rest and the music plays again.
        mark = len(tr.lines())
        DesktopSession.stop_process(film)
        back = tr.wait_for(r"come-back", 5, mark)
        tr.wait_for(r"form1 show", 2, back)
        tr.wait_for(r"player play", 2, back)
        wait_until(lambda: self.desk.viewable(main.id), 5, "the figures shown again")
        self.assertGeometry(main, (hx, hy, 192, 64))
        tr.wait_for(r"beat 1 0", 3, back)
        self.assertLoud("the background music plays again")
        state = self.desk.net_wm_state(main.id)
        self.assertIn("_NET_WM_STATE_SKIP_TASKBAR", state, f"_NET_WM_STATE after coming back: {state}")
        self.assertIn("_NET_WM_STATE_ABOVE", state, f"_NET_WM_STATE after coming back: {state}")
        # The whole run, the film's coming and going among it, as zumbolo-sim has it.
        close_and_confirm(self, run)
        assert_conforms(self, run)


class Volume(DesktopCitizen):
    pulse = True

    def test_muted_the_show_goes_on_silently_and_a_new_volume_applies_to_the_playing_music(self):
        # 消音 from zumbolo.ini; the background music and the Funiculì song both tones, so that
        # any sound that gets through is loud. The music streams from its file; the song, short
        # enough, plays from memory.
        self.tone_home("spring.res", 600)
        self.tone_home("fun.res", 380)  # 9.9 s: the show ends with it
        duration = 380 * 1152 / 44100
        self.write_home("zumbolo.ini", b"[sound]\r\nkoka=1\r\n[mode]\r\nmode=3\r\n[option]\r\nvolume=0\r\n")
        run = self.program(["/v"], sink=None)
        run.wait_main_window()
        tr = run.trace
        tr.wait_for(r"player volume -10000", 10)
        tr.wait_for(r"player play", 10)
        self.assertSilent("the background music plays muted")
        load = tr.wait_for(r"player render fun\.res", 15)
        play = tr.wait_for(r"player play", 10, load)
        mark = len(tr.lines())
        self.assertSilent("the show's song plays muted")
        self.assertTrue(tr.find_all(r"beat \d+ [23]", mark), "the show did not go on:\n" + tr.tail(play))

        # 100% while the song plays: it is heard at once, and neither stops nor starts again.
        mark = len(tr.lines())
        self.menu(run, *self.VOLUME, "Return")
        tr.wait_for(r"player volume 0", 5, mark)
        self.assertLoud("the volume is back at 100%")
        self.assertEqual(tr.find_all(r"player (render .*|stop|empty|play)", mark), [],
                         "the new volume restarted the song:\n" + tr.tail(mark))
        # The show goes on to the end of its song.
        end = tr.wait_for(r"dance 110", duration + 10, play)
        self.assertIsNotNone(tr.find(r"beat 12 3", play), "the show script did not run:\n" + tr.tail(play))
        played = (tr.ms(end) - tr.ms(play)) / 1000
        self.assertAlmostEqual(played, duration, delta=0.3, msg="the show did not end with its song")

        # The volume is saved in its section.
        mark = len(tr.lines())
        os.kill(run.proc.pid, signal.SIGTERM)  # closes as the menu's 終了 does: the file, then the tally
        tr.wait_for(r"message .*", 10, mark)
        with open(os.path.join(self.home, "zumbolo.ini"), "rb") as f:
            text = f.read().decode("utf-8", errors="replace")
        self.assertRegex(text, r"\[option\]\r\n(\w+=\w*\r\n)*volume=100\r\n", text)


class StartAtLogin(DesktopCitizen):
    def test_the_autostart_entry_appears_and_goes_and_a_failure_is_shown(self):
        entry = self.desk.path("config", "autostart", "zumbolo.desktop")
        run = self.program()
        run.wait_main_window()
        tr = run.trace
        tr.wait_for(r"beat 1 0", 10)

        mark = len(tr.lines())
        self.menu(run, *self.AUTOSTART, "Return")
        tr.wait_for(r"check iautostart 1", 5, mark)  # the menu opened with 0, the click made it 1
        wait_until(lambda: os.path.exists(entry), 5, f"{entry} written")
        with open(entry) as f:
            text = f.read()
        exec_line = re.search(r"(?m)^Exec=(.*)$", text)
        self.assertIsNotNone(exec_line, text)
        self.assertTrue(exec_line.group(1).startswith('"') and exec_line.group(1).endswith('"'), text)
        self.assertEqual(os.path.realpath(exec_line.group(1)[1:-1]), os.path.realpath(BINARY),
                         "the entry does not start this very program")
        self.assertRegex(text, r"(?m)^\[Desktop Entry\]$")
        self.assertRegex(text, r"(?m)^Type=Application$")

        # The check shows what the session does: the entry removed behind the program's back.
        os.rename(entry, entry + ".away")
        mark = len(tr.lines())
        self.menu(run, "Escape")
        tr.wait_for(r"check iautostart 0", 5, mark)
        os.rename(entry + ".away", entry)
        mark = len(tr.lines())
        self.menu(run, *self.AUTOSTART, "Return")
        shown = tr.wait_for(r"check iautostart 1", 5, mark)  # the menu opened with the entry there
        tr.wait_for(r"check iautostart 0", 5, shown + 1)
        wait_until(lambda: not os.path.exists(entry), 5, f"{entry} removed")
        self.assertEqual(os.listdir(os.path.dirname(entry)), [], "something else was left in the autostart folder")

        # A folder that cannot be made: the error box says what could not be written.
        os.rmdir(os.path.dirname(entry))
        with open(os.path.dirname(entry), "w") as f:
            f.write("not a folder")
        mark = len(tr.lines())
        self.menu(run, *self.AUTOSTART, "Return")
        err = tr.wait_for(r"error .*", 5, mark)
        self.assertIn(entry, tr.text(err))
        self.assertEqual(tr.text(err - 1), "check iautostart 0", "the check does not stay off:\n" + tr.tail(mark))
        self.assertFalse(os.path.isdir(os.path.dirname(entry)))
        box = self.wait_dialog(run)
        self.shot("autostart_error")
        self.wait_focus(box)
        self.desk.key("Return")
        wait_until(lambda: not self.desk.viewable(box.id), 5, "the error box closed")


class Screens(DesktopCitizen):
    def test_home_with_the_panel_on_the_left_and_at_the_top(self):
        for panel in ("left", "top"):
            with self.subTest(panel=panel), DesktopSession(panel=panel) as desk:
                wa = desk.workarea()
                self.assertNotEqual(wa[:2], (0, 0), f"the {panel} panel did not move the work area: {wa}")
                home = desk.path("home-zumbolo")
                os.makedirs(home)
                run = Zumbolo(desk, home)
                self.runs.append(run)
                run.start()
                try:
                    main = run.wait_main_window()
                    want = (wa[0] + wa[2] - HOME_DX, wa[1] + wa[3] - HOME_DY, 192, 64)
                    seen = []
                    try:
                        wait_until(lambda: seen.append(desk.geometry(main.id)[:4]) or seen[-1] == want, 5, "")
                    except DesktopError:
                        self.fail(f"the figures with the panel {panel} (work area {wa}) are at {seen[-1]}, "
                                  f"not at {want}")
                    img = desk.screenshot()
                    xshot.write_png(img, os.path.join(self.artifacts, f"panel_{panel}.png"))
                finally:
                    run.kill()

    def test_a_place_no_monitor_shows_is_given_up_at_start_and_when_a_monitor_goes(self):
        # Two monitors side by side on the 1280 x 800 screen, the left one primary.
        self.desk.run(["xrandr", "--setmonitor", "LEFT", "640/170x800/212+0+0", "screen"])
        self.desk.run(["xrandr", "--setmonitor", "RIGHT", "640/170x800/212+640+0", "none"])
        wait_until(lambda: "RIGHT" in self.desk.run(["xrandr", "--listmonitors"]), 5, "two monitors")
        wa = self.desk.workarea()
        home = (640 - HOME_DX, wa[1] + wa[3] - HOME_DY)  # the left monitor's work area

        # A place beyond both monitors (from one since unplugged): the home of a new start.
        self.write_home("zumbolo.ini", b"[form]\r\nleft=2000\r\ntop=300\r\n")
        first = self.program(name="beyond")
        main = first.wait_main_window()
        self.assertGeometry(main, home + (192, 64))
        self.assertIsNotNone(first.trace.find(r"offscreen"), first.trace.tail())
        # The simulator, given the same two screens, gives up the same place.
        first.trace.wait_for(r"beat 2 0", 10)
        close_and_confirm(self, first)
        assert_conforms(self, first)

        # A place on the right monitor is kept, until that monitor goes.
        self.write_home("zumbolo.ini", b"[form]\r\nleft=900\r\ntop=300\r\n")
        run = self.program(name="right")
        main = run.wait_main_window()
        self.assertGeometry(main, (900, 300, 192, 64))
        tr = run.trace
        tr.wait_for(r"beat 2 0", 10)
        self.assertIsNone(tr.find(r"offscreen"), tr.tail())
        mark = len(tr.lines())
        self.desk.run(["xrandr", "--delmonitor", "RIGHT"])
        tr.wait_for(r"offscreen", 5, mark)
        self.assertGeometry(main, home + (192, 64))
        self.shot("monitor_gone")
        tr.wait_for(r"beat \d+ 0", 3, mark)  # the spin goes on


def process_counts(pid):
    """(open descriptors, threads, resident kB) of a process."""
    with open(f"/proc/{pid}/status") as f:
        rss = next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))
    return len(os.listdir(f"/proc/{pid}/fd")), len(os.listdir(f"/proc/{pid}/task")), rss


class Soak(E2ECase):
    """The short form of bench/soak_bench.py: loads, each replacing a track, cost nothing that stays."""

    pulse = True

    def settled_counts(self, run):
        """The counts at rest: the least of a few looks over a second, so that a descriptor that
        is being closed as the first look is taken does not count."""
        looks = []
        for _ in range(5):
            looks.append(process_counts(run.proc.pid))
            time.sleep(0.25)
        return tuple(min(look[i] for look in looks) for i in range(3))

    def test_loads_after_the_first_shows_hold_no_more_descriptors(self):
        # Every spin a hit, the Funiculì show to a short track, played through PulseAudio.
        self.write_home("zumbolo.ini", b"[mode]\r\nmode=3\r\n")
        fun, _ = short_track("fun.mp3", 300)  # 7.8 s: longer than the lead-in after its start
        self.write_home("fun.res", fun)
        run = self.program(["/v"], sink=None)
        main = run.wait_main_window()
        tr = run.trace

        def show_ended_and_restarted(start):
            hide = tr.wait_for(r"form3 hide", 40, start)
            return tr.wait_for(r"beat 1 0", 5, hide)

        # The first shows have loaded each kind of track, and GStreamer has as many streaming
        # threads in waiting as it keeps (two idle ones, each with its descriptor).
        first = show_ended_and_restarted(0)
        second = show_ended_and_restarted(first + 1)
        before = self.settled_counts(run)
        loads_before = len(tr.find_all(r"player render .*"))

        # A third show: the jingle, the song and the spin sound again.
        show_ended_and_restarted(second + 1)
        # Then stops, each loading the spin sound: a click on a figure, then Space, with hits off.
        hx, hy = home_of(self.desk.workarea())
        fx, fy = figure_point()
        mark = len(tr.lines())
        self.desk.click(hx + 64 + fx, hy + fy)
        tr.wait_for(r"caption 開始", 5, mark)
        self.wait_focus(main)
        self.desk.key("v")
        tr.wait_for(r"check avictory 0", 5, mark)
        while len(tr.find_all(r"player render .*")) - loads_before < 15:
            for caption in ("停止", "開始"):
                mark = len(tr.lines())
                self.desk.key("space")
                tr.wait_for(f"caption {caption}", 5, mark)
        mark = len(tr.lines())
        self.desk.key("space")
        tr.wait_for(r"beat 1 0", 5, mark)
        after = self.settled_counts(run)
        loads = len(tr.find_all(r"player render .*")) - loads_before
        self.assertFalse(tr.find_all(r"error .*"), "errors in the trace:\n" + tr.tail())
        print(f"after the first shows: {before[0]} descriptors, {before[1]} threads, {before[2]} kB; "
              f"{loads} loads later: {after[0]} descriptors, {after[1]} threads, {after[2]} kB")
        self.assertEqual(after[0], before[0], f"open descriptors after the first shows and {loads} loads later")


class Conformance(E2ECase):
    """Whole runs held line by line against zumbolo-sim's log of the same run
    (tools/conformance): the sound choices, BGM mode, and commands during a show. Each ends
    with the program's close, so that its trace holds the run from start to close."""

    pulse = True  # the program's own sink (PulseAudio), as a user hears it

    def assertConforms(self, run):
        assert_conforms(self, run)

    def close_and_confirm(self, run):
        close_and_confirm(self, run)

    def end_at_tally_box(self, run, mark):
        end_at_tally_box(self, run, mark)

    def song_show(self, mode, koka, track, frames):
        """A forced hit and the show of song `mode` in sound choice `koka`, with the first
        `frames` frames of its track, to the restart after the balloon."""
        self.write_home("zumbolo.ini", f"[mode]\r\nmode={mode}\r\n[sound]\r\nkoka={koka}\r\n".encode())
        data, duration = short_track(track.replace(".res", ".mp3"), frames)
        self.write_home(track, data)
        run = self.program(["/v"], sink=None)
        tr = run.trace
        shown = tr.wait_for(r"form2 show", 40)
        timer = tr.wait_for(r"event timer1", duration + 10, shown)
        tr.wait_for(r"beat 1 0", 3, timer)
        self.close_and_confirm(run)
        self.assertConforms(run)

    # Each track is cut where its end falls between two beats, well away from both.
    def test_song_show_with_sound_effects(self):
        self.song_show(3, 0, "fun.res", 440)  # フニクリ・フニクラ, 効果音あり

    def test_song_show_with_background_music(self):
        self.song_show(4, 1, "rad.res", 460)  # ラデッキー行進曲, ＢＧＭ

    def test_song_show_without_sound(self):
        self.song_show(1, 2, "bgm.res", 600)  # 天国と地獄 ver.2, なし

    def test_forced_hit_in_bgm_mode(self):
        # The loop, 80 frames long, ends twice during the first spin.
        self.write_home("zumbolo.ini", b"[mode]\r\nmode=5\r\n")
        spring, _ = short_track("spring.mp3", 80)
        self.write_home("spring.res", spring)
        run = self.program(["/v"], sink=None)
        tr = run.trace
        shown = tr.wait_for(r"form2 show", 20)
        tr.wait_for(r"beat 14 3", 3, shown)
        self.close_and_confirm(run)
        self.assertConforms(run)

    def test_commands_during_a_show(self):
        self.write_home("zumbolo.ini", b"[mode]\r\nmode=3\r\n")
        fun, _ = short_track("fun.mp3", 440)
        self.write_home("fun.res", fun)
        run = self.program(["/v"], sink=None)
        main = run.wait_main_window()
        tr = run.trace
        icon = wait_until(lambda: [w for w in self.desk.tray_icons("zumbolo") if w.width <= 64],
                          15, "the program's icon in tint2's tray")[0]
        ix, iy = icon.x + icon.width // 2, icon.y + icon.height // 2
        fx, fy = figure_point()

        # In the lead-in after the hit, a click on the middle figure stops the show (the
        # window hops and a figure may be blank: a click that hits none is made again).
        hit = tr.wait_for(r"hits 1 1", 15)
        tr.wait_for(r"player play", 10, hit)
        for _ in range(5):
            mark = len(tr.lines())
            x, y = self.desk.geometry(main.id)[:2]
            self.desk.click(x + 64 + fx, y + fy)
            try:
                tr.wait_for(r"user click", 1, mark)
                break
            except DesktopError:
                continue
        tr.wait_for(r"caption 開始", 3, mark)
        self.wait_focus(main)
        # Space starts it again: the next spin is a hit (forced), and in the next show's
        # lead-in the arrows move the figures' home and V ends the forced hits.
        time.sleep(0.7)
        self.desk.key("space")
        hit = tr.wait_for(r"hits 2 2", 10, mark)
        tr.wait_for(r"player play", 10, hit)
        for key in ("Right", "Up", "v"):
            time.sleep(0.4)
            self.desk.key(key)
        tr.wait_for(r"check avictory 0", 3, hit)
        # The tray: a left click stops, another starts; its menu's キャラ色変更 (above オプション
        # and 終了, the last two items) restarts with the next colours; its 終了 closes.
        time.sleep(0.5)
        for caption in ("開始", "停止"):
            mark = len(tr.lines())
            self.desk.click(ix, iy, 1)
            tr.wait_for(f"caption {caption}", 3, mark)
            time.sleep(0.5)
        for keys, line in ((("Up", "Up", "Up", "Return"), r"user N8"), (("x",), r"user Exit1")):
            mark = len(tr.lines())
            before = {w.id for w in run.windows()}
            self.desk.click(ix, iy, 3)
            wait_until(lambda: [w for w in run.windows() if w.id not in before and w.height > 100],
                       5, "the tray icon's menu")
            self.desk.key(*keys)
            tr.wait_for(line, 5, mark)
            time.sleep(1.0)
        self.end_at_tally_box(run, mark)
        self.assertConforms(run)


def main(argv):
    global BINARY, SIM
    args = list(argv[1:])
    for option in ("--binary", "--sim"):
        if option in args:
            i = args.index(option)
            globals()[option[2:].upper()] = args[i + 1]
            del args[i:i + 2]
    BINARY = BINARY or os.environ.get("ZUMBOLO_BIN") or os.path.join(SOURCE_DIR, "build", "platform",
                                                                        "qt", "zumbolo")
    SIM = SIM or os.environ.get("ZUMBOLO_SIM") or os.path.join(os.path.dirname(BINARY), "..", "..", "tools",
                                                                 "sim", "zumbolo-sim")
    if not os.access(BINARY, os.X_OK):
        print(f"SKIPPED: no program at {BINARY} (the desktop program is not built here)")
        return 77
    status = report_missing(TOOLS, "zumbolo_e2e")
    if status is not None:
        return status
    os.makedirs(ARTIFACTS, exist_ok=True)
    print(f"program {BINARY}; screenshots, traces and logs in {ARTIFACTS}")
    started = time.monotonic()
    program = unittest.main(argv=[argv[0]] + args, exit=False, verbosity=2)
    result = program.result
    failed = len(result.failures) + len(result.errors)
    passed = result.testsRun - failed - len(result.skipped)
    print(f"e2e: {passed} passed, {failed} failed in {time.monotonic() - started:.1f} s")
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
