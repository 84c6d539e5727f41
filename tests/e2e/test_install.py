"""An install into a temporary prefix runs from any folder: the command
line without a display and the window, also after the installed tree was
moved elsewhere."""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

RESOURCE_NAMES = ("Veldkit1.dat", "Veldkit2.dat", "Veldkit.htm")


class Install(e2e.ProgramTestCase):
    def install(self, prefix):
        e2e.run(["cmake", "--install", e2e.BUILD_DIR, "--prefix", prefix], timeout=120)
        self.assertTrue(os.access(os.path.join(prefix, "bin", "veldkit"), os.X_OK))
        for name in RESOURCE_NAMES:
            self.assertTrue(os.path.isfile(os.path.join(prefix, "share", "veldkit", name)), name)
        return os.path.join(prefix, "bin", "veldkit")

    def export_in(self, program, folder, tfd):
        os.makedirs(folder)
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        # Found through PATH, started in a folder with nothing of the program's.
        env["PATH"] = os.path.dirname(program) + os.pathsep + env.get("PATH", "")
        done = subprocess.run(["veldkit", "--export", "planning", tfd], cwd=folder, env=env,
                              stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120)
        self.assertEqual(0, done.returncode, done.stderr)
        return sorted(os.listdir(folder))

    def test_installed_tree_runs_anywhere(self):
        tiles = [[1 + (x + y) % 2 for x in range(6)] for y in range(5)]
        heights = [[(X * Y) % 90 for X in range(24)] for Y in range(20)]
        tfd = e2e.write_terrain(os.path.join(self.tmp, "terrain"), "Spit", tiles, heights,
                                {1: ("a.bmp", 2), 2: ("b.bmp", 0)}, None,
                                {"a.bmp": e2e.plain_texture((10, 40, 120)), "b.bmp": e2e.plain_texture((120, 140, 60))})
        program = self.install(os.path.join(self.tmp, "prefix"))
        names = ["Spit_PlanningMap%d_000.bmp" % n for n in (1, 2, 3)]
        self.assertEqual(names, self.export_in(program, os.path.join(self.tmp, "first"), tfd))

        moved = os.path.join(self.tmp, "elsewhere")
        shutil.move(os.path.join(self.tmp, "prefix"), moved)
        program = os.path.join(moved, "bin", "veldkit")
        self.assertEqual(names, self.export_in(program, os.path.join(self.tmp, "second"), tfd))

        # The window too, from a working folder without any of the resources.
        saved = e2e.BIN, e2e.RESOURCES
        e2e.BIN, e2e.RESOURCES = program, ()
        try:
            window = self.program(tfd, settings={"Enable_Targets": 0})
            window.wait_window()
            window.wait_settled(at_least=1.0)
            self.assertFalse(any(os.path.exists(window.file(n)) for n in RESOURCE_NAMES))
            window.hold_key("Escape")
            self.assertEqual(0, window.wait_exit(), window.output())
        finally:
            e2e.BIN, e2e.RESOURCES = saved


if __name__ == "__main__":
    e2e.main()
