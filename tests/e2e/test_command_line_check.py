"""--check without a display: nothing on standard output for a clean
terrain, one line per problem naming the file, the place and what is wrong
for a broken one, a summary on standard error, and the exit codes."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 6, 5


def tiles(texture_at=lambda x, y: 1 + (x + y) % 2):
    return [[texture_at(x, y) for x in range(TX)] for y in range(TY)]


def heights():
    return [[(X + Y) * 10 for X in range(4 * TX)] for Y in range(4 * TY)]


TEXTURES = {1: ("sea.bmp", 2), 2: ("land.bmp", 0)}
BITMAPS = {"sea.bmp": e2e.plain_texture((30, 60, 160)), "land.bmp": e2e.plain_texture((90, 150, 70))}
AREAS = [{"name": "Port", "position": (3000, 4000), "targets": [("Crane", (0, 0))]},
         {"name": "Hill", "position": (11000, 9000), "alignment": "FRIENDLY", "targets": [("Radar", (10, 10))]}]


def check(tfd, cwd):
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    return subprocess.run([e2e.BIN, "--check", tfd], cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, text=True, timeout=120)


class Check(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="veldkit-check-")
        self.n = 0

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def terrain(self, tile_grid=None, height_grid="default", textures=TEXTURES, areas=AREAS, bitmaps=BITMAPS):
        self.n += 1
        folder = os.path.join(self.tmp, "t%d" % self.n)
        return e2e.write_terrain(folder, "Cape", tile_grid or tiles(),
                                 heights() if height_grid == "default" else height_grid,
                                 textures, areas, bitmaps)

    def lines(self, tfd, code):
        r = check(tfd, self.tmp)
        self.assertEqual(code, r.returncode, r.stdout + r.stderr)
        self.assertEqual(1, len(r.stderr.splitlines()), r.stderr)
        return r.stdout.splitlines()

    def only(self, tfd, path_end, *words, code=1):
        """The single problem line: it names the file and has every word."""
        found = self.lines(tfd, code)
        self.assertEqual(1, len(found), found)
        self.assertTrue(found[0].split(": ")[0].endswith(path_end), found)
        for word in words:
            self.assertIn(word, found[0])
        return found[0]

    def test_clean_terrain(self):
        r = check(self.terrain(), self.tmp)
        self.assertEqual((0, ""), (r.returncode, r.stdout))
        self.assertIn("no problems", r.stderr)

    def test_tile_map(self):
        tfd = self.terrain()
        with open(tfd, "r+b") as f:
            f.write(struct.pack("<ii", 4001, 5))
        self.only(tfd, "Cape.TFD", "4001 x 5 tiles", "capacity", code=2)

        tfd = self.terrain()
        with open(tfd, "r+b") as f:
            f.truncate(16 + 12 * (TX * TY - 4))
        found = self.lines(tfd, 1)
        self.assertIn("shorter than the %d its header gives" % (16 + 12 * TX * TY), found[0])
        # The tiles the file lacks read as no texture: the east end of the
        # last row in the file, the northernmost (rows count from the south).
        self.assertTrue(found[1].endswith("Cape.TFD: texture 0: used by 4 tiles (first tile 2,4) but it is not declared"),
                        found)

        bad = tiles(lambda x, y: 700 if (x, y) in ((1, 2), (4, 4)) else 1)
        self.assertEqual(["tile 1,2", "tile 4,0"],
                         sorted(l.split(": ")[1] for l in self.lines(self.terrain(bad), 2)))

        # No tile map: the line every mode gives, and nothing checked.
        none = os.path.join(self.tmp, "None.TFD")
        r = check(none, self.tmp)
        self.assertEqual((2, "", none + ": the tile map does not exist.\n"), (r.returncode, r.stdout, r.stderr))

    def test_height_map(self):
        self.only(self.terrain(height_grid=None), "Cape.hfd", "missing")
        small = [row[:-4] for row in heights()]
        self.only(self.terrain(height_grid=small), "Cape.hfd", "20 x 20 samples", "need 24 x 20")
        # Thirteen samples over 9999: ten listed, the rest counted.
        high = heights()
        spots = [(X, Y) for Y in range(3) for X in range(5)][:13]
        for X, Y in spots:
            high[Y][X] = 10000 + X
        found = self.lines(self.terrain(height_grid=high), 1)
        self.assertEqual(11, len(found), found)
        self.assertIn("Cape.hfd: 3 more samples over 9999", found[-1])
        listed = {tuple(int(v) for v in l.split("sample ")[1].split(" ")[0].split(",")) for l in found[:-1]}
        self.assertTrue(listed <= {(X, 4 * TY - 1 - Y) for X, Y in spots}, listed)
        # Listed in the file's order; rows count from the south edge, as in the status strip.
        self.assertTrue(found[0].endswith("Cape.hfd: sample 0,17 (tile 0,4): height 10000 is over 9999"), found)
        self.assertTrue(found[7].endswith("Cape.hfd: sample 4,18 (tile 1,4): height 10004 is over 9999"), found)

    def test_textures(self):
        found = self.lines(self.terrain(textures=None, bitmaps={}), 1)
        self.assertTrue(found[0].endswith("Cape_DATA.ini: missing"), found)
        self.assertEqual(3, len(found), found)  # and both numbers the tiles use
        self.assertTrue(all("but it is not declared" in l for l in found[1:]), found)

        found = self.lines(self.terrain(bitmaps={"sea.bmp": b"BM broken"}), 1)
        self.assertEqual(4, len(found), found)
        self.assertTrue(found[0].endswith("sea.bmp: texture 1: cannot be read as a texture"), found)
        self.assertTrue(found[1].endswith("land.bmp: texture 2: missing"), found)
        self.assertIn("texture 1: used by 15 tiles (first tile 0,0) but its file did not load", found[2])
        self.assertIn("texture 2: used by 15 tiles (first tile 1,0) but its file did not load", found[3])

        self.only(self.terrain(textures={1: TEXTURES[1]}), "Cape.TFD",
                  "texture 2: used by 15 tiles (first tile 1,0) but it is not declared")

    def test_targets(self):
        # No target file is a terrain without target areas: a note, no problem.
        r = check(self.terrain(areas=None), self.tmp)
        self.assertEqual((0, ""), (r.returncode, r.stdout), r.stderr)
        self.assertIn("Cape_TARGETS.ini: note: no target areas file; the terrain has no target areas",
                      r.stderr.splitlines()[0])
        far = AREAS + [{"name": "Reef", "position": (12001, 500), "targets": [("Buoy", (0, 0))]}]
        self.only(self.terrain(areas=far), "Cape_TARGETS.ini", "target area 3 (Reef)", "12001, 500",
                  "outside the terrain")

        tfd = self.terrain()
        path = tfd[:-4] + "_TARGETS.ini"
        text = e2e.targets_ini_text(AREAS).replace("[TargetArea002]", "[TargetArea003]")
        text = text.replace("Position=3000, 4000\n", "")
        with open(path, "w") as f:
            f.write(text)
        found = self.lines(tfd, 1)
        self.assertIn(path + ": target area 1: no Position key", found)
        self.assertIn(path + ": target area 3: section [TargetArea003] is out of order", found)
        self.assertIn(path + ": only 0 of the 2 target areas are read", found)


if __name__ == "__main__":
    unittest.main(verbosity=2)
