"""Journeys through viewing and exporting, as a user makes them: opening
through the file selector with the keyboard alone, zooming to every level
and back, every export key and a screenshot with their pixels checked
against values the test works out, and the manual read, scrolled and
closed with x."""
import os
import struct
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 10, 8


def heights():
    return [[(X * 37 + Y * 11) % 400 // 10 * 10 for X in range(4 * TX)] for Y in range(4 * TY)]


def tiles():
    return [[(1 + (x + 2 * y) % 3, (x + y) % 4, y % 3) for x in range(TX)] for y in range(TY)]


def write_files(folder):
    textures = {1: ("sea.bmp", 2), 2: ("land.bmp", 0), 3: ("marsh.bmp", 1)}
    bitmaps = {"sea.bmp": e2e.plain_texture((30, 60, 160)),
               "land.bmp": e2e.plain_texture((90, 150, 70), stripe=(50, 90, 40)),
               "marsh.bmp": e2e.plain_texture((100, 120, 90))}
    areas = [{"name": "Field", "position": (5000, 6000), "alignment": "FRIENDLY",
              "targets": [("Runway2", (0, 0), 90), ("Tower", (200, 100))]},
             {"name": "Depot", "position": (15000, 9000), "alignment": "ENEMY", "targets": [("Tank", (0, 0))]}]
    return e2e.write_terrain(folder, "Isle", tiles(), heights(), textures, areas, bitmaps)


def round_to_int(v):
    t = int(v)
    return t + 1 if v - t > 0.5 else t


def read_bmp(path):
    """(width, height, bits, pixel(x, y) -> (r, g, b) or palette index)."""
    with open(path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    stride = ((width * bits + 31) // 32) * 4

    def pixel(x, y):
        row = offset + (height - 1 - y) * stride
        if bits == 8:
            return data[row + x]
        b, g, r = data[row + 3 * x:row + 3 * x + 3]
        return (r, g, b)
    palette = [tuple(data[54 + 4 * i:54 + 4 * i + 3][::-1]) for i in range(256)] if bits == 8 else None
    return width, height, bits, pixel, palette


class ExportsAndViewing(e2e.ProgramTestCase):
    def test_selector_zoom_exports_screenshot_manual(self):
        write_files(self.tmp)
        # A command-line file that does not open: the error, then the file
        # selector, starting from that path.
        program = self.program(None, args=[os.path.join(self.tmp, "Gone.TFD")], settings=e2e.FARTHEST_START)
        program.wait_window()
        program.wait_settled(at_least=0.5, quiet=0.5)
        program.press_and_wait("o")  # "Error reading TFD file.", then the selector
        program.hold_keys(*["BackSpace"] * len("Gone.TFD"), gap=0.08)
        program.type_text("Isle.TFD\n")
        program.wait_settled()
        # The strip's note at opening (its targets on water) goes with the
        # first redraw: the picture to come back to is the one after it.
        program.hold_keys("equal", "minus")
        start = program.wait_redrawn()

        # Every zoom level in and all the way back gives the same picture.
        program.hold_keys(*["equal"] * 8)
        closest = program.wait_redrawn()
        self.assertNotEqual(start, closest)
        program.hold_keys(*["minus"] * 8)
        self.assertEqual(start[2], program.wait_redrawn()[2], "zooming back out restores the view")

        def out(name):
            return program.file("Isle_%s_000.bmp" % name)

        # A key pressed while an export runs is not seen, so each waits for its files.
        for key, names in (("F5", ["Data1x"]), ("F6", ["Water1x"]), ("F7", ["Textures4x"]),
                           ("F8", ["Embossed4x"]), ("F9", ["Height4x"]),
                           ("F10", ["PlanningMap1", "PlanningMap2", "PlanningMap3"]),
                           ("Print", ["screenshot"])):
            program.hold_key(key)
            deadline = time.monotonic() + 60
            while not all(os.path.exists(out(n)) for n in names) and time.monotonic() < deadline:
                program.expect_running("while exporting")
                time.sleep(0.1)
            program.wait_redrawn()
        program.expect_running("after the exports")

        w, h, bits, pixel, _ = read_bmp(out("Data1x"))
        self.assertEqual((TX, TY, 24), (w, h, bits))
        for y, row in enumerate(tiles()):
            for x, (texture, rotation, tag) in enumerate(row):
                self.assertEqual((texture, 64 * rotation, 64 * tag), pixel(x, y), (x, y))

        w, h, bits, pixel, palette = read_bmp(out("Water1x"))
        self.assertEqual((TX, TY, 8), (w, h, bits))
        for y, row in enumerate(tiles()):
            for x, (texture, _, _) in enumerate(row):
                self.assertEqual(1 if texture == 1 else 0, pixel(x, y), (x, y))
        self.assertEqual((130, 0, 0), palette[1])  # red 32 on the 0..63 scale, widened by the library
        self.assertEqual((0, 0, 0), palette[0])

        top = max(max(r) for r in heights())
        w, h, bits, pixel, _ = read_bmp(out("Height4x"))
        self.assertEqual((4 * TX, 4 * TY), (w, h))
        for Y, row in enumerate(heights()):
            for X, v in enumerate(row):
                g = min(255, v * 255 // top)
                self.assertEqual((g, g, g) if g > 0 else (0, 0, 255), pixel(X, Y), (X, Y))

        for name in ("Textures4x", "Embossed4x"):
            self.assertEqual((4 * TX, 4 * TY), read_bmp(out(name))[:2])
        for n, size in ((1, 512), (2, 1024), (3, 2048)):
            w, h, _, pixel, _ = read_bmp(out("PlanningMap%d" % n))
            self.assertEqual((size, size), (w, h))
            f = size // 512
            # 10 x 8 tiles keep their proportions: centred, black above and
            # below, the grid's cells square from the north-west corner.
            fw, fh = size, (size * TY + TX // 2) // TX
            x0, y0 = (size - fw) // 2, (size - fh) // 2
            self.assertEqual((0, 0, 0), pixel(size // 3, y0 // 2), "the band above the terrain")
            self.assertEqual((0, 0, 0), pixel(size // 3, size - 1 - y0 // 2), "the band below the terrain")
            for k in range(1, 10):
                line = round_to_int(k * 51.2 * f)
                if line < fh - 1:
                    self.assertEqual((0, 0, 0), pixel(x0 + fw // 3, y0 + line), "grid row %d" % line)
                self.assertEqual((0, 0, 0), pixel(x0 + line, y0 + fh // 3), "grid column %d" % line)

        w, h, bits, _, _ = read_bmp(program.file("Isle_screenshot_000.bmp"))
        self.assertEqual((768, 538), (w, h))

        # The manual: open, scroll, close with x.
        program.press_and_wait("F1")  # the picture changes: the manual is shown
        program.hold_keys("Tab", "Next")
        program.press_and_wait("Next")  # Page Down scrolls the manual
        program.press_and_wait("x")
        program.expect_running("after the manual")
        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit(), program.output())

    def test_png_format_heights_and_screenshot(self):
        """--format png in the window: Left Shift + F9 writes the samples as
        a 16-bit grey PNG, Print Screen a PNG of the window."""
        tfd = write_files(self.tmp)
        program = self.program(None, args=["--format", "png", tfd], settings=e2e.FARTHEST_START)
        program.wait_window()
        program.wait_settled()
        program.expect_running("at the start")
        for key, name in (("shift+F9", "Isle_Heights16_000.png"), ("Print", "Isle_screenshot_000.png")):
            program.hold_key(key)
            deadline = time.monotonic() + 60
            while not os.path.exists(program.file(name)) and time.monotonic() < deadline:
                time.sleep(0.1)
            program.wait_redrawn()
        self.assertFalse(os.path.exists(program.file("Isle_Height4x_000.png")), "F9 stays apart")
        self.assertEqual((4 * TX, 4 * TY, 16, 0), png_header(program.file("Isle_Heights16_000.png")))
        self.assertEqual((768, 538, 8, 2), png_header(program.file("Isle_screenshot_000.png")))
        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit(), program.output())


def png_header(path):
    """(width, height, bit depth, colour type) of a PNG; its pixels are the
    unit tests' business."""
    with open(path, "rb") as f:
        data = f.read(33)
    assert data[:16] == b"\x89PNG\r\n\x1a\n\x00\x00\x00\x0dIHDR", path
    return struct.unpack_from(">IIBB", data, 16)


if __name__ == "__main__":
    e2e.main()
