"""Runs that end well whatever is thrown at them: high bytes kept through an
edit and a save, a cut tile map, exports racing for one number, a huge
target file, interrupts during an export, leftovers listed, names that are
no text printed as a shell reads them."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 10, 10
HIGH = (0x0100, 0x0200, 0x1234, 0xABCD, 0x00FF)  # rotation, tag, extra words


def high_tiles():
    return [[(1 + (x + y) % 2,) + HIGH for x in range(TX)] for y in range(TY)]


def write_files(folder, name="Reef", tiles=None):
    textures = {1: ("sea.bmp", 2), 2: ("land.bmp", 0)}
    bitmaps = {"sea.bmp": e2e.plain_texture((30, 60, 160)), "land.bmp": e2e.plain_texture((90, 150, 70))}
    areas = [{"name": "Port", "position": (3000, 4000), "targets": [("Crane", (0, 0))]}]
    grid = [[(X + Y) * 10 for X in range(4 * TX)] for Y in range(4 * TY)]
    tfd = e2e.write_terrain(folder, name, [[1] * TX] * TY, grid, textures, areas, bitmaps)
    with open(tfd, "wb") as f:
        f.write(e2e.tfd_bytes(tiles or high_tiles()))
    return tfd


def headless(args, cwd, timeout=120):
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    return subprocess.run([e2e.BIN] + args, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, text=True, timeout=timeout)


def headless_bytes(args, cwd):
    """As headless, the output as bytes: names need not be text."""
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    return subprocess.run([e2e.BIN] + args, cwd=cwd, env=env, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=120)


def read(path):
    with open(path, "rb") as f:
        return f.read()


class CommandLine(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp(prefix="veldkit-hostile-")
        self.out = os.path.join(self.tmp, "out")
        os.makedirs(self.out)

    def tearDown(self):
        shutil.rmtree(self.tmp, ignore_errors=True)

    def test_exports_racing_for_one_number_all_end_well(self):
        tfd = write_files(os.path.join(self.tmp, "t"), tiles=[[1 + (x * y) % 2 for x in range(150)]
                                                               for y in range(150)])
        os.remove(tfd[:-4] + ".hfd")
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        for _ in range(3):
            runs = [subprocess.Popen([e2e.BIN, "--export", "textures", tfd], cwd=self.out, env=env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     text=True) for _ in range(4)]
            for p in runs:
                _, err = p.communicate(timeout=120)
                self.assertEqual(0, p.returncode, err)
        names = sorted(os.listdir(self.out))
        self.assertEqual(["Reef_Textures4x_%03d.bmp" % n for n in range(12)], names)
        self.assertEqual(1, len({read(os.path.join(self.out, n)) for n in names}))

    def test_a_huge_target_file_is_refused_by_its_size(self):
        tfd = write_files(os.path.join(self.tmp, "t"))
        targets = tfd[:-4] + "_TARGETS.ini"
        with open(targets, "r+b") as f:
            f.truncate(3 << 30)  # sparse
        started = time.monotonic()
        r = headless(["--check", tfd], self.out)
        self.assertEqual(1, r.returncode, r.stderr)
        self.assertIn("%s: %d bytes, over the 64 MB a file of its kind may hold; it is not read"
                      % (targets, 3 << 30), r.stdout.splitlines())
        # The export warns and goes on, in far less memory than the file's size.
        r = headless(["--export", "data", tfd], self.out)
        self.assertEqual(0, r.returncode, r.stderr)
        self.assertIn("Read Error: %s" % targets, r.stderr)
        self.assertLess(time.monotonic() - started, 20)

    def test_interrupted_exports_leave_nothing_and_end_by_the_signal(self):
        tfd = write_files(os.path.join(self.tmp, "t"), tiles=[[1 + (x + y) % 2 for x in range(1600)]
                                                               for y in range(1600)])
        os.remove(tfd[:-4] + ".hfd")
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        interrupted = 0
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            p = subprocess.Popen([e2e.BIN, "--export", "textures", tfd], cwd=self.out, env=env,
                                 stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 60
            while not any(n.endswith(".part") for n in os.listdir(self.out)) and p.poll() is None:
                self.assertLess(time.monotonic(), deadline)
                time.sleep(0.005)
            p.send_signal(sig)
            p.wait(timeout=60)
            if p.returncode == 0:
                continue  # finished before the signal came: nothing to say
            self.assertEqual(-sig, p.returncode)
            self.assertEqual([], [n for n in os.listdir(self.out) if n.endswith(".part")], sig)
            interrupted += 1
        self.assertGreater(interrupted, 0, "every export ended before its signal")
        for n in os.listdir(self.out):
            os.remove(os.path.join(self.out, n))

        # What only a kill can leave is listed by --check as notes.
        folder = os.path.dirname(tfd)
        left = [os.path.join(folder, "Reef.TFD.aB3dE5fG7hJ9.saving"),
                os.path.join(self.out, "Reef_Textures4x_000.bmp.0123456789abcdef.part")]
        for path in left + [os.path.join(self.out, "Other_Data1x_000.bmp.0123456789abcdef.part")]:
            open(path, "wb").close()
        r = headless(["--check", tfd], self.out)
        notes = [l for l in r.stderr.splitlines() if "may be deleted" in l]
        self.assertEqual(2, len(notes), r.stderr)
        self.assertTrue(notes[0].startswith(left[0] + ": note: left by a save"), notes)
        self.assertTrue(notes[1].startswith(os.path.basename(left[1]) + ": note: left by an export"), notes)

    def test_names_are_printed_as_a_shell_reads_them(self):
        folder = os.path.join(self.tmp, "t")
        bad = write_files(folder, name=os.fsdecode(b"bad\xff\xfe"))
        good = write_files(folder, name="W\u00fcste")
        for tfd, shown in ((bad, b"$'bad\\xff\\xfe_Data1x_000.bmp'\n"), (good, "W\u00fcste_Data1x_000.bmp\n".encode())):
            r = headless_bytes(["--export", "data", tfd], self.out)
            self.assertEqual((0, shown), (r.returncode, r.stderr))
        r = headless_bytes(["--check", os.fsdecode(b"gone\xff.TFD")], self.out)
        self.assertEqual((2, b"$'gone\\xff.TFD': the tile map does not exist.\n"), (r.returncode, r.stderr))



class WindowSave(e2e.ProgramTestCase):
    def test_an_edit_and_a_save_keep_every_byte_not_edited(self):
        tfd = write_files(self.tmp)
        before = read(tfd)
        program = self.program(tfd)
        program.wait_window()
        program.wait_settled()
        for key in ("equal", "equal", "equal", "equal", "t", "ctrl+s"):
            program.hold_key(key, seconds=0.2)
        program.wait_redrawn()
        program.hold_key("Escape", seconds=0.2)
        self.assertEqual(0, program.wait_exit(), program.output())
        # The cursor tile (5, 4): the tag word's low byte alone went 0 -> 1.
        at = 16 + 12 * ((TY - 1 - 4) * TX + 5) + 4
        want = before[:at] + bytes([1]) + before[at + 1:]
        self.assertEqual(want, read(tfd))


if __name__ == "__main__":
    e2e.main()
