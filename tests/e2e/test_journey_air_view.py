"""A flight in the view from the air: F3 over the cursor tile, flying by
keys and the mouse, back to the map on the tile under the camera, an edit of
a tile ahead there, and the edit seen from the air at once; undo and a
screenshot in the view; the same view written by --export view without a
display."""
import os
import struct
import subprocess
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 20, 20
WIDTH, VIEW_HEIGHT = 768, 512  # the window of the default settings, above its strip
GRASS, STRIPE, RED = (60, 160, 60), (40, 110, 40), (200, 40, 40)


def write_files(folder):
    tiles = [[(1, (x + y) % 4, 0) for x in range(TX)] for y in range(TY)]
    heights = [[100] * (4 * TX) for _ in range(4 * TY)]
    textures = {1: ("grass.bmp", 0), 2: ("red.bmp", 0)}
    bitmaps = {"grass.bmp": e2e.plain_texture(GRASS, stripe=STRIPE), "red.bmp": e2e.plain_texture(RED)}
    return e2e.write_terrain(folder, "Plain", tiles, heights, textures, None, bitmaps)


def pixel(picture, x, y):
    width, _, pixels = picture
    return tuple(pixels[3 * (width * y + x):3 * (width * y + x) + 3])


def is_red(c):
    return c[0] > c[1] + 60 and c[0] > c[2] + 60


def is_sky(c):
    return c[2] > c[0] + 15 and c[2] >= c[1]


def red_pixels(picture):
    return sum(is_red(pixel(picture, x, y)) for y in range(0, VIEW_HEIGHT, 2) for x in range(0, WIDTH, 2))


def with_view_settings(workdir):
    with open(os.path.join(workdir, "Veldkit.ini"), "a") as f:
        f.write("[View3D]\nHaze=0\n")


def read_rgb_png(path):
    """(width, height, rows of RGB bytes) of an 8-bit RGB PNG, its filters undone."""
    with open(path, "rb") as f:
        data = f.read()
    width, height = struct.unpack(">II", data[16:24])
    at, idat = 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if kind == b"IDAT":
            idat += data[at + 8:at + 8 + length]
        at += 12 + length
    raw, stride, rows, prior = zlib.decompress(idat), 3 * width, [], bytes(3 * width)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a, b = line[i - 3] if i >= 3 else 0, prior[i]
            c = prior[i - 3] if i >= 3 else 0
            p = a + b - c
            nearest = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else (b if abs(p - b) <= abs(p - c) else c)
            line[i] = (line[i] + (0, a, b, (a + b) // 2, nearest)[kind]) & 255
        rows.append(bytes(line))
        prior = line
    return width, height, rows


class AirViewJourney(e2e.ProgramTestCase):
    def test_fly_edit_on_the_map_and_see_it(self):
        tfd = write_files(self.tmp)
        program = self.program(tfd, settings={"Start_Zoom": 2, "UI_Scale": 1}, prepare=with_view_settings)
        map_picture = program.wait_ready()

        # Over the cursor tile, level, looking north: sky above, the grass below.
        view = program.press_and_wait("F3")
        self.assertNotEqual(map_picture, view)
        self.assertTrue(is_sky(pixel(view, WIDTH // 2, 10)), pixel(view, WIDTH // 2, 10))
        self.assertFalse(is_sky(pixel(view, WIDTH // 2, VIEW_HEIGHT - 10)))
        self.assertEqual(0, red_pixels(view))

        # Flying: forward with Shift, a turn, the wheel, a look to the side with the left button.
        before = view
        program.xdotool("keydown", "shift", "keydown", "w", "sleep", "0.8", "keyup", "w", "keyup", "shift")
        program.hold_key("Left", seconds=0.5)
        program.wheel(2)
        program.drag(1, [(400, 300), (430, 300), (470, 310)])
        flown = program.wait_redrawn()
        self.assertNotEqual(before, flown)
        self.assertEqual(0, red_pixels(flown))

        # Back on the map, on the tile under the camera; three tiles north of
        # it the next texture, then back: F3 opens over the same tile again.
        program.press_and_wait("F3")
        program.hold_keys("Up", "Up", "Up", "Prior", "Down", "Down", "Down")
        program.wait_redrawn()
        edited = program.press_and_wait("F3")
        # The tile's south edge 5 km ahead, its north edge 7 km, the camera
        # 1000 m above the ground: rows 256 + 1000 / d * f, f = 384 / tan(37.5).
        focal = 384 / 0.7673269879789604
        near, far = int(256 + 1000 / 5000 * focal), int(256 + 1000 / 7000 * focal) + 1
        for y in range(far + 1, near - 1):
            self.assertTrue(is_red(pixel(edited, WIDTH // 2, y)), (y, pixel(edited, WIDTH // 2, y)))
        self.assertGreater(red_pixels(edited), 100)

        # Undo in the view takes it back at once; Print Screen saves the view.
        program.hold_key("ctrl+z")
        undone = program.wait_redrawn()
        self.assertEqual(0, red_pixels(undone))
        program.hold_key("Print")
        program.wait_redrawn()
        shot = program.file("Plain_screenshot_000.bmp")
        self.assertTrue(os.path.exists(shot))
        self.assertGreater(os.path.getsize(shot), WIDTH * 500 * 3)

        # Esc back to the map, Esc again leaves: the map is as saved again.
        program.press_and_wait("Escape")
        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit())

    def test_export_view_without_a_display(self):
        tfd = write_files(self.tmp)
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        work = os.path.join(self.tmp, "out")
        os.makedirs(work)
        for name in e2e.RESOURCES:
            if os.path.exists(os.path.join(e2e.RUN_DIR, name)):
                subprocess.run(["cp", os.path.join(e2e.RUN_DIR, name), work], check=True)
        with_view_settings(work)
        camera = "21000,21000,1100,0,-10"
        done = subprocess.run([e2e.BIN, "--export", "view", tfd, "--camera", camera, "--size", "320x200"], cwd=work,
                              env=env, capture_output=True, text=True, timeout=60)
        self.assertEqual(0, done.returncode, done.stderr)
        self.assertIn("Plain_View_000.png", done.stderr)
        width, height, rows = read_rgb_png(os.path.join(work, "Plain_View_000.png"))
        self.assertEqual((320, 200), (width, height))
        # Sky in the top row, the grass in the bottom one.
        self.assertTrue(is_sky(tuple(rows[0][480:483])), tuple(rows[0][480:483]))
        bottom = tuple(rows[-1][480:483])
        self.assertTrue(bottom[1] > bottom[0] and bottom[1] > bottom[2], bottom)


if __name__ == "__main__":
    e2e.main()
