#!/usr/bin/python3
"""The installed program through a show, as a user's first start would go, on the X display
that xvfb-run gives it:

    xvfb-run -a -s "-screen 0 1280x800x24" python3 tools/ci/installed_show_check.py /usr/bin/zumbolo

It starts a PulseAudio server with a null sink (in a folder of its own) and runs `zumbolo /v`
with fresh XDG folders, the default audio sink and a trace (ZUMBOLO_TRACE). It checks that
- the figures' window is mapped, 192 x 64;
- the first spin is a hit and the show runs: the show's track is rendered and played, the
  celebration shows, the show beats come, no error box;
- the music reaches the sound server (a zumbolo stream on PulseAudio while the show plays);
- the tracks were written to $XDG_DATA_HOME/zumbolo/, byte for byte the program's own;
- on SIGTERM the settings, with the hit, go to $XDG_CONFIG_HOME/zumbolo/zumbolo.ini and the
  tally is shown;
- nothing was written beside the program.
The program is then killed (the tally box would wait for a click). Exit status 0 when all held.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))

from desktop_session import DesktopError, parse_tree, wait_until  # noqa: E402
from trace_reader import Trace  # noqa: E402

TOOLS = ["pulseaudio", "pactl", "xwininfo"]  # and xvfb-run around it
TRACKS = ["kokab", "eye", "bgm", "tell", "fun", "rad", "spring"]
NULL_SINK = "zumbolo_null"
SHOW_BEATS = 8  # show beats to see before the show counts as running


def call(argv, env, timeout=10):
    return subprocess.run(argv, env=env, capture_output=True, text=True, timeout=timeout).stdout


class Check:
    def __init__(self, binary):
        self.binary = binary
        self.tmp = tempfile.mkdtemp(prefix="zumbolo-installed-")
        self.children = []
        for sub in ("home", "config", "data", "run"):
            os.makedirs(self.path(sub), mode=0o700)
        self.env = {
            "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
            "DISPLAY": os.environ["DISPLAY"],
            "LANG": "C.UTF-8",
            "HOME": self.path("home"),
            "XDG_CONFIG_HOME": self.path("config"),
            "XDG_DATA_HOME": self.path("data"),
            "XDG_RUNTIME_DIR": self.path("run"),
            "DBUS_SESSION_BUS_ADDRESS": "disabled:",
            "NO_AT_BRIDGE": "1",
        }
        if "XAUTHORITY" in os.environ:
            self.env["XAUTHORITY"] = os.environ["XAUTHORITY"]

    def path(self, *parts):
        return os.path.join(self.tmp, *parts)

    def spawn(self, name, argv, env):
        log = open(self.path(name + ".log"), "wb")
        proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=log,
                                stderr=subprocess.STDOUT)
        self.children.append((name, proc, log))
        return proc

    def log_tail(self, name, lines=20):
        with open(self.path(name + ".log"), errors="replace") as f:
            return "".join(f.readlines()[-lines:])

    def stop(self):
        for _, proc, log in reversed(self.children):
            if proc.poll() is None:
                proc.kill()
            proc.wait()
            log.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def start_pulseaudio(self):
        runtime = self.path("run", "pulse")
        os.makedirs(runtime, mode=0o700)
        socket = os.path.join(runtime, "native")
        self.env.update(PULSE_RUNTIME_PATH=runtime, PULSE_STATE_PATH=self.path("home", "pulse"),
                        PULSE_SERVER="unix:" + socket)
        self.spawn("pulseaudio", [
            "pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--use-pid-file=no",
            "--log-target=stderr", "--log-level=notice",
            f"--load=module-null-sink sink_name={NULL_SINK} rate=44100 channels=2",
            f"--load=module-native-protocol-unix socket={socket} auth-anonymous=1",
        ], self.env)
        wait_until(lambda: NULL_SINK in call(["pactl", "list", "short", "sinks"], self.env), 15,
                   "PulseAudio with the null sink")
        call(["pactl", "set-default-sink", NULL_SINK], self.env)

    def zumbolo_streams(self):
        text = call(["pactl", "list", "sink-inputs"], self.env)
        return [block for block in text.split("Sink Input #")[1:]
                if re.search(r'application\.process\.binary = "zumbolo"', block)]

    def figures_window(self):
        tree = parse_tree(call(["xwininfo", "-root", "-tree"], self.env))
        return [w for w in tree if w.name == "Zumbolo!" and (w.width, w.height) == (192, 64)
                and "IsViewable" in call(["xwininfo", "-id", str(w.id)], self.env)]

    def run(self):
        self.start_pulseaudio()
        trace = Trace(self.path("trace.log"))
        env = dict(self.env, ZUMBOLO_TRACE=trace.path)
        program = self.spawn("zumbolo", [self.binary, "/v"], env)
        try:
            window = wait_until(self.figures_window, 20, "the figures' window (192 x 64) mapped")[0]
            print(f"the figures' window: {window}")
            hit = trace.wait_for(r"hits 1 1", 20)
            load = trace.wait_for(r"player render fun\.res", 10, hit)
            trace.wait_for(r"player play", 10, load)
            shown = trace.wait_for(r"form2 show", 15, load)
            streams = wait_until(self.zumbolo_streams, 10, "a zumbolo stream on PulseAudio")
            print(f"PulseAudio plays {len(streams)} stream(s) of zumbolo")
            wait_until(lambda: len(trace.find_all(r"beat \d+ 3", shown)) >= SHOW_BEATS, 15,
                       f"{SHOW_BEATS} show beats")
            print("the show: " + ", ".join(t for _, t in trace.lines()[hit:shown + 1]
                                         if t.startswith(("hits", "player", "form2"))))
            errors = trace.find_all(r"error .*")
            if errors:
                raise DesktopError("error boxes: " + "; ".join(trace.lines()[i][1] for i in errors))
            if program.poll() is not None:
                raise DesktopError(f"the program ended with {program.returncode}")

            mark = len(trace.lines())
            program.send_signal(signal.SIGTERM)
            message = trace.wait_for(r"message .*", 10, mark)
            print("the tally: " + trace.lines()[message][1])
            ini = os.path.join(self.path("config"), "zumbolo", "zumbolo.ini")
            text = wait_until(lambda: os.path.exists(ini) and open(ini, "rb").read(), 5,
                              f"{ini} written")
            if not re.search(rb"\[date\]\r?\n[^\[=]+=1\r?\n", text):
                raise DesktopError(f"{ini} does not count today's hit:\n{text.decode('cp932')}")
            print(f"{ini}: written, with today's hit")
        except DesktopError as error:
            print(f"FAILED: {error}\n-- trace (end) --\n{trace.tail(0)}\n-- program output --\n"
                  f"{self.log_tail('zumbolo')}\n-- pulseaudio --\n{self.log_tail('pulseaudio')}")
            return 1
        finally:
            if program.poll() is None:
                program.kill()

        failed = False
        tracks_dir = os.path.join(self.path("data"), "zumbolo")
        for name in TRACKS:
            with open(os.path.join(SOURCE_DIR, "assets", "tracks", name + ".mp3"), "rb") as f:
                want = f.read()
            try:
                with open(os.path.join(tracks_dir, name + ".res"), "rb") as f:
                    ok = f.read() == want
            except FileNotFoundError:
                ok = False
            if not ok:
                print(f"FAILED: {tracks_dir}/{name}.res is not the program's track")
                failed = True
        if not failed:
            print(f"{tracks_dir}: the seven tracks, each the program's own")
        program_dir = os.path.dirname(os.path.realpath(self.binary))
        litter = [n for n in os.listdir(program_dir) if n == "zumbolo.ini" or n.endswith(".res")]
        if litter:
            print(f"FAILED: the program wrote {litter} into {program_dir}")
            failed = True
        else:
            print(f"{program_dir}: nothing written beside the program")
        return 1 if failed else 0


def main(argv):
    if len(argv) != 2 or "DISPLAY" not in os.environ:
        print(__doc__)
        return 2
    check = Check(argv[1])
    try:
        return check.run()
    finally:
        check.stop()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
