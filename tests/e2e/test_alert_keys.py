"""Return answers an alert with its default button, wherever the pointer
has been while the box was up: over the other buttons, over the frame, or
outside the box altogether."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402


def sweep_then_leave(program):
    """Moves the pointer back and forth over the middle of the window, where
    the boxes appear (crossing every button of a box), and then out of the
    box to the window's corner."""
    moves = []
    for y in range(200, 345, 8):
        xs = range(160, 620, 12) if (y // 8) % 2 else range(620, 160, -12)
        for x in xs:
            moves += ["mousemove", "--window", program.window, str(x), str(y), "sleep", "0.005"]
    moves += ["mousemove", "--window", program.window, "5", "5", "sleep", "0.3"]
    program.xdotool(*moves)


class AlertKeys(e2e.ProgramTestCase):
    def test_return_takes_the_default_button_after_the_pointer_crossed_the_box(self):
        areas = [{"name": "Post", "position": (3000, 3000), "targets": [("Bunker", (0, 0))]}]
        # The texture file is missing: two warnings come up while the terrain opens.
        tfd = e2e.write_terrain(self.tmp, "Keys", [[1] * 6] * 5, [[0] * 24] * 20, {1: ("none.bmp", 0)}, areas)
        with open(tfd, "rb") as f:
            original = f.read()
        program = self.program(tfd)
        program.wait_window()
        before = program.wait_settled(at_least=0.5, quiet=0.5)
        for _ in range(2):
            sweep_then_leave(program)
            program.hold_key("Return")
            before = program.wait_changed(before)
        program.wait_settled()

        program.hold_keys("equal", "equal", "equal", "equal", "t")  # zoom in, next tag: an edit
        before = program.wait_redrawn()
        program.hold_key("Escape")
        before = program.wait_changed(before)  # "Save changes to TileMap:"
        sweep_then_leave(program)
        program.hold_key("Return")  # the default button: Yes
        self.assertEqual(0, program.wait_exit(), program.output())
        with open(tfd, "rb") as f:
            saved = f.read()
        self.assertNotEqual(original, saved, "the tile map was saved")


if __name__ == "__main__":
    e2e.main()
