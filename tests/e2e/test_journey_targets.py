"""A journey in target mode with the real mouse and keys: E, a click and a
drag that move an area, a runway turned by Shift + ] and ], a target added
from the type list, an area added with Ctrl + Insert, a target deleted, an
undo and a redo, then Ctrl + S. The saved file is compared byte for byte with
the text the test expects: the lines no edit concerns (a comment, odd
spacing, an unknown key, no last line end) are kept as they were."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 20, 14
S = 16  # pixels a tile at zoom level 4
CURSOR = (TX // 2, TY // 2 - 1)

BEFORE = """; Isle targets, kept by hand
[TargetArea001]
Name=Kestrel AB
Position=11000, 17000
Alignment=FRIENDLY
Target[001].Type=Runway1
Target[001].Offset=0, 0
Target[001].Heading=90
Target[002].Type=Hangar
Target[002].Offset=0, 2000
Radius=3000

[TargetArea002]
Name = Hill
Position = 29000, 11000
Alignment = ENEMY
Target[001].Type = Gun
Target[001].Offset = 2000, 0
Target[002].Type = Gun
Target[002].Offset = -2000, 0
Target[003].Type = Radar
Target[003].Offset = 0, -2000"""

AFTER = """; Isle targets, kept by hand
[TargetArea001]
Name=Kestrel AB
Position=11000, 17000
Alignment=FRIENDLY
Target[001].Type=Runway1
Target[001].Offset=0, 0
Target[001].Heading=101
Target[002].Type=Hangar
Target[002].Offset=0, 2000
Radius=3000

[TargetArea002]
Name = Hill
Position = 33000, 11000
Alignment = ENEMY
Target[001].Type = Gun
Target[001].Offset = -2000, 0
Target[002].Type = Radar
Target[002].Offset = 0, -2000
Target[003].Type = Radar
Target[003].Offset = 0, -4000

[TargetArea003]
Name = Depot
Position = 7000, 3000
Alignment = ENEMY
Target[001].Type = Fuel
Target[001].Offset = 0, 0"""


def pixel(x, y):
    """The middle of tile (x, y) in the 768 x 538 window at zoom level 4."""
    return (x - CURSOR[0] + 768 // S // 2) * S + S // 2, (y - CURSOR[1] + 512 // S // 2) * S + S // 2


class TargetJourney(e2e.ProgramTestCase):
    def test_move_turn_add_remove_and_save(self):
        textures = {1: ("land.bmp", 0)}
        bitmaps = {"land.bmp": e2e.plain_texture((90, 160, 60))}
        tiles = [[[1, 0, 0, 1, 2, 3] for _ in range(TX)] for _ in range(TY)]
        tfd = e2e.write_terrain(self.tmp, "Isle", tiles, [[20] * (4 * TX) for _ in range(4 * TY)], textures, None,
                                bitmaps)
        path = os.path.join(self.tmp, "Isle_TARGETS.ini")
        with open(path, "wb") as f:
            f.write(BEFORE.encode())
        program = self.program(tfd, settings=e2e.FARTHEST_START)
        program.wait_ready("equal", "equal", "equal", "equal")

        program.hold_key("e")
        # The Hill's mark selected, then dragged two tiles east: 4000 m.
        program.click(*pixel(14, 8))
        program.drag(1, [pixel(14, 8), pixel(15, 8), pixel(16, 8)])
        # The runway (its mark over its area's) turned from 90 to 101 degrees.
        program.click(*pixel(5, 5))
        program.xdotool("keydown", "shift")
        program.hold_key("bracketright")
        program.xdotool("keyup", "shift")
        program.hold_key("bracketright")
        # A Radar at the pointer, two tiles south of the Hill: "ra" leaves
        # Radar first in the list, the new word "ra" after it.
        program.click(*pixel(16, 8))
        program.move(*pixel(16, 10))
        program.hold_key("Insert")
        program.wait_redrawn()
        program.type_text("ra")
        program.hold_key("Return")
        program.wait_redrawn()
        # A new enemy area at the pointer, its first target of a new type.
        program.move(*pixel(3, 12))
        program.hold_key("ctrl+Insert")
        program.wait_redrawn()
        program.type_text("Depot\n")
        program.wait_redrawn()
        program.hold_key("e")
        program.wait_redrawn()
        program.type_text("Fuel\n")
        program.wait_redrawn()
        # The Hill's first Gun deleted; undo brings it back, redo takes it
        # again (each going to the Hill, so last).
        program.click(*pixel(17, 8))
        program.hold_keys("Delete", "ctrl+z", "ctrl+shift+z")
        program.wait_redrawn()
        program.screenshot(os.path.join(self.tmp, "targets.png"))

        self.assertEqual(0, program.save_and_quit(), program.output())
        with open(path, "rb") as f:
            self.assertEqual(AFTER, f.read().decode())


if __name__ == "__main__":
    e2e.main()
