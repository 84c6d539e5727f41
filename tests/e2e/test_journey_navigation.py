"""A journey through the ways of moving about: a left drag, a wheel notch
over the map, a click on the overview, Ctrl + G with typed numbers and
Ctrl + T with typed letters. Each is followed by an edit on the cursor tile,
so the saved tile map, compared byte for byte with what the test works out
itself, shows where each one left the cursor."""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 40, 30
SHOTS = {"overview": "/tmp/nav_overview.png", "goto": "/tmp/nav_goto.png", "find": "/tmp/nav_find.png"}


def start_tiles():
    return [[[1 + (x + 2 * y) % 3, x % 4, y % 3, 1, 2, 3] for x in range(TX)] for y in range(TY)]


class NavigationJourney(e2e.ProgramTestCase):
    def test_each_way_of_moving_then_an_edit(self):
        textures = {n: ("tex%d.bmp" % n, 0) for n in range(1, 5)}
        bitmaps = {"tex%d.bmp" % n: e2e.plain_texture((50 * n, 200 - 40 * n, 90)) for n in range(1, 5)}
        # Mill Ridge comes first, so a find that ignored the letters would pick it.
        areas = [{"name": "Mill Ridge", "position": (5000, 5000), "targets": [("Tower", (0, 0))]},
                 {"name": "Harbour North", "position": (33500, 41999), "targets": [("Crane", (10, 0))]},
                 {"name": "Quarry Road", "position": (70000, 50000), "targets": [("Depot", (0, 10))]}]
        heights = [[(x * 7 + y * 3) % 400 + 50 for x in range(4 * TX)] for y in range(4 * TY)]
        tfd = e2e.write_terrain(self.tmp, "Vale", [[1] * TX] * TY, heights, textures, areas, bitmaps)
        with open(tfd, "wb") as f:
            f.write(e2e.tfd_bytes(start_tiles()))
        program = self.program(tfd)
        program.wait_window()
        program.wait_settled()
        program.hold_keys("equal", "equal", "equal", "equal")  # zoom level 4, 16 pixels a tile
        program.wait_redrawn()
        tiles = start_tiles()

        def raise_texture(x, y):
            tiles[y][x][0] = min(tiles[y][x][0] + 1, 4)

        def next_tag(x, y):
            tiles[y][x][2] = (tiles[y][x][2] + 1) % 3

        def move(x, y):
            program.xdotool("mousemove", "--window", program.window, str(x), str(y))
            time.sleep(0.08)

        # Left 83 and down 53 pixels: -5 and 3 whole tiles, truncated toward zero.
        move(400, 300)
        program.xdotool("mousedown", "1")
        time.sleep(0.1)
        for p in ((380, 310), (340, 330), (317, 353)):
            move(*p)
        program.xdotool("mouseup", "1")
        time.sleep(0.3)
        program.hold_key("Prior")
        raise_texture(20 + 5, 14 - 3)

        # At zoom level 5 (8 pixels) pixel 460, 200 is on tile 25 - 48 + 57, 11 - 32 + 25 = 34, 4;
        # at level 4 it stays there with the cursor on 34 + 24 - 28, 4 + 16 - 12 = 30, 8.
        program.hold_key("minus")
        move(460, 200)
        program.xdotool("click", "4")
        time.sleep(0.3)
        program.hold_key("t")
        next_tag(30, 8)

        # A 40 x 30 map fits 16 pixels a tile: 640 x 480 at 64, 16.
        program.press_and_wait("o")
        program.screenshot(SHOTS["overview"])
        program.click(64 + 7 * 16 + 5, 16 + 22 * 16 + 9)
        program.wait_redrawn()
        program.hold_key("Prior")
        raise_texture(7, 22)

        # Strip row 5 counts from the south edge: model row 29 - 5.
        program.press_and_wait("ctrl+g")
        program.type_text("12, 5")
        program.wait_redrawn()
        program.screenshot(SHOTS["goto"])
        program.press_and_wait("Return")
        program.hold_keys("Prior", "t")
        raise_texture(12, 24)
        next_tag(12, 24)

        # "nor" finds Harbour North only when case is ignored; its tile is
        # 33500 // 2000, 29 - 41999 // 2000.
        program.press_and_wait("ctrl+t")
        program.type_text("nor")
        program.wait_redrawn()
        program.screenshot(SHOTS["find"])
        program.press_and_wait("Return")
        program.hold_key("t")
        next_tag(16, 9)

        self.assertEqual(0, program.save_and_quit(), program.output())
        with open(tfd, "rb") as f:
            self.assertEqual(e2e.tfd_bytes(tiles), f.read())


if __name__ == "__main__":
    e2e.main()
