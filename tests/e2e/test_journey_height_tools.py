"""A journey through the height tools in height display: right drags to
select, then L to level, S to smooth, H with a typed height and G for a
ramp, one on the cursor tile alone, then Ctrl + S. The saved height map is
compared byte for byte with what the test works out itself."""
import math
import os
import sys
import time
from fractions import Fraction

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 20, 14
SX, SY = 4 * TX, 4 * TY
S = 16  # pixels a tile at zoom level 4
CURSOR = (TX // 2, TY // 2 - 1)  # the start cursor, drawn in the middle of the view


def start_heights():
    # Rough enough that a mean, a smoothing pass and a ramp all round.
    return [[(7 * x * x + 53 * y + 3 * x * y) % 1500 + 100 for x in range(SX)] for y in range(SY)]


def pixel(x, y):
    """The middle of tile (x, y) in the 768 x 538 window at zoom level 4."""
    return (x - CURSOR[0] + 768 // S // 2) * S + S // 2, (y - CURSOR[1] + 512 // S // 2) * S + S // 2


def samples(left, top, right, bottom):
    return [(x, y) for y in range(4 * top, 4 * bottom + 4) for x in range(4 * left, 4 * right + 4)]


def mean(values):
    return (sum(values) + len(values) // 2) // len(values)


def level(h, area):
    m = mean([h[y][x] for x, y in area])
    for x, y in area:
        h[y][x] = m


def smooth(h, area):
    old = [row[:] for row in h]
    for x, y in area:
        h[y][x] = mean([old[y + j][x + i] for i in (-1, 0, 1) for j in (-1, 0, 1)
                        if 0 <= x + i < SX and 0 <= y + j < SY])


def ramp(h, left, top, right, bottom):
    xs, ys = range(4 * left, 4 * right + 4), range(4 * top, 4 * bottom + 4)
    lines = [[(x, y) for y in ys] for x in xs] if len(xs) > len(ys) else [[(x, y) for x in xs] for y in ys]
    a, b = (Fraction(sum(h[y][x] for x, y in line), len(line)) for line in (lines[0], lines[-1]))
    n = len(lines)
    for c, line in enumerate(lines):
        value = math.floor(a + (b - a) * Fraction(c, n - 1) + Fraction(1, 2))
        for x, y in line:
            h[y][x] = value


class HeightToolsJourney(e2e.ProgramTestCase):
    def test_level_smooth_set_and_ramp(self):
        textures = {1: ("tex1.bmp", 0)}
        bitmaps = {"tex1.bmp": e2e.plain_texture((90, 140, 60))}
        areas = [{"name": "Ridge", "position": (3000, 3000), "targets": [("Tower", (0, 0))]}]
        tfd = e2e.write_terrain(self.tmp, "Hills", [[1] * TX] * TY, start_heights(), textures, areas, bitmaps)
        hfd = os.path.join(self.tmp, "Hills.hfd")
        with open(hfd, "wb") as f:
            f.write(e2e.hfd_bytes(start_heights(), 3, 77))
        program = self.program(tfd)
        program.wait_window()
        program.wait_settled()
        program.hold_keys("m", "equal", "equal", "equal", "equal")
        program.wait_redrawn()
        h = start_heights()

        def move(x, y):
            program.xdotool("mousemove", "--window", program.window, str(x), str(y))
            time.sleep(0.08)

        def select(x0, y0, x1, y1):
            move(*pixel(x0, y0))
            program.xdotool("mousedown", "3")
            time.sleep(0.1)
            move(*pixel((x0 + x1) // 2, (y0 + y1) // 2))
            move(*pixel(x1, y1))
            program.xdotool("mouseup", "3")
            time.sleep(0.3)

        select(2, 2, 6, 5)
        program.hold_key("l")
        level(h, samples(2, 2, 6, 5))
        # Over the levelled block and along the west and south edges of the map.
        select(5, 13, 0, 4)
        program.hold_key("s")
        smooth(h, samples(0, 4, 5, 13))
        select(14, 8, 17, 10)
        program.press_and_wait("h")
        program.type_text("1234\n")
        for x, y in samples(14, 8, 17, 10):
            h[y][x] = 1234
        # From the smoothed edge to partly set heights, 48 columns by 12 rows.
        select(5, 10, 16, 12)
        program.hold_key("g")
        ramp(h, 5, 10, 16, 12)
        # A right click clears: G then ramps the cursor tile by its rows.
        program.xdotool("mousemove", "--window", program.window, *map(str, pixel(3, 1)), "click", "3")
        time.sleep(0.3)
        program.hold_key("g")
        ramp(h, CURSOR[0], CURSOR[1], CURSOR[0], CURSOR[1])

        self.assertEqual(0, program.save_and_quit(), program.output())
        with open(hfd, "rb") as f:
            self.assertEqual(e2e.hfd_bytes(h, 3, 77), f.read())


if __name__ == "__main__":
    e2e.main()
