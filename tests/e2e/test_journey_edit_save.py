"""Journeys of editing and saving, as a user makes them: tile and height
edits with held keys, then Esc or the window's close button, with each
answer of the save prompt. The saved files are compared byte for byte with
what the test computes itself."""
import copy
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 12, 10
HEADER3, HEADER4 = 0x01020304, -7
STEP = 10  # every sample is a multiple of 10, most of them from 10 to 50


def start_heights():
    h = [[10 + 10 * ((X * 7 + Y * 3) % 5) for X in range(4 * TX)] for Y in range(4 * TY)]
    for Y in range(4 * TY):  # a slope rising to the east in the tiles of column 8
        for i in range(4):
            h[Y][32 + i] = 100 + 20 * i
    h[0][0] = 300  # the highest sample at opening: raising goes past it
    h[21][34] = 295
    return h


def start_tiles():
    return [[[1 + (x + y) % 4, (x * y) % 4, 0, 1, 2, 3 + x] for x in range(TX)] for y in range(TY)]


def write_files(folder):
    textures = {n: ("tex%d.bmp" % n, 2 if n == 1 else 0) for n in range(1, 5)}
    bitmaps = {"tex%d.bmp" % n: e2e.plain_texture((40 * n, 200 - 30 * n, 90), stripe=(10, 10, 10))
               for n in range(1, 5)}
    areas = [{"name": "Harbour", "position": (9000, 7000), "alignment": "FRIENDLY",
              "targets": [("Runway1", (0, 0), 30), ("Hangar", (300, 0))]}]
    tfd = e2e.write_terrain(folder, "Isle", [[1] * TX] * TY, None, textures, areas, bitmaps)
    with open(tfd, "wb") as f:
        f.write(e2e.tfd_bytes(start_tiles(), HEADER3, HEADER4))
    with open(os.path.join(folder, "Isle.hfd"), "wb") as f:
        f.write(e2e.hfd_bytes(start_heights(), HEADER3, HEADER4))
    return tfd


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Model:
    """What the program's edits do, worked out independently."""

    def __init__(self):
        self.tiles = start_tiles()
        self.h = start_heights()
        self.block = None
        self.heights_clip = None

    def next_texture(self, x, y, count=4):
        t = self.tiles[y][x]
        if t[0] < count:
            t[0] += 1

    def rotate(self, x, y):
        t = self.tiles[y][x]
        t[1] = t[1] + 1 if t[1] < 3 else 0

    def next_tag(self, x, y):
        t = self.tiles[y][x]
        t[2] = t[2] + 1 if t[2] < 2 else 0

    def copy_block(self, x, y):
        self.block = {}
        for dy in (-1, 0, 1):
            for dx in (-1, 0, 1):
                if 0 <= x + dx < TX and 0 <= y + dy < TY:
                    t = self.tiles[y + dy][x + dx]
                    self.block[dx, dy] = (t[0], t[1], t[2], t[5])

    def paste_cell(self, x, y, cell):
        texture, rotation, tag, extra = cell
        if texture > 0:
            self.tiles[y][x] = [texture, rotation, tag, extra, extra, extra]

    def paste_block(self, x, y):
        for (dx, dy), cell in self.block.items():
            if 0 <= x + dx < TX and 0 <= y + dy < TY:
                self.paste_cell(x + dx, y + dy, cell)

    def samples(self, x, y):
        return [(4 * x + i, 4 * y + j) for j in range(4) for i in range(4)]

    def raise_(self, x, y, only=None):
        for X, Y in ([only] if only else self.samples(x, y)):
            v = self.h[Y][X]
            self.h[Y][X] = v + STEP if v < 9999 - STEP else max(v, 9999)

    def lower(self, x, y):
        for X, Y in self.samples(x, y):
            v = self.h[Y][X]
            self.h[Y][X] = v - STEP if v > STEP else 0

    def rotate_heights(self, x, y):
        old = {(i, j): self.h[4 * y + j][4 * x + i] for i in range(4) for j in range(4)}
        for i in range(4):
            for j in range(4):
                self.h[4 * y + j][4 * x + i] = old[j, 3 - i]

    def copy_heights(self, x, y):
        self.heights_clip = {(i, j): self.h[4 * y + j][4 * x + i] for i in range(4) for j in range(4)}

    def paste_heights(self, x, y):
        for (i, j), v in self.heights_clip.items():
            self.h[4 * y + j][4 * x + i] = v

    def tfd(self):
        return e2e.tfd_bytes(self.tiles, HEADER3, HEADER4)

    def hfd(self):
        return e2e.hfd_bytes(self.h, HEADER3, HEADER4)


class EditAndSave(e2e.ProgramTestCase):
    def open(self):
        tfd = write_files(self.tmp)
        program = self.program(tfd, settings=e2e.FARTHEST_START)
        program.wait_window()
        program.wait_settled()
        return program, tfd

    def test_edit_tiles_and_heights_then_save_both(self):
        program, tfd = self.open()
        m = Model()
        x, y = TX // 2, TY // 2 - 1  # the start cursor

        program.hold_keys("equal", "equal", "equal", "equal")  # zoom level 4: editing allowed
        program.hold_keys("Prior", "r", "t")
        m.next_texture(x, y)
        m.rotate(x, y)
        m.next_tag(x, y)
        program.hold_key("c")
        m.copy_block(x, y)
        program.hold_keys("Right", "Right", "b")
        x += 2
        m.paste_block(x, y)
        program.hold_keys("Down", "Down", "v")
        y += 2
        m.paste_cell(x, y, m.block[0, 0])

        program.hold_key("m")  # height display
        program.hold_keys("Prior", "r")
        m.raise_(x, y)
        m.rotate_heights(x, y)
        program.hold_keys("d", "Left", "f", "Next")
        m.copy_heights(x, y)
        x -= 1
        m.paste_heights(x, y)
        m.lower(x, y)
        program.hold_keys("Up", "Up", "Up")  # to the tile with the highest samples around it
        y -= 3
        program.hold_keys("equal", "equal", "equal", "equal")  # zoom level 0: one sample
        program.hold_keys("Tab", "Tab", "Prior")
        m.raise_(x, y, only=(4 * x + 2, 4 * y))
        program.wait_redrawn()
        program.expect_running("after the edits")

        program.press_and_wait("Escape")
        program.press_and_wait("y")  # save the tile map; the height question follows
        program.hold_key("y")  # save the height map
        self.assertEqual(0, program.wait_exit(), program.output())
        self.assertEqual(m.tfd(), read(tfd))
        self.assertEqual(m.hfd(), read(os.path.join(self.tmp, "Isle.hfd")))
        leftovers = [f for f in os.listdir(self.tmp) if f.endswith(".saving")]
        self.assertEqual([], leftovers)

    def test_answers_no_and_return_keep_the_files_and_the_edits(self):
        program, tfd = self.open()
        before = (read(tfd), read(os.path.join(self.tmp, "Isle.hfd")))
        program.hold_keys("equal", "equal", "equal", "equal", "Prior", "m", "Prior")
        program.press_and_wait("Escape")
        program.press_and_wait("n")  # not the tile map
        program.press_and_wait("r")  # back to the map from the height question
        program.expect_running("after Return")
        program.press_and_wait("Escape")  # asks about both again
        program.press_and_wait("n")
        program.hold_key("n")
        self.assertEqual(0, program.wait_exit(), program.output())
        self.assertEqual(before, (read(tfd), read(os.path.join(self.tmp, "Isle.hfd"))))

    def test_close_button_with_unsaved_edits_asks_like_esc(self):
        program, tfd = self.open()
        m = Model()
        x, y = TX // 2, TY // 2 - 1
        program.hold_keys("equal", "equal", "equal", "equal", "t", "t")
        m.next_tag(x, y)
        m.next_tag(x, y)
        before = program.wait_redrawn()
        program.close_window()
        program.wait_changed(before)
        program.expect_running("while the save prompt is open")
        program.hold_key("y")
        self.assertEqual(0, program.wait_exit(), program.output())
        self.assertEqual(m.tfd(), read(tfd))


if __name__ == "__main__":
    e2e.main()
