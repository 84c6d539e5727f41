"""The program opens the demo terrain the build generates, as the run script
does, shows it, and ends on Esc."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402


class DemoOpens(e2e.ProgramTestCase):
    def test_demo_terrain_shows_a_map_and_esc_ends(self):
        demo = os.path.join(e2e.RUN_DIR, "demo", "Demo.TFD")
        self.assertTrue(os.path.exists(demo), "the build generates the demo terrain")
        program = self.program(demo)
        program.wait_window()
        picture = program.wait_settled()
        shot = os.path.join(e2e.BUILD_DIR, "e2e_demo.png")
        e2e.write_png(shot, *picture)
        print("screenshot:", shot)

        # The map view (above the 26-pixel status strip) shows the textured
        # terrain: many colours, not an empty or one-colour screen.
        width, height, _ = picture
        map_colours = e2e.region_colours(picture, 0, 0, width, height - 26)
        self.assertGreater(len(map_colours), 50, "the map view shows the terrain")

        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit(), program.output())


if __name__ == "__main__":
    e2e.main()
