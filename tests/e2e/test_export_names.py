"""Export and screenshot names: every directory entry takes a name, a link
too, whether it leads anywhere or not, so that nothing is written through
one; and when all 999 numbers are taken the user is told, and the strip
does not go on saying that the export runs."""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 8, 6


def write_files(folder):
    textures = {1: ("sea.bmp", 2), 2: ("land.bmp", 0)}
    bitmaps = {"sea.bmp": e2e.plain_texture((40, 80, 140)), "land.bmp": e2e.plain_texture((90, 150, 70))}
    tiles = [[1 + (x * y) % 2 for x in range(TX)] for y in range(TY)]
    heights = [[10 * ((X * Y) % 13) for X in range(4 * TX)] for Y in range(4 * TY)]
    areas = [{"name": "Cape", "position": (4000, 3000), "targets": [("Light", (0, 0))]}]
    return e2e.write_terrain(folder, "Isle", tiles, heights, textures, areas, bitmaps)


def wait_for_file(path, timeout=30):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if os.path.exists(path) and os.path.getsize(path) > 0:
            return
        time.sleep(0.1)
    raise e2e.E2EError("no file %s within %ss" % (path, timeout))


def take_every_name(program, kind):
    """Numbers 000 to 998 of the kind, taken by files, folders and links."""
    for n in range(999):
        path = program.file("Isle_%s_%03d.bmp" % (kind, n))
        if os.path.lexists(path):
            continue
        if n % 3 == 0:
            os.symlink("nowhere/%d.bmp" % n, path)
        elif n % 3 == 1:
            os.mkdir(path)
        else:
            open(path, "wb").close()


class ExportNames(e2e.ProgramTestCase):
    def test_links_are_passed_over_and_no_free_name_is_said(self):
        tfd = write_files(self.tmp)
        elsewhere = os.path.join(self.tmp, "elsewhere")
        os.mkdir(elsewhere)
        program = self.program(tfd)
        program.wait_window()
        program.wait_settled()

        # A link that leads nowhere, under the first name.
        os.symlink(os.path.join(elsewhere, "made.bmp"), program.file("Isle_Data1x_000.bmp"))
        program.hold_key("F5")
        wait_for_file(program.file("Isle_Data1x_001.bmp"))
        self.assertEqual([], os.listdir(elsewhere))
        self.assertTrue(os.path.islink(program.file("Isle_Data1x_000.bmp")))
        self.assertFalse(os.path.islink(program.file("Isle_Data1x_001.bmp")))

        # The view as it is drawn afresh: zoomed in and back out.
        program.hold_keys("equal", "minus")
        view = program.wait_redrawn()

        take_every_name(program, "Data1x")
        take_every_name(program, "screenshot")
        entries = sorted(os.listdir(program.workdir))
        program.press_and_wait("F5")  # "No free file name for the export."
        self.assertEqual(view, program.press_and_wait("o"), "the strip is drawn again after the box")
        program.press_and_wait("Print")  # the same box
        self.assertEqual(view, program.press_and_wait("o"))
        self.assertEqual(entries, sorted(os.listdir(program.workdir)), "nothing was written")
        self.assertFalse(os.path.exists(program.file("nowhere")))

        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit(), program.output())


if __name__ == "__main__":
    e2e.main()
