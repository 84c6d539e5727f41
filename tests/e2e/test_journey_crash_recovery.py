"""A crash in the middle of an afternoon of edits: random turns, tags, moves,
undos and redos made with held keys, the program killed outright at a random
moment, then its recovery journal written out with --recover. The recovered
tile map must be the state a model reaches after some step no earlier than
the last one that finished a second before the kill; then the window's
alert recovers the same into the open terrain. --recover writes a whole
terrain that --check finds as it finds the original. A target area dragged
before a kill is recovered too, and undo after Recover gives back the files.

A few seeds run here; scripts/crash_journeys.sh runs as many as asked (the
journal's own unit test covers 20 random sessions without a window)."""
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import time
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

TX, TY = 9, 7
HOLD = 0.2  # long enough that a busy loop still sees every press
SEEDS = [int(s) for s in os.environ.get("VELDKIT_CRASH_SEEDS", "1 2").split()]


def start_tiles():
    return [[[1 + (x + 2 * y) % 4, (x * y) % 4, 0] for x in range(TX)] for y in range(TY)]


class Model:
    """The tile map and the cursor as the keys leave them, with the undo and
    redo lists of the program's history."""

    def __init__(self):
        self.tiles = start_tiles()
        # The fitted start: every row whole at level 2, the cursor on row 3.
        self.x, self.y = TX // 2, TY // 2
        self.done, self.undone = [], []

    def key(self, name):
        moves = {"Right": (1, 0), "Left": (-1, 0), "Up": (0, -1), "Down": (0, 1)}
        if name in moves:
            dx, dy = moves[name]
            self.x = min(max(self.x + dx, 0), TX - 1)
            self.y = min(max(self.y + dy, 0), TY - 1)
        elif name in ("r", "t"):
            field = 1 if name == "r" else 2
            tile = self.tiles[self.y][self.x]
            before = tile[field]
            tile[field] = (before + 1) % (4 if name == "r" else 3)
            self.done.append((self.x, self.y, field, before, tile[field]))
            self.undone = []
        elif name == "ctrl+z" and self.done:
            step = self.done.pop()
            self.tiles[step[1]][step[0]][step[2]] = step[3]
            self.x, self.y = step[0], step[1]
            self.undone.append(step)
        elif name == "Control_R+y" and self.undone:
            step = self.undone.pop()
            self.tiles[step[1]][step[0]][step[2]] = step[4]
            self.x, self.y = step[0], step[1]
            self.done.append(step)

    def tfd(self):
        return e2e.tfd_bytes(self.tiles)


def write_files(folder):
    textures = {n: ("tex%d.bmp" % n, 0) for n in range(1, 5)}
    bitmaps = {"tex%d.bmp" % n: e2e.plain_texture((50 * n, 220 - 40 * n, 60)) for n in range(1, 5)}
    areas = [{"name": "Mill", "position": (5000, 5000), "targets": [("Barn", (0, 4000))]}]
    heights = [[10 * ((X + Y) % 7) for X in range(4 * TX)] for Y in range(4 * TY)]
    tfd = e2e.write_terrain(folder, "Heath", [[1] * TX] * TY, heights, textures, areas, bitmaps)
    with open(tfd, "wb") as f:
        f.write(e2e.tfd_bytes(start_tiles()))
    return tfd


def read(path):
    with open(path, "rb") as f:
        return f.read()


def crash_journey(case, seed, keys=10):
    """One journey: edits, a kill at a random moment, --recover checked
    against the model. Returns the terrain, the state folder and the
    recovered bytes."""
    rng = random.Random(seed)
    folder = os.path.join(case.tmp, "seed%d" % seed)
    tfd = write_files(folder)
    state = os.path.join(folder, "state")
    program = case.program(tfd, state=state)
    program.wait_window()
    program.wait_settled()
    for _ in range(4):  # zoom level 4, where the tile keys edit
        program.hold_key("equal", seconds=HOLD)
    model = Model()
    states, finished = [model.tfd()], [float("-inf")]
    names = ["r", "r", "t", "Right", "Left", "Up", "Down", "ctrl+z", "Control_R+y"]
    kill_after = rng.uniform(0.3, keys * (HOLD + e2e.KEY_GAP) + 1.5)
    began = time.monotonic()
    for _ in range(keys):
        if time.monotonic() - began > kill_after:
            break
        name = rng.choice(names)
        program.hold_key(name, seconds=HOLD)
        model.key(name)
        states.append(model.tfd())
        finished.append(time.monotonic())
    time.sleep(max(0.0, kill_after - (time.monotonic() - began)))
    killed = time.monotonic()
    os.killpg(program.proc.pid, signal.SIGKILL)
    program.proc.wait(timeout=e2e.EXIT_TIMEOUT)
    # Every step that finished a second before the kill is in the journal.
    least = max(k for k in range(len(states)) if finished[k] <= killed - 1.0)
    # A name without a folder, as typed in the terrain's folder.
    result = run_in(folder, state, "--recover", "Heath.TFD")
    recovered = read(os.path.join(folder, "Heath_recovered.TFD")) if result.returncode == 0 else states[0]
    if result.returncode == 0:
        check_like_original(case, folder, state)
    case.assertIn(result.returncode, (0, 1), result.stderr)
    matches = [k for k in range(len(states)) if states[k] == recovered]
    case.assertTrue(matches and max(matches) >= least,
                    "seed %d: recovered state %s, the last finished a second before the kill %d of %d"
                    % (seed, matches, least, len(states) - 1) + result.stdout + result.stderr)
    case.assertEqual(states[0], read(tfd), "the tile map itself is untouched")
    return tfd, state, recovered, result.returncode


def journal_of(tfd, state):
    """The journal's path: the tile map's name and a hash of its whole path."""
    whole, h = os.path.realpath(tfd).encode(), 14695981039346656037
    for b in whole:
        h = ((h ^ b) * 1099511628211) & (2 ** 64 - 1)
    return os.path.join(state, "veldkit", "recovery", "%s.%016x.journal" % (os.path.basename(whole).decode(), h))


def with_texture(data, texture):
    """The journal's beginning and first step alone, the step's first tile given another texture."""
    begin = 12 + struct.unpack_from("<I", data, 4)[0]
    length = struct.unpack_from("<I", data, begin + 4)[0]
    step = bytearray(data[begin + 12:begin + 12 + length])
    struct.pack_into("<h", step, 20 + 33 + 1, texture)  # head, rectangle, layout: the first texture
    return data[:begin + 4] + struct.pack("<II", length, zlib.crc32(bytes(step))) + bytes(step)


def refused(case, folder, state, tfd, why):
    before = sorted(os.listdir(folder))
    result = run_in(folder, state, "--recover", os.path.basename(tfd))
    case.assertEqual(1, result.returncode, result.stdout + result.stderr)
    case.assertIn(why, result.stderr)
    case.assertEqual(before, sorted(os.listdir(folder)), "nothing is written")


def run_in(folder, state, *args):
    env = dict(os.environ, XDG_STATE_HOME=state)
    return subprocess.run([e2e.BIN] + list(args), stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          timeout=e2e.COMMAND_TIMEOUT, env=env, cwd=folder)


def check_like_original(case, folder, state):
    """The recovered terrain is whole: its height map in the original's case,
    its texture list and target file, and --check finds in it what it finds in
    the original (but the journal, which is the original's)."""
    for name in ("Heath_recovered.hfd", "Heath_recovered_DATA.ini", "Heath_recovered_TARGETS.ini"):
        case.assertTrue(os.path.exists(os.path.join(folder, name)), name)
    original, recovered = run_in(folder, state, "--check", "Heath.TFD"), run_in(folder, state, "--check",
                                                                             "Heath_recovered.TFD")
    lines = [line for line in original.stdout.splitlines() if "unsaved edits" not in line]
    case.assertEqual((original.returncode, lines),
                     (recovered.returncode, recovered.stdout.replace("Heath_recovered", "Heath").splitlines()),
                     original.stdout + recovered.stdout)


class CrashRecovery(e2e.ProgramTestCase):
    def test_target_drag_recovered_and_undone(self):
        """A tile turned and the Mill dragged three tiles east, then kill -9:
        --recover writes both, the window's Recover puts both in the open
        terrain as steps, and Ctrl + Z takes them back one by one."""
        folder = os.path.join(self.tmp, "targets")
        tfd = write_files(folder)
        targets = os.path.join(folder, "Heath_TARGETS.ini")
        original_targets = read(targets)
        state = os.path.join(folder, "state")
        program = self.program(tfd, state=state, settings=e2e.FARTHEST_START)
        program.wait_ready("equal", "equal", "equal", "equal")  # zoom level 4: 16 pixels a tile
        program.hold_key("r", seconds=HOLD)
        program.hold_key("e")

        def pixel(x, y):  # the middle of tile (x, y) of the 768 x 538 window
            return (x - TX // 2 + 24) * 16 + 8, (y - (TY // 2 - 1) + 16) * 16 + 8
        program.click(*pixel(2, 4))  # the Mill, at 5000, 5000
        program.drag(1, [pixel(2, 4), pixel(3, 4), pixel(4, 4), pixel(5, 4)])
        program.wait_redrawn()
        time.sleep(1.5)
        os.killpg(program.proc.pid, signal.SIGKILL)
        program.proc.wait(timeout=e2e.EXIT_TIMEOUT)

        result = run_in(folder, state, "--recover", "Heath.TFD")
        self.assertEqual(0, result.returncode, result.stdout + result.stderr)
        self.assertIn("1 map edit and 1 target area edit", result.stdout)
        moved = original_targets.replace(b"Position=5000, 5000", b"Position=11000, 5000")
        self.assertNotEqual(moved, original_targets)
        self.assertEqual(moved, read(os.path.join(folder, "Heath_recovered_TARGETS.ini")))
        recovered = read(os.path.join(folder, "Heath_recovered.TFD"))
        self.assertNotEqual(recovered, read(tfd))
        check_like_original(self, folder, state)

        # What the window refuses, --recover refuses too; a texture out of range is no edit.
        journal = journal_of(tfd, state)
        kept = read(journal)
        other = os.path.join(folder, "Other.TFD")
        shutil.copy(tfd, other)
        shutil.copy(journal, journal_of(other, state))
        refused(self, folder, state, other, "was kept for another tile map")
        os.remove(journal_of(other, state))
        os.remove(other)
        os.rename(journal, journal + ".real")
        os.symlink(journal + ".real", journal)
        refused(self, folder, state, tfd, "is not a regular file")
        os.remove(journal)
        os.rename(journal + ".real", journal)
        with open(journal, "wb") as f:
            f.write(with_texture(kept, -300))
        refused(self, folder, state, tfd, "no unsaved edits to recover: 1 of 1 edit could not be used")
        with open(journal, "wb") as f:
            f.write(kept)

        program = self.program(tfd, state=state, settings=e2e.FARTHEST_START)
        program.wait_window()
        program.wait_settled()
        program.screenshot(os.path.join(self.tmp, "recovery_question.png"))
        program.hold_key("r", seconds=HOLD)  # Recover
        program.wait_redrawn()
        original_tiles = read(tfd)
        program.hold_key("ctrl+z", seconds=HOLD)  # the drag taken back: the target file as on disk
        program.hold_key("ctrl+s", seconds=HOLD)
        program.wait_redrawn()
        self.assertEqual((recovered, original_targets), (read(tfd), read(targets)))
        program.hold_key("ctrl+z", seconds=HOLD)  # and the tiles
        program.hold_key("ctrl+s", seconds=HOLD)
        program.wait_redrawn()
        self.assertEqual(original_tiles, read(tfd))
        program.hold_key("Escape")
        self.assertEqual(0, program.wait_exit(), program.output())
        self.assertEqual([], os.listdir(os.path.join(state, "veldkit", "recovery")))

    def test_killed_sessions_recover_their_edits(self):
        for seed in SEEDS:
            signal.alarm(e2e.TEST_DEADLINE)  # each journey its own deadline, however many run
            with self.subTest(seed=seed):
                tfd, state, recovered, code = crash_journey(self, seed)
                if seed != SEEDS[0] or code != 0:
                    continue
                # The window offers the same edits; Recover puts them in the
                # open terrain, and Ctrl + S writes them.
                program = self.program(tfd, state=state)
                program.wait_window()
                program.wait_settled()
                program.hold_key("r", seconds=HOLD)  # Recover
                program.wait_settled(at_least=0.5, quiet=0.5)
                program.hold_key("ctrl+s", seconds=HOLD)
                program.wait_settled(at_least=0.5, quiet=0.5)
                self.assertEqual(recovered, read(tfd))
                self.assertEqual(0, program.save_and_quit())
                self.assertEqual([], os.listdir(os.path.join(state, "veldkit", "recovery")))


if __name__ == "__main__":
    e2e.main()
