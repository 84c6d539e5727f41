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
        whole = os.path.join(e2e.BUILD_DIR, "e2e_demo.png")
        e2e.write_png(whole, *picture)
        print("screenshot:", whole)
        # At the first zoom level every tile is one pixel of its texture's
        # sample colour: the map view (above the 26-pixel status strip) shows
        # a dozen or more of them.
        width, height, _ = picture
        self.assertGreaterEqual(len(e2e.region_colours(picture, 0, 0, width, height - 26)), 12,
                                "the map view shows the terrain")

        # Zoomed in, the texture bitmaps themselves appear.
        program.hold_keys("equal", "equal", "equal", "equal")
        zoomed = program.wait_redrawn()
        close = os.path.join(e2e.BUILD_DIR, "e2e_demo_zoomed.png")
        e2e.write_png(close, *zoomed)
        print("screenshot:", close)
        self.assertGreater(len(e2e.region_colours(zoomed, 0, 0, width, height - 26)), 200,
                           "the zoomed map shows textures")

        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit(), program.output())


if __name__ == "__main__":
    e2e.main()
