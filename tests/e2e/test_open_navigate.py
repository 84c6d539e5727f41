"""The real program opens a small generated terrain, follows held arrow,
zoom and mode keys, and ends on Esc without a question when nothing was
edited."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TILES_X, TILES_Y = 40, 30


def small_terrain(folder):
    textures = {1: ("sea.bmp", 2), 2: ("meadow.bmp", 0), 3: ("hill.bmp", 0), 4: ("peak.bmp", 0)}
    bitmaps = {
        "sea.bmp": e2e.plain_texture((40, 80, 140)),
        "meadow.bmp": e2e.plain_texture((90, 150, 70), stripe=(60, 110, 50)),
        "hill.bmp": e2e.plain_texture((150, 130, 90), stripe=(120, 100, 70)),
        "peak.bmp": e2e.plain_texture((235, 235, 240), stripe=(150, 150, 160)),
    }
    # Sea in the west, rising to a ridge in the east; heights in steps of 10.
    heights = [[0 if X < 24 else min(2000, (X - 20) * 14 // 10 * 10 + (Y % 7) * 10) for X in range(4 * TILES_X)]
               for Y in range(4 * TILES_Y)]
    tiles = []
    for y in range(TILES_Y):
        row = []
        for x in range(TILES_X):
            top = max(heights[4 * y + j][4 * x + i] for j in range(4) for i in range(4))
            texture = 1 if top == 0 else 2 if top < 500 else 3 if top < 1500 else 4
            row.append((texture, (x + y) % 4, 0, 0, 0, 0))
        tiles.append(row)
    areas = [
        {"name": "West Field", "position": (20000, 30000), "alignment": "FRIENDLY",
         "targets": [("Runway2", (0, 0), 45), ("Hangar", (600, 300))]},
        {"name": "Ridge Radar", "position": (70000, 40000), "alignment": "ENEMY",
         "targets": [("Radar", (0, 0)), ("SAM Site", (400, -300))]},
    ]
    return e2e.write_terrain(folder, "Small", tiles, heights, textures, areas, bitmaps)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class OpenNavigate(e2e.ProgramTestCase):
    def test_keys_move_zoom_and_switch_mode_then_esc_ends_at_once(self):
        tfd = small_terrain(self.tmp)
        before = {name: read(os.path.join(self.tmp, name)) for name in ("Small.TFD", "Small.hfd")}
        program = self.program(tfd)
        program.wait_window()
        start = program.wait_settled()

        program.hold_keys("Right", "Right", "Down", "Left", "Up", "Up")
        program.hold_keys("equal", "equal", "equal")
        zoomed = program.wait_redrawn()
        self.assertNotEqual(start, zoomed, "zooming in changes the picture")

        program.hold_keys("minus", "Right", "Down")
        program.hold_key("m")
        heights = program.wait_redrawn()
        program.hold_key("m")
        textures = program.wait_redrawn()
        self.assertNotEqual(heights, textures, "the mode key switches between height colours and textures")
        program.expect_running("while navigating")

        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit(), program.output())
        after = {name: read(os.path.join(self.tmp, name)) for name in before}
        self.assertEqual(before, after, "nothing was edited, so nothing is written")


if __name__ == "__main__":
    e2e.main()
