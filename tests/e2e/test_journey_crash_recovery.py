"""A crash in the middle of an afternoon of edits: random turns, tags, moves,
undos and redos made with held keys, the program killed outright at a random
moment, then its recovery journal written out with --recover. The recovered
tile map must be the state a model reaches after some step no earlier than
the last one that finished a second before the kill; then the window's
alert recovers the same into the open terrain.

A few seeds run here; scripts/crash_journeys.sh runs as many as asked (the
journal's own unit test covers 20 random sessions without a window)."""
import os
import random
import signal
import subprocess
import sys
import time

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
    areas = [{"name": "Mill", "position": (5000, 5000), "targets": [("Barn", (0, 0))]}]
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
    env = dict(os.environ, XDG_STATE_HOME=state)
    result = subprocess.run([e2e.BIN, "--recover", tfd], stdin=subprocess.DEVNULL, capture_output=True, text=True,
                            timeout=e2e.COMMAND_TIMEOUT, env=env, cwd=folder)
    recovered = read(os.path.join(folder, "Heath_recovered.TFD")) if result.returncode == 0 else states[0]
    case.assertIn(result.returncode, (0, 1), result.stderr)
    matches = [k for k in range(len(states)) if states[k] == recovered]
    case.assertTrue(matches and max(matches) >= least,
                    "seed %d: recovered state %s, the last finished a second before the kill %d of %d"
                    % (seed, matches, least, len(states) - 1) + result.stdout + result.stderr)
    case.assertEqual(states[0], read(tfd), "the tile map itself is untouched")
    return tfd, state, recovered, result.returncode


class CrashRecovery(e2e.ProgramTestCase):
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
