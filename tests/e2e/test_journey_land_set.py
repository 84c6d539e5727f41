"""A land set made in Veldkit from nothing: --new with two lands, then in the
window Ctrl + L adds a third (its name, then its picture through the file
selector) and Generate writes its transitions; land mode paints the new
land at once, Ctrl + S saves, and --check finds the terrain clean: every
picture loads and every tile's corners have a texture."""
import configparser
import os
import struct
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 12, 8


def no_display():
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    return env


class LandSetJourney(e2e.ProgramTestCase):
    def test_a_third_land_generated_in_the_dialog_is_painted_and_checks_clean(self):
        for name, colour in (("water", (40, 90, 170)), ("grass", (90, 160, 60)), ("sand", (200, 180, 90))):
            e2e.write_land_picture(os.path.join(self.tmp, name + ".png"), colour, 32)
        tfd = os.path.join(self.tmp, "Coast.TFD")
        made = subprocess.run([e2e.BIN, "--new", tfd, "%dx%d" % (TX, TY), "--lands",
                               "Water=water.png:water,Grass=grass.png"], cwd=self.tmp, env=no_display(),
                              capture_output=True, text=True, timeout=120)
        self.assertEqual(0, made.returncode, made.stderr)

        program = self.program(tfd, settings=e2e.FARTHEST_START)
        program.wait_ready("equal", "equal", "equal", "equal")
        program.press_and_wait("ctrl+l")
        # Add (the button after the list): the name, then the picture.
        program.hold_key("Tab")
        program.press_and_wait("Return")
        program.type_text("Sand")
        program.press_and_wait("Return")
        program.type_text("sand.png")
        program.wait_redrawn()
        program.press_and_wait("Return")
        program.screenshot(os.path.join(self.tmp, "dialog.png"))
        # Generate: past Remove, Rename, Colour, Picture, Water and the two fields.
        program.hold_keys(*["Tab"] * 8)
        program.press_and_wait("Return")
        program.wait_settled(at_least=0.5)
        program.press_and_wait("Return")  # the box that says what was written
        program.press_and_wait("Escape")

        lands = configparser.ConfigParser()
        lands.read(os.path.join(self.tmp, "Coast_LANDS.ini"))
        self.assertEqual("Sand", lands["Land003"]["Name"])
        with_sand = {int(s[7:]) for s in lands.sections()
                     if s.startswith("Texture") and "Sand" in lands[s]["Corners"]}
        # 24 patterns over three lands, less the 6 of Water and Grass, in 2 variants.
        self.assertEqual(2 * (24 - 6), len(with_sand))

        # Land mode, the third land of the palette, a 3 x 3 brush, a stroke.
        program.hold_keys("n", "x", "Right", "Right", "Return", "bracketright", "bracketright")
        program.wait_redrawn()
        program.drag(1, [(360, 250), (400, 250), (440, 250)])
        program.screenshot(os.path.join(self.tmp, "painted.png"))
        self.assertEqual(0, program.save_and_quit(), program.output())

        with open(tfd, "rb") as f:
            saved = f.read()
        textures = {struct.unpack_from("<H", saved, 16 + 12 * k)[0] + 1 for k in range(TX * TY)}
        self.assertTrue(textures & with_sand, textures)
        check = subprocess.run([e2e.BIN, "--check", tfd], cwd=self.tmp, env=no_display(), capture_output=True,
                               text=True, timeout=120)
        self.assertEqual(("", 0), (check.stdout, check.returncode), check.stderr)


if __name__ == "__main__":
    e2e.main()
