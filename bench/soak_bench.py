#!/usr/bin/python3
"""Back-to-back shows for half an hour: what the program holds of the system as the hours go by.

    python3 bench/soak_bench.py --binary build/platform/qt/zumbolo                 # 30 minutes
    python3 bench/soak_bench.py --binary ... --minutes 5 --csv /tmp/soak.csv
    python3 bench/soak_bench.py --wine build-windows/platform/win32/zumbolo.exe --minutes 15

The program runs on a private desktop (tests/e2e/desktop_session.py: Xvfb, openbox, tint2 and a
PulseAudio server with a null sink, through which it plays) with "/v", so that every spin is a
hit and one show follows another, in its default show mode (Funiculì, 73 s of music from its file)
with the sound effects (the spin sound and the jingle from memory): three loads a show. With
--wine it is zumbolo.exe under Wine in a fresh prefix, its DirectShow graphs playing through
Wine's PulseAudio driver.

Every --interval seconds, and at every restart after a show (when the program is back where it
was after the show before: the spin sound loaded, the figures spinning), it samples the program's
open descriptors, threads and resident memory from /proc. Under Wine those are the Linux process
that runs zumbolo.exe (Wine's threads are its threads); its Windows handles live in the prefix's
wineserver, which Wine does not count for another process (GetProcessHandleCount answers 0), so
the wineserver's own descriptors and resident memory are sampled too: a leaked handle keeps its
object there.

The growth is measured from the restart after the --warm-up'th show (GStreamer, PulseAudio and Wine
set themselves up in the first shows) to the last restart: descriptors must not grow at all, and
resident memory, fitted by least squares over the restarts, by less than 1 MB per hour. Exit
status 0 when both hold, 1 when not, 77 when a tool or the program is missing.
"""

import argparse
import csv
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.normpath(os.path.join(HERE, ".."))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "wine"))

from desktop_session import DesktopSession  # noqa: E402
from trace_reader import Trace  # noqa: E402

TOOLS = ["Xvfb", "xsetroot", "openbox", "tint2", "pulseaudio", "pactl"]
MEMORY_LIMIT_MB_PER_HOUR = 1.0


def proc_counts(pid):
    """(descriptors, threads, resident kB) of a Linux process."""
    with open(f"/proc/{pid}/status") as f:
        rss = next(int(line.split()[1]) for line in f if line.startswith("VmRSS:"))
    return len(os.listdir(f"/proc/{pid}/fd")), len(os.listdir(f"/proc/{pid}/task")), rss


def process_running(program):
    """The pid of the process whose first argument is `program`, or None."""
    for pid in sorted(int(p) for p in os.listdir("/proc") if p.isdigit()):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                if os.fsdecode(f.read().split(b"\0")[0]) == program:
                    return pid
        except OSError:
            continue
    return None


def slope_per_hour(points):
    """Least-squares slope of (seconds, value) points, per hour."""
    n = len(points)
    if n < 2:
        return 0.0
    mx = sum(t for t, _ in points) / n
    my = sum(v for _, v in points) / n
    sxx = sum((t - mx) ** 2 for t, _ in points)
    return 0.0 if sxx == 0 else sum((t - mx) * (v - my) for t, v in points) / sxx * 3600


class Program:
    """The Linux program, or zumbolo.exe under Wine; `counts()` is one sample of what it holds."""

    def __init__(self, desk, args, folder):
        self.desk, self.args, self.folder = desk, args, folder
        self.trace = Trace(os.path.join(folder, "zumbolo.trace.log"))
        self.wine = None
        self.pid = None

    def start(self):
        if self.args.wine:
            from wine_env import WinePrefix, windows_path
            self.wine = WinePrefix(base_env=self.desk.env, log=print)
            self.wine.__enter__()
            exe = os.path.join(self.folder, "zumbolo.exe")
            shutil.copy(self.args.wine, exe)
            env = dict(self.wine.env, ZUMBOLO_TRACE=windows_path(self.trace.path))
            env = {k: v for k, v in env.items() if self.desk.env.get(k) != v}
            self.proc = self.desk.spawn("zumbolo", ["wine", exe, "/v"], extra_env=env)
            # Wine names the process after the program it runs.
            deadline = time.monotonic() + 60
            while self.pid is None and time.monotonic() < deadline:
                time.sleep(0.5)
                self.pid = process_running(exe)
            self.server = self.find_wineserver()
        else:
            env = {"ZUMBOLO_HOME": self.folder, "ZUMBOLO_TRACE": self.trace.path, "QT_QPA_PLATFORM": "xcb"}
            self.proc = self.desk.spawn("zumbolo", [self.args.binary, "/v"], extra_env=env)
            self.pid = self.proc.pid
        if self.pid is None:
            raise RuntimeError("the program's process was not found")

    def find_wineserver(self):
        """The wineserver of this prefix, whatever path it was started by."""
        for pid in sorted(int(p) for p in os.listdir("/proc") if p.isdigit()):
            try:
                with open(f"/proc/{pid}/comm") as f:
                    if not f.read().startswith("wineserver"):
                        continue
                with open(f"/proc/{pid}/environ", "rb") as f:
                    if os.fsencode("WINEPREFIX=" + self.wine.prefix) in f.read().split(b"\0"):
                        return pid
            except OSError:
                continue
        return None

    def counts(self):
        """{descriptors, threads, rss_kb} and, under Wine, {server_descriptors, server_rss_kb}."""
        fds, threads, rss = proc_counts(self.pid)
        sample = {"descriptors": fds, "threads": threads, "rss_kb": rss}
        if self.wine and self.server:
            fds, _, rss = proc_counts(self.server)
            sample.update({"server_descriptors": fds, "server_rss_kb": rss})
        return sample

    def stop(self):
        if self.wine:
            self.wine.run(["wine", "taskkill", "/f", "/im", "zumbolo.exe"], check=False, timeout=30)
            self.wine.stop()
        self.desk.stop_process(self.proc, timeout=10)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    which = parser.add_mutually_exclusive_group(required=True)
    which.add_argument("--binary", help="the Linux program")
    which.add_argument("--wine", help="zumbolo.exe, run under Wine")
    parser.add_argument("--minutes", type=float, default=30)
    parser.add_argument("--interval", type=float, default=10, help="seconds between periodic samples")
    parser.add_argument("--warm-up", type=int, default=2, help="shows before the growth is measured")
    parser.add_argument("--csv", help="where the samples go (default: beside the program's files)")
    args = parser.parse_args(argv[1:])
    program_file = args.wine or args.binary
    tools = TOOLS + (["wine", "wineserver"] if args.wine else [])
    missing = [t for t in tools if shutil.which(t) is None]
    if missing or not os.path.isfile(program_file):
        print("SKIPPED: missing " + " ".join(missing or [program_file]))
        return 77

    folder = tempfile.mkdtemp(prefix="zumbolo-soak-")
    samples = []  # (seconds, kind, shows, loads, counts)
    with DesktopSession(pulse=True) as desk:
        program = Program(desk, args, folder)
        program.start()
        started = time.monotonic()
        end = started + args.minutes * 60
        next_periodic = started
        restarts_seen = 0
        try:
            while time.monotonic() < end:
                if program.proc.poll() is not None:
                    raise RuntimeError(f"the program ended with status {program.proc.returncode}:\n"
                                       + desk.log_tail("zumbolo"))
                lines = program.trace.lines()
                texts = [text for _, text in lines]
                restarts = [i for i, text in enumerate(texts) if text == "form3 hide"]
                # A restart is sampled once its first spin beat has come.
                ready = [i for i in restarts if "beat 1 0" in texts[i:]]
                kind = None
                if len(ready) > restarts_seen:
                    restarts_seen = len(ready)
                    kind = "restart"
                elif time.monotonic() >= next_periodic:
                    kind = "periodic"
                if kind:
                    if kind == "periodic":
                        next_periodic += args.interval
                    loads = sum(1 for text in texts if text.startswith("player render "))
                    sample = (time.monotonic() - started, kind, restarts_seen, loads, program.counts())
                    samples.append(sample)
                    print(f"{sample[0]:7.0f} s  {kind:8}  shows {sample[2]:3}  loads {loads:4}  "
                          + "  ".join(f"{k} {v}" for k, v in sample[4].items()), flush=True)
                time.sleep(0.5)
            errors = [text for _, text in program.trace.lines() if text.startswith("error ")]
            lost = sum(1 for _, text in program.trace.lines() if text == "dance 100")
        finally:
            program.stop()

    out = args.csv or os.path.join(folder, "soak.csv")
    keys = sorted({k for s in samples for k in s[4]})
    with open(out, "w", newline="") as f:
        writer = csv.writer(f)
        writer.writerow(["seconds", "kind", "shows", "loads"] + keys)
        for t, kind, shows, loads, counts in samples:
            writer.writerow([f"{t:.1f}", kind, shows, loads] + [counts.get(k, "") for k in keys])
    print(f"samples in {out}")
    for name in os.listdir(folder):  # the track files the program wrote
        if name.endswith((".res", ".exe")):
            os.remove(os.path.join(folder, name))

    restarts = [s for s in samples if s[1] == "restart"]
    measured = [s for s in restarts if s[2] >= args.warm_up]
    if len(measured) < 2:
        print(f"FAILED: only {len(restarts)} shows ended; at least {args.warm_up + 2} are needed")
        return 1
    first, last = measured[0], measured[-1]
    hours = (last[0] - first[0]) / 3600
    print(f"{last[2]} shows, {last[3]} loads, {len(errors)} error lines, "
          f"{lost} lost beats in {samples[-1][0] / 60:.1f} min")
    print(f"growth from the restart after show {first[2]} ({first[0]:.0f} s, {first[3]} loads) "
          f"to the one after show {last[2]} ({last[0]:.0f} s, {last[3]} loads):")
    ok = True
    for key in keys:
        values = [s[4][key] for s in measured if key in s[4]]
        if not values:
            continue
        grown = values[-1] - values[0]
        line = f"  {key:12} {values[0]:>8} -> {values[-1]:>8}  ({grown:+d}; at restarts {min(values)}..{max(values)})"
        if key.endswith("_kb"):
            per_hour = slope_per_hour([(s[0], s[4][key] / 1024) for s in measured if key in s[4]])
            line += f"; fitted {per_hour:+.2f} MB per hour"
            if per_hour >= MEMORY_LIMIT_MB_PER_HOUR:
                ok = False
        elif key.endswith("descriptors") and grown > 0:
            ok = False
        print(line)
    print(f"over {hours * 60:.1f} min between those restarts: {'PASS' if ok else 'FAIL'} "
          f"(no descriptor more, memory under {MEMORY_LIMIT_MB_PER_HOUR} MB per hour)")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
