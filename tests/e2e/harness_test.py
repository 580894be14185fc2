#!/usr/bin/python3
"""Checks of the end-to-end harness itself, with ordinary X clients instead of the program: the
picture readers and writer, the private desktop (work area, root colour, tray, taskbar, clean
stop), the PulseAudio null sink and its monitor, and the cutting of a short track.

    python3 tests/e2e/harness_test.py
"""

import os
import struct
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, HERE)

import xshot  # noqa: E402
import zumbolo_e2e as e2e  # noqa: E402
from desktop_session import DesktopSession, ROOT_COLOUR, NULL_SINK, wait_until  # noqa: E402
from debian_commands import report_missing  # noqa: E402

# The program's checks' commands, and the X client the harness opens a window with.
TOOLS = e2e.TOOLS + ["xmessage"]


def xwd_file(width, height, pixels, byte_order, file_endian, bpp=32):
    """An XWD file as xwd writes it: a 100-byte header, a window name, no colours, the pixels."""
    name = b"test\0"
    step = bpp // 8
    stride = (width * step + 3) & ~3
    header = struct.pack(file_endian + "25I", 100 + len(name), 7, 2, 24, width, height, 0,
                         byte_order, 32, byte_order, 32, bpp, stride, 4, 0xFF0000, 0xFF00, 0xFF, 8,
                         256, 0, width, height, 0, 0, 0)
    body = bytearray()
    for y in range(height):
        row = bytearray()
        for x in range(width):
            r, g, b = pixels[y][x]
            value = r << 16 | g << 8 | b
            row += value.to_bytes(step, "little" if byte_order == 0 else "big")
        body += row + bytes(stride - len(row))
    return header + name + bytes(body)


class Pictures(unittest.TestCase):
    PIXELS = [[(255, 0, 0), (0, 255, 0), (0, 0, 255)],
              [(0x30, 0x60, 0xA0), (255, 255, 255), (1, 2, 3)]]

    def test_xwd_in_both_byte_orders_and_pixel_sizes(self):
        for byte_order in (0, 1):
            for file_endian in ("<", ">"):
                for bpp in (24, 32):
                    with self.subTest(byte_order=byte_order, file_endian=file_endian, bpp=bpp):
                        img = xshot.read_xwd(xwd_file(3, 2, self.PIXELS, byte_order, file_endian, bpp))
                        self.assertEqual((img.width, img.height), (3, 2))
                        self.assertEqual([[img.pixel(x, y) for x in range(3)] for y in range(2)],
                                         self.PIXELS)

    def test_xwd_that_is_not_a_true_colour_zpixmap_is_refused(self):
        data = bytearray(xwd_file(3, 2, self.PIXELS, 0, ">"))
        data[8:12] = struct.pack(">I", 1)  # XYPixmap
        with self.assertRaises(ValueError):
            xshot.read_xwd(bytes(data))

    def test_png_round_trip_and_crop(self):
        img = xshot.Image(3, 2)
        for y in range(2):
            for x in range(3):
                i = (y * 3 + x) * 3
                img.rgb[i:i + 3] = bytes(self.PIXELS[y][x])
        back = xshot.read_png(xshot.png_bytes(img))
        self.assertEqual(back.rgb, img.rgb)
        part = img.crop(1, 1, 3, 2)  # partly off the picture: black there
        self.assertEqual([part.pixel(x, 0) for x in range(3)], [(255, 255, 255), (1, 2, 3), (0, 0, 0)])
        self.assertEqual(part.pixel(0, 1), (0, 0, 0))

    def test_the_programs_pictures_read_and_avoid_the_desktop_colour(self):
        for name, size in (("poses1.bmp", (768, 64)), ("celebration.bmp", (136, 201)),
                           ("balloon.bmp", (131, 72))):
            pic = e2e.picture(name)
            self.assertEqual((pic.width, pic.height), size, name)
            self.assertNotIn(bytes(ROOT_COLOUR), pic.colours(), name)
        sheet = e2e.picture("poses1.bmp")
        self.assertEqual(sheet.pixel(0, 0), (255, 255, 255), "a pose's corner is white")


class Tracks(unittest.TestCase):
    def test_a_short_funiculi_is_cut_at_frame_boundaries(self):
        data, duration = e2e.short_track("fun.mp3", 400)
        frames = e2e.mp3_audio_frames(data)
        self.assertEqual(len(frames), 400)
        self.assertEqual(sum(length for _, length in frames), len(data))
        self.assertTrue(all(data[o:o + 2] == b"\xff\xfb" for o, _ in frames))
        self.assertTrue(all(length in (417, 418) for _, length in frames))
        self.assertNotIn(b"Info", data[:200], "the header frame with the full frame count stayed")
        self.assertAlmostEqual(duration, 400 * 1152 / 44100)

    def test_the_whole_funiculi_track_has_its_frames(self):
        with open(os.path.join(e2e.SOURCE_DIR, "assets", "tracks", "fun.mp3"), "rb") as f:
            self.assertEqual(len(e2e.mp3_audio_frames(f.read())), 2804)


class Desktop(unittest.TestCase):
    def test_desktop_with_panel_tray_and_taskbar_stops_cleanly(self):
        with DesktopSession() as desk:
            self.assertEqual(desk.workarea(), (0, 0, 1280, 770))
            self.assertTrue(desk.tray_ready())
            img = desk.screenshot()
            self.assertEqual((img.width, img.height), (1280, 800))
            self.assertEqual(img.crop(0, 0, 1280, 770).colours(), {bytes(ROOT_COLOUR)})
            self.assertEqual(e2e.task_buttons(img), 0)
            proc = desk.spawn("xmessage", ["xmessage", "-geometry", "+500+300", "harness"])
            wid = wait_until(lambda: desk.search("--onlyvisible", "--name", "^xmessage$"), 10, "xmessage")[0]
            wait_until(lambda: wid in desk.stacking(), 5, "xmessage in the stacking list")
            g = desk.geometry(wid)
            left, right, top, bottom = desk.frame_extents(wid)
            self.assertEqual((g[0] - left, g[1] - top), (500, 300), "a frame placed where asked")
            wait_until(lambda: e2e.task_buttons(desk.screenshot()) == 1, 5, "xmessage's task button")
            pids = [p.pid for _, p, _ in desk.children]
            tmp = desk.tmp
        for pid in pids + [proc.pid]:
            self.assertFalse(os.path.exists(f"/proc/{pid}") and
                             open(f"/proc/{pid}/stat").read().split()[2] != "Z", f"pid {pid} still runs")
        self.assertFalse(os.path.exists(tmp))

    def test_pulseaudio_null_sink_carries_a_tone(self):
        with DesktopSession(pulse=True) as desk:
            tone = desk.path("tone.mp3")
            e2e.tone_mp3(desk, tone, 200)
            player = desk.spawn("gst-launch", ["gst-launch-1.0", "-q", "filesrc", f"location={tone}",
                                               "!", "decodebin", "!", "audioconvert", "!", "pulsesink"])
            wait_until(lambda: "Sink Input #" in desk.run(["pactl", "list", "sink-inputs"]), 10,
                       "a stream on the null sink")
            level, heard = e2e.monitor_level(desk, 0.5)
            self.assertGreater(heard, 0.45)
            self.assertGreater(level, 1000)
            self.assertIn(NULL_SINK, desk.run(["pactl", "get-default-sink"]))
            desk.forget(player)


if __name__ == "__main__":
    status = report_missing(TOOLS, "harness_test")
    if status is not None:
        sys.exit(status)
    unittest.main(verbosity=2)
