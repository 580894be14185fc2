"""The trace file that the desktop programs write when ZUMBOLO_TRACE names one, as the Linux
end-to-end tests and the Windows smoke test follow it."""

import re

from desktop_session import DesktopError, wait_until


class Trace:
    """The program's trace file (ZUMBOLO_TRACE): lines "MS WORD ARGS", read again on every look."""

    LINE = re.compile(r"^(\d+) (.*)$")

    def __init__(self, path):
        self.path = path

    def lines(self):
        try:
            with open(self.path, encoding="utf-8", errors="replace") as f:
                text = f.read()
        except FileNotFoundError:
            return []
        out = []
        for line in text.split("\n")[:-1]:  # only whole lines
            m = self.LINE.match(line)
            if m:
                out.append((int(m.group(1)), m.group(2)))
        return out

    def find(self, pattern, start=0):
        """Index of the first line at or after `start` whose "WORD ARGS" matches `pattern`
        (a regular expression, matched as a whole), or None."""
        rx = re.compile(pattern)
        for i, (_, text) in enumerate(self.lines()[start:], start):
            if rx.fullmatch(text):
                return i
        return None

    def find_all(self, pattern, start=0):
        """Indexes of all lines at or after `start` that match `pattern`."""
        rx = re.compile(pattern)
        return [i for i, (_, text) in enumerate(self.lines()[start:], start) if rx.fullmatch(text)]

    def wait_for(self, pattern, timeout, start=0):
        """Waits for a line as find() finds it and returns its index; on time-out the error shows
        the trace from `start` on."""
        found = []

        def probe():
            i = self.find(pattern, start)
            if i is not None:
                found.append(i)
            return i is not None
        try:
            wait_until(probe, timeout, f"trace line /{pattern}/")
        except DesktopError as error:
            raise DesktopError(f"{error}\n{self.tail(start)}") from None
        return found[-1]

    def at(self, index):
        return self.lines()[index]

    def ms(self, index):
        return self.at(index)[0]

    def text(self, index):
        return self.at(index)[1]

    def tail(self, start=0, count=25):
        lines = self.lines()
        shown = lines[max(start, len(lines) - count):]
        return (f"trace ({len(lines)} lines, from line {max(start, len(lines) - count)}):\n"
                + "\n".join(f"  {ms} {text}" for ms, text in shown))
