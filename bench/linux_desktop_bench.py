#!/usr/bin/python3
"""The Linux program `zumbolo` measured on a private X desktop: how punctually its beats arrive,
what spinning costs in CPU and memory, and how soon the figures are on screen.

    python3 bench/linux_desktop_bench.py --binary BUILD/platform/qt/zumbolo
    python3 bench/linux_desktop_bench.py --binary ... --sound pulse     # a PulseAudio null sink
    python3 bench/linux_desktop_bench.py --binary ... --beats 20 --cpu-seconds 10   # a quick look

It starts Xvfb, openbox and tint2 (with a tray) through tests/e2e/desktop_session.py, and with
--sound pulse also a private PulseAudio daemon with a null sink, played to through "pulsesink".
The program runs with ZUMBOLO_HOME in a temporary folder holding a zumbolo.ini that makes it
spin at TempoNormal (405 ms) with hit odds of 1 in 2 147 483 647, so that every beat is a spin
beat and the spin sound (kokab) is replayed once every eight beats; with ZUMBOLO_TRACE; and with
ZUMBOLO_BEAT_LOG, in which the program writes the due, posted and taken moments of every beat
and the moment its main window is first painted (monotonic microseconds, the clock of
time.monotonic()).

The program is started twice in the same folder: the first start writes the track files and is
timed to its first paint only; the second is measured. Its spinning phase for the CPU starts at
the tenth beat and lies within the timed beats. The program is ended with SIGKILL (a SIGTERM
would bring up the tally box and wait for it). A program that writes no beat log (an older
build) is measured for CPU and memory only.

Exit status: 0; 1 when fewer beats arrived than asked for or a beat was lost; 77 when a desktop
tool or the program is missing.
"""

import argparse
import os
import platform
import shutil
import signal
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.normpath(os.path.join(HERE, ".."))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))

from desktop_session import DesktopSession, DesktopError, wait_until  # noqa: E402
from debian_commands import missing  # noqa: E402

TOOLS = ["Xvfb", "xsetroot", "openbox", "tint2", "xprop", "xwininfo"]
SINKS = {"fake": "fakesink sync=true", "pulse": "pulsesink"}
CLOCK_TICK = os.sysconf("SC_CLK_TCK")
CPU_FROM_BEAT = 10  # the spinning phase for the CPU starts here, clear of the start-up


class ProgramEnded(Exception):
    pass


def read(path):
    with open(path) as f:
        return f.read()


def stat_cpu_ticks(pid):
    """utime + stime of the whole process, threads that have ended included (clock ticks)."""
    text = read(f"/proc/{pid}/stat")
    fields = text[text.rindex(")") + 2:].split()
    return int(fields[11]) + int(fields[12])


def thread_cpu(pid):
    """{tid: (name, ns on the CPU)} from each thread's schedstat, to the nanosecond."""
    threads = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            name = read(f"/proc/{pid}/task/{tid}/comm").strip()
            ns = int(read(f"/proc/{pid}/task/{tid}/schedstat").split()[0])
        except (OSError, ValueError, IndexError):
            continue  # ended meanwhile
        threads[tid] = (name, ns)
    return threads


def status_kib(pid, key):
    for line in read(f"/proc/{pid}/status").splitlines():
        if line.startswith(key + ":"):
            return int(line.split()[1])
    return None


class BeatLog:
    """The program's ZUMBOLO_BEAT_LOG, read as it grows."""

    def __init__(self, path):
        self.path = path
        self.moments = {}  # "main", "painted" -> monotonic seconds
        self.beats = []    # (n, due, posted, taken, late), seconds
        self._done = 0     # bytes parsed

    def update(self):
        try:
            with open(self.path, "rb") as f:
                f.seek(self._done)
                data = f.read()
        except OSError:
            return
        end = data.rfind(b"\n") + 1  # whole lines only
        self._done += end
        for line in data[:end].decode().splitlines():
            parts = line.split()
            if len(parts) == 2:
                self.moments.setdefault(parts[0], int(parts[1]) / 1e6)
            elif len(parts) == 6 and parts[0] == "beat":
                n, due, posted, taken, late = (int(p) for p in parts[1:])
                self.beats.append((n, due / 1e6, posted / 1e6, taken / 1e6, late))


def trace_lines(path, word):
    """The trace's lines with `word`, as (ms since the program started, the rest)."""
    found = []
    try:
        for line in read(path).splitlines():
            parts = line.split(maxsplit=2)
            if len(parts) >= 2 and parts[1] == word:
                found.append((int(parts[0]), parts[2] if len(parts) > 2 else ""))
    except (OSError, ValueError):
        pass
    return found


class Run:
    """One start of the program with its trace and its beat log. A program that writes no beat
    log (an older build) is still measured for CPU, memory and the trace, with the beats counted
    from the trace."""

    def __init__(self, args, desk, home, name):
        self.desk, self.name = desk, name
        self.log = BeatLog(os.path.join(home, name + ".beats"))
        self.trace = os.path.join(home, name + ".trace")
        env = {"ZUMBOLO_HOME": home, "ZUMBOLO_TRACE": self.trace, "ZUMBOLO_BEAT_LOG": self.log.path,
               "QT_QPA_PLATFORM": "xcb", "ZUMBOLO_AUDIO_SINK": SINKS.get(args.sound, args.sound)}
        self.spawned = time.monotonic()
        self.proc = desk.spawn(name, [args.binary], extra_env=env)

    def update(self):
        if self.proc.poll() is not None:
            raise ProgramEnded(f"the program exited with {self.proc.returncode}:\n"
                               + self.desk.log_tail(self.name))
        self.log.update()

    @property
    def beat_log(self):
        return "main" in self.log.moments  # written first thing, before any beat

    def beats(self):
        return len(self.log.beats) if self.beat_log else len(trace_lines(self.trace, "beat"))

    def wait(self, what, condition, timeout, interval=0.05):
        def probe():
            self.update()
            return condition() or None
        return wait_until(probe, timeout, what, interval=interval)

    def wait_started(self):
        """Until the main window has been painted (or, without a beat log, the first beat)."""
        self.wait("the first paint", lambda: "painted" in self.log.moments
                  or (not self.beat_log and self.beats() > 0), 30, interval=0.01)

    def end(self):
        self.desk.stop_process(self.proc, sig=signal.SIGKILL)
        self.desk.forget(self.proc)


def spread(values):
    """(p50, p99, max) by the nearest rank."""
    ordered = sorted(values)
    if not ordered:
        return (float("nan"),) * 3
    def rank(q):
        return ordered[max(1, -(-len(ordered) * q // 100)) - 1]
    return rank(50), rank(99), ordered[-1]


def machine():
    cores = os.cpu_count()
    debian = ""
    try:
        debian = "Debian " + read("/etc/debian_version").strip()
    except OSError:
        pass
    return f"{cores} cores, {debian or platform.platform()}, Linux {platform.release()}"


def measure(args, desk):
    home = tempfile.mkdtemp(prefix="zumbolo-bench-")
    try:
        # TempoNormal is the default; the odds make every spin a miss.
        with open(os.path.join(home, "zumbolo.ini"), "w") as f:
            f.write("[num]\nritu=2147483647\n")

        # The first start writes the track files into the empty folder; the measured run is a
        # later start, as most are.
        run = Run(args, desk, home, "first")
        run.wait_started()
        first_start = run.log.moments["painted"] - run.spawned if "painted" in run.log.moments else None
        run.end()

        run = Run(args, desk, home, "zumbolo")
        pid = run.proc.pid
        run.wait_started()
        total = max(args.beats, CPU_FROM_BEAT + 1)
        run.wait(f"beat {CPU_FROM_BEAT}", lambda: run.beats() >= CPU_FROM_BEAT, 30)

        # ---- Spinning, for the CPU: a fixed stretch of wall time ------------------------------
        ticks0, threads0, wall0 = stat_cpu_ticks(pid), thread_cpu(pid), time.monotonic()
        beats0 = run.beats()
        time.sleep(args.cpu_seconds)
        ticks1, threads1, wall1 = stat_cpu_ticks(pid), thread_cpu(pid), time.monotonic()
        rss, hwm = status_kib(pid, "VmRSS"), status_kib(pid, "VmHWM")
        run.update()
        beats_spinning = run.beats() - beats0

        # ---- The rest of the timed beats --------------------------------------------------------
        left = total - run.beats()
        run.wait(f"{total} beats", lambda: run.beats() >= total, max(30, 2 * left * 0.405 + 30), interval=0.2)
        run.end()

        wall = wall1 - wall0
        per_thread = []
        for tid in sorted(set(threads0) | set(threads1), key=int):
            name = (threads1.get(tid) or threads0.get(tid))[0]
            before = threads0.get(tid, (name, 0))[1]
            after = threads1.get(tid, (name, None))[1]
            if after is None or after - before <= 0:
                continue  # idle, or ended within the stretch (then only /proc/PID/stat has it)
            if int(tid) == pid:
                name += ", main thread (user interface)"
            elif name == threads1[str(pid)][0]:
                name += ", unnamed (the beat timer's)"
            per_thread.append((name, after - before))
        poses = trace_lines(run.trace, "pose")
        result = {
            "beat_log": run.beat_log,
            "timed": min(run.beats(), args.beats),
            "cpu_ticks": ticks1 - ticks0,
            "cpu_wall": wall,
            "cpu_threads_ns": sum(ns for _, ns in per_thread),
            "per_thread": per_thread,
            "beats_spinning": beats_spinning,
            "rss": rss, "hwm": hwm,
            "first_start": first_start,
            "first_pose_ms": poses[0][0] if poses else None,
        }
        if run.beat_log:
            beats = run.log.beats
            timed = beats[:args.beats]
            result.update({
                "interval_ms": round(spread([b[1] - a[1] for a, b in zip(beats, beats[1:])])[0] * 1000),
                "jitter": spread([(b[3] - b[1]) * 1000 for b in timed]),
                "wake": spread([(b[2] - b[1]) * 1000 for b in timed]),
                "hand_over": spread([(b[3] - b[2]) * 1000 for b in timed]),
                "lost": sum(b[4] for b in beats),
                "painted_from_spawn": run.log.moments["painted"] - run.spawned,
                "painted_from_main": run.log.moments["painted"] - run.log.moments["main"],
            })
        else:
            # A lost beat stops the clock, and nothing else does while the figures spin.
            result["lost"] = sum(1 for _, rest in trace_lines(run.trace, "enabled") if rest == "0")
        return result
    finally:
        shutil.rmtree(home, ignore_errors=True)


def report(args, r, load_before, load_after):
    ms = lambda v: f"{v:.3f} ms"  # noqa: E731
    sink = SINKS.get(args.sound, args.sound)
    print(f"\nzumbolo on Xvfb + openbox + tint2, sound: {sink}"
          f"{' (PulseAudio null sink)' if args.sound == 'pulse' else ''}; {machine()}")
    print(f"load average before / after: {load_before} / {load_after}\n")
    if r["beat_log"]:
        print("| measure | p50 | p99 | max |\n|---|---|---|---|")
        print(f"| beat jitter: taken - ideal deadline ({r['timed']} beats at {r['interval_ms']} ms) | "
              + " | ".join(ms(v) for v in r["jitter"]) + " |")
        print("| timer thread: posted - ideal deadline | " + " | ".join(ms(v) for v in r["wake"]) + " |")
        print("| hand-over latency: posted -> taken | " + " | ".join(ms(v) for v in r["hand_over"]) + " |")
    else:
        print(f"(no ZUMBOLO_BEAT_LOG from this program: beat timing not measured; {r['timed']} beats counted "
              "in the trace)")
    wall = r["cpu_wall"]
    ticks_pct = 100.0 * r["cpu_ticks"] / CLOCK_TICK / wall
    exact_pct = 100.0 * r["cpu_threads_ns"] / 1e9 / wall
    print("\n| measure | value |\n|---|---|")
    print(f"| CPU while spinning, utime + stime of the process (/proc/PID/stat) | {ticks_pct:.3f} % of one core "
          f"({r['cpu_ticks']} ticks of {1000 // CLOCK_TICK} ms in {wall:.1f} s, {r['beats_spinning']} beats) |")
    print(f"| the same from the threads' schedstat (ns) | {exact_pct:.4f} % of one core "
          f"({r['cpu_threads_ns'] / 1e6:.1f} ms CPU) |")
    for name, ns in sorted(r["per_thread"], key=lambda t: -t[1]):
        print(f"| - thread {name} | {100.0 * ns / 1e9 / wall:.4f} % |")
    print(f"| resident memory after spinning: VmRSS / VmHWM | {r['rss'] / 1024:.1f} MiB / {r['hwm'] / 1024:.1f} MiB |")
    if r["beat_log"]:
        print(f"| main window first painted, from the start of the process | {r['painted_from_spawn'] * 1000:.1f} ms |")
        print(f"| the same, from main() | {r['painted_from_main'] * 1000:.1f} ms |")
    if r["first_pose_ms"] is not None:
        print(f"| first figures drawn (the trace's first pose), from main() | {r['first_pose_ms']} ms |")
    if r["first_start"] is not None:
        print(f"| main window first painted at the very first start (track files written), from the start "
              f"of the process | {r['first_start'] * 1000:.1f} ms |")
    print(f"| lost beats | {r['lost']} |")


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--binary", default=os.path.join(SOURCE_DIR, "build", "platform", "qt", "zumbolo"),
                        help="the program (default: build/platform/qt/zumbolo)")
    parser.add_argument("--sound", default="fake",
                        help="fake (fakesink sync=true), pulse (a PulseAudio null sink), or a sink description")
    parser.add_argument("--beats", type=int, default=200, help="beats timed (default 200)")
    parser.add_argument("--cpu-seconds", type=float, default=60, help="seconds of spinning for the CPU (default 60)")
    args = parser.parse_args(argv)
    if args.beats < 1 or args.cpu_seconds <= 0:
        parser.error("--beats and --cpu-seconds must be positive")
    if not os.access(args.binary, os.X_OK):
        print(f"linux_desktop_bench: no program at {args.binary}", file=sys.stderr)
        return 77
    lines = missing(TOOLS + (["pulseaudio", "pactl"] if args.sound == "pulse" else []))
    if lines:
        print("linux_desktop_bench: missing commands:\n  " + "\n  ".join(lines), file=sys.stderr)
        return 77
    args.binary = os.path.abspath(args.binary)
    load_before = " ".join(read("/proc/loadavg").split()[:3])
    print(f"linux_desktop_bench: {args.beats} beats (about {args.beats * 0.405 + 5:.0f} s), "
          f"{args.cpu_seconds:g} s of them for the CPU", flush=True)
    try:
        with DesktopSession(pulse=(args.sound == "pulse")) as desk:
            result = measure(args, desk)
    except (DesktopError, ProgramEnded) as error:
        print(f"linux_desktop_bench: {error}", file=sys.stderr)
        return 1
    load_after = " ".join(read("/proc/loadavg").split()[:3])
    report(args, result, load_before, load_after)
    if result["timed"] < args.beats or result["lost"]:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
