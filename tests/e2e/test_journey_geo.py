"""A terrain placed on the Earth in the real window: made by --new --area
from an ASCII grid elevation model written here, opened; Ctrl + G with
"43.2N 19.1E" and an edit there, a place off the terrain that leaves the
cursor where it was and a second edit, then Ctrl + I with a second model,
undone and redone, and saved. The tile map shows where the cursor went
(the tile PROJ puts the point in, through gdaltransform), the height map
is byte for byte what --import-dem writes from the second model."""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

WGS84_PRJ = ('GEOGCS["WGS 84",DATUM["WGS_1984",SPHEROID["WGS 84",6378137,298.257223563]],'
             'PRIMEM["Greenwich",0],UNIT["degree",0.0174532925199433]]')


def write_dem(path, height_at):
    """A 100 x 100 grid of 0.01 degrees from 42.5N 18.5E, its .prj beside it."""
    n = 100
    lines = ["ncols %d" % n, "nrows %d" % n, "xllcorner 18.5", "yllcorner 42.5", "cellsize 0.01",
             "NODATA_value -9999"]
    lines += [" ".join(str(height_at(r, c)) for c in range(n)) for r in range(n)]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    with open(path[:-4] + ".prj", "w") as f:
        f.write(WGS84_PRJ)


def read_geo(path):
    values = {}
    with open(path) as f:
        for line in f:
            key, _, value = line.partition("=")
            values[key.strip()] = value.strip()
    east, north = (float(v) for v in values["Origin"].split(","))
    return values["Projection"], east, north


def projected(projection, lat, lon):
    out = subprocess.run(
        ["gdaltransform", "-s_srs", "+proj=longlat +datum=WGS84", "-t_srs", projection],
        input="%r %r\n" % (lon, lat), capture_output=True, text=True, timeout=e2e.COMMAND_TIMEOUT, check=True).stdout
    x, y = out.split()[:2]
    return float(x), float(y)


def tile_tags(tfd):
    """The tag of every tile, by (x, row from the north edge)."""
    with open(tfd, "rb") as f:
        data = f.read()
    tiles_x, tiles_y = int.from_bytes(data[0:4], "little"), int.from_bytes(data[4:8], "little")
    tags = {}
    for k in range(tiles_x * tiles_y):
        south_row, x = divmod(k, tiles_x)
        tags[(x, tiles_y - 1 - south_row)] = data[16 + 12 * k + 4]
    return tiles_x, tiles_y, tags


class GeoJourney(e2e.ProgramTestCase):
    def test_go_to_degrees_then_import_a_model_as_one_edit(self):
        dem = os.path.join(self.tmp, "dem.asc")
        write_dem(dem, lambda r, c: 100 + 10 * r + 3 * c)
        tfd = os.path.join(self.tmp, "Geo.TFD")
        made = subprocess.run([e2e.BIN, "--new", tfd, "--area", "42.6N,18.6E,43.4N,19.4E", "--dem", dem],
                              capture_output=True, text=True, timeout=60)
        self.assertEqual(0, made.returncode, made.stderr)
        projection, origin_e, origin_n = read_geo(os.path.join(self.tmp, "Geo_GEO.ini"))
        columns, rows, _ = tile_tags(tfd)
        east, north = projected(projection, 43.2, 19.1)
        want_x, want_y = int((east - origin_e) // 2000), rows - 1 - int((north - origin_n) // 2000)
        self.assertTrue(0 <= want_x < columns and 0 <= want_y < rows)
        # The second model, and what --import-dem makes of it on a copy of the terrain.
        dem2 = os.path.join(self.tmp, "ridge.asc")
        write_dem(dem2, lambda r, c: -9999 if 40 < r < 45 and 40 < c < 45 else (3000 if c > 50 else 200) + 20 * r)
        copy = os.path.join(self.tmp, "copy")
        os.mkdir(copy)
        for name in ("Geo.TFD", "Geo.hfd", "Geo_GEO.ini"):
            shutil.copy(os.path.join(self.tmp, name), os.path.join(copy, name))
        imported = subprocess.run([e2e.BIN, "--import-dem", dem2, os.path.join(copy, "Geo.TFD")], capture_output=True,
                                  text=True, timeout=60)
        self.assertEqual(0, imported.returncode, imported.stderr)

        program = self.program(tfd, settings=e2e.FARTHEST_START)
        program.wait_ready("equal", "equal", "equal", "equal")  # zoom level 4: T edits the cursor tile

        def go_to(text):
            program.press_and_wait("ctrl+g")
            program.type_text(text)
            program.wait_redrawn()
            program.press_and_wait("Return")

        go_to("43.2N 19.1E")
        program.hold_key("t")
        # North of the terrain: refused, the cursor stays for the second T.
        go_to("44.5N 19.1E")
        program.hold_key("t")
        program.press_and_wait("ctrl+i")
        program.type_text("ridge.asc")
        program.wait_redrawn()
        program.press_and_wait("Return")
        program.wait_settled()
        program.hold_keys("ctrl+z", "ctrl+y")
        self.assertEqual(0, program.save_and_quit(), program.output())

        _, _, tags = tile_tags(tfd)
        changed = {place: tag for place, tag in tags.items() if tag}
        self.assertEqual({(want_x, want_y): 2}, changed)
        with open(tfd[:-4] + ".hfd", "rb") as f, open(os.path.join(copy, "Geo.hfd"), "rb") as g:
            self.assertEqual(g.read(), f.read())


if __name__ == "__main__":
    e2e.main()
