#!/usr/bin/env python3
"""Contact sheet of the rendered skin: OUT/contact-sheet.png.

    sheet.py OUT

Top: the main window in its normal layout, composed from the pieces the way
the window paints its background and places its controls (stretch or copy,
magenta cut out of shaped buttons and thumbs), with sample texts where the
labels sit. Then the three dialogs with their buttons. Then every image by
resource number, small ones enlarged (nearest neighbour) so pixels can be
judged.
"""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
FONT, BOLD = "Liberation-Sans", "Liberation-Sans-Bold"


def manifest():
    rows = []
    with open(os.path.join(HERE, "manifest.txt")) as f:
        for line in f:
            p = line.split(None, 4)
            if len(p) > 3 and p[3].startswith("IDB_"):
                p = p[:3] + p[4:]
            if p and not p[0].startswith("#"):
                rows.append((int(p[0]), int(p[1]), int(p[2]), p[3].strip() if len(p) > 3 else ""))
    return rows


class Canvas:
    def __init__(self, out, w, h, bg):
        self.out = out
        self.args = ["convert", "-size", "%dx%d" % (w, h), "xc:%s" % bg, "-gravity", "NorthWest"]

    def img(self, num, x, y, w=None, h=None, key=False, crop=None, scale=1):
        a = ["(", os.path.join(self.out, "%d.bmp" % num)]
        if crop:
            a += ["-crop", "%dx%d+%d+%d" % crop, "+repage"]
        if key:
            a += ["-transparent", "#FF00FF"]
        if w is not None:
            a += ["-filter", "point", "-resize", "%dx%d!" % (w, h)]
        elif scale != 1:
            a += ["-filter", "point", "-resize", "%d%%" % (100 * scale)]
        a += [")", "-geometry", "+%d+%d" % (x, y), "-composite"]
        self.args += a

    def text(self, x, y, s, color="white", size=13, bold=False):
        self.args += ["-font", BOLD if bold else FONT, "-pointsize", str(size), "-fill", color,
                      "-annotate", "+%d+%d" % (x, y), s]

    def box(self, x, y, w, h, fill, stroke=None):
        self.args += ["-fill", fill, "-stroke", stroke or "none", "-draw",
                      "rectangle %d,%d %d,%d" % (x, y, x + w - 1, y + h - 1), "-stroke", "none"]

    def line(self, pts, color):
        self.args += ["-fill", "none", "-stroke", color, "-strokewidth", "1", "-draw",
                      "polyline " + " ".join("%d,%d" % p for p in pts), "-stroke", "none"]

    def save(self, path):
        subprocess.run(self.args + ["-depth", "8", "-type", "TrueColor", path], check=True)


def window(out, path, W=1090, H=720):
    c = Canvas(out, W, H, "black")
    c.img(197, 0, 0, W, H)
    c.img(215, 0, 51, 10, H)
    c.img(216, W - 10, 51, 10, H)
    c.img(217, 0, 0, W, 24)
    c.img(233, 0, H - 70, W, 70)
    c.img(226, 10, H - 266, W - 330, 20)
    c.img(227, 10, H - 246, W - 330, 50)
    for num, x, y in ((214, 0, 0), (218, W - 142, 0), (219, W - 315, 31), (221, 10, H - 246),
                      (222, W // 2 - 250, H - 236), (223, W // 2 - 80, H - 236), (224, W // 2 + 9, H - 236),
                      (225, W // 2 + 109, H - 236), (228, W // 2 - 535, H - 192), (230, W - 315, H - 137),
                      (231, 0, H - 70), (232, W - 351, H - 70)):
        c.img(num, x, y)
    c.img(332, 417, H - 70, W - 768, 70)
    c.img(234, 10, 24, W - 330, H - 289)
    c.img(235, W - 315, H - 390)
    # speed 57: blank, 5, 7
    c.img(285, 37, H - 242)
    c.img(291, 61, H - 242)
    c.img(293, 85, H - 242)
    if (W, H) != (1090, 720):
        c.save(path)            # background only: controls sit at their normal-mode places below
        return
    # window buttons
    for num, x in ((236, 1067), (248, 995), (244, 1019), (240, 1043)):
        c.img(num, x, 2)
    # type filters (checked) and their labels
    for i, name in enumerate(("Normal", "Event", "Park", "Photo")):
        c.img(270, 784 + 70 * i, 41, key=True)
        c.text(803 + 70 * i, 41, name)
    # lists with header and scrollbar
    for x, w, title in ((775, 73, "Date"), (859, 39, "Hour"), (909, 160, "File")):
        c.box(x, 71, w, 246, "rgb(22,24,25)")
        c.img(338, x, 71, w, 20)
        c.text(x + w // 2 - 3 * len(title), 74, title, "rgb(199,198,198)", 11)
        c.img(339, x + w, 91, 11, 226 - 22)
        c.img(340, x + w, 91)
        c.img(341, x + w, 317 - 11)
        c.img(342, x + w, 91 + 11 + 30)
    for r in range(12):
        y = 93 + 18 * r
        if r == 2:
            c.box(775, y, 73, 18, "rgb(3,91,156)")
            c.box(909, y, 160, 18, "rgb(3,91,156)")
        c.text(779, y + 2, "24-05-%02d" % (r + 1), "rgb(200,200,200)", 12)
        c.text(866, y + 2, "%02d" % (8 + r), "rgb(200,200,200)", 12)
        c.text(913, y + 2, "Normal  %02d:%02d:00" % (8 + r, 10 + r), "rgb(200,200,200)", 12)
    # position slider at 40 %, elapsed and duration
    cpos = 8 + int((571 - 17) * 0.4)
    c.img(213, 28, 459, crop=(cpos, 9, 0, 0))
    c.img(202, 28 + cpos, 459, crop=(571 - cpos, 9, cpos, 0))
    c.img(203, 28 + cpos - 8 - 1, 459, key=True)
    c.text(690, 458, "00:24 /")
    c.text(735, 458, "01:00")
    # volume at 6 of 10 (window 100 wide)
    vpos = 5 + int((101 - 10) * 0.6)
    c.img(208, 322, 500, crop=(vpos, 14, 0, 0))
    c.img(207, 322 + vpos, 500, crop=(100 - vpos, 14, vpos, 0))
    c.img(351, 322 + vpos - 5 - 1, 500, key=True)
    # toggles: channel off, mirror on, flip off
    c.img(198, 493, 503, key=True)
    c.img(200, 593, 503, key=True)
    c.img(198, 693, 503, key=True)
    # G-sensor graph with sample curves and the cursor at 24 s
    c.img(229, 140, 528)
    import math
    for col, f, amp, ph in (("rgb(250,0,250)", 0.9, 1.2, 0), ("rgb(0,250,250)", 1.7, 0.8, 1),
                            ("rgb(250,250,0)", 0.5, 2.5, 2)):
        pts = [(140 + 30, 528 + 54 - int(amp * math.sin(ph) * 9))]
        for t in range(0, 60001, 500):
            v = amp * math.sin(ph + f * t / 6000.0)
            pts.append((140 + 30 + int(t * 595 / 60000.0), 528 + 54 - int(v * 9)))
        c.line(pts, col)
    cx = 140 + 30 + int(24000 * 595 / 60000.0)
    c.line([(cx, 528 + 14), (cx, 528 + 95)], "white")
    for y, col, s in ((573, "rgb(250,0,250)", "X : 0.1250"), (592, "rgb(0,250,250)", "Y : -0.0625"),
                      (610, "rgb(250,250,0)", "Z : 0.9844")):
        c.text(37, y, s, col)
    # map buttons: shown is checked
    c.img(273, 987, 598, key=True)
    c.img(283, 1017, 598, key=True)
    c.img(277, 1047, 598, key=True)
    c.text(785, 600, "2024-05-01 (Wed) 12:34:56")
    for num, x, y in ((308, 450, 660), (296, 492, 650), (304, 555, 650), (312, 618, 660),
                      (262, 826, 652), (347, 893, 652), (343, 960, 652), (324, 1027, 652)):
        c.img(num, x, y)
    c.save(path)


def dialogs(out, path):
    c = Canvas(out, 1260, 320, "rgb(17,19,22)")
    # notification with two buttons
    x0, y0 = 10, 10
    c.img(374, x0, y0)
    c.img(380, x0 + 40, y0 + 156)
    c.img(376, x0 + 210, y0 + 156)
    c.text(x0 + 10, y0 + 15, "Close", "white", 13, True)
    c.text(x0 + 30, y0 + 60, "Do you want to close PC viewer?", "black")
    # drive selection
    x0 = 420
    c.img(374, x0, y0)
    c.img(380, x0 + 40, y0 + 156)
    c.img(378, x0 + 210, y0 + 156)
    c.text(x0 + 10, y0 + 10, "Select black box drive.", "white", 13, True)
    c.text(x0 + 50, y0 + 66, "Drive  : ", "black")
    c.box(x0 + 170, y0 + 62, 210, 21, "white", "rgb(122,122,122)")
    c.text(x0 + 174, y0 + 65, "E:\\", "black")
    # information
    x0 = 830
    c.img(375, x0, y0)
    c.img(381, x0 + 125, y0 + 256)
    c.text(x0 + 10, y0 + 10, "Information", "white", 13, True)
    for y, s, b in ((65, "1. View version", True), (85, "Date : 2017-12-20", False),
                    (100, "Version :1.0.0.0", False), (125, "2. Firmware version", True),
                    (145, "FW 2.31", False), (185, "3. Serial number", True), (205, "SN0012345678", False)):
        c.text(x0 + (25 if b else 45), y0 + y, s, "black", 13, b)
    c.save(path)


def grid(out, path, rows):
    items = []
    for num, w, h, desc in rows:
        if num in (197, 234):
            scale = 1
        elif max(w, h) <= 24:
            scale = 3
        elif max(w, h) <= 64:
            scale = 2
        else:
            scale = 1
        items.append((num, w * scale, h * scale, scale))
    width, pad, label = 1600, 10, 16
    x = y = pad
    row_h = 0
    places = []
    # enlarged state families first, in number order; then the rest, tallest first
    small = [i for i in items if i[3] > 1]
    large = sorted((i for i in items if i[3] == 1), key=lambda i: (-i[2], i[0]))
    for num, w, h, s in small + large:
        if num == 197:
            continue
        if x + w > width - pad:
            x, y = pad, y + row_h + label + pad
            row_h = 0
        places.append((num, x, y, s, w))
        x += max(w, 40) + pad
        row_h = max(row_h, h)
    total = y + row_h + label + pad
    c = Canvas(out, width, total, "rgb(96,100,106)")
    for num, x, y, s, w in places:
        c.img(num, x, y, scale=s)
        c.text(x, y + [i for i in items if i[0] == num][0][2] + 1,
               "%d%s" % (num, "" if s == 1 else " x%d" % s), "white", 11)
    c.save(path)


def main():
    out = sys.argv[1]
    if len(sys.argv) > 2:       # sheet.py OUT WxH: the background composed at another size
        w, h = map(int, sys.argv[2].split("x"))
        window(out, os.path.join(out, "background-%dx%d.png" % (w, h)), w, h)
        return
    rows = manifest()
    parts = [os.path.join(out, n) for n in ("window-preview.png", "sheet-dialogs.png", "sheet-grid.png")]
    window(out, parts[0])
    dialogs(out, parts[1])
    grid(out, parts[2], rows)
    subprocess.run(["convert", "-background", "rgb(60,63,68)", "-gravity", "NorthWest"] + parts
                   + ["-splice", "0x10", "-append", "+repage", "-depth", "8", "-type", "TrueColor",
                      os.path.join(out, "contact-sheet.png")],
                   check=True)
    for p in parts[1:]:
        os.remove(p)


if __name__ == "__main__":
    main()
