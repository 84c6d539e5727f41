"""The ways of moving about: a left drag, a wheel notch over the map, a
click on the overview, Ctrl + G with typed numbers and Ctrl + T with typed
letters, each followed by an edit on the cursor tile, so the saved tile map,
byte for byte, shows where each one left the cursor."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 40, 30


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
        tfd = e2e.write_terrain(self.tmp, "Vale", start_tiles(), heights, textures, areas, bitmaps)
        program = self.program(tfd, settings=e2e.FARTHEST_START)
        program.wait_ready("equal", "equal", "equal", "equal")  # zoom level 4, 16 pixels a tile
        tiles = start_tiles()

        def edit(x, y, *keys):  # Page Up raises the texture, T steps the tag
            program.hold_keys(*keys)
            tile = tiles[y][x]
            tile[0] = min(tile[0] + ("Prior" in keys), 4)
            tile[2] = (tile[2] + ("t" in keys)) % 3

        def at(x, y):
            return ["mousemove", "--window", program.window, str(x), str(y), "sleep", "0.1"]

        def dialog(key, text):
            program.press_and_wait(key)
            program.type_text(text)
            program.wait_redrawn()
            program.press_and_wait("Return")

        # Left 83 and down 53 pixels: -5 and 3 whole tiles, truncated toward zero.
        program.xdotool(*at(400, 300), "mousedown", "1", *at(380, 310), *at(340, 330), *at(317, 353),
                        "mouseup", "1", "sleep", "0.3")
        edit(20 + 5, 14 - 3, "Prior")
        # At zoom level 5 (8 pixels) pixel 460, 200 is on tile 25 - 48 + 57, 11 - 32 + 25 = 34, 4;
        # at level 4 it stays there with the cursor on 34 + 24 - 28, 4 + 16 - 12 = 30, 8.
        program.hold_key("minus")
        program.xdotool(*at(460, 200))
        program.wheel(1)
        edit(30, 8, "t")
        # A 40 x 30 map fits 16 pixels a tile: 640 x 480 at 64, 16.
        program.press_and_wait("o")
        program.click(64 + 7 * 16 + 5, 16 + 22 * 16 + 9)
        program.wait_redrawn()
        edit(7, 22, "Prior")
        # Strip row 5 counts from the south edge: model row 29 - 5.
        dialog("ctrl+g", "12, 5")
        edit(12, 24, "Prior", "t")
        # "nor" finds Harbour North only when case is ignored; its tile is 33500 // 2000, 29 - 41999 // 2000.
        dialog("ctrl+t", "nor")
        edit(16, 9, "t")

        self.assertEqual(0, program.save_and_quit(), program.output())
        with open(tfd, "rb") as f:
            self.assertEqual(e2e.tfd_bytes(tiles), f.read())


if __name__ == "__main__":
    e2e.main()
