"""The height tools in height display: right drags select, then L, S, H
with a typed height and G, on a selection and on the cursor tile alone, then
Ctrl + S; the saved height map must be the test's own, byte for byte."""
import math
import os
import sys
from fractions import Fraction

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 20, 14
SX, SY = 4 * TX, 4 * TY
S = 16  # pixels a tile at zoom level 4
CURSOR = (TX // 2, TY // 2 - 1)  # the start cursor, drawn in the middle of the view
# Rough enough that a mean, a smoothing pass and a ramp all round.
START = [[(7 * x * x + 53 * y + 3 * x * y) % 1500 + 100 for x in range(SX)] for y in range(SY)]


def pixel(x, y):  # the middle of a tile in the 768 x 538 window at zoom level 4
    return (x - CURSOR[0] + 768 // S // 2) * S + S // 2, (y - CURSOR[1] + 512 // S // 2) * S + S // 2


def mean(values):
    return (sum(values) + len(values) // 2) // len(values)


def rule(h, key, xs, ys):
    """The samples a key sets, worked out from the old map alone."""
    cells = [(x, y) for x in xs for y in ys]
    if key in "lh":
        return dict.fromkeys(cells, 1234 if key == "h" else mean([h[y][x] for x, y in cells]))
    if key == "s":
        return {(x, y): mean([h[y + j][x + i] for i in (-1, 0, 1) for j in (-1, 0, 1)
                              if 0 <= x + i < SX and 0 <= y + j < SY]) for x, y in cells}
    lines = [[(x, y) for y in ys] for x in xs] if len(xs) > len(ys) else [[(x, y) for x in xs] for y in ys]
    a, b = (Fraction(sum(h[y][x] for x, y in line), len(line)) for line in (lines[0], lines[-1]))
    return {p: math.floor(a + (b - a) * Fraction(c, len(lines) - 1) + Fraction(1, 2))
            for c, line in enumerate(lines) for p in line}


STEPS = [((2, 2), (6, 5), "l"),
         ((5, 13), (0, 4), "s"),  # over the levelled block and the map's west and south edges
         ((14, 8), (17, 10), "h"),  # 1234 typed
         ((5, 10), (16, 12), "g"),  # from the smoothed edge to partly set heights, 48 x 12
         ((3, 1), None, "g")]  # a right click clears, so G ramps the cursor tile by its rows


class HeightToolsJourney(e2e.ProgramTestCase):
    def test_level_smooth_set_and_ramp(self):
        areas = [{"name": "Ridge", "position": (3000, 3000), "targets": [("Tower", (0, 0))]}]
        tfd = e2e.write_terrain(self.tmp, "Hills", [[1] * TX] * TY, None, {1: ("tex1.bmp", 0)}, areas,
                                {"tex1.bmp": e2e.plain_texture((90, 140, 60))})
        hfd = os.path.join(self.tmp, "Hills.hfd")
        with open(hfd, "wb") as f:
            f.write(e2e.hfd_bytes(START, 3, 77))
        program = self.program(tfd, settings=e2e.FARTHEST_START)
        program.wait_ready("m", "equal", "equal", "equal", "equal")
        h = [row[:] for row in START]

        def at(tile):  # the pointer on a tile, then a pause for the main loop to see it
            return ["mousemove", "--window", program.window, *map(str, pixel(*tile)), "sleep", "0.1"]

        for first, far, key in STEPS:
            if far:
                middle = ((first[0] + far[0]) // 2, (first[1] + far[1]) // 2)
                program.xdotool(*at(first), "mousedown", "3", *at(middle), *at(far), "mouseup", "3", "sleep", "0.3")
            else:
                program.xdotool(*at(first), "click", "3", "sleep", "0.3")
            if key == "h":
                program.press_and_wait("h")
                program.type_text("1234\n")
            else:
                program.hold_key(key)
            (x0, x1), (y0, y1) = (sorted(c) for c in zip(*((first, far) if far else (CURSOR, CURSOR))))
            for (x, y), value in rule(h, key, range(4 * x0, 4 * x1 + 4), range(4 * y0, 4 * y1 + 4)).items():
                h[y][x] = value

        self.assertEqual(0, program.save_and_quit(), program.output())
        with open(hfd, "rb") as f:
            self.assertEqual(e2e.hfd_bytes(h, 3, 77), f.read())


if __name__ == "__main__":
    e2e.main()
