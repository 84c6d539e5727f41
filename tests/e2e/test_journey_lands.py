"""A journey in land mode with the real mouse and keys: N, the land palette
(X, Right, Return picks Grass), a 3 x 3 brush and a stroke of grass across
a sea, then Ctrl + S. The saved tile map is checked against a small model of
the land grid: every tile shows its four corner lands, and each tile whose
corners did not change keeps every byte."""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 12, 8
S = 16  # pixels a tile at zoom level 4
CURSOR = (TX // 2, TY // 2 - 1)
W, G = "Water", "Grass"
# One texture for each pattern of two lands up to a quarter turn: every
# corner combination has exactly one texture, and the patterns without a
# turn of their own (all one land, the diagonal) are the only ones with
# more than one rotation.
CORNERS = {1: (W, W, W, W), 2: (G, G, G, G), 3: (G, W, W, W), 4: (W, G, G, G), 5: (G, G, W, W), 6: (G, W, G, W)}
LANDS_FILE = """[Land001]
Name=Water
Color=40,90,170
[Land002]
Name=Grass
Color=90,160,60
""" + "".join("[Texture%03d]\nCorners=%s\nWeight=1\n" % (t, ",".join(c)) for t, c in CORNERS.items())


def turned(corners, r):
    """A texture's corners as a tile turned r quarter turns shows them: tile
    corner (i + r) mod 4 is texture corner i."""
    out = [None] * 4
    for i in range(4):
        out[(i + r) % 4] = corners[i]
    return tuple(out)


def start_tiles():
    return [[[1, (x * y) % 4, y % 3, 1, 2, 3 + x] for x in range(TX)] for y in range(TY)]


def pixel(x, y):
    """The middle of tile (x, y) in the 768 x 538 window at zoom level 4."""
    return (x - CURSOR[0] + 768 // S // 2) * S + S // 2, (y - CURSOR[1] + 512 // S // 2) * S + S // 2


class LandJourney(e2e.ProgramTestCase):
    def test_paint_a_coast_and_save(self):
        textures = {n: ("tex%d.bmp" % n, 0) for n in CORNERS}
        bitmaps = {"tex%d.bmp" % n: e2e.plain_texture((40 * n, 90, 250 - 40 * n), (250, 250, 250)) for n in CORNERS}
        tfd = e2e.write_terrain(self.tmp, "Isle", start_tiles(), [[20] * (4 * TX) for _ in range(4 * TY)], textures,
                                None, bitmaps)
        with open(os.path.join(self.tmp, "Isle_LANDS.ini"), "w") as f:
            f.write(LANDS_FILE)
        program = self.program(tfd, settings=e2e.FARTHEST_START)
        program.wait_ready("equal", "equal", "equal", "equal")

        # Land mode, Grass from the palette, a 3 x 3 brush.
        program.hold_keys("n", "x", "Right", "Return", "bracketright", "bracketright")
        program.wait_redrawn()
        # A stroke along row 3 from column 3 to 7: the squares cover tiles
        # 2..8 x 2..4, so corner points 2..9 x 2..5 become grass.
        program.drag(1, [pixel(3, 3), pixel(5, 3), pixel(7, 3)])
        program.screenshot(os.path.join(self.tmp, "coast.png"))

        self.assertEqual(0, program.save_and_quit(), program.output())
        grass = {(x, y) for x in range(2, 10) for y in range(2, 6)}
        with open(tfd, "rb") as f:
            saved = f.read()
        want = start_tiles()
        for y in range(TY):
            for x in range(TX):
                corners = tuple(G if p in grass else W for p in ((x, y), (x + 1, y), (x + 1, y + 1), (x, y + 1)))
                if corners == (W, W, W, W):
                    continue  # untouched: kept as it was
                texture, rotation = struct.unpack_from("<HH", saved, 16 + 12 * ((TY - 1 - y) * TX + x))
                texture += 1
                self.assertIn(texture, CORNERS, (x, y))
                self.assertEqual(corners, turned(CORNERS[texture], rotation), (x, y))
                want[y][x][:2] = [texture, rotation]
        # Every other byte (tags, extras, the tiles not touched) as it was.
        self.assertEqual(e2e.tfd_bytes(want), saved)

if __name__ == "__main__":
    e2e.main()
