#!/usr/bin/python3
"""Checks a screenshot of a branded setup's progress window: the product's
icon (magenta above cyan, as tests/kivpack/icons.py paints it) in the
window's left part, none of the packer's own icon colours, and the sentence
beside it.

Usage: check_branded_screenshot.py WxH+X+Y SHOT_PPM
"""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(__file__))
from check_screenshot import Screen, read_ppm  # noqa: E402

MAGENTA, CYAN = (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF)
PACKER_YELLOW, PACKER_BLUE = (0xFF, 0xFF, 0x00), (0x00, 0x00, 0xFF)


def main():
    w, h, x, y = (int(v) for v in re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)$", sys.argv[1]).groups())
    screen = Screen(*read_ppm(sys.argv[2]))
    left = [p for _, _, p in screen.area((x, y, x + min(w, 60), y + h))]
    magenta_rows = [py for _, py, p in screen.area((x, y, x + 60, y + h)) if p == MAGENTA]
    cyan_rows = [py for _, py, p in screen.area((x, y, x + 60, y + h)) if p == CYAN]
    old = left.count(PACKER_YELLOW) + left.count(PACKER_BLUE)
    ink = sum(1 for _, _, p in screen.area((x + 60, y, x + w, y + h)) if max(p) < 96)
    print("window %dx%d+%d+%d: %d magenta, %d cyan, %d of the packer's icon colours, "
          "%d dark pixels of text" % (w, h, x, y, len(magenta_rows), len(cyan_rows), old, ink))
    failures = []
    if len(magenta_rows) < 200 or len(cyan_rows) < 200:
        failures.append("the product's icon is not drawn")
    elif max(magenta_rows) > min(cyan_rows):
        failures.append("the product's icon is not drawn upright")
    if old > 10:
        failures.append("the packer's own icon is drawn")
    if ink < 150:
        failures.append("the sentence is not drawn")
    for f in failures:
        print("FAIL: " + f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
