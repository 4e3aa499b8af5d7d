#!/usr/bin/python3
"""Checks a screenshot of the progress window for what a user must see.

Usage: check_screenshot.py WINDOW_TXT SHOT_PPM

WINDOW_TXT comes from progress_window_shot (screen rectangles of the window,
its icon and its sentence, and the button-face colour); SHOT_PPM is the whole
screen as a binary PPM. The checks are loose enough for any font rendering
but fail on a window that stands blank, lacks its icon or its text.
"""

import sys

# Colours of the program's icon, as the 16-colour palette has them.
ICON_YELLOW = (0xFF, 0xFF, 0x00)
ICON_BLUE = (0x00, 0x00, 0xFF)


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    magic, width, height, maxval = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    if magic != b"P6" or maxval != 255:
        raise SystemExit("expected an 8-bit binary PPM")
    pixels = data[pos + 1:]
    return width, height, pixels


def read_layout(path):
    layout = {}
    with open(path) as f:
        for line in f:
            name, *values = line.split()
            layout[name] = tuple(int(v) for v in values)
    return layout


class Screen:
    def __init__(self, width, height, pixels):
        self.width, self.height, self.pixels = width, height, pixels

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])

    def area(self, rect, inset=0):
        left, top, right, bottom = rect
        for y in range(max(top + inset, 0), min(bottom - inset, self.height)):
            for x in range(max(left + inset, 0), min(right - inset, self.width)):
                yield x, y, self.pixel(x, y)


def main():
    layout = read_layout(sys.argv[1])
    screen = Screen(*read_ppm(sys.argv[2]))
    face = layout["face"]
    failures = []

    window = list(screen.area(layout["window"], inset=2))
    share = sum(1 for _, _, p in window if p == face) / max(len(window), 1)
    print("window %s: %.0f%% button face" % (layout["window"], 100 * share))
    if share < 0.5:
        failures.append("the window's background is not drawn in the button-face colour")

    icon = [p for _, _, p in screen.area(layout["icon"])]
    yellow = icon.count(ICON_YELLOW)
    blue = icon.count(ICON_BLUE)
    print("icon %s: %d yellow and %d blue pixels" % (layout["icon"], yellow, blue))
    if yellow < 80 or blue < 60:
        failures.append("the icon is not drawn")

    text = list(screen.area(layout["text"]))
    ink_rows = sorted({y for _, y, p in text if max(p) < 96})
    ink = sum(1 for _, _, p in text if max(p) < 96)
    paper = sum(1 for _, _, p in text if p == face)
    lines = sum(1 for a, b in zip([None] + ink_rows, ink_rows) if a is None or b - a > 1)
    print("text %s: %d dark pixels in %d lines, %d button face" % (layout["text"], ink, lines, paper))
    if ink < 150 or paper < len(text) // 2:
        failures.append("the sentence is not drawn")
    elif lines < 2:
        failures.append("the sentence is not wrapped over several lines")

    for f in failures:
        print("FAIL: " + f)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
