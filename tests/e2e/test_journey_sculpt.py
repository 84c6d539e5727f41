"""Sculpt mode in height display with the falloff and hardness of
Veldkit.ini: K, the radius and strength keys and Shift + wheel, a raise
click, a flatten target picked with Shift + click and a flatten click, a
lower drag saved and then undone, then Ctrl + S; the saved height map must
be the test's own model of the dabs, byte for byte."""
import math
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 20, 14
SX, SY = 4 * TX, 4 * TY
S = 16  # pixels a tile at zoom level 4: 4 a sample
CURSOR = (TX // 2, TY // 2 - 1)
START = [[(7 * x * x + 53 * y + 3 * x * y) % 1500 + 100 for x in range(SX)] for y in range(SY)]
RADIUS, STRENGTH, HARDNESS = 6, 65, 50  # 24 less 16 less 2; 50 % + 3 x 5 - 5 + a notch; the setting


def pixel(sx, sy):
    """The middle of sample (sx, sy) in the 768 x 538 window at zoom level 4."""
    return ((sx // 4 - CURSOR[0] + 768 // S // 2) * S + (sx % 4) * 4 + 2,
            (sy // 4 - CURSOR[1] + 512 // S // 2) * S + (sy % 4) * 4 + 2)


def weight(d):
    """The linear falloff with a full inner half, in 1/65536."""
    t, inner = d / RADIUS, HARDNESS / 100
    if t >= 1:
        return 0
    return 65536 if t <= inner else math.floor(65536 * (1 - (t - inner) / (1 - inner)) + 0.5)


def dab(h, cx, cy, change):
    for y in range(max(cy - RADIUS, 0), min(cy + RADIUS + 1, SY)):
        for x in range(max(cx - RADIUS, 0), min(cx + RADIUS + 1, SX)):
            w = weight(math.sqrt((x - cx) ** 2 + (y - cy) ** 2))
            if w:
                h[y][x] = change(h[y][x], w)


def raised(v, w):
    amount = (STRENGTH * w + 32768) // 65536
    return min(v + amount, 9999) if amount > 0 and v < 9999 else v


def towards(target):
    def change(v, w):
        k, d = STRENGTH * w // 100, target - v
        step = (d * k + 32768) >> 16 if d >= 0 else -((-d * k + 32768) >> 16)
        return min(max(v + step, 0), 9999)
    return change


def saved_heights(path):
    with open(path, "rb") as f:
        data = f.read()
    sx, sy = struct.unpack_from("<ii", data)
    rows = [list(struct.unpack_from("<%dH" % sx, data, 16 + 2 * sx * r)) for r in range(sy)]
    return rows[::-1]


class SculptJourney(e2e.ProgramTestCase):
    def test_sculpt_and_save(self):
        tfd = e2e.write_terrain(self.tmp, "Hills", [[1] * TX] * TY, None, {1: ("tex1.bmp", 0)}, None,
                                {"tex1.bmp": e2e.plain_texture((90, 140, 60))})
        hfd = os.path.join(self.tmp, "Hills.hfd")
        with open(hfd, "wb") as f:
            f.write(e2e.hfd_bytes(START, 3, 77))

        def sculpt_settings(workdir):
            with open(os.path.join(workdir, "Veldkit.ini"), "a") as f:
                f.write("[Sculpt]\nFalloff = linear\nHardness = %d\n" % HARDNESS)

        program = self.program(tfd, settings=e2e.FARTHEST_START, prepare=sculpt_settings)
        program.wait_ready("m", "equal", "equal", "equal", "equal")
        program.hold_keys("k", "shift+bracketleft", "bracketleft", "bracketleft", "apostrophe", "apostrophe",
                          "apostrophe", "semicolon")
        program.move(*pixel(40, 28))
        program.xdotool("keydown", "shift", "sleep", "0.2", "click", "4")
        program.wait_redrawn()
        program.xdotool("keyup", "shift")
        h = [row[:] for row in START]

        # A click is one dab at the press.
        program.click(*pixel(30, 20))
        dab(h, 30, 20, raised)

        # Flatten towards the height Shift + click picked.
        program.hold_key("4")
        program.move(*pixel(10, 10))
        program.xdotool("keydown", "shift", "mousedown", "1", "mouseup", "1", "sleep", "0.3", "keyup", "shift")
        program.wait_redrawn()
        program.click(*pixel(15, 30))
        dab(h, 15, 30, towards(h[10][10]))

        # A drag lowers along its way only; saved, then undone (undo
        # moves the view to the stroke, so it comes last).
        program.hold_key("2")
        way = [(50, 40), (56, 41), (63, 43), (70, 44)]
        program.drag(1, [pixel(*p) for p in way])
        program.hold_key("ctrl+s")
        program.wait_redrawn()
        after = saved_heights(hfd)
        lowered = [(x, y) for y in range(SY) for x in range(SX) if after[y][x] != h[y][x]]
        self.assertIn((50, 40), lowered)
        for x, y in lowered:
            self.assertLess(after[y][x], h[y][x], (x, y))
            near = min(math.hypot(x - (a[0] + (b[0] - a[0]) * t / 20), y - (a[1] + (b[1] - a[1]) * t / 20))
                       for a, b in zip(way, way[1:]) for t in range(21))
            self.assertLess(near, RADIUS + 1.5, (x, y))
        program.hold_key("ctrl+z")

        self.assertEqual(0, program.save_and_quit(), program.output())
        with open(hfd, "rb") as f:
            self.assertEqual(e2e.hfd_bytes(h, 3, 77), f.read())


if __name__ == "__main__":
    e2e.main()
