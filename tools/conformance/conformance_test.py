#!/usr/bin/python3
"""The conformance tool's own check, without a desktop: traces made from zumbolo-sim's logs as a
program would write them (its start-up taking time, a handler's load delaying what it arms),
then altered in known ways, must be judged as the alteration says.

    python3 tools/conformance/conformance_test.py --sim BUILD/tools/sim/zumbolo-sim
"""

import os
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import conformance  # noqa: E402

SIM = None  # set by main()
STARTUP_MS = 300  # the program's start-up, which the simulator's takes no time for


def sim_log(folder, args, ini=None):
    """zumbolo-sim's whole log, as (ms, text) pairs."""
    if ini is not None:
        with open(os.path.join(folder, "zumbolo.ini"), "wb") as f:
            f.write(ini)
    log = os.path.join(folder, "given.log")
    subprocess.run([SIM, "--dir", folder, "--log", log] + args, check=True, timeout=60)
    with open(log, encoding="utf-8") as f:
        return [(int(ms), text) for ms, text in (line.rstrip("\n").split(" ", 1) for line in f)]


def as_trace(lines, folder, late_from=None, late_by=0):
    """The lines as a program's trace: after a clock line, every time later by STARTUP_MS, and
    from the line `late_from` on later by `late_by` more (a handler whose load took that long)."""
    path = os.path.join(folder, "program.trace")
    with open(path, "w", encoding="utf-8") as f:
        f.write("0 clock 2026-03-04T05:06:07\n")
        for i, (ms, text) in enumerate(lines):
            extra = late_by if late_from is not None and i >= late_from else 0
            f.write(f"{ms + STARTUP_MS + extra} {text}\n")
    return path


def index_of(lines, text, after=0):
    return next(i for i, (_, t) in enumerate(lines) if t == text and i >= after)


class ConformanceTool(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="zumbolo-conformance-test-")
        self.addCleanup(subprocess.run, ["rm", "-rf", self.folder])

    def commands_during_a_show(self):
        # A forced hit, its show's lead-in broken off by a click; a restart by Space that a
        # load of 40 ms delays in the program; keys, the tray and its menu; 終了 at the end.
        lines = sim_log(self.folder, ["--seed", "11", "--until", "16000", "--track", "fun.res=11493.877551",
                                      "--at", "4100:click", "--at", "5000:key:32", "--at", "9500:key:39",
                                      "--at", "10000:tray-right", "--at", "10400:N8", "--at", "12000:tray-left",
                                      "--at", "12500:tray-left", "--at", "14000:Exit1", "--", "/v"])
        return [(0, "track fun.res 11493.877551")] + lines

    def test_a_run_as_the_program_writes_it_matches_with_its_actions_in_place(self):
        lines = self.commands_during_a_show()
        restart = index_of(lines, "user key:32") + 1
        result = conformance.check(as_trace(lines, self.folder, restart, 40), SIM)
        self.assertTrue(result.ok, result.report)
        compared = [t for _, t in lines if conformance.compared(conformance.Line(0, 0, t)) and not t.startswith("event")]
        self.assertEqual(result.lines_compared, len(compared), result.report)
        self.assertEqual(result.stats(), (0, 0, 0), result.report)
        self.assertEqual(result.swaps, 0, result.report)

    def test_a_missing_line_is_the_first_difference_and_a_late_beat_is_late(self):
        lines = self.commands_during_a_show()
        gone = index_of(lines, "player seek 0")
        result = conformance.check(as_trace(lines[:gone] + lines[gone + 1:], self.folder), SIM)
        self.assertFalse(result.ok, result.report)
        following = next(t for _, t in lines[gone + 1:] if not t.startswith("event"))
        self.assertEqual((result.expected.text, result.got.text), ("player seek 0", following), result.report)

        beat = index_of(lines, "beat 5 0")
        late = lines[:beat] + [(ms + 80, t) for ms, t in lines[beat:beat + 2]] + lines[beat + 2:]
        result = conformance.check(as_trace(late, self.folder), SIM)
        self.assertIsNone(result.difference, result.report)
        self.assertEqual([(d, line.text) for d, line, _ in result.late], [(80, "beat 5 0")], result.report)

    def test_a_track_end_and_a_beat_a_few_ms_apart_may_come_in_either_order(self):
        # BGM mode: the loop's first stretch ends 8 ms after the fourth beat.
        lines = sim_log(self.folder, ["--seed", "3", "--until", "2500", "--track", "spring.res=2612.244898"],
                        ini=b"[mode]\r\nmode=5\r\n")
        lines.insert(0, (0, "track spring.res 2612.244898"))  # as a program writes it for a file it found
        beat = index_of(lines, "beat 4 0")
        end = index_of(lines, "event complete")
        self.assertEqual(lines[end][0] - lines[beat][0], 8, "the scenario has changed")
        after = next(i for i in range(end + 1, len(lines)) if lines[i][1].split()[0] in conformance.MARKERS)
        swapped = lines[:beat] + lines[end:after] + lines[beat:end] + lines[after:]
        result = conformance.check(as_trace(swapped, self.folder), SIM)
        self.assertTrue(result.ok, result.report)
        self.assertEqual(result.swaps, 1, result.report)


def main(argv):
    global SIM
    args = list(argv[1:])
    if "--sim" in args:
        i = args.index("--sim")
        SIM = args[i + 1]
        del args[i:i + 2]
    SIM = SIM or conformance.DEFAULT_SIM
    if not os.access(SIM, os.X_OK):
        print(f"no zumbolo-sim at {SIM}")
        return 1
    program = unittest.main(argv=[argv[0]] + args, exit=False, verbosity=2)
    return 0 if program.result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
