#!/usr/bin/python3
"""zumbolo.exe under Wine on a private X desktop: a smoke test of the Windows program.

    python3 tests/wine/zumbolo_wine_smoke.py --zip build-windows/zumbolo-VERSION-win64.zip
    python3 tests/wine/zumbolo_wine_smoke.py --exe build-windows/platform/win32/zumbolo.exe

With --zip it runs the program a user downloads: the zip must hold one folder with zumbolo.exe
(the zip's version in its version resource), README.txt and LICENSE.txt, and the zumbolo.exe
unpacked from it is the one that runs.

The desktop is tests/e2e/desktop_session.py's: Xvfb, openbox, tint2 (its tray, and its strut,
which Wine reads once as the work area: the desktop is up before the first Wine call), and a
PulseAudio server with a null sink. Then a fresh Wine prefix (no Mono, no Gecko, no debug output,
the FontLink entry that gives the menu font Japanese). Each check copies zumbolo.exe into a folder
of its own, runs it with ZUMBOLO_TRACE and reads the outcome from the trace, from X and from the
frame buffer:

  Show     the window at its resting place with white transparent; the tray icon, whose right
           click opens the menu; the spin; "/v": a hit and the Funiculì show to the end of its
           track (a short fun.res beside the executable: the program leaves existing track files
           alone), code 110, the balloon, the restart; a second instance ends at once; the menu's
           終了 writes zumbolo.ini and shows the tally box.
  NoSound  PulseAudio out of reach: the player's error reaches the error box once per failed load,
           the figures spin on, stop and start do not hang; `wine taskkill` closes the program.
  Conformance  "/v" and the Funiculì show to the restart after it, then `wine taskkill`: the trace
           held line by line against zumbolo-sim's log of the same run (tools/conformance;
           --sim names the simulator). ctest runs it apart from the others (wine.conformance).
  Options  消音 from zumbolo.ini keeps the null sink's monitor silent while the background music
           plays; "100%" from the menu makes it heard at once; "ログイン時に起動" writes the Run
           value "Zumbolo!" naming the executable, and removes it again.

Every wait polls with a time-out, every Wine call has one, and the program runs under `timeout`.
Only processes started here are ended: the desktop's by their ids, Wine's by `wineserver -k` on
this prefix. Screenshots, traces and logs go to $ZUMBOLO_WINE_ARTIFACTS (default
/tmp/zumbolo-wine-smoke/). Exit status 77: skipped (wine, a desktop tool or zumbolo.exe missing,
outside CI).
"""

import argparse
import os
import re
import shutil
import signal
import struct
import sys
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.dont_write_bytecode = True
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))

import xshot  # noqa: E402
from trace_reader import Trace  # noqa: E402
from desktop_session import DesktopSession, DesktopError, ROOT_COLOUR, wait_until  # noqa: E402
from wine_env import TOOLS as WINE_TOOLS, WinePrefix, skip_or_fail, windows_path  # noqa: E402
from debian_commands import report_missing  # noqa: E402
sys.path.insert(0, os.path.join(SOURCE_DIR, "tools", "conformance"))
import conformance  # noqa: E402
from zumbolo_e2e import monitor_level, tone_mp3  # noqa: E402

EXE = None  # set by main()
SIM = None  # zumbolo-sim, set by main()
ARTIFACTS = os.environ.get("ZUMBOLO_WINE_ARTIFACTS", "/tmp/zumbolo-wine-smoke")
TOOLS = ["Xvfb", "xsetroot", "openbox", "tint2", "xdotool", "xprop", "xwininfo", "pulseaudio",
         "pactl", "timeout"]
TIME_LIMIT = 540        # seconds for the whole run, set-up included
PROGRAM_LIMIT = 300     # seconds one run of zumbolo.exe may last
WINE_CLASS = "zumbolo.exe"   # Wine names a program's X windows after its executable
TRAY_CLASS = "explorer.exe"  # Wine's tray icons are windows of its explorer

WHITE, BLACK, RED = (255, 255, 255), (0, 0, 0), (255, 0, 0)
HOME_DX, HOME_DY = 250, 118  # the resting place: work-area width - 250, height - 118
FUN_FRAMES = 400             # the short Funiculì track: 400 MP3 frames, 10.45 s


# -- pictures ----------------------------------------------------------------------------------

def picture(name):
    with open(os.path.join(SOURCE_DIR, "assets", "pictures", name), "rb") as f:
        return xshot.read_bmp(f.read())


def keyed_mismatches(screen, x0, y0, pic, key):
    """Where the screen at (x0, y0) differs from `pic` drawn with colour `key` transparent (the
    desktop shows there): a list of (x, y, expected, seen)."""
    out = []
    for y in range(pic.height):
        for x in range(pic.width):
            p = pic.pixel(x, y)
            expected = ROOT_COLOUR if p == key else p
            seen = screen.pixel(x0 + x, y0 + y)
            if seen != expected:
                out.append((x, y, expected, seen))
    return out


def figure_poses(screen, left, top):
    """For each of the three 64 x 64 figure cells at (left, top): the pose of the default colour
    set (poses1.bmp, twelve cells side by side) it shows with white transparent, -1 for an empty
    cell, or None with the mismatches of the nearest pose."""
    sheet = picture("poses1.bmp")
    blank = xshot.Image(64, 64, bytearray(b"\xff" * 64 * 64 * 3))
    result = []
    for i in range(3):
        best = None
        for pose in range(-1, 12):
            pic = blank if pose < 0 else sheet.crop(64 * pose, 0, 64, 64)
            bad = keyed_mismatches(screen, left + 64 * i, top, pic, WHITE)
            if best is None or len(bad) < len(best[1]):
                best = (pose, bad)
        result.append(best if not best[1] else (None, best[1]))
    return result


def ink_rows(img, background):
    """Rows of `img` that hold a pixel darker than the background by far (text)."""
    rows = []
    for y in range(img.height):
        if any(sum(img.pixel(x, y)) < sum(background) - 300 for x in range(img.width)):
            rows.append(y)
    return rows


# -- tracks ------------------------------------------------------------------------------------

MPEG1_L3_KBPS = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
MPEG1_RATES = [44100, 48000, 32000]


def short_track(name, frames):
    """The first `frames` audio frames of assets/tracks/NAME, cut at frame boundaries (after the
    ID3v2 tag and the "Info"/"Xing" frame), and their duration in seconds."""
    with open(os.path.join(SOURCE_DIR, "assets", "tracks", name), "rb") as f:
        data = f.read()
    pos = 0
    if data[:3] == b"ID3":
        pos = 10 + (data[6] << 21 | data[7] << 14 | data[8] << 7 | data[9])
    found = []
    while pos + 4 <= len(data) and len(found) < frames:
        b = data[pos:pos + 4]
        if b[0] != 0xFF or (b[1] & 0xFE) != 0xFA:  # MPEG-1 Layer III, with or without CRC
            raise ValueError(f"{name}: no frame header at byte {pos}")
        rate = MPEG1_RATES[(b[2] >> 2) & 3]
        length = 144000 * MPEG1_L3_KBPS[b[2] >> 4] // rate + ((b[2] >> 1) & 1)
        tag_at = pos + 4 + (0 if b[1] & 1 else 2) + (17 if (b[3] >> 6) == 3 else 32)
        if found or data[tag_at:tag_at + 4] not in (b"Info", b"Xing"):
            found.append((pos, length))
        pos += length
    if len(found) < frames:
        raise ValueError(f"{name} has only {len(found)} frames")
    return data[found[0][0]:found[-1][0] + found[-1][1]], frames * 1152 / 44100


# -- the checks --------------------------------------------------------------------------------

SESSION = {}  # the desktop and the Wine prefix that all checks share (a prefix takes its time)


def setUpModule():
    started = time.monotonic()
    desk = DesktopSession(pulse=True)
    desk.__enter__()
    try:
        # desktop_session has waited for tint2's strut in _NET_WORKAREA: now Wine may start.
        workarea = desk.workarea()
        wine = WinePrefix(base_env=desk.env, font_link=True, log=print)
        wine.__enter__()
    except BaseException:
        desk.stop()
        raise
    SESSION.update(desk=desk, wine=wine, workarea=workarea)
    print(f"desktop and prefix ready in {time.monotonic() - started:.1f} s; work area {workarea}")


def tearDownModule():
    if "wine" in SESSION:
        SESSION["wine"].stop()
    if "desk" in SESSION:
        SESSION["desk"].stop()


class WineCase(unittest.TestCase):
    @property
    def desk(self):
        return SESSION["desk"]

    @property
    def wine(self):
        return SESSION["wine"]

    @property
    def workarea(self):
        return SESSION["workarea"]

    def setUp(self):
        self.artifacts = os.path.join(ARTIFACTS, self.id().split(".")[-1])
        shutil.rmtree(self.artifacts, ignore_errors=True)
        os.makedirs(self.artifacts)
        self.folder = self.wine.path(self.id().split(".")[-1])
        os.makedirs(self.folder)
        shutil.copy(EXE, os.path.join(self.folder, "zumbolo.exe"))
        self.home = (self.workarea[2] - HOME_DX, self.workarea[3] - HOME_DY)
        self.addCleanup(self.keep_artifacts)

    def keep_artifacts(self):
        for name in os.listdir(self.folder):
            if name.endswith((".log", ".ini")):
                shutil.copy(os.path.join(self.folder, name), self.artifacts)
        for name in os.listdir(self.desk.path("logs")):
            shutil.copy(self.desk.path("logs", name), self.artifacts)

    # -- running the program --------------------------------------------------------------

    def start(self, args=(), name="zumbolo", extra_env=None):
        """zumbolo.exe from this check's folder, under `timeout`, with its trace in the folder."""
        trace = Trace(os.path.join(self.folder, name + ".trace.log"))
        env = dict(self.wine.env)
        env["ZUMBOLO_TRACE"] = windows_path(trace.path)
        env.update(extra_env or {})
        env = {k: v for k, v in env.items() if self.desk.env.get(k) != v}
        proc = self.desk.spawn(name, ["timeout", "-k", "5", str(PROGRAM_LIMIT), "wine",
                                      os.path.join(self.folder, "zumbolo.exe")] + list(args),
                               extra_env=env)
        self.addCleanup(self.end_run, proc)
        return proc, trace

    def end_run(self, proc):
        if proc.poll() is None:
            self.wine.run(["wine", "taskkill", "/f", "/im", "zumbolo.exe"], check=False, timeout=30)
        self.desk.forget(proc)

    def wait_exit(self, proc, timeout):
        try:
            return proc.wait(timeout=timeout)
        except Exception:
            raise DesktopError(f"zumbolo.exe did not end within {timeout} s") from None

    # -- its windows ----------------------------------------------------------------------

    def windows(self):
        """The program's viewable X windows."""
        out = []
        for w in self.desk.tree():
            if w.klass and w.klass[-1] == WINE_CLASS and w.width > 1 and self.desk.viewable(w.id):
                out.append(w)
        return out

    def main_window(self, timeout=30):
        def probe():
            found = [w for w in self.windows() if w.name == "Zumbolo!" and (w.width, w.height) == (192, 64)]
            return found[0] if found else None
        return wait_until(probe, timeout, "the window \"Zumbolo!\" of 192 x 64 mapped", interval=0.2)

    def named(self, name, timeout=5):
        return wait_until(lambda: [w for w in self.windows() if w.name == name], timeout,
                          f"the window {name!r} mapped", interval=0.1)[0]

    def boxes(self, main):
        """Message boxes: viewable windows titled "Zumbolo!" other than the main window."""
        return [w for w in self.windows() if w.name == "Zumbolo!" and w.id != main.id]

    def wait_box(self, main, timeout=10):
        return wait_until(lambda: self.boxes(main), timeout, "a message box titled \"Zumbolo!\"",
                          interval=0.1)[0]

    def menus(self):
        return [w for w in self.windows() if w.name is None and w.width > 50 and w.height > 50]

    def tray_icon(self, timeout=15):
        return wait_until(lambda: [w for w in self.desk.tray_icons(TRAY_CLASS) if w.width <= 64],
                          timeout, "the program's icon in tint2's tray", interval=0.2)[0]

    def left_click_tray(self, x, y, tr, first_line):
        """A left click on the tray icon, which the program answers with `first_line` at once.
        Under Wine a click that comes just after a message box has closed is now and then not
        delivered at all (the trace shows nothing); that click is made once more."""
        mark = len(tr.lines())
        self.desk.click(x, y, 1)
        try:
            tr.wait_for(first_line, 3, mark)
        except DesktopError:
            print(f"no \"{first_line}\" 3 s after a left click on the tray icon; clicking again")
            self.desk.click(x, y, 1)
            tr.wait_for(first_line, 10, mark)

    def confirm(self, box):
        """Presses Return in a message box once it has the keyboard focus; waits until it is gone."""
        def focused():
            out = self.desk.run(["xdotool", "getwindowfocus"], check=False).strip()
            return out.isdigit() and int(out) == box.id
        wait_until(focused, 5, f"the keyboard focus on the box 0x{box.id:x}", interval=0.1)
        self.desk.key("Return")
        wait_until(lambda: not self.desk.viewable(box.id), 5, "the box closed", interval=0.1)

    def shot(self, name, rect=None):
        img = self.desk.screenshot()
        xshot.write_png(img if rect is None else img.crop(*rect), os.path.join(self.artifacts, name + ".png"))
        return img

    def assertAt(self, window, rect, timeout=5):
        seen = []

        def probe():
            seen.append(self.desk.geometry(window.id)[:4])
            return seen[-1] == tuple(rect)
        try:
            wait_until(probe, timeout, "", interval=0.1)
        except DesktopError:
            self.fail(f"window 0x{window.id:x} {window.name!r}: expected (x, y, w, h) {tuple(rect)}, saw {seen[-1]}")

    def assertPicture(self, name, window, bmp, key):
        """The window shows picture `bmp` with colour `key` transparent."""
        x, y = self.desk.geometry(window.id)[:2]
        pic = picture(bmp)
        seen = []

        def probe():
            img = self.desk.screenshot()
            seen.append((img, keyed_mismatches(img, x, y, pic, key)))
            return not seen[-1][1]
        try:
            wait_until(probe, 3, "", interval=0.1)
        finally:
            xshot.write_png(seen[-1][0].crop(x - 20, y - 20, pic.width + 40, pic.height + 40),
                            os.path.join(self.artifacts, name + ".png"))
        bad = seen[-1][1]
        self.assertFalse(bad, f"{window.name!r} is not {bmp} with {key} transparent: {len(bad)} "
                              f"pixels differ, first {bad[:3]}")

    def assertTally(self, box):
        """The tally box lies with its top-left corner at (HomeLeft - 180, HomeTop - 50): that is
        the corner of its Windows frame, whose border and caption Wine replaces by the window
        manager's, so the X window (the client area) lies a little to the right and below it."""
        hx, hy = self.home
        x, y = self.desk.geometry(box.id)[:2]
        self.assertTrue(0 <= x - (hx - 180) <= 12 and 0 <= y - (hy - 50) <= 40,
                        f"the tally box's client area is at {(x, y)}, its frame should begin at "
                        f"{(hx - 180, hy - 50)}")

    def read_ini(self):
        with open(os.path.join(self.folder, "zumbolo.ini"), "rb") as f:
            text = f.read().decode("latin-1")
        sections = []
        for line in text.splitlines():
            line = line.strip()
            m = re.fullmatch(r"\[(.*)\]", line)
            if m:
                sections.append((m.group(1), {}))
            elif "=" in line and sections:
                key, _, value = line.partition("=")
                sections[-1][1][key] = value
        return text, sections


class Show(WineCase):
    def test_show_tray_menu_second_instance_and_closing(self):
        fun, duration = short_track("fun.mp3", FUN_FRAMES)
        with open(os.path.join(self.folder, "fun.res"), "wb") as f:
            f.write(fun)
        hx, hy = self.home
        t0 = time.monotonic()
        proc, tr = self.start(["/v"])

        # The window at its resting place, white transparent.
        main = self.main_window()
        print(f"main window after {time.monotonic() - t0:.1f} s")
        self.assertAt(main, (hx, hy, 192, 64))
        self.assertIsNotNone(tr.find(fr"left {hx}"), tr.tail())
        self.assertIsNotNone(tr.find(fr"top {hy}"), tr.tail())
        seen = []

        def figures_keyed():
            img = self.desk.screenshot()
            seen.append((img, figure_poses(img, hx, hy)))
            return all(pose is not None for pose, _ in seen[-1][1])
        try:
            wait_until(figures_keyed, 10, "the three figures with white transparent", interval=0.2)
        finally:
            xshot.write_png(seen[-1][0].crop(hx - 40, hy - 40, 272, 144), os.path.join(self.artifacts, "a_figures.png"))
            xshot.write_png(seen[-1][0], os.path.join(self.artifacts, "a_screen.png"))
        img, cells = seen[-1]
        self.assertTrue(any(pose >= 0 for pose, _ in cells), f"three empty cells: {cells}")
        self.assertIn(bytes(ROOT_COLOUR), img.crop(hx, hy, 192, 64).colours(),
                      "the desktop does not show through the window")

        # The spin, and with "/v" a hit on its seventh beat.
        first = tr.wait_for(r"beat 1 0", 10)
        hit = tr.wait_for(r"hits 1 1", 10, first)
        self.assertEqual([tr.text(i) for i in tr.find_all(r"beat \d+ \d", first)[:7]],
                         [f"beat {n} 0" for n in range(1, 8)], "the spin before the hit:\n" + tr.tail(first))

        # The tray icon; its right click brings the window forward and opens the menu.
        icon = self.tray_icon()
        ix, iy = icon.x + icon.width // 2, icon.y + icon.height // 2
        mark = len(tr.lines())
        self.desk.click(ix, iy, 3)
        tr.wait_for(r"foreground", 5, mark)
        menu = wait_until(self.menus, 5, "the popup menu mapped", interval=0.1)[0]
        img = self.shot("b_menu", (menu.x - 300, menu.y - 100, menu.width + 320, menu.height + 140))
        wx, wy, ww, wh = self.workarea
        self.assertTrue(wx <= menu.x and menu.x + menu.width <= wx + ww and menu.y + menu.height <= wy + wh,
                        f"the menu at {menu.rect} leaves the work area {self.workarea}")
        body = img.crop(menu.x + 2, menu.y + 2, menu.width - 4, menu.height - 4)
        rows = ink_rows(body, body.pixel(2, 2))
        # Eight items (停止, モード, ランダム, 確率, 効果音, キャラ色変更, オプション, 終了): eight
        # runs of rows with text, the separators' light lines between some of them.
        runs = sum(1 for i, y in enumerate(rows) if i == 0 or y != rows[i - 1] + 1)
        self.assertEqual(runs, 8, f"the menu shows {runs} lines of text")
        self.desk.key("Escape")
        wait_until(lambda: not self.menus(), 5, "the menu closed", interval=0.1)

        # The show: the jingle, the track, the celebration, and at the track's end code 110.
        tr.wait_for(r"player render eye\.res", 10, hit)
        load = tr.wait_for(r"player render fun\.res", 15, hit)
        play = tr.wait_for(r"player play", 10, load)
        shown = tr.wait_for(r"form2 show", 15, play)
        celebration = self.named("Zumbolo! celebration")
        self.assertAt(celebration, (hx + 30, hy - 230, 136, 201))
        self.assertPicture("c_celebration", celebration, "celebration.bmp", BLACK)

        # A second start while the show runs ends at once, without a window or a trace.
        started = time.monotonic()
        second_trace = os.path.join(self.folder, "second.trace.log")
        status, _ = self.wine.run(["wine", os.path.join(self.folder, "zumbolo.exe")], timeout=30,
                                  check=False, extra_env={"ZUMBOLO_TRACE": windows_path(second_trace)})
        took = time.monotonic() - started
        print(f"second instance ended with {status} after {took:.2f} s")
        self.assertEqual(status, 0, "exit status of the second instance")
        self.assertLess(took, 5.0, "the second instance took too long to end")
        self.assertFalse(os.path.exists(second_trace), "the second instance started tracing")
        self.assertEqual(len([w for w in self.windows() if w.name == "Zumbolo!"]), 1,
                         "windows titled Zumbolo! after the second start")

        end = tr.wait_for(r"dance 110", duration + 20, shown)
        played = (tr.ms(end) - tr.ms(play)) / 1000
        print(f"the show's track played {played:.3f} s (the track lasts {duration:.3f} s)")
        self.assertAlmostEqual(played, duration, delta=0.5,
                               msg="from 'player play' to 'dance 110'")
        self.assertEqual(tr.find_all(r"beat \d+ 3", shown)[:1], [tr.find(r"beat 12 3", shown)],
                         "the show does not begin with beat 12:\n" + tr.tail(shown))

        # The balloon for three seconds, then the restart.
        b = tr.wait_for(r"form3 show", 3, end)
        balloon = self.named("Zumbolo! balloon")
        self.assertAt(balloon, (hx + 30, hy - 75, 131, 72))
        wait_until(lambda: not self.desk.viewable(celebration.id), 3, "the celebration hidden")
        self.assertPicture("d_balloon", balloon, "balloon.bmp", RED)
        hide = tr.wait_for(r"form3 hide", 8, b)
        waited = (tr.ms(hide) - tr.ms(end)) / 1000
        self.assertAlmostEqual(waited, 3.0, delta=0.5, msg="how long the balloon stayed")
        r = tr.wait_for(r"player render kokab\.res", 3, hide)
        c = tr.wait_for(r"caption 停止", 3, r)
        tr.wait_for(r"enabled 1", 3, c)
        tr.wait_for(r"beat 1 0", 3, c)
        self.assertAt(main, (hx, hy, 192, 64))
        with open(os.path.join(self.folder, "fun.res"), "rb") as f:
            self.assertEqual(f.read(), fun, "the program rewrote an existing track file")

        # Closing from the menu: 終了 is its last item.
        self.assertFalse(os.path.exists(os.path.join(self.folder, "zumbolo.ini")), "zumbolo.ini before closing")
        mark = len(tr.lines())
        self.desk.click(ix, iy, 3)
        wait_until(self.menus, 5, "the popup menu mapped", interval=0.1)
        self.desk.key("Up", "Return")
        m = tr.wait_for(r"message .*", 10, mark)
        hits = len(tr.find_all(r"hits \d+ \d+"))
        self.assertEqual(tr.text(m), fr"message 今回の当たりは{hits}回\n今日の当たりは{hits}回でした")
        box = self.wait_box(main)
        self.shot("e_tally", (hx - 300, hy - 200, 540, 330))
        self.assertTally(box)
        wait_until(lambda: not self.desk.tray_icons(TRAY_CLASS), 5, "the tray icon removed")
        text, sections = self.read_ini()
        self.assertEqual([s for s, _ in sections], ["num", "form", "date", "sound", "mode", "color", "option"], text)
        values = dict(sections)
        self.assertEqual(values["num"], {"ritu": "100"}, text)
        self.assertEqual(values["form"], {"left": str(hx), "top": str(hy)}, text)
        today = time.localtime()
        (date_key, date_value), = values["date"].items()
        self.assertEqual([int(n) for n in re.findall(r"\d+", date_key)][:2], [today.tm_mon, today.tm_mday],
                         f"the day's key {date_key!r} (the short date pattern M/d/yyyy)")
        self.assertEqual(date_value, str(hits), text)
        self.assertEqual(values["sound"], {"koka": "0"}, text)
        self.assertEqual(values["mode"], {"mode": "3", "random": "0"}, text)
        self.assertEqual(values["color"], {"redchar": "1"}, text)
        self.assertEqual(values["option"], {"fullscreen": "1", "volume": "100"}, text)
        self.confirm(box)
        self.assertEqual(self.wait_exit(proc, 15), 0, "exit status after the tally box")
        self.assertEqual(len(tr.find_all(r"message .*")), 1, "the closing ran more than once")
        self.assertFalse(tr.find_all(r"error .*"), "errors in the trace:\n" + tr.tail())
        print(f"the show check took {time.monotonic() - t0:.1f} s")


class NoSound(WineCase):
    def test_without_an_audio_device_the_error_box_comes_once_and_the_spin_goes_on(self):
        # No hit while the check runs (one spin in a million), the Funiculì mode.
        with open(os.path.join(self.folder, "zumbolo.ini"), "wb") as f:
            f.write(b"[num]\r\nritu=1000000\r\n[mode]\r\nmode=3\r\n")
        t0 = time.monotonic()
        proc, tr = self.start(extra_env={"PULSE_SERVER": "unix:" + self.wine.path("no-sound-server")})
        main = self.main_window()
        hx, hy = self.home
        loads = [tr.wait_for(r"player render kokab\.res", 10)]
        errors = [tr.wait_for(r"error .+", 10, loads[-1])]
        box = self.wait_box(main)
        self.shot("a_error_box")
        print(f"the player's error: {tr.text(errors[0])!r}")
        self.assertRegex(tr.text(errors[0]), r"^error .* \(\$[0-9A-F]+\)\.$", "AMGetErrorText's text and the code")
        # The figures spin on behind the box: a whole spin cycle.
        seven = tr.wait_for(r"beat 7 0", 10, errors[0])
        tr.wait_for(r"beat 1 0", 10, seven)
        self.assertEqual(len(self.boxes(main)), 1, "more than one box for one error")
        self.confirm(box)

        # Stop (a load that fails again), start, stop: no wait for the player hangs.
        icon = self.tray_icon()
        ix, iy = icon.x + icon.width // 2, icon.y + icon.height // 2
        for step in ("stop", "start", "stop"):
            mark = len(tr.lines())
            self.left_click_tray(ix, iy, tr, "enabled 0" if step == "stop" else "caption 停止")
            if step == "stop":
                tr.wait_for(r"caption 開始", 10, mark)
                loads.append(tr.wait_for(r"player render kokab\.res", 5, mark))
                errors.append(tr.wait_for(r"error .+", 5, loads[-1]))
                self.confirm(self.wait_box(main))
            else:
                c = tr.wait_for(r"caption 停止", 10, mark)
                tr.wait_for(r"enabled 1", 5, c)
                seven = tr.wait_for(r"beat 7 0", 10, c)
                tr.wait_for(r"beat 1 0", 10, seven)
        self.assertEqual(len(tr.find_all(r"error .+")), len(loads),
                         "not one error for each failed load:\n" + tr.tail())
        self.assertTrue(self.desk.viewable(main.id), "the main window is gone")

        # `wine taskkill` closes it as the menu does.
        mark = len(tr.lines())
        self.wine.run(["wine", "taskkill", "/im", "zumbolo.exe"], timeout=30)
        m = tr.wait_for(r"message .*", 10, mark)
        self.assertEqual(tr.text(m), r"message 今回の当たりは0回\n今日の当たりは0回でした")
        box = self.wait_box(main)
        self.shot("b_tally")
        self.assertTally(box)
        text, sections = self.read_ini()
        self.assertEqual(dict(sections).get("num"), {"ritu": "1000000"}, text)
        self.confirm(box)
        self.assertEqual(self.wait_exit(proc, 15), 0, "exit status after the tally box")
        print(f"the no-sound check took {time.monotonic() - t0:.1f} s")


class Conformance(WineCase):
    def test_song_show_as_the_simulator_has_it(self):
        # The Funiculì show (the first mode of a new user), its track cut between two beats.
        fun, duration = short_track("fun.mp3", 440)
        with open(os.path.join(self.folder, "fun.res"), "wb") as f:
            f.write(fun)
        proc, tr = self.start(["/v"])
        main = self.main_window()
        shown = tr.wait_for(r"form2 show", 40)
        timer = tr.wait_for(r"event timer1", duration + 20, shown)
        tr.wait_for(r"beat 1 0", 5, timer)
        mark = len(tr.lines())
        self.wine.run(["wine", "taskkill", "/im", "zumbolo.exe"], timeout=30)
        tr.wait_for(r"message .*", 10, mark)
        self.confirm(self.wait_box(main))
        self.assertEqual(self.wait_exit(proc, 15), 0, "exit status after the tally box")
        # Wine reports a track's end 30 to 70 ms after it was due here (its audio output holds
        # that much): 100 ms, where the Linux program keeps to 50.
        result = conformance.check(tr.path, SIM, tolerance=100, keep=self.artifacts)
        print(result.report)
        self.assertTrue(result.ok, "the program and zumbolo-sim part:\n" + result.report)
class Options(WineCase):
    # From a freshly opened menu: "終了" is the last item, "オプション" the one above it; its
    # items are "全画面のときは隠れる", "音量" (100%, 75%, 50%, 25%, 消音) and "ログイン時に起動".
    OPTIONS = ("Up", "Up", "Right")
    VOLUME = OPTIONS + ("Down", "Right")
    AUTOSTART = OPTIONS + ("Down", "Down")
    RUN_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"

    def menu(self, tr, *keys):
        icon = self.tray_icon()
        self.desk.click(icon.x + icon.width // 2, icon.y + icon.height // 2, 3)
        wait_until(self.menus, 5, "the popup menu mapped", interval=0.1)
        self.desk.key(*keys)

    def run_value(self):
        status, out = self.wine.run(["wine", "reg", "query", self.RUN_KEY, "/v", "Zumbolo!"], check=False)
        return out.decode("utf-8", errors="replace") if status == 0 else None

    def test_volume_and_the_run_value(self):
        tone = os.path.join(self.folder, "spring.res")
        tone_mp3(self.desk, tone, 600)  # the background music: a tone of 15.7 s
        with open(os.path.join(self.folder, "zumbolo.ini"), "wb") as f:
            f.write(b"[num]\r\nritu=1000000\r\n[sound]\r\nkoka=1\r\n[option]\r\nvolume=0\r\n")
        self.assertIsNone(self.run_value(), "a Run value before the check")
        proc, tr = self.start()
        self.main_window()
        tr.wait_for(r"player volume -10000", 20)
        tr.wait_for(r"player play", 20)
        time.sleep(1.0)
        level, heard = monitor_level(self.desk, 1.0)
        print(f"muted: RMS {level:.0f} in {heard:.2f} s")
        self.assertLess(level, 30, "the null sink's monitor is not silent while the music plays muted")

        mark = len(tr.lines())
        self.menu(tr, *self.VOLUME, "Return")
        tr.wait_for(r"player volume 0", 5, mark)
        levels = []
        for _ in range(6):
            levels.append(monitor_level(self.desk, 0.5)[0])
            if levels[-1] > 1000:
                break
        print(f"at 100%: RMS {levels}")
        self.assertGreater(levels[-1], 1000, "the music is not heard at 100%")
        self.assertEqual(tr.find_all(r"player (render .*|stop|empty|play)", mark), [],
                         "the new volume restarted the music:\n" + tr.tail(mark))

        # The start at login: the Run value names this very executable, and goes again.
        mark = len(tr.lines())
        self.menu(tr, *self.AUTOSTART, "Return")
        tr.wait_for(r"check iautostart 1", 5, mark)
        value = wait_until(self.run_value, 10, "the Run value \"Zumbolo!\"")
        print(value.strip())
        exe = windows_path(os.path.join(self.folder, "zumbolo.exe"))
        self.assertIn(f'"{exe}"'.lower(), value.lower(), "the Run value does not name the executable")
        mark = len(tr.lines())
        self.menu(tr, *self.AUTOSTART, "Return")
        shown = tr.wait_for(r"check iautostart 1", 5, mark)  # the menu opened with the value there
        tr.wait_for(r"check iautostart 0", 5, shown + 1)
        wait_until(lambda: self.run_value() is None, 10, "the Run value removed")
        self.assertFalse(tr.find_all(r"error .*"), "errors in the trace:\n" + tr.tail())


# -- the zip a user downloads ---------------------------------------------------------------

def exe_version(data):
    """The file version of a Windows executable's version resource (VS_FIXEDFILEINFO, found by
    its signature), as "major.minor.patch.build"."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        raise ValueError("no version resource")
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


def unpack_zip(path, into):
    """Checks zumbolo-VERSION-win64.zip as a user gets it (one folder of that name holding
    zumbolo.exe with VERSION in its version resource, README.txt in English and Japanese and
    LICENSE.txt) and unpacks it into `into`. Returns the path of zumbolo.exe there."""
    m = re.fullmatch(r"zumbolo-(\d+\.\d+\.\d+)-win64\.zip", os.path.basename(path))
    if not m:
        raise ValueError(f"{path}: not named zumbolo-VERSION-win64.zip")
    top = os.path.basename(path)[:-len(".zip")]
    with zipfile.ZipFile(path) as z:
        files = sorted(i.filename for i in z.infolist() if not i.is_dir())
        expected = [f"{top}/{name}" for name in ("LICENSE.txt", "README.txt", "zumbolo.exe")]
        if files != expected:
            raise ValueError(f"{path} holds {files}, not {expected}")
        readme = z.read(f"{top}/README.txt")
        licence = z.read(f"{top}/LICENSE.txt").decode("ascii")
        version = exe_version(z.read(f"{top}/zumbolo.exe"))
        shutil.rmtree(into, ignore_errors=True)
        z.extractall(into)
    if version != m.group(1) + ".0":
        raise ValueError(f"zumbolo.exe in {path} has the version {version}")
    text = readme.decode("utf-8-sig")
    if not readme.startswith(b"\xef\xbb\xbf") or "\r\n" not in text or "\n" in text.replace("\r\n", ""):
        raise ValueError("README.txt is not UTF-8 with a byte-order mark and Windows line ends")
    for words in ("How to run it", "使い方", m.group(1), "zumbolo.ini", "LICENSE.txt"):
        if words not in text:
            raise ValueError(f"README.txt does not say {words!r}")
    if not licence.startswith("MIT License") or "\n" in licence.replace("\r\n", ""):
        raise ValueError("LICENSE.txt is not the MIT licence with Windows line ends")
    return os.path.join(into, top, "zumbolo.exe")


def main(argv):
    global EXE, SIM
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", default=os.path.join(SOURCE_DIR, "build-windows", "platform", "win32", "zumbolo.exe"))
    parser.add_argument("--sim", default=os.path.join(SOURCE_DIR, "build", "tools", "sim", "zumbolo-sim"))
    parser.add_argument("--zip", help="run the zumbolo.exe of this zumbolo-VERSION-win64.zip instead")
    args, rest = parser.parse_known_args(argv[1:])
    EXE = os.path.abspath(args.exe)
    SIM = os.path.abspath(args.sim)
    status = report_missing(WINE_TOOLS + TOOLS, "zumbolo_wine_smoke")
    if status is not None:
        return status
    if args.zip:
        if not os.path.isfile(args.zip):
            return skip_or_fail(f"no zip at {args.zip} (make it: cd build-windows && cpack -G ZIP)")
        EXE = unpack_zip(args.zip, os.path.join(ARTIFACTS, "unpacked"))
        print(f"{args.zip}: one folder with zumbolo.exe, README.txt and LICENSE.txt, as it should")
    if not os.path.isfile(EXE):
        return skip_or_fail(f"no zumbolo.exe at {EXE} (build the windows preset)")
    os.makedirs(ARTIFACTS, exist_ok=True)
    print(f"program {EXE}; screenshots, traces and logs in {ARTIFACTS}")

    def over_time(signum, frame):
        raise DesktopError(f"the smoke test ran over its {TIME_LIMIT} s")
    signal.signal(signal.SIGALRM, over_time)
    signal.alarm(TIME_LIMIT)
    started = time.monotonic()
    program = unittest.main(argv=[argv[0]] + rest, exit=False, verbosity=2)
    signal.alarm(0)
    result = program.result
    failed = len(result.failures) + len(result.errors)
    passed = result.testsRun - failed - len(result.skipped)
    print(f"wine smoke: {passed} passed, {failed} failed in {time.monotonic() - started:.1f} s")
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
