"""A journey through the area tools with the real mouse: right drags to
select, Ctrl + C and Ctrl + F, a right click, a Ctrl + click flood fill and
brush strokes (one started off the map, after quick taps that each grow
the brush), then Ctrl + S. The saved tile map is compared byte for byte
with what the test works out itself."""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 20, 14
S = 16  # pixels a tile at zoom level 4
CURSOR = (TX // 2, TY // 2 - 1)  # the start cursor, drawn in the middle of the view


def start_tiles():
    # Diagonal bands of three textures, so that a flood fill has a region to find.
    return [[[1 + (x + y) // 5 % 3, (x * y) % 4, y % 3, 1, 2, 3 + x] for x in range(TX)] for y in range(TY)]


def pixel(x, y):
    """The middle of tile (x, y) in the 768 x 538 window at zoom level 4."""
    return (x - CURSOR[0] + 768 // S // 2) * S + S // 2, (y - CURSOR[1] + 512 // S // 2) * S + S // 2


def paste(tiles, x, y, cell):
    if 0 <= x < TX and 0 <= y < TY and cell[0] > 0:
        tiles[y][x] = [cell[0], cell[1], cell[2], cell[3], cell[3], cell[3]]


class AreaJourney(e2e.ProgramTestCase):
    def test_select_copy_fill_flood_and_paint(self):
        textures = {n: ("tex%d.bmp" % n, 0) for n in range(1, 4)}
        bitmaps = {"tex%d.bmp" % n: e2e.plain_texture((60 * n, 90, 200 - 50 * n)) for n in range(1, 4)}
        areas = [{"name": "Field", "position": (3000, 3000), "alignment": "FRIENDLY", "targets": [("Tower", (0, 0))]}]
        heights = [[20] * (4 * TX) for _ in range(4 * TY)]
        tfd = e2e.write_terrain(self.tmp, "Isle", start_tiles(), heights, textures, areas, bitmaps)
        program = self.program(tfd, settings=e2e.FARTHEST_START)
        program.wait_ready("equal", "equal", "equal", "equal")
        tiles = start_tiles()

        # Select 5 x 3 tiles by a drag through the map, and copy them.
        program.drag(3, [pixel(2, 3), pixel(4, 4), pixel(6, 5)])
        program.hold_key("ctrl+c")
        stamp = [[[c[0], c[1], c[2], c[5]] for c in row[2:7]] for row in tiles[3:6]]
        # A larger selection, dragged from its bottom-right corner, filled.
        program.drag(3, [pixel(17, 9), pixel(12, 4), pixel(10, 1)])
        program.hold_key("ctrl+f")
        for x in range(10, 18):
            for y in range(1, 10):
                paste(tiles, x, y, stamp[(y - 1) % 3][(x - 10) % 5])
        # A right click clears the selection; then a flood fill of the whole map.
        program.xdotool("mousemove", "--window", program.window, *map(str, pixel(3, 12)), "click", "3")
        time.sleep(0.3)
        program.xdotool("keydown", "ctrl")
        time.sleep(0.2)
        program.xdotool("mousemove", "--window", program.window, *map(str, pixel(0, 12)), "click", "1")
        time.sleep(0.3)
        program.xdotool("keyup", "ctrl")
        time.sleep(0.2)
        centre = stamp[1][2]
        texture, region, todo = tiles[12][0][0], set(), [(0, 12)]
        while todo:
            x, y = todo.pop()
            if (x, y) in region or not (0 <= x < TX and 0 <= y < TY) or tiles[y][x][0] != texture:
                continue
            region.add((x, y))
            todo += [(x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)]
        for x, y in region:
            paste(tiles, x, y, centre)
        # A 3 x 3 brush along row 0 from column 1 to 8: rows 0 and 1 (row -1 is off the map).
        program.hold_keys("p", "bracketright", "bracketright")
        program.drag(1, [pixel(1, 0), pixel(4, 0), pixel(8, 0)])
        for x in range(0, 10):
            for y in (0, 1):
                paste(tiles, x, y, centre)
        # Nine quick taps of ], each shorter than a pass of the loop and its
        # pause: every one counts, 3 x 3 to 12 x 12. Then a stroke that
        # starts off the map, on the black, and crosses it: it paints the
        # tiles its 12 x 12 squares cover, columns 0..8, rows 7..13.
        taps = []
        for _ in range(9):
            taps += ["keydown", "bracketright", "sleep", "0.06", "keyup", "bracketright", "sleep", "0.03"]
        program.xdotool(*taps)
        program.wait_redrawn()
        program.drag(1, [pixel(-3, 12), pixel(0, 12), pixel(2, 12)])
        for x in range(0, 9):
            for y in range(7, 14):
                paste(tiles, x, y, centre)
        self.assertEqual(CURSOR, (TX // 2, TY // 2 - 1))

        self.assertEqual(0, program.save_and_quit(), program.output())
        with open(tfd, "rb") as f:
            self.assertEqual(e2e.tfd_bytes(tiles), f.read())


if __name__ == "__main__":
    e2e.main()
