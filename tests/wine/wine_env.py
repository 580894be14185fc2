"""What the Wine checks share: finding wine, a fresh prefix of their own, and calls into it that
always have a time-out. Standard library only.

    with WinePrefix(log=print) as wine:
        out = wine.run(["C:\\\\probe.exe", "script.txt"], cwd=folder, timeout=60)

The prefix lies in a new temporary folder; at the end its wineserver is stopped
(`wineserver -k` with this WINEPREFIX, which touches no other prefix) and the folder removed.
"""

import os
import shutil
import subprocess
import tempfile
import time

# No Mono, no Gecko (their installers would ask), no debug output.
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
# The Japanese menu needs a font with Japanese behind Wine's menu font.
FONT_LINK = ("HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink",
             "Tahoma", "NotoSansCJK-Regular.ttc,Noto Sans CJK JP")
BOOT_TIMEOUT = 240
CALL_TIMEOUT = 60


class WineError(AssertionError):
    pass


TOOLS = ["wine", "wineboot", "wineserver"]


def skip_or_fail(reason):
    """Status 77 (skipped) outside CI; under CI a missing piece is a failure."""
    if os.environ.get("CI"):
        print(f"FAILED: {reason} (CI must have it)")
        return 1
    print(f"SKIPPED: {reason}")
    return 77


def windows_path(path):
    """The Wine name of a Unix path: drive Z: is the Unix root."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WinePrefix:
    def __init__(self, base_env=None, keep=False, log=None, font_link=False):
        self.base_env = dict(base_env if base_env is not None else os.environ)
        self.keep = keep or os.environ.get("ZUMBOLO_WINE_KEEP") == "1"
        self.log = log or (lambda text: None)
        self.font_link = font_link
        self.tmp = None
        self.prefix = None
        self.boot_seconds = None

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

    @property
    def env(self):
        env = dict(self.base_env)
        env.update(WINE_ENV)
        env["WINEPREFIX"] = self.prefix
        return env

    def start(self):
        self.tmp = tempfile.mkdtemp(prefix="zumbolo-wine-")
        self.prefix = os.path.join(self.tmp, "prefix")
        started = time.monotonic()
        self.run(["wineboot", "-i"], timeout=BOOT_TIMEOUT)
        if self.font_link:
            key, name, fonts = FONT_LINK
            self.run(["wine", "reg", "add", key, "/v", name, "/t", "REG_MULTI_SZ", "/d", fonts, "/f"])
        self.boot_seconds = time.monotonic() - started
        self.log(f"fresh Wine prefix {self.prefix} in {self.boot_seconds:.1f} s")

    def stop(self):
        if self.prefix and os.path.isdir(self.prefix):
            try:
                subprocess.run(["wineserver", "-k"], env=self.env, timeout=30,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                subprocess.run(["wineserver", "-w"], env=self.env, timeout=30,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                self.log("wineserver did not stop within 30 s")
        if self.tmp and not self.keep:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.tmp, *parts)

    def run(self, argv, timeout=CALL_TIMEOUT, cwd=None, check=True, extra_env=None):
        """Runs a Wine tool or `wine PROGRAM` to its end; returns (status, stdout bytes)."""
        env = self.env
        env.update(extra_env or {})
        try:
            done = subprocess.run(argv, env=env, cwd=cwd, capture_output=True, timeout=timeout,
                                  stdin=subprocess.DEVNULL)
        except subprocess.TimeoutExpired:
            raise WineError(f"{' '.join(argv)} did not finish within {timeout} s") from None
        if check and done.returncode != 0:
            raise WineError(f"{' '.join(argv)} exited with {done.returncode}: "
                            f"{done.stderr.decode(errors='replace').strip()[-2000:]}")
        return done.returncode, done.stdout
