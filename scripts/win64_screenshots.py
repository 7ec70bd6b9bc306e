#!/usr/bin/env python3
"""Takes docs/screenshots/win64/step1..9.png: norvawizard.exe of the win64
build walked through a simulated pairing under Wine on an Xvfb display, each
step's sheet captured as drawn. Run by scripts/screenshots.sh win64."""

import argparse
import os
import struct
import subprocess
import sys
import time
import unittest
import zlib

ROOT = os.path.abspath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "platform", "win32"))
import wine_tests as wt  # noqa: E402

OUT = os.path.join(ROOT, "docs", "screenshots", "win64")


def bmp_to_png(bmp_path, png_path):
    with open(bmp_path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    assert bits == 24, bmp_path
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        line = data[offset + (abs(height) - 1 - y) * stride:][:width * 3]
        rows.append(b"\0" + bytes(b for j in range(width) for b in line[3 * j:3 * j + 3][::-1]))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height),
                                                             8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
    with open(png_path, "wb") as f:
        f.write(png)


class Pictures(wt.WithWizard):
    def setUp(self):
        self.sim = wt.Sim(*self.sim_options, one_port=True)
        self.addCleanup(self.sim.close)
        self.d = wt.Driver(dict(wt.ENGLISH))
        self.addCleanup(self.d.close)
        self.addCleanup(self.d, "kill")
        wizard = os.path.join(wt.ARGS.build, "winwizard", "norvawizard.exe")
        self.d.ok("start Z:" + wizard.replace("/", "\\"))
        self.d.ok("wait-sheet 9 60000")

    def shoot(self, page):
        # Pictures, not a test: Wine paints the page a moment after it shows.
        time.sleep(1.0)
        bmp = os.path.join(OUT, "step%d.bmp" % (page + 1))
        self.d.ok("shot Z:" + bmp.replace("/", "\\"))
        bmp_to_png(bmp, bmp[:-4] + ".png")
        os.unlink(bmp)

    def test_pictures(self):
        self.walk(on_page=self.shoot)
        self.d.ok("press finish")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--sim", required=True)
    wt.ARGS = parser.parse_args()
    wt.ARGS.links = os.path.join(wt.ARGS.build, "wine-links-pictures")
    os.makedirs(wt.ARGS.links, exist_ok=True)
    os.makedirs(OUT, exist_ok=True)
    result = unittest.TextTestRunner(verbosity=2).run(
        unittest.defaultTestLoader.loadTestsFromTestCase(Pictures))
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
