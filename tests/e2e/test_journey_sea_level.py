"""Sea level and lands in the window: a grass terrain whose west half lies
at 0 m. In land mode (Water picked) W and Return set the sea's corner points
from the heights; Left Shift + W and 7 give the sea's tiles 7 m. Each is
saved and checked on disk against a small model; then two undos and a save
give back the files as they were, byte for byte."""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402
from test_journey_lands import CORNERS, LANDS_FILE, W, G, turned  # noqa: E402

TX, TY = 8, 6
SEA_COLUMNS = 4  # tiles 0..3 at 0 m, the rest at 50 m


def start_heights():
    return [[0 if x < 4 * SEA_COLUMNS else 50 for x in range(4 * TX)] for _ in range(4 * TY)]


class SeaLevelJourney(e2e.ProgramTestCase):
    def test_lands_from_heights_then_heights_from_lands_and_undo(self):
        textures = {n: ("tex%d.bmp" % n, 0) for n in CORNERS}
        bitmaps = {"tex%d.bmp" % n: e2e.plain_texture((40 * n, 90, 250 - 40 * n), (250, 250, 250)) for n in CORNERS}
        tfd = e2e.write_terrain(self.tmp, "Bay", [[2] * TX for _ in range(TY)], start_heights(), textures, None,
                                bitmaps)
        hfd = os.path.join(self.tmp, "Bay.hfd")
        with open(os.path.join(self.tmp, "Bay_LANDS.ini"), "w") as f:
            f.write(LANDS_FILE)
        with open(tfd, "rb") as f:
            tfd_before = f.read()
        with open(hfd, "rb") as f:
            hfd_before = f.read()
        program = self.program(tfd, settings=e2e.FARTHEST_START)
        program.wait_ready("n")

        # Point x sits between samples 4x - 1 and 4x: points 0..3 have only
        # 0 m around them, point 4 has 50 m to its east.
        program.press_and_wait("w")
        program.type_text("\n")
        program.hold_key("ctrl+s")
        program.wait_redrawn()
        with open(tfd, "rb") as f:
            saved = f.read()
        for y in range(TY):
            for x in range(TX):
                corners = tuple(W if px < SEA_COLUMNS else G for px in (x, x + 1, x + 1, x))
                texture, rotation = struct.unpack_from("<HH", saved, 16 + 12 * ((TY - 1 - y) * TX + x))
                texture += 1
                if corners == (G, G, G, G):
                    self.assertEqual((2, 0), (texture, rotation), (x, y))  # untouched
                else:
                    self.assertEqual(corners, turned(CORNERS[texture], rotation), (x, y))

        # The tiles whose four corners are Water: 0..2.
        program.press_and_wait("shift+w")
        program.type_text("7\n")
        program.hold_key("ctrl+s")
        program.wait_redrawn()
        want = start_heights()
        for row in want:
            row[:4 * (SEA_COLUMNS - 1)] = [7] * (4 * (SEA_COLUMNS - 1))
        with open(hfd, "rb") as f:
            self.assertEqual(e2e.hfd_bytes(want), f.read())

        program.hold_keys("ctrl+z", "ctrl+z")
        program.wait_redrawn()
        self.assertEqual(0, program.save_and_quit(), program.output())
        with open(tfd, "rb") as f:
            self.assertEqual(tfd_before, f.read())
        with open(hfd, "rb") as f:
            self.assertEqual(hfd_before, f.read())


if __name__ == "__main__":
    e2e.main()
