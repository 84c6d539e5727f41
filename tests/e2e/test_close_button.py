"""The window's close button ends the program like Esc: with nothing
edited, at once and with exit code 0."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402


class CloseButton(e2e.ProgramTestCase):
    def test_close_button_without_edits_ends_the_program(self):
        tiles = [[2] * 12 for _ in range(10)]
        heights = [[100] * 48 for _ in range(40)]
        tfd = e2e.write_terrain(self.tmp, "Flat", tiles, heights, {2: ("flat.bmp", 0)}, None,
                                {"flat.bmp": e2e.plain_texture((120, 160, 90))})
        # No target areas are wanted: switched off in the settings.
        program = self.program(tfd, settings={"Enable_Targets": 0})
        program.wait_window()
        program.wait_settled(at_least=1.0)
        program.close_window()
        self.assertEqual(0, program.wait_exit(), program.output())


if __name__ == "__main__":
    e2e.main()
