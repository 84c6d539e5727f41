"""Saving as a careful user expects, and as an attacker in a shared folder
would try to exploit: a read-only tile map stays as it is, a link planted
where the temporary file used to be named changes nothing, and a tile map
that another program changed after it was opened is only overwritten when
the user says so."""
import os
import stat
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 8, 6
CURSOR = (TX // 2, TY // 2 - 1)


def start_tiles():
    return [[[1 + (x + 2 * y) % 3, x % 4, 0, 0, 0, 0] for x in range(TX)] for y in range(TY)]


def edited_tiles():
    """What Page Down at the start cursor makes of the tiles: the tile there
    has the last texture, so Page Up would change nothing and be no edit."""
    tiles = start_tiles()
    tile = tiles[CURSOR[1]][CURSOR[0]]
    tile[0] = max(tile[0] - 1, 1)
    return tiles


def write_files(folder):
    textures = {n: ("t%d.bmp" % n, 0) for n in (1, 2, 3)}
    bitmaps = {"t%d.bmp" % n: e2e.plain_texture((60 * n, 90, 200 - 50 * n)) for n in (1, 2, 3)}
    heights = [[10 * ((X + Y) % 9) for X in range(4 * TX)] for Y in range(4 * TY)]
    areas = [{"name": "Quay", "position": (3000, 2000), "targets": [("Crane", (0, 0))]}]
    tfd = e2e.write_terrain(folder, "Isle", [[1] * TX] * TY, heights, textures, areas, bitmaps)
    with open(tfd, "wb") as f:
        f.write(e2e.tfd_bytes(start_tiles()))
    return tfd


def read(path):
    with open(path, "rb") as f:
        return f.read()


class SaveSafety(e2e.ProgramTestCase):
    def open(self, tfd, **kwargs):
        program = self.program(tfd, **kwargs)
        program.wait_window()
        program.wait_settled()
        return program

    def edit(self, program):
        program.hold_keys("equal", "equal", "equal", "equal", "Next")  # zoom level 4, previous texture
        program.wait_redrawn()

    def test_read_only_tile_map_is_not_replaced(self):
        user = e2e.OrdinaryUser.find()
        if user is None:
            self.skipTest("cannot run as an ordinary user: %s" % e2e.OrdinaryUser.missing)
        tfd = write_files(self.tmp)
        user.own(self.tmp)
        os.chmod(tfd, 0o444)
        # The folder would allow a rename over the file: only its mode forbids.
        self.assertTrue(user.may_write(self.tmp))
        self.assertFalse(user.may_write(tfd))
        before = read(tfd)
        program = self.open(tfd, user=user)
        self.edit(program)
        program.press_and_wait("Escape")
        program.press_and_wait("y")  # save: "Error writing TFD file." follows
        program.press_and_wait("o")  # back to the map
        program.expect_running("after the failed save")
        self.assertEqual(before, read(tfd))
        program.press_and_wait("Escape")  # asked again; this time not saved
        program.hold_key("n")
        self.assertEqual(0, program.wait_exit(), program.output())
        self.assertEqual(before, read(tfd))
        self.assertEqual(0o444, stat.S_IMODE(os.stat(tfd).st_mode))
        self.assertEqual([], [f for f in os.listdir(self.tmp) if f.endswith(".saving")])

    def test_link_at_the_old_temporary_name_changes_nothing(self):
        tfd = write_files(self.tmp)
        victim = os.path.join(self.tmp, "other", "victim.TFD")
        os.makedirs(os.path.dirname(victim))
        with open(victim, "wb") as f:
            f.write(b"another user's file")
        program = self.open(tfd)
        planted = "%s.%d.saving" % (os.path.realpath(tfd), program.proc.pid)
        os.symlink(victim, planted)
        self.edit(program)
        program.press_and_wait("Escape")
        program.hold_key("y")
        self.assertEqual(0, program.wait_exit(), program.output())
        self.assertEqual(b"another user's file", read(victim))
        self.assertFalse(os.path.islink(tfd))
        self.assertEqual(e2e.tfd_bytes(edited_tiles()), read(tfd))
        self.assertTrue(os.path.islink(planted))

    def test_tile_map_changed_on_disk_is_asked_about(self):
        tfd = write_files(self.tmp)
        program = self.open(tfd)
        self.edit(program)
        # Another program saves the tile map meanwhile, as a new file.
        theirs = e2e.tfd_bytes([[2] * TX] * TY)
        with open(tfd + ".theirs", "wb") as f:
            f.write(theirs)
        os.rename(tfd + ".theirs", tfd)

        program.press_and_wait("Escape")
        program.press_and_wait("y")  # save: "Changed on disk since it was opened:"
        program.press_and_wait("n")  # do not overwrite: back to the map
        program.expect_running("after No to overwriting")
        self.assertEqual(theirs, read(tfd))
        self.assertEqual([], [f for f in os.listdir(self.tmp) if f.endswith(".saving")])

        program.press_and_wait("Escape")  # the edits are still there
        program.press_and_wait("y")
        program.hold_key("y")  # overwrite
        self.assertEqual(0, program.wait_exit(), program.output())
        self.assertEqual(e2e.tfd_bytes(edited_tiles()), read(tfd))


if __name__ == "__main__":
    e2e.main()
