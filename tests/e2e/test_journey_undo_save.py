"""Journeys of undoing and saving in place, as a user makes them: edits with
held keys, undo and redo, a click to another tile and the wheel, Ctrl+S, and
then the program killed outright. What is on disk must be exactly the state
at the save, computed here independently; Esc after a save asks nothing; a
save that fails keeps the original file and the edits."""
import os
import signal
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 12, 10
HEADER3, HEADER4 = 0x0A0B0C0D, 5
STEP = 10
START = (TX // 2, TY // 2 - 1)  # the cursor tile at opening
# The default window is 768 x 538 with the strip from row 512: the cursor
# tile's cell starts at (384, 256) at every zoom level from 0 to 4.
CELL_X, CELL_Y = 384, 256


def start_tiles():
    return [[[1 + (x + y) % 4, (x * y) % 4, 0, 1, 2, 3 + x] for x in range(TX)] for y in range(TY)]


def start_heights():
    return [[10 + 10 * ((X * 7 + Y * 3) % 5) for X in range(4 * TX)] for Y in range(4 * TY)]


def write_files(folder):
    textures = {n: ("tex%d.bmp" % n, 0) for n in range(1, 5)}
    bitmaps = {"tex%d.bmp" % n: e2e.plain_texture((50 * n, 220 - 40 * n, 60)) for n in range(1, 5)}
    areas = [{"name": "Pier", "position": (21000, 17000), "targets": [("Crane", (0, 0))]}]
    tfd = e2e.write_terrain(folder, "Cove", [[1] * TX] * TY, None, textures, areas, bitmaps)
    with open(tfd, "wb") as f:
        f.write(e2e.tfd_bytes(start_tiles(), HEADER3, HEADER4))
    with open(os.path.join(folder, "Cove.hfd"), "wb") as f:
        f.write(e2e.hfd_bytes(start_heights(), HEADER3, HEADER4))
    return tfd


# Held longer than the harness's default: a pass that redraws and pauses can
# outlast a short hold on a busy machine, and a key released before the pass
# looks is lost. Still far below the keyboard's repeat delay, so one press
# stays one command.
HOLD = 0.2


def keys(program, *names):
    for name in names:
        program.hold_key(name, seconds=HOLD)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class Model:
    """The terrain as the edits leave it, worked out here."""

    def __init__(self):
        self.tiles = start_tiles()
        self.h = start_heights()

    def next_texture(self, x, y):
        t = self.tiles[y][x]
        t[0] = min(t[0] + 1, 4)

    def next_tag(self, x, y):
        t = self.tiles[y][x]
        t[2] = t[2] + 1 if t[2] < 2 else 0

    def raise_(self, x, y):
        for j in range(4):
            for i in range(4):
                v = self.h[4 * y + j][4 * x + i]
                self.h[4 * y + j][4 * x + i] = v + STEP if v < 9999 - STEP else max(v, 9999)

    def tfd(self):
        return e2e.tfd_bytes(self.tiles, HEADER3, HEADER4)

    def hfd(self):
        return e2e.hfd_bytes(self.h, HEADER3, HEADER4)


class UndoAndSave(e2e.ProgramTestCase):
    def open(self, **kwargs):
        tfd = write_files(self.tmp)
        program = self.program(tfd, settings=e2e.FARTHEST_START, **kwargs)
        program.wait_window()
        program.wait_settled()
        return program, tfd

    def leftovers(self):
        return [f for f in os.listdir(self.tmp) if f.endswith(".saving")]

    def test_undo_redo_click_and_wheel_then_save_survives_a_kill(self):
        program, tfd = self.open()
        hfd = os.path.join(self.tmp, "Cove.hfd")
        m = Model()
        x, y = START
        keys(program, "equal", "equal", "equal", "equal")  # zoom level 4: 16 pixels a tile
        unedited = program.wait_redrawn()

        keys(program, "Prior", "r")
        keys(program, "ctrl+z", "ctrl+z")  # both undone: the tile and the strip as before
        keys(program, "Right", "Left")  # a redraw without the undo's text
        self.assertEqual(unedited, program.wait_redrawn())

        keys(program, "Control_R+y")  # the texture again
        m.next_texture(x, y)
        keys(program, "t")  # a new edit: the rotation can no longer be redone
        m.next_tag(x, y)
        keys(program, "ctrl+shift+z")

        # One notch in (32 pixels a tile), a click one tile west and one south.
        # The wheel zooms about the pointer: on the cursor tile it stays.
        program.wait_redrawn()
        program.xdotool("mousemove", "--window", program.window, str(CELL_X), str(CELL_Y))
        program.wheel(1)
        program.wait_redrawn()
        program.click(CELL_X - 32 + 5, CELL_Y + 32 + 5)
        x, y = x - 1, y + 1
        program.xdotool("mousemove", "--window", program.window, str(CELL_X), str(CELL_Y))
        program.wheel(-1)  # back to level 4, the cursor tile kept
        keys(program, "m", "Prior", "Prior", "ctrl+z")  # heights raised once
        m.raise_(x, y)
        program.wait_redrawn()
        keys(program, "ctrl+s")
        program.wait_redrawn()
        self.assertEqual(m.tfd(), read(tfd))
        self.assertEqual(m.hfd(), read(hfd))

        keys(program, "Prior")  # not saved
        program.wait_redrawn()
        program.expect_running("before the kill")
        os.killpg(program.proc.pid, signal.SIGKILL)
        program.proc.wait(timeout=e2e.EXIT_TIMEOUT)
        self.assertEqual(m.tfd(), read(tfd))
        self.assertEqual(m.hfd(), read(hfd))
        self.assertEqual([], self.leftovers())

    def test_esc_after_saving_ends_without_a_question(self):
        program, tfd = self.open()
        m = Model()
        keys(program, "equal", "equal", "equal", "equal", "Prior", "t")
        m.next_texture(*START)
        m.next_tag(*START)
        keys(program, "ctrl+s")
        program.wait_redrawn()
        keys(program, "Escape")
        self.assertEqual(0, program.wait_exit(), program.output())
        self.assertEqual(m.tfd(), read(tfd))
        self.assertEqual(e2e.hfd_bytes(start_heights(), HEADER3, HEADER4), read(os.path.join(self.tmp, "Cove.hfd")))

    def test_failed_save_keeps_the_original_and_the_edits(self):
        user = e2e.OrdinaryUser.find()
        if user is None:
            self.skipTest("cannot run as an ordinary user: %s" % e2e.OrdinaryUser.missing)
        tfd = write_files(self.tmp)
        user.own(self.tmp)
        os.chmod(tfd, 0o444)
        self.assertFalse(user.may_write(tfd))
        before = read(tfd)
        program = self.program(tfd, user=user, settings=e2e.FARTHEST_START)
        program.wait_window()
        program.wait_settled()
        m = Model()
        keys(program, "equal", "equal", "equal", "equal", "Prior")
        m.next_texture(*START)
        program.wait_redrawn()

        program.press_and_wait("ctrl+s")  # "Error writing TFD file."
        self.assertEqual(before, read(tfd))
        program.press_and_wait("o")
        program.expect_running("after the failed save")
        self.assertEqual(before, read(tfd))
        self.assertEqual([], self.leftovers())

        # Once the file may be written, the same edits are saved.
        os.chmod(tfd, 0o644)
        keys(program, "ctrl+s")
        program.wait_redrawn()
        self.assertEqual(m.tfd(), read(tfd))
        keys(program, "Escape")
        self.assertEqual(0, program.wait_exit(), program.output())


if __name__ == "__main__":
    e2e.main()
