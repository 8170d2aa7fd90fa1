#!/usr/bin/env python3
"""Checks the main window's background on screen against its skin bitmaps.

    skin_pieces.py SHOT.ppm ART_DIR W H CHILDREN

SHOT.ppm is the window's client area (W x H, binary PPM); ART_DIR holds the
rendered bitmaps NNN.bmp; CHILDREN lists the visible child windows' client
rectangles "L T R B", one per line. For each of the background's 23 drawing
steps, pixels of the piece that no later piece and no child window covers are
compared with the bitmap: a copied piece pixel for pixel, a stretched one
against the source pixel it maps to or a neighbour of it (the platform's
stretch may round either way). Prints one line per piece; exits 1 when any
sample differs. A piece covered whole by later ones is reported "hidden".
"""
import os
import sys


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    parts, pos = [], 0
    while len(parts) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        parts.append(data[pos:end])
        pos = end
    assert parts[0] == b"P6" and parts[3] == b"255", "not an 8-bit binary PPM"
    w, h = int(parts[1]), int(parts[2])
    return w, h, data[pos + 1:pos + 1 + w * h * 3]


def read_bmp(path):
    with open(path, "rb") as f:
        d = f.read()
    off = int.from_bytes(d[10:14], "little")
    w = int.from_bytes(d[18:22], "little", signed=True)
    h = int.from_bytes(d[22:26], "little", signed=True)
    bpp = int.from_bytes(d[28:30], "little")
    assert bpp == 24, "%s: %d bits per pixel" % (path, bpp)
    stride = (w * 3 + 3) & ~3
    top_down = h < 0
    h = abs(h)

    def px(x, y):
        row = y if top_down else h - 1 - y
        i = off + row * stride + x * 3
        return (d[i + 2], d[i + 1], d[i])
    return w, h, px


def draws(W, H):
    """The 23 steps: (resource, x, y, w, h, stretch); copies have their image's size (None)."""
    half = W // 2
    return [
        (197, 0, 0, W, H, True), (215, 0, 51, 10, H, True), (216, W - 10, 51, 10, H, True),
        (217, 0, 0, W, 24, True), (233, 0, H - 70, W, 70, True), (226, 10, H - 266, W - 330, 20, True),
        (227, 10, H - 246, W - 330, 50, True), (214, 0, 0, None, None, False),
        (218, W - 142, 0, None, None, False), (219, W - 315, 31, None, None, False),
        (221, 10, H - 246, None, None, False), (222, half - 250, H - 236, None, None, False),
        (223, half - 80, H - 236, None, None, False), (224, half + 9, H - 236, None, None, False),
        (225, half + 109, H - 236, None, None, False), (228, half - 535, H - 192, None, None, False),
        (230, W - 315, H - 137, None, None, False), (231, 0, H - 70, None, None, False),
        (232, W - 351, H - 70, None, None, False), (332, 417, H - 70, W - 768, 70, True),
        (234, 10, 24, W - 330, H - 289, True), (235, W - 315, H - 390, None, None, False),
        (285, 37, H - 242, None, None, False), (285, 61, H - 242, None, None, False),
        (285, 85, H - 242, None, None, False),
    ]


def main():
    shot, art, W, H, children = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
    sw, sh, screen = read_ppm(shot)
    assert (sw, sh) == (W, H), "screenshot is %dx%d, not %dx%d" % (sw, sh, W, H)
    covers = []
    with open(children) as f:
        for line in f:
            p = line.split()
            if len(p) == 4:
                covers.append(tuple(int(v) for v in p))
    images = {}
    steps = []
    for num, x, y, w, h, stretch in draws(W, H):
        if num not in images:
            images[num] = read_bmp(os.path.join(art, "%d.bmp" % num))
        iw, ih, _ = images[num]
        steps.append((num, x, y, iw if w is None else w, ih if h is None else h, stretch))

    def covered(i, px, py):
        if not (0 <= px < W and 0 <= py < H):
            return True
        for num, x, y, w, h, _ in steps[i + 1:]:
            if x <= px < x + w and y <= py < y + h:
                return True
        return any(l <= px < r and t <= py < b for l, t, r, b in covers)

    failed = False
    for i, (num, x, y, w, h, stretch) in enumerate(steps):
        iw, ih, pixel = images[num]
        # A grid of about 40 x 40 points over the destination, each moved to
        # the middle of its cell.
        nx, ny = min(w, 40), min(h, 40)
        checked = bad = 0
        first_bad = None
        for gy in range(ny):
            for gx in range(nx):
                px = x + (2 * gx + 1) * w // (2 * nx)
                py = y + (2 * gy + 1) * h // (2 * ny)
                if covered(i, px, py):
                    continue
                o = (py * W + px) * 3
                got = tuple(screen[o:o + 3])
                sx, sy = (px - x) * iw // w, (py - y) * ih // h
                if stretch:
                    want = {pixel(min(iw - 1, max(0, sx + dx)), min(ih - 1, max(0, sy + dy)))
                            for dx in (-1, 0, 1) for dy in (-1, 0, 1)}
                else:
                    want = {pixel(sx, sy)}
                checked += 1
                if got not in want:
                    bad += 1
                    if first_bad is None:
                        first_bad = (px, py, got, sorted(want)[0])
        # A piece that later pieces cover whole (the stretched bottom bar under
        # its three parts) cannot be seen, and is not a fault.
        status = "FAIL" if bad else "ok" if checked else "hidden"
        failed |= status == "FAIL"
        note = ""
        if first_bad:
            note = " first at %d,%d: %s, bitmap %s" % first_bad
        elif not checked:
            note = " (covered whole)"
        print("step %2d piece %d %s %d,%d %dx%d: %d sampled, %d differ%s %s"
              % (min(i + 1, 23), num, "stretch" if stretch else "copy", x, y, w, h, checked, bad, note, status))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
