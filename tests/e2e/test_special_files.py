"""Named pipes in the place of the files the program reads: it never waits
on one, and shows exactly what it shows when that file is not there. Each
case runs the program twice, once with the file missing and once with a pipe
of that name, and compares every picture along the way."""
import atexit
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

# A copy of the program alone in a folder: without it the program would
# find the run directory's resources beside itself whenever those of the
# working directory are missing.
_LONE = tempfile.mkdtemp(prefix="veldkit-lone-")
atexit.register(shutil.rmtree, _LONE, True)
os.mkdir(os.path.join(_LONE, "bin"))
shutil.copy(e2e.BIN, os.path.join(_LONE, "bin", "veldkit"))
e2e.BIN = os.path.join(_LONE, "bin", "veldkit")

TX, TY = 6, 5


def write_files(folder):
    # Textures 1 and 2 only: their placeholder colours are the same in every run.
    textures = {1: ("sea.bmp", 2), 2: ("land.bmp", 0)}
    bitmaps = {"sea.bmp": e2e.plain_texture((40, 80, 140)),
               "land.bmp": e2e.plain_texture((90, 150, 70), stripe=(60, 110, 50))}
    tiles = [[1 + (x + y) % 2 for x in range(TX)] for y in range(TY)]
    heights = [[10 * ((X + Y) % 7) for X in range(4 * TX)] for Y in range(4 * TY)]
    areas = [{"name": "Port", "position": (5000, 4000), "targets": [("Crane", (0, 0))]}]
    return e2e.write_terrain(folder, "Isle", tiles, heights, textures, areas, bitmaps)


def put_in_place(path, pipe, as_folder=False):
    """Removes the file and, for the second run, leaves a pipe of that name
    (for the first, with as_folder, a folder of that name)."""
    if os.path.lexists(path):
        os.remove(path)
    if pipe:
        os.mkfifo(path)
    elif as_folder:
        os.mkdir(path)


class SpecialFiles(e2e.ProgramTestCase):
    def journey(self, pipe, terrain_files, work_files, keys, as_folder=False):
        """The pictures of one run: the first settled one, then one after each
        key; the program must then end with exit code 0 on Escape."""
        folder = os.path.join(self.tmp, "pipe" if pipe else "missing")
        tfd = write_files(folder)
        for name in terrain_files:
            put_in_place(os.path.join(folder, name), pipe, as_folder)

        def prepare(workdir):
            for name in work_files:
                put_in_place(os.path.join(workdir, name), pipe)

        # Both runs must show the same paths: the terrain is read through a
        # link of one name to the run's folder.
        link = os.path.join(self.tmp, "terrain")
        if os.path.lexists(link):
            os.remove(link)
        os.symlink(folder, link)
        program = self.program(os.path.join(link, os.path.basename(tfd)), prepare=prepare)
        program.wait_window()
        program.wait_settled(at_least=0.5, quiet=0.5)
        # The pointer is drawn by the program: one move makes sure that it is
        # drawn where the keys need it in both runs.
        program.xdotool("mousemove", "--window", program.window, "9", "9")
        program.xdotool("mousemove", "--window", program.window, "5", "5")
        pictures = [program.wait_settled(at_least=0.5, quiet=0.5)]
        for key in keys:
            # Still for longer than the pause while the target areas load,
            # which follows the last alert: on a slow machine a shorter wait
            # can end inside it.
            pictures.append(program.press_and_wait(key, quiet=1.5))
        # Past the pause while the target areas load.
        pictures.append(program.wait_settled(at_least=0.5, quiet=1.5))
        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit(), program.output())
        program.stop()
        return pictures

    def compare(self, terrain_files, work_files, keys, boxes, as_folder=False):
        """The first `boxes` pictures show the opening's boxes, which give
        each file's own reason (missing, or no regular file): only their
        sizes are compared."""
        missing = self.journey(False, terrain_files, work_files, keys, as_folder)
        piped = self.journey(True, terrain_files, work_files, keys)
        self.assertEqual(len(missing), len(piped))
        for n, (a, b) in enumerate(zip(missing, piped)):
            self.assertEqual(a[:2], b[:2], "window size at step %d" % n)
            if n >= boxes:
                self.assertTrue(a[2] == b[2], "the picture at step %d differs from the missing file's" % n)
        return missing

    def test_height_map_texture_settings_and_manual(self):
        # The target file is left out: without it a terrain has no target
        # areas and no box, while a pipe of its name is a file that cannot
        # be read (the unit tests hold both).
        pictures = self.compare(["Isle.hfd", "land.bmp"], ["Veldkit.ini", "Veldkit.htm"],
                                # height map, textures, unavailable textures, then the
                                # manual's read error
                                ["o", "o", "o", "F1", "Return"], boxes=3)
        self.assertEqual((768, 538), pictures[0][:2], "the default window size")
        self.assertNotEqual(pictures[0], pictures[3], "the warnings were boxes over the map")
        self.assertEqual(pictures[3], pictures[6], "the manual's box closed back to the map")

    def test_tile_map(self):
        # The error box; the file selector that follows lists the folder, whose
        # entries differ, so it is only cancelled.
        for pipe in (False, True):
            folder = os.path.join(self.tmp, "tfd-pipe" if pipe else "tfd-missing")
            os.makedirs(folder)
            tfd = os.path.join(folder, "Isle.TFD")
            put_in_place(tfd, pipe)
            program = self.program(tfd)
            program.wait_window()
            program.wait_settled(at_least=0.5, quiet=0.5)
            program.press_and_wait("o")  # "Error reading TFD file.", then the selector
            program.expect_running("while the file selector is offered")
            program.hold_key("Escape")
            self.assertEqual(0, program.wait_exit(), program.output())

    def test_terrain_description(self):
        # No texture list is a note in the strip, not a box: a pipe of its
        # name is shown as a folder of it is, a list that cannot be read. An
        # O held past the alert would show the overview.
        self.compare(["Isle_DATA.ini"], [], ["o", "Return"], boxes=2, as_folder=True)

    def test_datafiles(self):
        env = dict(os.environ, DISPLAY=self.display.name)
        for name in ("Veldkit1.dat", "Veldkit2.dat"):
            outcomes = []
            for pipe in (False, True):
                with tempfile.TemporaryDirectory() as work:
                    for resource in e2e.RESOURCES:
                        src = os.path.join(e2e.RUN_DIR, resource)
                        if os.path.exists(src):
                            with open(src, "rb") as f, open(os.path.join(work, resource), "wb") as g:
                                g.write(f.read())
                    put_in_place(os.path.join(work, name), pipe)
                    try:
                        done = subprocess.run([e2e.BIN], cwd=work, env=env, stdin=subprocess.DEVNULL,
                                              capture_output=True, text=True, timeout=60)
                    except subprocess.TimeoutExpired:
                        self.fail("the program waited on %s as a pipe" % name)
                    outcomes.append((done.returncode, done.stderr))
            self.assertNotEqual(0, outcomes[0][0])
            self.assertIn(name, outcomes[0][1])
            # The same outcome, each with its own reason.
            said = [(code, text.rsplit(": ", 1)) for code, text in outcomes]
            self.assertEqual(said[0][0], said[1][0], name)
            self.assertEqual(said[0][1][0], said[1][1][0], name)
            self.assertEqual(["No such file or directory\n", "not a regular file\n"], [said[0][1][1], said[1][1][1]])


if __name__ == "__main__":
    e2e.main()
