"""At the closest zoom level the map fills the window to its edges: a click
in the band below the last whole row of tiles, black in earlier versions,
lands on the tile drawn there, which a tag edit and a save then show in the
file."""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TILES = 20


class FilledView(e2e.ProgramTestCase):
    def test_a_click_in_the_cut_row_lands_on_its_tile(self):
        textures = {1: ("plain.bmp", 0)}
        bitmaps = {"plain.bmp": e2e.plain_texture((90, 150, 70), stripe=(60, 110, 50))}
        tiles = [[1] * TILES for _ in range(TILES)]
        heights = [[0] * (4 * TILES) for _ in range(4 * TILES)]
        tfd = e2e.write_terrain(self.tmp, "Band", tiles, heights, textures=textures, bitmaps=bitmaps)
        program = self.program(tfd, settings={"Screen-Width": 1024, "Screen-Height": 768, "Start_Zoom": 0,
                                              "UI_Scale": 1})
        program.wait_window()
        picture = program.wait_settled()
        # The band below the last whole row shows the texture, not black.
        band = e2e.region_colours(picture, 0, 512, 1024, 742)
        self.assertNotIn(b"\x00\x00\x00", band)
        self.assertIn(bytes((90, 150, 70)), band)
        # 256 pixels a tile; the map area is 1024 x 742: whole rows end at 512.
        # The cursor (10, 9 from the north) sits in cell (2, 1): cell (1, 2),
        # pixels 256..511 x 512..741, shows tile (9, 10 from the north).
        program.click(300, 650)
        program.wait_redrawn()
        program.hold_key("t")
        self.assertEqual(0, program.save_and_quit(), program.output())
        with open(tfd, "rb") as f:
            data = f.read()
        tagged = []
        for index in range(TILES * TILES):
            texture, rotation, tag = struct.unpack_from("<HHH", data, 16 + 12 * index)
            if tag:
                tagged.append((index % TILES, index // TILES))
        # The file's rows run from the south: row 10 from the north is 9 from the south.
        self.assertEqual([(9, TILES - 1 - 10)], tagged)


if __name__ == "__main__":
    e2e.main()
