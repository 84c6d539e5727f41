"""--make-lands without a display: what it wrote on standard output and exit
0, the terrain it extends then checks clean (its pictures load, the tiles'
corners have textures) and the window's own texture list and lands file
read them; a refusal exits 1 with its line on standard error and leaves the
folder as it was; a usage error exits 2."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402


def make_lands(args, cwd):
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    return subprocess.run([e2e.BIN, "--make-lands"] + args, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, text=True, timeout=120)


def snapshot(folder):
    files = {}
    for root, _, names in os.walk(folder):
        for name in names:
            with open(os.path.join(root, name), "rb") as f:
                files[os.path.join(root, name)] = f.read()
    return files


class MakeLands(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="veldkit-lands-")
        # Every tile texture 1, the one-land picture of the first land: a clean map.
        self.tfd = e2e.write_terrain(self.tmp, "Coast", [[1] * 4 for _ in range(3)], [[0] * 16 for _ in range(12)], {})
        os.remove(os.path.join(self.tmp, "Coast_DATA.ini"))
        e2e.write_land_picture(os.path.join(self.tmp, "water.png"), (40, 90, 170))
        e2e.write_land_picture(os.path.join(self.tmp, "sand.png"), (200, 180, 90))

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def test_written_then_checked_clean(self):
        r = make_lands(["Coast.TFD", "--land", "Water=water.png:water", "--land", "Sand=sand.png", "--seed", "5",
                        "--size", "32"], self.tmp)
        self.assertEqual(0, r.returncode, r.stderr)
        self.assertEqual("6 patterns x 2 variants: 12 pictures in Coast_lands/, textures 1 to 12 in Coast_DATA.ini, "
                         "2 lands in Coast_LANDS.ini (2 new)\n", r.stdout)
        self.assertEqual(12, len(os.listdir(os.path.join(self.tmp, "Coast_lands"))))
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        check = subprocess.run([e2e.BIN, "--check", "Coast.TFD"], cwd=self.tmp, env=env, stdin=subprocess.DEVNULL,
                               capture_output=True, text=True, timeout=120)
        self.assertEqual("", check.stdout)
        self.assertEqual(0, check.returncode, check.stderr)

    def test_refusal_and_usage_error_write_nothing(self):
        before = snapshot(self.tmp)
        r = make_lands(["Coast.TFD", "--land", "Water=gone.png", "--land", "Sand=sand.png"], self.tmp)
        self.assertEqual(1, r.returncode)
        self.assertEqual("gone.png cannot be read: No such file or directory. Nothing was written.\n", r.stderr)
        self.assertEqual("", r.stdout)
        r = make_lands(["Coast.TFD", "--land", "Water=water.png", "--land", "WATER=sand.png"], self.tmp)
        self.assertEqual(2, r.returncode)
        self.assertIn("the land WATER is given twice", r.stderr)
        r = make_lands(["Nowhere.TFD", "--land", "Water=water.png"], self.tmp)
        self.assertEqual(2, r.returncode)
        self.assertIn("Nowhere.TFD: the tile map does not exist.", r.stderr)
        self.assertEqual(before, snapshot(self.tmp))


if __name__ == "__main__":
    unittest.main(verbosity=2)
