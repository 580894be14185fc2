#!/usr/bin/python3
"""Holds a desktop program's trace ($ZUMBOLO_TRACE) against zumbolo-sim's log of the same run.

    python3 tools/conformance/conformance.py TRACE [--sim BUILD/tools/sim/zumbolo-sim]
            [--tolerance 50] [--keep DIR]

The trace says how the run began and what the user did (docs/trace.md): the seed, the command
line, the work area, the date pattern, the starting zumbolo.ini, the track files that were
there, the local time, each action (`user WHAT`) and the close. The simulator runs the same
scenario; then the two are compared line by line, in the stage log's own words plus the lines
that name who wrote them (`user`, `close`, `event`). The report gives the first difference, with
the lines before and after it, and how far from their simulated times the program's events came.

How the two are lined up:
  * Each handler's lines form a block that begins with its first line: `beat` (a beat),
    `event complete|paused|timer1` (the player's events, the after-show timer), `user`,
    `close`; start-up's lines are the block before them all.
  * Blocks from different sources (a beat and a track's end, say) that the simulator has less
    than the tolerance apart may come in either order: the program's order is taken.
  * Times: the simulator's handlers take no time; the program's do, and what a handler sets
    going (the beat clock, a track, the after-show timer) starts when the program got to that
    line. So each event is timed from the line that set it going: a beat from the line that last
    armed the beat clock (`enabled 1` turning it on, `interval` changing it while on), a track's
    end from the `player play` that started it or a later `player seek` while it ran, the
    after-show timer from `timer1 1`.
    A time difference is the event's time in the trace less that line's time in the trace plus
    the simulated time between the two. Start-up and the user's own lines are not timed.
  * A user's action goes to the simulator at its time after the handler before it in the
    trace, kept before the simulator's next event when the program had it before that event:
    so it comes between the same two events as in the program.

Exit status: 0 the run matches, within the tolerance; 1 it does not; 2 the tool could not run.
Standard library only.
"""

import argparse
import math
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.normpath(os.path.join(HERE, "..", ".."))
DEFAULT_SIM = os.path.join(SOURCE_DIR, "build", "tools", "sim", "zumbolo-sim")
TOLERANCE_MS = 50
CONTEXT = 4

# The stage log's words (stagelog.md), and the lines that say who wrote the lines after them.
LOG_WORDS = {"beat", "pose", "poses", "figure", "overlay", "moveto", "top", "left", "interval",
             "enabled", "dance", "foreground", "timer1", "caption", "check", "visible", "hits",
             "error", "message", "fullscreen", "step-aside", "come-back", "offscreen"}
PLAYER_WORDS = {"active", "render", "play", "stop", "empty", "seek", "volume"}
# `fullscreen` starts the handler of a full-screen window that came or went: an input, as a
# user's action is.
MARKERS = {"beat", "event", "user", "close", "fullscreen"}
INPUTS = ("user", "close", "fullscreen")
# What sets each timed source going.
TIMED_BY = {"beat": "clock", "event complete": "player", "event timer1": "timer"}


class Line:
    def __init__(self, number, ms, text):
        self.number, self.ms, self.text = number, ms, text
        self.words = text.split(" ")

    @property
    def word(self):
        return self.words[0]

    def __repr__(self):
        return f"{self.ms} {self.text}"


def compared(line):
    word, arg = line.word, line.words[1] if len(line.words) > 1 else ""
    if word in LOG_WORDS or word in MARKERS:
        return True
    if word in ("form1", "form2", "form3"):
        return arg in ("show", "hide")
    return word == "player" and arg in PLAYER_WORDS


def same(a, b):
    """Two lines say the same; an error's text is the platform's own, so only its word counts."""
    return a.text == b.text or (a.word == "error" and b.word == "error")


def read_lines(path):
    out = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, raw in enumerate(f, 1):
            m = re.match(r"^(\d+) (.*)$", raw.rstrip("\n"))
            if m:
                out.append(Line(number, int(m.group(1)), m.group(2)))
    return out


def unescape(token):
    """The bytes of a word written by the program's Escaped(): "" is nothing, \\xHH a byte."""
    if token == '""':
        return b""
    return re.sub(rb"\\x([0-9A-Fa-f]{2})", lambda m: bytes([int(m.group(1), 16)]), token.encode())


# -- the scenario ------------------------------------------------------------------------------

def area(words):
    """A work area as --work-area and --screen take it: WxH, and +X+Y where the trace has them."""
    text = f"{words[0]}x{words[1]}"
    if len(words) >= 4:
        text += "".join(f"+{n}" if not n.startswith("-") else n for n in words[2:4])
    return text


class Scenario:
    def __init__(self, lines):
        facts = {}
        for line in lines:
            if line.word in ("clock", "seed", "args", "workarea", "datepattern", "ini"):
                facts.setdefault(line.word, line.words[1:])
        missing = [w for w in ("seed", "args", "workarea", "datepattern", "ini") if w not in facts]
        if missing:
            raise ValueError("the trace does not say how the run began (no " + ", ".join(missing)
                             + " line): a program from before the replay lines?")
        self.seed = int(facts["seed"][0])
        self.args = [unescape(a).decode("utf-8", "replace") for a in facts["args"]]
        self.work_area = area(facts["workarea"])
        self.screens = [area(line.words[1:]) for line in lines if line.word == "screen"]
        self.date_pattern = unescape(facts["datepattern"][0]).decode("utf-8", "replace")
        self.ini = None if facts["ini"] == ["none"] else unescape(facts["ini"][0])
        self.clock = facts["clock"][0] if "clock" in facts else None
        self.tracks = {}  # file name: "MS" or None (there, but not something a player plays)
        for line in lines:
            if line.word == "track" and len(line.words) == 3:
                self.tracks[line.words[1]] = None if line.words[2] == "none" else line.words[2]

    def describe(self):
        ini = "none" if self.ini is None else f"{len(self.ini)} bytes"
        tracks = ", ".join(f"{k}={v or 'not audio'}" for k, v in self.tracks.items()) or "the program's own"
        screens = "".join(f", screen {s}" for s in self.screens)
        return (f"seed {self.seed}, args {' '.join(self.args) or '(none)'}, work area {self.work_area}{screens}, "
                f"date pattern {self.date_pattern!r}, zumbolo.ini {ini}, tracks {tracks}, "
                f"clock {self.clock or 'now'}")


class Simulator:
    def __init__(self, binary, scenario, folder):
        self.binary, self.scenario, self.folder = binary, scenario, folder
        self.command = None

    def run(self, actions, until):
        """The simulator's log (compared lines only) with `actions` [(ms, what)] and the close
        at `until` (ms, fractions allowed)."""
        s = self.scenario
        # Each run starts from the same folder: zumbolo.ini as the program found it, the track
        # files that were not audio as files the player cannot play.
        ini = os.path.join(self.folder, "zumbolo.ini")
        if s.ini is None:
            if os.path.exists(ini):
                os.remove(ini)
        else:
            with open(ini, "wb") as f:
                f.write(s.ini)
        argv = [self.binary, "--dir", self.folder, "--seed", str(s.seed), "--work-area", s.work_area,
                "--date-pattern", s.date_pattern, "--until", f"{until:.3f}",
                "--log", os.path.join(self.folder, "sim.log")]
        for screen in s.screens:
            argv += ["--screen", screen]
        if s.clock:
            argv += ["--clock", s.clock]
        for name, ms in s.tracks.items():
            if ms is None:
                with open(os.path.join(self.folder, name), "wb") as f:
                    f.write(b"not audio\n")
            else:
                argv += ["--track", f"{name}={ms}"]
        for at, what in actions:
            argv += ["--at", f"{at:.3f}:{what}"]
        argv += ["--"] + s.args
        self.command = argv
        done = subprocess.run(argv, capture_output=True, timeout=120)
        if done.returncode != 0:
            raise RuntimeError(f"zumbolo-sim failed ({done.returncode}): {done.stderr.decode(errors='replace')}")
        return [l for l in read_lines(os.path.join(self.folder, "sim.log")) if compared(l)]


# -- blocks and their matching -----------------------------------------------------------------

class Block:
    """One handler's lines. Its `event` line names it but is not compared: only what the handler
    did is (a player event that does nothing visible is no difference)."""

    def __init__(self, index, lines):
        self.index, self.lines = index, lines
        first = lines[0]
        if first.word in ("beat", "user", "close", "fullscreen"):
            self.source = first.word
        elif first.word == "event":
            self.source = first.text
        else:
            self.source = "start-up"

    @property
    def ms(self):
        return self.lines[0].ms

    @property
    def content(self):
        return [l for l in self.lines if l.word != "event"]

    def __repr__(self):
        return f"Block({self.source} at {self.ms}, {len(self.lines)} lines)"


def blocks_of(lines):
    """The handlers' blocks, without those that did nothing to compare, numbered in order."""
    out = []
    for line in lines:
        if not out or line.word in MARKERS:
            out.append(Block(0, [line]))
        else:
            out[-1].lines.append(line)
    out = [b for b in out if b.content]
    for index, block in enumerate(out):
        block.index = index
    return out


def same_block(a, b):
    x, y = a.content, b.content
    return len(x) == len(y) and all(same(p, q) for p, q in zip(x, y))


class Difference:
    """Where the program's trace and the simulator's log part: the trace's block and the
    simulator's block compared there (either may be None: one of them had ended), and the
    position in them of the first line that differs."""

    def __init__(self, real, sim, at, note=""):
        self.real, self.sim, self.at, self.note = real, sim, at, note

    def position(self, block, lines):
        """(index in `lines`, line) of the first line that differs on one side: the block's line
        there, or, where the block has ended, the next compared line after it (None: none)."""
        if block is None:
            return len(lines), None
        i = (lines.index(block.content[self.at]) if self.at < len(block.content)
             else lines.index(block.lines[-1]) + 1)
        line = next((l for l in lines[i:] if l.word != "event"), None)
        return (lines.index(line) if line else i), line


def first_unequal(a, b):
    x, y = a.content, b.content
    for k, (p, q) in enumerate(zip(x, y)):
        if not same(p, q):
            return k
    return min(len(x), len(y))


def match(real_blocks, sim_blocks, window, partial=False):
    """Pairs each of the program's blocks with one of the simulator's, in the program's order.
    Returns (pairs, pending simulator blocks, swaps, Difference or None). With `partial`, sim
    blocks left over are no difference (the trace was cut there)."""
    pending = list(sim_blocks)
    pairs, swaps = [], 0
    for rb in real_blocks:
        if not pending:
            return pairs, pending, swaps, Difference(rb, None, 0)
        head = pending[0]
        if same_block(rb, head):
            pairs.append((rb, pending.pop(0)))
            continue
        # A block of another source that the simulator has just after: near-simultaneous.
        near = [s for s in pending[1:] if s.ms - head.ms < window and s.source != head.source]
        taken = next((s for s in near if same_block(rb, s)), None)
        if taken is not None:
            pending.remove(taken)
            pairs.append((rb, taken))
            swaps += 1
            continue
        started = next((s for s in near if s.source == rb.source != head.source), None)
        if started is not None:
            note = (f"the program took \"{rb.lines[0].text}\" before \"{head.lines[0].text}\", which the "
                    f"simulator has {started.ms - head.ms} ms before it; what follows differs")
            return pairs, pending, swaps, Difference(rb, started, first_unequal(rb, started), note)
        note = ""
        if pairs and rb.source != head.source:
            apart = (head.ms - pairs[-1][1].ms) - (rb.ms - pairs[-1][0].ms)
            if abs(apart) < window:
                note = (f"near-simultaneous: the program had \"{rb.lines[0].text}\" where the simulator "
                        f"has \"{head.lines[0].text}\", {apart:+d} ms from it")
        return pairs, pending, swaps, Difference(rb, head, first_unequal(rb, head), note)
    if pending and not partial:
        return pairs, pending, swaps, Difference(None, pending[0], 0)
    return pairs, pending, swaps, None


# -- times --------------------------------------------------------------------------------------

def time_differences(pairs):
    """For each timed event (a block's first line whose source is timed): (difference in ms,
    the trace's line, the line that set it going). The lines are walked in the program's order,
    following the beat clock (created off, at 451 ms) and the player, and each source's last
    setting line is kept as (trace ms, simulator ms, line)."""
    anchors = {}
    enabled, interval, running = False, "451", False
    out = []
    for rb, sb in pairs:
        source = TIMED_BY.get(rb.source)
        if source and source in anchors:
            (real_at, sim_at, setter) = anchors[source]
            expected = real_at + (sb.ms - sim_at)
            out.append((rb.ms - expected, rb.lines[0], setter))
        for r, s in zip(rb.content, sb.content):
            w = r.words + [""]
            if r.word == "enabled":
                if w[1] == "1" and not enabled:
                    anchors["clock"] = (r.ms, s.ms, r)
                enabled = w[1] == "1"
            elif r.word == "interval":
                if enabled and w[1] != interval:
                    anchors["clock"] = (r.ms, s.ms, r)
                interval = w[1]
            elif r.word == "player":
                # A track runs from a play that starts it, or from a seek while it runs (also
                # at its end, where it stays running until it is stopped).
                if (w[1] == "play" and not running) or (w[1] == "seek" and running):
                    anchors["player"] = (r.ms, s.ms, r)
                if w[1] == "play":
                    running = True
                elif w[1] in ("stop", "empty", "render", "active"):
                    running = False
            elif r.word == "timer1" and w[1] == "1":
                anchors["timer"] = (r.ms, s.ms, r)
    return out


def percentile(sorted_values, p):
    if not sorted_values:
        return 0
    # The nearest rank: the smallest value that at least p % of them do not exceed.
    k = max(0, math.ceil(p / 100 * len(sorted_values)) - 1)
    return sorted_values[k]


# -- the check ------------------------------------------------------------------------------------

class Result:
    def __init__(self):
        self.lines_compared = 0
        self.blocks = 0
        self.swaps = 0
        self.difference = None
        self.times = []  # (difference ms, trace line, setting line)
        self.handler_ms = (0, None)
        self.tolerance = TOLERANCE_MS
        self.report = ""
        self.sim_command = None
        self.expected = self.got = None  # at the first difference: the simulator's line, the program's

    @property
    def late(self):
        return [t for t in self.times if abs(t[0]) > self.tolerance]

    @property
    def ok(self):
        return self.difference is None and not self.late

    def stats(self):
        values = sorted(abs(d) for d, _, _ in self.times)
        return percentile(values, 50), percentile(values, 99), (values[-1] if values else 0)

    def summary(self):
        p50, p99, worst = self.stats()
        verdict = "match" if self.ok else ("DIFFERENT" if self.difference else "LATE")
        return (f"{verdict}: {self.lines_compared} lines compared in {self.blocks} blocks; "
                f"time differences of {len(self.times)} events p50 {p50} ms, p99 {p99} ms, "
                f"max {worst} ms (tolerance {self.tolerance} ms)")


def action_of(line):
    """The simulator's --at name for an input's first line."""
    if line.word == "fullscreen":
        return "fullscreen-on" if line.words[1] == "1" else "fullscreen-off"
    return line.words[1]


def place(partner, pending, real_gap):
    """The simulator's time for an input that came `real_gap` ms after the handler `partner` in
    the program: after that handler, and before the simulator's next block where it fits."""
    at = partner.ms + max(real_gap, 0) + 0.999  # the log's times are rounded down: after it
    if pending:
        following = min(b.ms for b in pending)
        if at >= following and following >= partner.ms + 1:
            at = following - 0.001
    return at


def check(trace_path, sim_binary=DEFAULT_SIM, tolerance=TOLERANCE_MS, keep=None):
    """Runs the simulator on the trace's scenario and compares; returns a Result."""
    all_lines = read_lines(trace_path)
    scenario = Scenario(all_lines)
    real = [l for l in all_lines if compared(l)]
    real_blocks = blocks_of(real)
    inputs = [b for b in real_blocks if b.source in INPUTS]
    result = Result()
    result.tolerance = tolerance
    folder = tempfile.mkdtemp(prefix="zumbolo-conformance-")
    try:
        sim = Simulator(sim_binary, scenario, folder)
        far = (real[-1].ms if real else 0) + 10000
        actions, until, parted = [], None, None
        for block in inputs:
            if block.source == "close" and until is not None:
                continue
            if parted is None:
                sim_blocks = blocks_of(sim.run(actions, far))
                pairs, pending, _, difference = match(real_blocks[:block.index], sim_blocks, tolerance,
                                                      partial=True)
                if difference is not None:
                    # The runs have parted before this input (the final comparison says where):
                    # the rest keep their distance from the last handler the two had in common.
                    parted = pairs[-1] if pairs else (real_blocks[0], sim_blocks[0])
                else:
                    partner_real, partner_sim = pairs[-1]
                    at = place(partner_sim, pending, block.ms - partner_real.ms)
            if parted is not None:
                at = parted[1].ms + max(block.ms - parted[0].ms, 0) + 0.999
            if block.source == "close":
                until = at
            else:
                actions.append((at, action_of(block.lines[0])))
        cut = until is None  # no close in the trace: the program was ended from outside
        if cut:
            sim_blocks = blocks_of(sim.run(actions, far))
            pairs, pending, _, _ = match(real_blocks, sim_blocks, tolerance, partial=True)
            until = place(pairs[-1][1], pending, real[-1].ms - pairs[-1][0].ms) if pairs else far
        sim_lines = sim.run(actions, until)
        result.sim_command = sim.command
        sim_blocks = blocks_of(sim_lines)
        if cut:
            sim_blocks = [b for b in sim_blocks if b.source != "close" and b.ms < until]
        pairs, pending, swaps, difference = match(real_blocks, sim_blocks, tolerance)
        result.blocks, result.swaps, result.difference = len(pairs), swaps, difference
        result.lines_compared = sum(len(rb.content) for rb, _ in pairs) + (difference.at if difference else 0)
        if difference is not None:
            result.expected = difference.position(difference.sim, sim_lines)[1]
            result.got = difference.position(difference.real, real)[1]
        result.times = time_differences(pairs)
        work = [(rb.lines[-1].ms - rb.ms, rb) for rb, _ in pairs if rb.source != "start-up"]
        result.handler_ms = max(work, key=lambda w: w[0]) if work else (0, None)
        result.report = report(trace_path, scenario, result, pairs, real, sim_lines)
        if keep:
            os.makedirs(keep, exist_ok=True)
            shutil.copy(os.path.join(folder, "sim.log"), os.path.join(keep, "conformance-sim.log"))
            with open(os.path.join(keep, "conformance-report.txt"), "w") as f:
                f.write(result.report)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return result


def report(trace_path, scenario, result, pairs, real, sim_lines):
    out = [f"conformance of {trace_path}",
           f"  scenario: {scenario.describe()}",
           "  simulator: " + shlex.join(result.sim_command),
           f"  {result.summary()}"]
    if result.swaps:
        out.append(f"  {result.swaps} pair(s) of near-simultaneous blocks taken in the program's order")
    if result.handler_ms[1] is not None:
        ms, block = result.handler_ms
        out.append(f"  the program's longest handler took {ms} ms ({block.source} at {block.ms} ms); "
                   f"the simulator's take no time")
    if result.times:
        worst = max(result.times, key=lambda t: abs(t[0]))
        out.append(f"  the largest time difference: {worst[0]:+d} ms at trace line {worst[1].number} "
                   f"\"{worst[1]}\", timed from line {worst[2].number} \"{worst[2]}\"")
    for d, line, setter in result.late[:5]:
        out.append(f"  LATE by {d:+d} ms: trace line {line.number} \"{line}\" (timed from \"{setter}\")")
    d = result.difference
    if d is not None:
        out.append("  FIRST DIFFERENCE" + (f" ({d.note})" if d.note else "") + ":")
        ri, real_at = d.position(d.real, real)
        si, sim_at = d.position(d.sim, sim_lines)
        out.append("    before it (program | simulator):")
        for k in range(CONTEXT, 0, -1):
            a = real[ri - k] if ri - k >= 0 else ""
            b = sim_lines[si - k] if si - k >= 0 else ""
            out.append(f"      {str(a):<40} | {b}")
        out.append(f"    expected (zumbolo-sim): {sim_at if sim_at else '(the log has ended)'}")
        out.append(f"    got (the program):      "
                   + (f"{real_at}   [trace line {real_at.number}]" if real_at else "(the trace has ended)"))
        out.append("    after it (program | simulator):")
        for k in range(1, CONTEXT + 1):
            a = real[ri + k] if ri + k < len(real) else ""
            b = sim_lines[si + k] if si + k < len(sim_lines) else ""
            out.append(f"      {str(a):<40} | {b}")
    return "\n".join(out) + "\n"


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("trace")
    parser.add_argument("--sim", default=os.environ.get("ZUMBOLO_SIM", DEFAULT_SIM))
    parser.add_argument("--tolerance", type=int, default=TOLERANCE_MS, help="ms (default 50)")
    parser.add_argument("--keep", help="a folder for the simulator's log and the report")
    args = parser.parse_args(argv[1:])
    if not os.access(args.sim, os.X_OK):
        print(f"conformance: no simulator at {args.sim} (build the target zumbolo-sim)", file=sys.stderr)
        return 2
    try:
        result = check(args.trace, args.sim, args.tolerance, args.keep)
    except (OSError, ValueError, RuntimeError) as error:
        print(f"conformance: {error}", file=sys.stderr)
        return 2
    sys.stdout.write(result.report)
    return 0 if result.ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
