"""A private X desktop for one end-to-end test, and the X tools the tests drive it with.

    with DesktopSession(pulse=True) as desk:
        desk.run(["xmessage", "hello"], background=True)
        print(desk.workarea())          # (x, y, width, height), 1280 x 770 with the panel

DesktopSession starts, in this order: Xvfb on a display it picks itself (-displayfd), a solid
root colour (xsetroot), openbox, tint2 with tests/e2e/tint2rc (a bottom panel with a taskbar and
a system tray that reserves its height; panel="left" or "top" puts it there instead), and on
request a PulseAudio daemon with a null sink and its own runtime folder. Each step is polled until it has taken effect. Everything the session
starts it stops again at the end, by the process ids it kept, also when a test fails or times out;
the children are also told to die with this process (PR_SET_PDEATHSIG) should it be killed.

Run as a program, it starts a desktop and runs a command in it (for a look by hand):

    python3 tests/e2e/desktop_session.py [--pulse] -- xmessage hello
"""

import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SCREEN_W, SCREEN_H = 1280, 800
ROOT_COLOUR = (0x30, 0x60, 0xA0)  # the desktop colour, found nowhere in the program's pictures
NULL_SINK = "zumbolo_null"

# Every external call gets a time-out; these are the defaults.
CALL_TIMEOUT = 10.0
STOP_TIMEOUT = 5.0


class DesktopError(AssertionError):
    """A step of the desktop or of a test did not come about in time."""


def wait_until(probe, timeout, what, interval=0.05):
    """Calls probe() until it returns something true and returns that; after `timeout` seconds
    raises DesktopError naming `what` and the last value probe() gave (or raised)."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        try:
            value = probe()
            if value:
                return value
            last = value
        except DesktopError as error:  # a tool that failed this time may answer next time
            last = error
        if time.monotonic() >= deadline:
            raise DesktopError(f"timed out after {timeout:.1f} s waiting for {what}; last seen: {last!r}")
        time.sleep(interval)


def _die_with_parent():
    # Runs in the child between fork and exec: SIGTERM when the test process goes away.
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG
    except Exception:
        pass


class Window:
    """One window of `xwininfo -root -tree`: id, name, class, geometry, absolute position, parent."""

    def __init__(self, wid, name, klass, width, height, x, y, parent, depth):
        self.id, self.name, self.klass = wid, name, klass
        self.width, self.height, self.x, self.y = width, height, x, y
        self.parent, self.depth = parent, depth

    @property
    def rect(self):
        return (self.x, self.y, self.width, self.height)

    def __repr__(self):
        return (f"Window(0x{self.id:x} {self.name!r} {self.klass!r} "
                f"{self.width}x{self.height}+{self.x}+{self.y})")


_TREE_LINE = re.compile(
    r"^(?P<indent>\s*)0x(?P<id>[0-9a-f]+) (?P<name>\(has no name\)|\".*\"):"
    r" \((?P<klass>.*)\)\s+(?P<w>\d+)x(?P<h>\d+)[+-]-?\d+[+-]-?\d+\s+\+(?P<x>-?\d+)\+(?P<y>-?\d+)\s*$")


def parse_tree(text):
    """Parses `xwininfo -root -tree` into a list of Window, parents before their children."""
    windows, stack = [], []  # stack of (indent, id)
    root_id = None
    for line in text.splitlines():
        m = re.match(r"^\s*xwininfo: Window id: 0x([0-9a-f]+)", line)
        if m:
            root_id = int(m.group(1), 16)
            continue
        m = _TREE_LINE.match(line)
        if not m:
            continue
        indent = len(m.group("indent"))
        while stack and stack[-1][0] >= indent:
            stack.pop()
        parent = stack[-1][1] if stack else root_id
        name = None if m.group("name") == "(has no name)" else m.group("name")[1:-1]
        klass = tuple(re.findall(r"\"([^\"]*)\"", m.group("klass")))
        wid = int(m.group("id"), 16)
        windows.append(Window(wid, name, klass, int(m.group("w")), int(m.group("h")),
                              int(m.group("x")), int(m.group("y")), parent, len(stack)))
        stack.append((indent, wid))
    return windows


class DesktopSession:
    PANEL_POSITIONS = {"bottom": "bottom center horizontal", "left": "center left vertical",
                       "top": "top center horizontal"}

    def __init__(self, pulse=False, keep_temp=False, log=None, panel="bottom"):
        self.pulse = pulse
        self.panel = panel
        self.keep_temp = keep_temp or os.environ.get("ZUMBOLO_E2E_KEEP") == "1"
        self.log = log or (lambda text: None)
        self.children = []  # (name, Popen, log file), in start order
        self.tmp = None
        self.display = None
        self.env = None
        self._last_press = {}

    # -- life cycle -------------------------------------------------------------------------

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.stop()
            raise
        return self

    def __exit__(self, *exc):
        self.stop()
        return False

    def start(self):
        self.tmp = tempfile.mkdtemp(prefix="zumbolo-desk-")
        for sub in ("home", "run", "config", "data", "cache", "logs", "fb"):
            os.makedirs(os.path.join(self.tmp, sub), mode=0o700)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "LANG": "C.UTF-8",
            "HOME": self.path("home"),
            "XDG_RUNTIME_DIR": self.path("run"),
            "XDG_CONFIG_HOME": self.path("config"),
            "XDG_DATA_HOME": self.path("data"),
            "XDG_CACHE_HOME": self.path("cache"),
            # No session bus: the tray icon is an XEmbed icon in tint2's tray, not a D-Bus item.
            "DBUS_SESSION_BUS_ADDRESS": "disabled:",
            "NO_AT_BRIDGE": "1",
        }
        self._start_xvfb()
        self.run(["xsetroot", "-solid", "#%02x%02x%02x" % ROOT_COLOUR])
        self._start_openbox()
        self._start_tint2()
        if self.pulse:
            self._start_pulseaudio()

    def stop(self):
        """Stops every process this session started, newest first: SIGTERM, then SIGKILL."""
        while self.children:
            name, proc, logf = self.children.pop()
            self.stop_process(proc)
            logf.close()
        if self.tmp and not self.keep_temp:
            shutil.rmtree(self.tmp, ignore_errors=True)

    @staticmethod
    def stop_process(proc, sig=signal.SIGTERM, timeout=STOP_TIMEOUT):
        if proc.poll() is not None:
            return proc.returncode
        try:
            os.kill(proc.pid, sig)
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.kill(proc.pid, signal.SIGKILL)
            return proc.wait(timeout=timeout)
        except ProcessLookupError:
            return proc.wait(timeout=timeout)

    def path(self, *parts):
        return os.path.join(self.tmp, *parts)

    def log_tail(self, name, lines=30):
        try:
            with open(self.path("logs", name + ".log"), errors="replace") as f:
                return "".join(f.readlines()[-lines:])
        except OSError:
            return ""

    # -- starting processes -----------------------------------------------------------------

    def spawn(self, name, argv, extra_env=None, pass_fds=()):
        """Starts argv in the background with the session's environment; stdout and stderr go
        to logs/NAME.log. The process is stopped with the session."""
        env = dict(self.env)
        env.update(extra_env or {})
        logf = open(self.path("logs", name + ".log"), "ab")
        proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=logf,
                                stderr=subprocess.STDOUT, pass_fds=pass_fds,
                                preexec_fn=_die_with_parent)
        self.children.append((name, proc, logf))
        self.log(f"started {name} (pid {proc.pid}): {' '.join(argv)}")
        return proc

    def forget(self, proc):
        """Takes a process that has ended (or that the caller stopped) off the stop list."""
        for i, (name, p, logf) in enumerate(self.children):
            if p is proc:
                self.stop_process(p)
                logf.close()
                del self.children[i]
                return

    def run(self, argv, timeout=CALL_TIMEOUT, check=True, extra_env=None, input=None):
        """Runs a tool to its end and returns its standard output (text)."""
        env = dict(self.env)
        env.update(extra_env or {})
        try:
            done = subprocess.run(argv, env=env, capture_output=True, timeout=timeout,
                                  input=input, preexec_fn=_die_with_parent)
        except subprocess.TimeoutExpired:
            raise DesktopError(f"{' '.join(argv)} did not finish within {timeout} s")
        if check and done.returncode != 0:
            raise DesktopError(f"{' '.join(argv)} exited with {done.returncode}: "
                               f"{done.stderr.decode(errors='replace').strip()}")
        return done.stdout.decode(errors="replace")

    def _start_xvfb(self):
        read_fd, write_fd = os.pipe()
        try:
            proc = self.spawn("Xvfb", ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
                                       f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp",
                                       "-noreset", "-nocursor", "-fbdir", self.path("fb")], pass_fds=(write_fd,))
            os.close(write_fd)
            write_fd = None
            number = b""
            deadline = time.monotonic() + 15
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or proc.poll() is not None:
                    raise DesktopError("Xvfb did not report a display: " + self.log_tail("Xvfb"))
                ready, _, _ = select.select([read_fd], [], [], left)
                if ready:
                    chunk = os.read(read_fd, 16)
                    if not chunk:
                        raise DesktopError("Xvfb closed its display pipe: " + self.log_tail("Xvfb"))
                    number += chunk
        finally:
            os.close(read_fd)
            if write_fd is not None:
                os.close(write_fd)
        self.display = ":" + number.decode().strip()
        self.env["DISPLAY"] = self.display
        self.log(f"Xvfb serves {self.display}")

    def _start_openbox(self):
        self.spawn("openbox", ["openbox", "--sm-disable"])
        # An EWMH window manager announces itself with _NET_SUPPORTING_WM_CHECK on the root.
        wait_until(lambda: "window id" in self.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                                   check=False),
                   10, "openbox to manage the screen")

    def _start_tint2(self):
        config = os.path.join(HERE, "tint2rc")
        if self.panel != "bottom":
            with open(config) as f:
                text = f.read()
            config = self.path("tint2rc")
            with open(config, "w") as f:
                f.write(re.sub(r"(?m)^panel_position = .*$",
                               "panel_position = " + self.PANEL_POSITIONS[self.panel], text))
        self.spawn("tint2", ["tint2", "-c", config])
        # The panel's strut shrinks the work area; the tray is up when its selection has an owner,
        # which tint2 announces by creating its tray window (class "tint2" in the panel).
        wait_until(lambda: (self.workarea() or (0, 0, SCREEN_W, SCREEN_H)) != (0, 0, SCREEN_W, SCREEN_H), 15,
                   "tint2's strut to shrink _NET_WORKAREA")
        wait_until(self.tray_ready, 10, "tint2's system tray")

    def _start_pulseaudio(self):
        runtime = self.path("run", "pulse")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        socket = os.path.join(runtime, "native")
        pulse_env = {"PULSE_RUNTIME_PATH": runtime, "PULSE_STATE_PATH": self.path("home", "pulse")}
        self.env.update(pulse_env)
        self.env["PULSE_SERVER"] = "unix:" + socket
        self.spawn("pulseaudio", [
            "pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--use-pid-file=no",
            "--disallow-module-loading=no", "--log-target=stderr", "--log-level=notice",
            f"--load=module-null-sink sink_name={NULL_SINK} rate=44100 channels=2",
            f"--load=module-native-protocol-unix socket={socket} auth-anonymous=1",
        ])
        wait_until(lambda: NULL_SINK in self.run(["pactl", "list", "short", "sinks"], check=False,
                                                 timeout=5),
                   15, "PulseAudio with the null sink")
        self.run(["pactl", "set-default-sink", NULL_SINK], timeout=5)

    # -- reading the screen's state ----------------------------------------------------------

    def root_prop(self, name):
        return self.run(["xprop", "-root", "-notype", name], check=False)

    def window_prop(self, wid, name):
        return self.run(["xprop", "-id", str(wid), "-notype", name], check=False)

    @staticmethod
    def numbers(prop_text):
        """The numbers of an xprop answer ("NAME = 1, 2" or "NAME: window id # 0x1, 0x2")."""
        _, _, values = prop_text.partition("=") if "=" in prop_text else prop_text.partition("#")
        return [int(v, 0) for v in re.findall(r"0x[0-9a-fA-F]+|-?\d+", values)]

    def workarea(self):
        """(x, y, width, height) of desktop 0's work area from _NET_WORKAREA, or None."""
        values = self.numbers(self.root_prop("_NET_WORKAREA"))
        return tuple(values[:4]) if len(values) >= 4 else None

    def stacking(self):
        """The managed windows, bottom to top (_NET_CLIENT_LIST_STACKING)."""
        return self.numbers(self.root_prop("_NET_CLIENT_LIST_STACKING"))

    def net_wm_state(self, wid):
        return re.findall(r"_NET_WM_STATE_[A-Z_]+", self.window_prop(wid, "_NET_WM_STATE"))

    def tree(self):
        return parse_tree(self.run(["xwininfo", "-root", "-tree"]))

    def geometry(self, wid):
        """(x, y, width, height, map state) of a window, x and y absolute on the screen."""
        text = self.run(["xwininfo", "-id", str(wid)], check=False)
        def field(label):
            m = re.search(label + r":\s+(-?\d+)", text)
            return int(m.group(1)) if m else None
        state = re.search(r"Map State:\s+(\w+)", text)
        return (field("Absolute upper-left X"), field("Absolute upper-left Y"), field("Width"),
                field("Height"), state.group(1) if state else None)

    def viewable(self, wid):
        return self.geometry(wid)[4] == "IsViewable"

    def frame_extents(self, wid):
        values = self.numbers(self.window_prop(wid, "_NET_FRAME_EXTENTS"))
        return tuple(values) if len(values) == 4 else (0, 0, 0, 0)  # left, right, top, bottom

    def search(self, *args):
        """Window ids from `xdotool search ARGS` (empty when none matches)."""
        out = self.run(["xdotool", "search"] + list(args), check=False)
        return [int(v) for v in out.split()]

    def tray_ready(self):
        """tint2's panel is mapped and its tray holds the tray selection (tint2 says so)."""
        return ("systray started" in self.log_tail("tint2", 200)
                and any(w.klass and w.klass[-1].lower() == "tint2" for w in self.tree()))

    def tray_icons(self, klass):
        """Windows of class `klass` that sit inside tint2's panel (the docked tray icons)."""
        windows = self.tree()
        by_id = {w.id: w for w in windows}
        panels = {w.id for w in windows if w.klass and w.klass[-1].lower() == "tint2"}
        found = []
        for w in windows:
            if not w.klass or w.klass[-1].lower() != klass.lower():
                continue
            p = by_id.get(w.parent)
            while p is not None and p.id not in panels:
                p = by_id.get(p.parent)
            if p is not None:
                found.append(w)
        return found

    def screenshot(self):
        """The whole screen as an xshot.Image: Xvfb's own frame buffer, which it keeps in an XWD
        file (-fbdir). `xwd -root` (GetImage on the root) is not used: for the areas that a Qt
        window's shape leaves out it answers black, while the frame buffer, what the screen
        shows, holds the desktop there."""
        import xshot
        with open(self.path("fb", "Xvfb_screen0"), "rb") as f:
            return xshot.read_xwd(f.read())

    def screenshot_getimage(self):
        """The screen as `xwd -root -silent` reads it (for comparison)."""
        import xshot
        out = self.path("screen.xwd")
        self.run(["xwd", "-root", "-silent", "-out", out])
        with open(out, "rb") as f:
            return xshot.read_xwd(f.read())

    # -- input ---------------------------------------------------------------------------------

    def xdotool(self, *args, timeout=CALL_TIMEOUT):
        return self.run(["xdotool"] + [str(a) for a in args], timeout=timeout)

    def pointer(self):
        out = self.xdotool("getmouselocation", "--shell")
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"])

    DOUBLE_CLICK_GAP = 0.6  # beyond the toolkits' double-click interval (Qt: 400 ms)

    def click(self, x, y, button=1):
        """A single click: two presses of a button closer in time than the double-click
        interval would be a double click, so a click waits until that interval has passed."""
        # Not `mousemove --sync`: that can wait forever. Move, see the pointer there, click.
        self.xdotool("mousemove", x, y)
        wait_until(lambda: self.pointer() == (x, y), 5, f"the pointer at ({x}, {y})")
        last = self._last_press.get(button)
        if last is not None:
            left = self.DOUBLE_CLICK_GAP - (time.monotonic() - last)
            if left > 0:
                time.sleep(left)
        self.xdotool("click", button)
        self._last_press[button] = time.monotonic()

    def key(self, *keys):
        self.xdotool("key", "--delay", "60", *keys)


def main(argv):
    pulse = "--pulse" in argv
    command = argv[argv.index("--") + 1:] if "--" in argv else ["sleep", "infinity"]
    with DesktopSession(pulse=pulse, log=print) as desk:
        print(f"DISPLAY={desk.display} work area {desk.workarea()}")
        env = dict(desk.env)
        proc = subprocess.Popen(command, env=env, preexec_fn=_die_with_parent)
        try:
            return proc.wait()
        except KeyboardInterrupt:
            DesktopSession.stop_process(proc)
            return 130


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
