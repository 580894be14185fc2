#!/usr/bin/python3
"""The settings file, read and written by Windows' own private-profile functions (under Wine) and
by the engine's IniFile module, on the same cases: both must read the same value every time.

    python3 tests/wine/profile_crosscheck.py --windows BUILD-WINDOWS/tests/wine/profile_probe.exe \
                                             --native BUILD/tests/wine/profile_probe_native

Every case starts from the same file (or none) in two folders. Windows writes the case's keys
into one copy, the engine into the other; then each copy is read by both, key by key:

    Windows reads what Windows wrote    the engine reads what Windows wrote
    Windows reads what the engine wrote the engine reads what the engine wrote

All four must agree, and where the case gives a value, equal it. The probes are two small
programs with one script language (probe_script.h); the Windows one runs in a fresh Wine prefix.
Exit status 77: skipped (wine or the Windows probe is missing, outside CI).
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

from wine_env import TOOLS, WinePrefix, skip_or_fail  # noqa: E402
from debian_commands import report_missing  # noqa: E402

MISSING = "(missing)"  # the default of every read: what a key without a value reads as
AGREE = None           # no value given: the two sides only have to agree


def lines(*rows, eol="\r\n", final=True):
    """A file's bytes from its lines, with the given line end (and one after the last line)."""
    return (eol.join(rows) + (eol if final else "")).encode("latin-1")


class Case:
    def __init__(self, name, initial, writes=(), reads=(), file_lines=None, file_start=None):
        self.name = name
        self.initial = initial          # bytes of the file before the writes; None: no file
        self.writes = list(writes)      # (section, key, value), in order
        self.reads = list(reads)        # (section, key, expected value or AGREE or MISSING)
        self.file_lines = file_lines    # the lines both files must hold after the writes
        self.file_start = file_start    # the bytes both files must begin with after the writes


# The program's own keys, in the order in which it writes them on exit; a day's key is the date
# in the short date pattern m/d/yy.
PROGRAM_WRITES = [
    ("num", "ritu", "100"),
    ("form", "left", "1030"),
    ("form", "top", "652"),
    ("date", "12/8/26", "3"),
    ("sound", "koka", "0"),
    ("mode", "mode", "3"),
    ("mode", "random", "0"),
    ("color", "redchar", "1"),
]
PROGRAM_FILE = [
    "[num]", "ritu=100",
    "[form]", "left=1030", "top=652",
    "[date]", "12/8/26=3",
    "[sound]", "koka=0",
    "[mode]", "mode=3", "random=0",
    "[color]", "redchar=1",
]

# A settings file as people leave it: other sections, comments, blank lines.
ANNOTATED = [
    "; Zumbolo! settings",
    "",
    "[other]",
    "ritu=7",
    "",
    "[num]",
    "; the odds of a hit",
    "ritu=50",
    "",
    "[form]",
    "left=10",
    "; moved by hand",
    "top=20",
    "",
    "[tail]",
    "x=1",
]

ODD_SPACING = [
    "  [Num]  ",
    "   RITU   =   500   ",
    "[FORM]",
    "Left=  12",
    "\ttop\t=\t34\t",
    "[Date]",
    "12/8/26 = 4",
    "[SOUND]",
    "KoKa=1",
]

DUPLICATES = [
    "[num]",
    "ritu=5",
    "ritu=10",
    "[form]",
    "left=1",
    "[num]",
    "ritu=20",
    "extra=yes",
    "[FORM]",
    "top=2",
]

GARBAGE = [
    "[num]",
    "ritu=abc",
    "[form]",
    "left=0x1F",
    "top=99999999999999999999",
    "[date]",
    "12/8/26=",
    "[sound]",
    "koka=-0",
    "[mode]",
    "mode=+3",
    "random=1.5",
    "just a line",
    "[color]",
    "redchar= 2 junk",
    "=nameless",
]

QUOTED = [
    "[q]",
    'a="quoted"',
    "b='single'",
    "c=\"mismatch'",
    'd="',
    'e=""',
    'f=" padded "',
    'g="a"b"',
    'h=  "spaced quotes"  ',
]

STANDARD = ["[num]", "ritu=20", "[form]", "left=300", "top=200", "[mode]", "mode=1"]
STANDARD_READS = [("num", "ritu", "20"), ("form", "left", "300"), ("form", "top", "200"),
                  ("mode", "mode", "1"), ("mode", "random", MISSING)]

CASES = [
    # A new file: none at the start.
    Case("no_file", None, reads=[("num", "ritu", MISSING), ("form", "left", MISSING)]),
    Case("new_file", None,
         writes=[("num", "ritu", "500"), ("form", "left", "40"), ("num", "ritu", "300")],
         reads=[("num", "ritu", "300"), ("form", "left", "40"), ("form", "top", MISSING),
                ("color", "redchar", MISSING)],
         file_lines=["[num]", "ritu=300", "[form]", "left=40"]),
    # The program's keys written in its order into an empty file.
    Case("program_keys_empty_file", b"", writes=PROGRAM_WRITES,
         reads=[(s, k, v) for s, k, v in PROGRAM_WRITES] + [("date", "12/9/26", MISSING)],
         file_lines=PROGRAM_FILE),
    # The next day's exit over that file: values replaced in place, a second date key added.
    Case("program_keys_next_day", lines(*PROGRAM_FILE),
         writes=[("num", "ritu", "5"), ("form", "left", "0"), ("form", "top", "-1"),
                 ("date", "12/9/26", "1"), ("sound", "koka", "2"), ("mode", "mode", "5"),
                 ("mode", "random", "1"), ("color", "redchar", "0")],
         reads=[("num", "ritu", "5"), ("form", "left", "0"), ("form", "top", "-1"),
                ("date", "12/8/26", "3"), ("date", "12/9/26", "1"), ("sound", "koka", "2"),
                ("mode", "mode", "5"), ("mode", "random", "1"), ("color", "redchar", "0")],
         file_lines=["[num]", "ritu=5", "[form]", "left=0", "top=-1", "[date]", "12/8/26=3",
                     "12/9/26=1", "[sound]", "koka=2", "[mode]", "mode=5", "random=1",
                     "[color]", "redchar=0"]),
    # An existing file with other sections, comments and blank lines: read as it is ...
    Case("annotated_read", lines(*ANNOTATED),
         reads=[("other", "ritu", "7"), ("num", "ritu", "50"), ("form", "left", "10"),
                ("form", "top", "20"), ("tail", "x", "1"), ("num", "left", MISSING)]),
    # ... and written to: keys replaced, a key added to a section, a new section at the end.
    Case("annotated_write", lines(*ANNOTATED),
         writes=[("num", "ritu", "200"), ("form", "top", "30"), ("form", "extra", "5"),
                 ("color", "redchar", "2"), ("other", "ritu", "8")],
         reads=[("other", "ritu", "8"), ("num", "ritu", "200"), ("form", "left", "10"),
                ("form", "top", "30"), ("form", "extra", "5"), ("tail", "x", "1"),
                ("color", "redchar", "2")]),
    # Odd spacing and case in section and key names and around values.
    Case("odd_spacing_read", lines(*ODD_SPACING),
         reads=[("num", "ritu", "500"), ("NUM", "Ritu", "500"), (" num ", "  ritu ", "500"),
                ("form", "left", "12"), ("form", "top", "34"), ("date", "12/8/26", "4"),
                ("sound", "koka", "1")]),
    Case("odd_spacing_write", lines(*ODD_SPACING),
         writes=[("NUM", "Ritu", "300"), (" form ", " LEFT ", "  77  "), ("date", "12/8/26", "5"),
                 ("Color", "RedChar", " 2")],
         reads=[("num", "ritu", "300"), ("form", "left", "77"), ("form", "top", "34"),
                ("date", "12/8/26", "5"), ("color", "redchar", "2"), ("COLOR", "REDCHAR", "2")]),
    # Brackets with spaces inside: no section name that the program uses.
    Case("spaces_inside_brackets", lines("[ mode ]", "mode=4", "[color ]", "redchar=2"),
         reads=[("mode", "mode", AGREE), ("color", "redchar", AGREE), (" mode ", "mode", AGREE)]),
    # Duplicate sections and keys: the first section of a name and its first key count.
    Case("duplicates_read", lines(*DUPLICATES),
         reads=[("num", "ritu", "5"), ("num", "extra", MISSING), ("form", "left", "1"),
                ("form", "top", MISSING)]),
    Case("duplicates_write", lines(*DUPLICATES),
         writes=[("num", "ritu", "6"), ("num", "extra", "no"), ("FORM", "top", "3")],
         reads=[("num", "ritu", "6"), ("num", "extra", "no"), ("form", "left", "1"),
                ("form", "top", "3")]),
    # Garbage values come back as the text they are; the program's parsing does the rest.
    Case("garbage_read", lines(*GARBAGE),
         reads=[("num", "ritu", "abc"), ("form", "left", "0x1F"),
                ("form", "top", "99999999999999999999"), ("date", "12/8/26", ""),
                ("sound", "koka", "-0"), ("mode", "mode", "+3"), ("mode", "random", "1.5"),
                ("mode", "just a line", MISSING), ("color", "redchar", "2 junk")]),
    Case("garbage_write", None,
         writes=[("num", "ritu", "abc"), ("form", "left", "0x10"),
                 ("form", "top", "123456789012345678901234567890"), ("mode", "mode", ""),
                 ("color", "redchar", "1;2")],
         reads=[("num", "ritu", "abc"), ("form", "left", "0x10"),
                ("form", "top", "123456789012345678901234567890"), ("mode", "mode", ""),
                ("color", "redchar", "1;2")]),
    # Quoted values lose a matching pair of quotes on reading.
    Case("quoted_read", lines(*QUOTED),
         reads=[("q", "a", "quoted"), ("q", "b", "single"), ("q", "c", "\"mismatch'"),
                ("q", "d", '"'), ("q", "e", ""), ("q", "f", " padded "), ("q", "g", 'a"b'),
                ("q", "h", "spaced quotes")]),
    Case("quoted_write", None,
         writes=[("q", "a", '"two words"'), ("q", "b", "'x'"), ("q", "c", '"')],
         reads=[("q", "a", "two words"), ("q", "b", "x"), ("q", "c", '"')]),
    # Line ends: CR LF, LF only, no line end after the last line.
    Case("crlf_file", lines(*STANDARD, eol="\r\n"), reads=STANDARD_READS),
    Case("lf_file", lines(*STANDARD, eol="\n"), reads=STANDARD_READS),
    Case("lf_file_write", lines(*STANDARD, eol="\n"),
         writes=[("num", "ritu", "10"), ("mode", "random", "1"), ("color", "redchar", "0")],
         reads=[("num", "ritu", "10"), ("form", "left", "300"), ("mode", "mode", "1"),
                ("mode", "random", "1"), ("color", "redchar", "0")]),
    Case("no_final_line_end", lines(*STANDARD, final=False),
         writes=[("color", "redchar", "2")],
         reads=STANDARD_READS + [("color", "redchar", "2")]),
    Case("mixed_line_ends", b"[num]\r\nritu=20\n[form]\r\nleft=300\ntop=200\r\n[mode]\nmode=1\n",
         reads=STANDARD_READS),
    Case("cr_only_line_ends", lines(*STANDARD, eol="\r"), reads=STANDARD_READS),
    # What an editor may leave: a UTF-8 byte order mark (Wine and the engine skip it, and keep it
    # when they write; Windows itself takes it for part of the first line, which is then no
    # section header), or the whole file in UTF-16 (read, and written back so).
    Case("utf8_bom", b"\xef\xbb\xbf" + lines(*STANDARD), reads=STANDARD_READS),
    Case("utf8_bom_write", b"\xef\xbb\xbf" + lines(*STANDARD),
         writes=[("num", "ritu", "5"), ("color", "redchar", "2")],
         reads=[("num", "ritu", "5"), ("form", "left", "300"), ("color", "redchar", "2")],
         file_lines=["[num]", "ritu=5", "[form]", "left=300", "top=200", "[mode]", "mode=1",
                     "[color]", "redchar=2"],
         file_start=b"\xef\xbb\xbf"),
    Case("utf16_file", "\ufeff".encode("utf-16-le") + "\r\n".join(STANDARD).encode("utf-16-le"),
         reads=STANDARD_READS),
    Case("utf16_file_write", "\ufeff".encode("utf-16-le") + "\r\n".join(STANDARD).encode("utf-16-le"),
         writes=[("num", "ritu", "10"), ("color", "redchar", "0")],
         reads=[("num", "ritu", "10"), ("form", "left", "300"), ("mode", "mode", "1"),
                ("color", "redchar", "0")],
         file_lines=["[num]", "ritu=10", "[form]", "left=300", "top=200", "[mode]", "mode=1",
                     "[color]", "redchar=0"],
         file_start=b"\xff\xfe"),
    # More of the file's grammar.
    Case("comments", lines("[num]", ";ritu=5", "  ; ritu=7", "ritu=6", "[form]", "; left=1"),
         reads=[("num", "ritu", "6"), ("form", "left", MISSING), ("num", ";ritu", AGREE)]),
    Case("keys_before_any_section", lines("ritu=5", "left=1", "[num]", "ritu=6"),
         reads=[("num", "ritu", "6"), ("form", "left", MISSING)]),
    Case("header_with_trailing_text", lines("[num] ; the odds", "ritu=5", "[form]x", "left=3"),
         reads=[("num", "ritu", "5"), ("form", "left", "3")]),
    Case("unclosed_header", lines("[form]", "left=3", "[num", "ritu=5"),
         reads=[("form", "left", "3"), ("form", "ritu", "5"), ("num", "ritu", MISSING)]),
    Case("equals_in_value", lines("[q]", "a=b=c", "b = = "),
         reads=[("q", "a", "b=c"), ("q", "b", "=")]),
    Case("long_value", None, writes=[("q", "long", "7" * 3000)], reads=[("q", "long", "7" * 3000)]),
]

# Where the engine's module and Wine are known to part ways: (case, section, key), or (case, None,
# None) for every read of a case, and why. Such a read is reported on every run and not counted as
# a failure; one that agrees again fails, so that this list stays true.
KNOWN = {
    ("comments", "num", ";ritu"):
        "Wine reads a line \";ritu=5\" as the key \";ritu\" (its profile functions know no comments; "
        "Windows is not checked here); the engine's module skips lines that begin with ';'. A key "
        "the program never reads: a commented-out \"ritu\" stays out for both",
}


def known(name, section, key):
    return KNOWN.get((name, section, key)) or KNOWN.get((name, None, None))


def script_lines(ops):
    def esc(text):
        return (text.replace("\\", "\\\\").replace("\t", "\\t").replace("\r", "\\r")
                .replace("\n", "\\n"))
    return "".join("\t".join(esc(f) for f in op) + "\n" for op in ops)


def parse_output(text, count, who):
    out = text.decode("utf-8", errors="replace").split("\n")
    if out and out[-1] == "":
        out.pop()
    if len(out) != count:
        raise AssertionError(f"{who} printed {len(out)} lines for {count} operations:\n"
                             + "\n".join(out[-20:]))

    def unesc(s):
        res, i = [], 0
        while i < len(s):
            if s[i] == "\\" and i + 1 < len(s) and s[i + 1] in "\\trn":
                res.append({"\\": "\\", "t": "\t", "r": "\r", "n": "\n"}[s[i + 1]])
                i += 2
            else:
                res.append(s[i])
                i += 1
        return "".join(res)
    return [unesc(line[5:]) if line.startswith("read ") else line for line in out]


def file_lines_of(path):
    """The non-blank lines of a settings file, without their line ends (and without the byte
    order mark of a UTF-8 or UTF-16 file)."""
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        data = f.read()
    if data.startswith(b"\xff\xfe"):
        text = data[2:].decode("utf-16-le", errors="replace")
    elif data.startswith(b"\xfe\xff"):
        text = data[2:].decode("utf-16-be", errors="replace")
    elif data.startswith(b"\xef\xbb\xbf"):
        text = data[3:].decode("utf-8", errors="replace")
    else:
        text = data.decode("latin-1")
    return [l for l in text.replace("\r\n", "\n").split("\n") if l.strip()]


def file_start_of(path, count):
    if not os.path.exists(path):
        return None
    with open(path, "rb") as f:
        return f.read(count)


def main(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--windows", required=True, help="profile_probe.exe")
    parser.add_argument("--native", required=True, help="profile_probe_native")
    parser.add_argument("--keep", action="store_true", help="keep the files of the run")
    args = parser.parse_args(argv[1:])

    status = report_missing(TOOLS, "profile_crosscheck")
    if status is not None:
        return status
    if not os.path.isfile(args.windows):
        return skip_or_fail(f"no Windows probe at {args.windows} (build the windows preset)")
    if not os.access(args.native, os.X_OK):
        print(f"FAILED: no native probe at {args.native}")
        return 1

    started = time.monotonic()
    work = tempfile.mkdtemp(prefix="zumbolo-profile-")
    failures, known_seen, checks = [], [], []
    try:
        for side in ("win", "eng"):
            os.makedirs(os.path.join(work, side))
            for case in CASES:
                if case.initial is not None:
                    with open(os.path.join(work, side, case.name + ".ini"), "wb") as f:
                        f.write(case.initial)
        shutil.copy(args.windows, os.path.join(work, "profile_probe.exe"))

        def win_file(side, case):
            return f"{side}\\{case.name}.ini"

        def eng_file(side, case):
            return f"{side}/{case.name}.ini"

        # Writes: Windows into win/, the engine into eng/.
        win_writes = [("write", win_file("win", c), s, k, v) for c in CASES for s, k, v in c.writes]
        eng_writes = [("write", eng_file("eng", c), s, k, v) for c in CASES for s, k, v in c.writes]
        # Reads: every read of a case on both copies, by both.
        reads = [(c, side, s, k, expected) for c in CASES for side in ("win", "eng")
                 for s, k, expected in c.reads]
        win_reads = [("read", win_file(side, c), s, k, MISSING) for c, side, s, k, _ in reads]
        eng_reads = [("read", eng_file(side, c), s, k, MISSING) for c, side, s, k, _ in reads]
        for name, ops in (("win_writes", win_writes), ("eng_writes", eng_writes),
                          ("win_reads", win_reads), ("eng_reads", eng_reads)):
            with open(os.path.join(work, name + ".txt"), "w", encoding="utf-8", newline="\n") as f:
                f.write(script_lines(ops))

        def native(script, count):
            done = subprocess.run([os.path.abspath(args.native), script + ".txt"], cwd=work,
                                  capture_output=True, timeout=60)
            if done.returncode != 0:
                raise AssertionError(f"the native probe exited with {done.returncode}: "
                                     f"{done.stderr.decode(errors='replace')}")
            return parse_output(done.stdout, count, "the native probe")

        with WinePrefix(log=print, base_env={k: v for k, v in os.environ.items() if k != "DISPLAY"}) as wine:
            def windows(script, count):
                _, out = wine.run(["wine", "profile_probe.exe", script + ".txt"], cwd=work, timeout=120)
                return parse_output(out, count, "the Windows probe")

            t0 = time.monotonic()
            written = windows("win_writes", len(win_writes))
            t_win = time.monotonic() - t0
            eng_written = native("eng_writes", len(eng_writes))
            for who, results, ops in (("Windows", written, win_writes), ("the engine", eng_written, eng_writes)):
                for op, res in zip(ops, results):
                    checks.append(f"{who} writes {op}")
                    if res != "write ok":
                        failures.append(f"{who}: {op[1]} [{op[2]}] {op[3]}={op[4]!r}: {res}")
            t0 = time.monotonic()
            by_windows = windows("win_reads", len(win_reads))
            t_win += time.monotonic() - t0
            by_engine = native("eng_reads", len(eng_reads))

        # The four readings of each read: (who reads, whose file).
        results = {}
        for (c, side, s, k, expected), w, e in zip(reads, by_windows, by_engine):
            entry = results.setdefault((c.name, s, k), {"expected": expected})
            entry[("Windows", side)] = w
            entry[("engine", side)] = e
        known_used = set()
        for (name, s, k), entry in results.items():
            ww, we = entry[("Windows", "win")], entry[("Windows", "eng")]
            ew, ee = entry[("engine", "win")], entry[("engine", "eng")]
            values = {ww, we, ew, ee}
            expected = entry["expected"]
            problem = None
            if len(values) != 1:
                problem = (f"Windows read {ww!r} from its own file and {we!r} from the engine's; "
                           f"the engine read {ew!r} from Windows' file and {ee!r} from its own")
            elif expected is not AGREE and values != {expected}:
                problem = f"both read {ww!r} from both files, expected {expected!r}"
            label = f"{name}: [{s}] {k!r}"
            reason = known(name, s, k)
            checks.append(label)
            if reason and problem:
                known_seen.append(f"{label}: {problem}\n    known: {reason}")
                known_used.add((name, s, k) if (name, s, k) in KNOWN else (name, None, None))
            elif problem:
                failures.append(f"{label}: {problem}")
        for entry in KNOWN:
            if entry not in known_used:
                checks.append(f"known {entry}")
                failures.append(f"{entry} is listed as a known disagreement, but both sides agree "
                                f"now: take it off the list")

        # The lines of the files themselves, where a case gives them (blank lines aside).
        for c in CASES:
            for side, who in (("win", "Windows"), ("eng", "the engine")):
                path = os.path.join(work, side, c.name + ".ini")
                if c.file_lines is not None:
                    checks.append(f"{c.name}: the file {who} wrote")
                    got = file_lines_of(path)
                    if got != c.file_lines:
                        failures.append(f"{c.name}: the file {who} wrote holds {got}, expected {c.file_lines}")
                if c.file_start is not None:
                    checks.append(f"{c.name}: the start of the file {who} wrote")
                    start = file_start_of(path, len(c.file_start))
                    if start != c.file_start:
                        failures.append(f"{c.name}: the file {who} wrote begins with {start!r}, "
                                        f"expected {c.file_start!r}")
    finally:
        if args.keep or os.environ.get("ZUMBOLO_WINE_KEEP") == "1":
            print(f"files kept in {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)

    for line in known_seen:
        print("known: " + line)
    for line in failures:
        print("FAIL: " + line)
    print(f"{len(CASES)} cases, {len(results)} reads each made four ways, {len(win_writes)} writes each "
          f"made twice; the Windows probe ran {t_win:.1f} s under Wine, the prefix took "
          f"{wine.boot_seconds:.1f} s, all {time.monotonic() - started:.1f} s")
    print(f"profile_crosscheck: {len(checks) - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
