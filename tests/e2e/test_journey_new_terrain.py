"""A terrain built from nothing: `--new` with a folder of pictures, then in
the window the palette picks a texture by typed digits and Return, a
selection is filled with it and a brush stroke painted, and Ctrl + S. The
saved tile map is compared byte for byte with what the test works out."""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 20, 14
S = 16  # pixels a tile at zoom level 4
CURSOR = (TX // 2, TY // 2 - 1)


def pixel(x, y):
    """The middle of tile (x, y) in the 768 x 538 window at zoom level 4."""
    return (x - CURSOR[0] + 768 // S // 2) * S + S // 2, (y - CURSOR[1] + 512 // S // 2) * S + S // 2


class NewTerrainJourney(e2e.ProgramTestCase):
    def test_new_terrain_palette_fill_paint_save(self):
        pictures = os.path.join(self.tmp, "pictures")
        os.makedirs(pictures)
        for n in range(1, 13):
            with open(os.path.join(pictures, "tex%02d.bmp" % n), "wb") as f:
                f.write(e2e.plain_texture((20 * n, 200 - 15 * n, 90)))
        tfd = os.path.join(self.tmp, "Isle.TFD")
        said = e2e.run([e2e.BIN, "--new", tfd, "%dx%d" % (TX, TY), "--textures", pictures])
        self.assertIn("Isle.TFD", said)
        with open(os.path.join(self.tmp, "Isle_DATA.ini")) as f:
            listed = f.read()
        self.assertIn("[Texture012]\nFilename=pictures/tex12.bmp", listed)
        # A terrain without a target file is no damaged terrain.
        e2e.run([e2e.BIN, "--check", tfd])

        program = self.program(tfd, settings=e2e.FARTHEST_START)
        before = program.wait_ready("equal", "equal", "equal", "equal")
        tiles = [[1] * TX for _ in range(TY)]

        # X opens the palette over the map; "11" and Return pick texture 11.
        palette = program.press_and_wait("x")
        self.assertNotEqual(before, palette)
        program.type_text("11")
        program.hold_key("Return")
        program.wait_redrawn()

        # Select 5 x 3 tiles and fill them with the picked texture.
        program.drag(3, [pixel(2, 3), pixel(4, 4), pixel(6, 5)])
        program.hold_key("ctrl+f")
        for x in range(2, 7):
            for y in range(3, 6):
                tiles[y][x] = 11
        # A right click clears the selection; a 1 x 1 brush paints row 0 from column 1 to 8.
        program.xdotool("mousemove", "--window", program.window, *map(str, pixel(15, 12)), "click", "3")
        time.sleep(0.3)
        program.hold_key("p")
        program.drag(1, [pixel(1, 0), pixel(4, 0), pixel(8, 0)])
        for x in range(1, 9):
            tiles[0][x] = 11

        self.assertEqual(0, program.save_and_quit(), program.output())
        with open(tfd, "rb") as f:
            self.assertEqual(e2e.tfd_bytes(tiles), f.read())


if __name__ == "__main__":
    e2e.main()
