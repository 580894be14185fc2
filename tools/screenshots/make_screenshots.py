#!/usr/bin/python3
"""The screenshots of the AppStream file (docs/screenshots/), made from a real run of the Linux
program on the end-to-end tests' desktop (Xvfb, openbox, tint2 with its tray, PulseAudio):

    python3 tools/screenshots/make_screenshots.py [--binary build/platform/qt/zumbolo] [--out docs/screenshots]

dance.png  the figures mid-dance in a show, the celebration ball above them;
menu.png   the tray icon's menu, its モード submenu open, the figures beside it.
Both are the bottom-right 800 x 450 of the 1280 x 800 screen: the figures, the panel and the
tray. Look at them before committing them.
"""

import argparse
import os
import shutil
import signal
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.normpath(os.path.join(HERE, "..", ".."))
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "e2e"))

import xshot  # noqa: E402
from desktop_session import DesktopSession, SCREEN_W, SCREEN_H, wait_until  # noqa: E402
from trace_reader import Trace  # noqa: E402

SIZE = (800, 450)
DANCE_BEAT = 22  # the show beat to picture (Funiculì: the figures turned to the right, mid-step)
MENU_FORM = b"[form]\r\nleft=560\r\ntop=652\r\n[mode]\r\nmode=3\r\n"  # 470 pixels left of rest
BINARY = None  # set by main()


def crop(desk):
    return desk.screenshot().crop(SCREEN_W - SIZE[0], SCREEN_H - SIZE[1], *SIZE)


def run_program(desk, home, args, ini=b""):
    """Starts the program with its own folder (holding `ini` as zumbolo.ini) and a trace."""
    with open(os.path.join(home, "zumbolo.ini"), "wb") as f:
        f.write(ini)
    trace = Trace(os.path.join(home, "trace.log"))
    proc = desk.spawn("zumbolo", [BINARY] + args,
                      extra_env={"ZUMBOLO_HOME": home, "ZUMBOLO_TRACE": trace.path})
    return proc, trace


def dance(path):
    """The figures at their resting place, mid-dance, the celebration above them."""
    home = tempfile.mkdtemp(prefix="zumbolo-shots-")
    with DesktopSession(pulse=True, log=print) as desk:
        proc, trace = run_program(desk, home, ["/v"])
        try:
            shown = trace.wait_for(r"form2 show", 30)
            trace.wait_for(rf"beat {DANCE_BEAT} 3", 20, shown)
            time.sleep(0.1)  # the beat's drawing reaches the screen
            xshot.write_png(crop(desk), path)
        finally:
            DesktopSession.stop_process(proc, sig=signal.SIGKILL)
    shutil.rmtree(home, ignore_errors=True)
    print(f"{path}: beat {DANCE_BEAT} of the show")


def menu(path):
    """The tray icon's menu with its モード submenu; the figures moved to the left of it (as the
    arrow keys would), where the menu leaves them in sight."""
    home = tempfile.mkdtemp(prefix="zumbolo-shots-")
    with DesktopSession(pulse=True, log=print) as desk:
        proc, trace = run_program(desk, home, [], MENU_FORM)
        try:
            trace.wait_for(r"beat 1 0", 20)
            icon = wait_until(lambda: [w for w in desk.tray_icons("zumbolo") if w.width <= 64],
                              10, "the tray icon")[0]
            desk.click(icon.x + icon.width // 2, icon.y + icon.height // 2, 3)
            wait_until(lambda: [w for w in desk.tree() if w.klass and w.klass[-1] == "zumbolo"
                                and w.height > 100 and desk.viewable(w.id)], 5, "the menu")
            desk.key("Down", "Down", "Right")  # 停止, then モード, and its submenu
            time.sleep(0.5)
            xshot.write_png(crop(desk), path)
        finally:
            DesktopSession.stop_process(proc, sig=signal.SIGKILL)
    shutil.rmtree(home, ignore_errors=True)
    print(f"{path}: the menu")


def main(argv):
    global BINARY
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", default=os.path.join(SOURCE_DIR, "build", "platform", "qt", "zumbolo"))
    parser.add_argument("--out", default=os.path.join(SOURCE_DIR, "docs", "screenshots"))
    args = parser.parse_args(argv[1:])
    BINARY = os.path.abspath(args.binary)
    os.makedirs(args.out, exist_ok=True)
    dance(os.path.join(args.out, "dance.png"))
    menu(os.path.join(args.out, "menu.png"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
