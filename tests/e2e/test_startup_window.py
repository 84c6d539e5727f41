"""Start-up as a user sees it: the window's size and title from the
settings, the status strip's place, and a command-line path too long to be
a tile map path."""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

PANEL_TOP = (203, 231, 247)  # the strip's outer top edge


def pixel(picture, x, y):
    width, _, data = picture
    return tuple(data[3 * (width * y + x):3 * (width * y + x) + 3])


def terrain(folder):
    areas = [{"name": "Post", "position": (3000, 3000), "targets": [("Bunker", (0, 0))]}]
    return e2e.write_terrain(folder, "Flat", [[1] * 6] * 5, [[0] * 24] * 20, {1: ("none.bmp", 0)}, areas)


class StartupWindow(e2e.ProgramTestCase):
    def test_default_window_and_strip(self):
        program = self.program(terrain(self.tmp))
        program.wait_window()  # found by its title, "Jetfront Veldkit"
        # The boxes come once the loading is done, after its pause.
        program.wait_settled(at_least=0.5, quiet=1.5)
        program.press_and_wait("o")
        program.hold_key("o")  # the warnings about the missing texture file
        picture = program.wait_settled()
        self.assertEqual((768, 538), picture[:2])
        self.assertEqual(PANEL_TOP, pixel(picture, 300, 512), "the strip starts at row 512")
        self.assertNotEqual(PANEL_TOP, pixel(picture, 300, 511))
        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit(), program.output())

    def test_small_settings_are_raised_to_640_by_480(self):
        program = self.program(terrain(self.tmp), settings={"Screen-Width": 600, "Screen-Height": 400,
                                                            "FullScreen": -1, "Enable_Targets": 0})
        program.wait_window()
        program.wait_settled(at_least=0.5, quiet=0.5)
        program.press_and_wait("o")
        program.hold_key("o")
        picture = program.wait_settled()
        self.assertEqual((640, 480), picture[:2])
        self.assertEqual(PANEL_TOP, pixel(picture, 300, 454))
        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit(), program.output())

    def test_hostile_sizes_give_a_window_that_fits_the_display(self):
        textures = {1: ("grass.bmp", 0)}
        bitmaps = {"grass.bmp": e2e.plain_texture((60, 140, 70))}
        areas = [{"name": "Post", "position": (3000, 3000), "targets": [("Bunker", (0, 0))]}]
        tfd = e2e.write_terrain(self.tmp, "Fits", [[1] * 6] * 5, [[0] * 24] * 20, textures, areas, bitmaps)
        env = dict(os.environ, DISPLAY=self.display.name)
        display_w, display_h = (int(v) for v in e2e.run(["xdotool", "getdisplaygeometry"], env=env).split())

        def expected(value, floor, display):
            number = int(value, 0)
            if not -2 ** 63 <= number < 2 ** 63:  # beyond a long the reader saturates
                number = 2 ** 63 - 1 if number > 0 else -2 ** 63
            number = (number + 2 ** 31) % 2 ** 32 - 2 ** 31  # then keeps the low 32 bits
            return max(floor, min(number, display, 16384))

        for width, height in (("65536", "538"), ("40000", "40000"), ("2147483647", "2147483647"),
                              ("100000", "538"), ("-1", "-2147483648"), ("768", "99999999999")):
            with self.subTest(width=width, height=height):
                program = self.program(tfd, settings={"Screen-Width": width, "Screen-Height": height})
                program.wait_window()
                picture = program.wait_settled()
                want = (expected(width, 640, display_w), expected(height, 480, display_h))
                self.assertEqual(want, picture[:2])
                self.assertEqual(PANEL_TOP, pixel(picture, 300, want[1] - 26), "the strip is in view")
                program.hold_key("Escape")
                self.assertEqual(0, program.wait_exit(), program.output())
                program.stop()

    def test_a_path_longer_than_255_characters_is_refused(self):
        path = os.path.join(self.tmp, "x" * 200, "y" * 60 + ".TFD")
        self.assertGreater(len(path), 255)
        os.makedirs(os.path.dirname(path))
        os.rename(terrain(self.tmp), path)
        program = self.program(path)
        program.wait_window()
        program.wait_settled(at_least=0.5, quiet=0.5)
        program.press_and_wait("o")  # "Error reading TFD file.", then the selector
        program.expect_running("while the file selector is offered")
        program.hold_key("Escape")  # cancel the selector: the program ends
        self.assertEqual(0, program.wait_exit(), program.output())


if __name__ == "__main__":
    e2e.main()
