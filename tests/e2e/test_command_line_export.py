"""--export without a display: the files are byte for byte those the keys
F5 to F10 write in the window for the same terrain and settings, with the
same names and numbering; refusals, failures and usage errors end with
their exit codes and leave no partial file."""
import os
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 12, 10
KINDS = ["Data1x", "Water1x", "Textures4x", "Embossed4x", "Height4x",
         "PlanningMap1", "PlanningMap2", "PlanningMap3"]


def paletted_bmp(size):
    """An 8-bit BMP with a palette of greens and browns: the texture goes
    through the colour conversion of the loader."""
    stride = (size + 3) & ~3
    palette = b"".join(bytes((i % 64, 60 + i % 150, 30 + i // 2, 0)) for i in range(256))
    rows = b"".join(bytes(((x * 7 + y * 3) % 256) for x in range(size)) + b"\0" * (stride - size)
                    for y in range(size))
    header = struct.pack("<2sIHHI", b"BM", 54 + 1024 + len(rows), 0, 0, 54 + 1024)
    info = struct.pack("<IiiHHIIiiII", 40, size, size, 1, 8, 0, len(rows), 2835, 2835, 256, 0)
    return header + info + palette + rows


def write_files(folder, name="Bay", heights=True, textures=True, areas=True, too_high=False):
    tiles = [[(1 + (x * 3 + y) % 3, (x + 2 * y) % 4, (x * y) % 3) for x in range(TX)] for y in range(TY)]
    grid = [[(X * 53 + Y * 29) % 700 // 10 * 10 for X in range(4 * TX)] for Y in range(4 * TY)]
    if too_high:
        grid[4 * TY - 1][7] = 10000  # above the highest a height map may hold
    declared = {1: ("deep.bmp", 2), 2: ("dune.bmp", 0), 3: ("reed.bmp", 1)}
    bitmaps = {"deep.bmp": e2e.plain_texture((20, 50, 150), stripe=(10, 30, 90)),
               # Twice the texture size: averaged down to it.
               "dune.bmp": e2e.bmp_bytes(512, 512, lambda x, y: (200 - (x ^ y) % 64, 180, 120 + y % 50)),
               "reed.bmp": paletted_bmp(60)}
    area_list = [{"name": "Strip", "position": (7000, 9000), "alignment": "FRIENDLY",
                  "targets": [("Runway3", (0, 0), 45), ("Hangar", (300, 50))]},
                 {"name": "Battery", "position": (17000, 4000), "targets": [("Gun", (0, 0))]}]
    return e2e.write_terrain(folder, name, tiles, grid if heights else None,
                             declared if textures else None, area_list if areas else None, bitmaps)


def headless(args, cwd, timeout=120, env_extra=None, preexec=None):
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env.update(env_extra or {})
    return subprocess.run([e2e.BIN] + args, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, text=True, timeout=timeout, preexec_fn=preexec)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def bmp_names(folder):
    return sorted(n for n in os.listdir(folder) if n.endswith(".bmp"))


class HeadlessExports(e2e.ProgramTestCase):
    def window_exports(self, tfd, settings):
        """The eight files the keys F5 to F10 write, as {name: bytes}."""
        program = self.program(tfd, settings=settings)
        program.wait_window()
        program.wait_settled()
        for key, kinds in (("F5", KINDS[:1]), ("F6", KINDS[1:2]), ("F7", KINDS[2:3]), ("F8", KINDS[3:4]),
                           ("F9", KINDS[4:5]), ("F10", KINDS[5:])):
            program.hold_key(key)
            wanted = [program.file("Bay_%s_000.bmp" % k) for k in kinds]
            deadline = time.monotonic() + 60
            while not all(os.path.exists(p) for p in wanted) and time.monotonic() < deadline:
                program.expect_running("while exporting")
                time.sleep(0.1)
            program.wait_redrawn()
        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit(), program.output())
        return {n: read(program.file(n)) for n in bmp_names(program.workdir)}

    def test_headless_files_equal_the_windows(self):
        tfd = write_files(self.tmp)
        for settings in ({}, {"Enable_Targets": 0}):
            window = self.window_exports(tfd, settings)
            self.assertEqual(["Bay_%s_000.bmp" % k for k in sorted(KINDS)], sorted(window))
            with tempfile.TemporaryDirectory() as out:
                if settings:
                    with open(os.path.join(out, "Veldkit.ini"), "w") as f:
                        f.write("[Display]\nEnable_Targets=0\n")
                # An X display that does not exist: any attempt to connect would fail.
                r = headless(["--export", "all", tfd], out, env_extra={"DISPLAY": ":4711"})
                self.assertEqual(0, r.returncode, r.stderr)
                self.assertEqual(["Bay_%s_000.bmp" % k for k in KINDS], r.stderr.split(), "names in order")
                self.assertEqual(sorted(window), bmp_names(out))
                for name, data in window.items():
                    self.assertEqual(data, read(os.path.join(out, name)), "%s %s" % (name, settings))
            if not settings:
                with_targets = window["Bay_PlanningMap2_000.bmp"]
        self.assertNotEqual(with_targets, window["Bay_PlanningMap2_000.bmp"],
                            "the areas are drawn only when targets are enabled")


class ExportCommands(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="veldkit-cli-")
        self.out = os.path.join(self.tmp, "out")
        os.mkdir(self.out)

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def test_kinds_numbering_and_warnings(self):
        tfd = write_files(os.path.join(self.tmp, "t"))
        r = headless(["--export", "data,planning", tfd], self.out)
        self.assertEqual(0, r.returncode, r.stderr)
        r = headless(["--export", "DATA,height", tfd], self.out)
        self.assertEqual(0, r.returncode, r.stderr)
        self.assertEqual(["Bay_Data1x_001.bmp", "Bay_Height4x_000.bmp"], r.stderr.split())
        self.assertEqual(["Bay_Data1x_000.bmp", "Bay_Data1x_001.bmp", "Bay_Height4x_000.bmp",
                          "Bay_PlanningMap1_000.bmp", "Bay_PlanningMap2_000.bmp", "Bay_PlanningMap3_000.bmp"],
                         bmp_names(self.out))
        self.assertEqual(read(os.path.join(self.out, "Bay_Data1x_000.bmp")),
                         read(os.path.join(self.out, "Bay_Data1x_001.bmp")))
        self.assertEqual("", r.stdout)

    def test_briefing_names_both_files(self):
        tfd = write_files(os.path.join(self.tmp, "t"))
        r = headless(["--export", "briefing", tfd], self.out)
        self.assertEqual(0, r.returncode, r.stderr)
        self.assertEqual(["Bay_Briefing_000.pdf", "Bay_Briefing_000.png"], r.stderr.split())
        self.assertEqual(b"%PDF-", read(os.path.join(self.out, "Bay_Briefing_000.pdf"))[:5])
        self.assertEqual(b"\x89PNG", read(os.path.join(self.out, "Bay_Briefing_000.png"))[:4])
        flat = write_files(os.path.join(self.tmp, "flat"), heights=False)
        r = headless(["--export", "briefing", flat], self.out)
        self.assertEqual(1, r.returncode, r.stderr)
        self.assertIn("No briefing map written: the terrain has no height map.", r.stderr)

    def test_briefing_alone_reads_only_the_relief(self):
        """Briefing maps alone read the height map for its relief without
        storing it: the same files, and the same warning and refusal for a
        height map that does not load, as when another kind loads it."""
        def pdf_without_date(path):
            return b"\n".join(l for l in read(path).split(b"\n") if b"/CreationDate" not in l)
        for too_high in (False, True):
            tfd = write_files(os.path.join(self.tmp, "high" if too_high else "t"), too_high=too_high)
            alone, loaded = os.path.join(self.tmp, "alone"), os.path.join(self.tmp, "loaded")
            for out in (alone, loaded):
                shutil.rmtree(out, ignore_errors=True)
                os.makedirs(out)
            r = headless(["--export", "briefing", tfd], alone)
            both = headless(["--export", "briefing,data", tfd], loaded)
            if too_high:
                self.assertEqual(1, r.returncode, r.stderr)
                lines = r.stderr.splitlines()
                self.assertEqual("Warning: Error reading HFD file. " + tfd[:-3] + "hfd", lines[0])
                self.assertIn("No briefing map written: the terrain has no height map.", lines)
                self.assertEqual(lines, both.stderr.splitlines()[:len(lines)])
                self.assertEqual([], os.listdir(alone))
                continue
            self.assertEqual(0, r.returncode, r.stderr)
            self.assertEqual(0, both.returncode, both.stderr)
            self.assertEqual(read(os.path.join(loaded, "Bay_Briefing_000.png")),
                             read(os.path.join(alone, "Bay_Briefing_000.png")))
            self.assertEqual(pdf_without_date(os.path.join(loaded, "Bay_Briefing_000.pdf")),
                             pdf_without_date(os.path.join(alone, "Bay_Briefing_000.pdf")))

    def test_missing_parts_warn_and_refuse(self):
        tfd = write_files(os.path.join(self.tmp, "t"), heights=False, textures=False, areas=False)
        r = headless(["--export", "all", tfd], self.out)
        self.assertEqual(1, r.returncode, r.stderr)
        lines = r.stderr.splitlines()
        # The opening's warnings first, in order, without the strip's padding.
        self.assertEqual("Warning: Error reading HFD file. " + tfd[:-3] + "hfd", lines[0])
        self.assertEqual("No texture list: Bay_DATA.ini does not exist. " + tfd[:-4] + "_DATA.ini", lines[1])
        # No target file is a terrain without target areas: a note, no error.
        self.assertIn("No target areas file. " + tfd[:-4] + "_TARGETS.ini", lines)
        # Data and texture maps are written; the others are refused by name.
        self.assertEqual(["Bay_Data1x_000.bmp", "Bay_Textures4x_000.bmp"], bmp_names(self.out))
        refused = [l for l in lines if l.startswith("No ") and " written" in l]
        self.assertEqual(6, len(refused), lines)
        self.assertIn("declares no textures", refused[0])
        self.assertTrue(all("no height map" in l for l in refused[1:]), refused)

    def test_a_failed_write_leaves_no_file(self):
        tfd = write_files(os.path.join(self.tmp, "t"))

        def small_files():
            # The third planning map is 12 MB; the others fit.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (4 << 20, 4 << 20))
        r = headless(["--export", "planning,data", tfd], self.out, preexec=small_files)
        self.assertEqual(1, r.returncode, r.stderr)
        self.assertIn("Error writing bitmap file. Bay_PlanningMap3_000.bmp", r.stderr)
        self.assertEqual(["Bay_Data1x_000.bmp", "Bay_PlanningMap1_000.bmp", "Bay_PlanningMap2_000.bmp"],
                         bmp_names(self.out), "the export after the failure still runs")

    def test_usage_errors_and_unreadable_tile_maps(self):
        tfd = write_files(os.path.join(self.tmp, "t"))
        for args in (["--bogus"], ["--export", "data"], ["--export", "maps", tfd], ["--export", "data,", tfd],
                     ["--check"], ["--check", tfd, tfd], ["--help", "x"], [tfd, "--version"], [""],
                     ["--import-heights", "", tfd], ["--import-heights", "h.r16", tfd, "--fit", "5", "--fit", "7"]):
            r = headless(args, self.out)
            self.assertEqual(2, r.returncode, args)
            # What is wrong and where to look, not the whole usage.
            lines = r.stderr.splitlines()
            self.assertEqual(["veldkit:", "Try 'veldkit --help'."], [lines[0].split(" ")[0], lines[1]], args)
            self.assertEqual(2, len(lines), args)
            self.assertEqual("", r.stdout, args)
        gone = os.path.join(self.tmp, "Gone.TFD")
        for missing, said in ((gone, gone + ": the tile map does not exist."),
                              ("x" * 300 + ".TFD", "Error reading TFD file.")):
            r = headless(["--export", "data", missing], self.out)
            self.assertEqual(2, r.returncode, r.stderr)
            self.assertIn(said, r.stderr)
        self.assertEqual([], bmp_names(self.out))

    def test_help_and_version(self):
        r = headless(["--help"], self.out)
        self.assertEqual((0, ""), (r.returncode, r.stderr))
        for word in ("--export", "--check", "--version", "planning", "all"):
            self.assertIn(word, r.stdout)
        r = headless(["--version"], self.out)
        self.assertEqual((0, "Veldkit v0.84\n"), (r.returncode, r.stdout))


if __name__ == "__main__":
    e2e.main()
