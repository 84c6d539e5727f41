"""Drives the real Veldkit program for the end-to-end tests.

Standard library only. The tests run from CTest with these variables set:

    VELDKIT_BIN          the program
    VELDKIT_RUN_DIR      the run directory (datafiles, manual, demo terrain)
    VELDKIT_SOURCE_DIR   the source tree
    VELDKIT_SEND_CLOSE   helper that sends WM_DELETE_WINDOW to a window
    VELDKIT_GRAB_SCREEN  helper that saves the display as a PPM image

The program needs an X display. Under `xvfb-run` the DISPLAY it gives is
used; without one, or with VELDKIT_E2E_OWN_DISPLAY=1 (CTest sets it, so that
scripts run side by side without sharing a pointer or keyboard focus), the
module starts an Xvfb display of its own.

Nothing here can wait forever: every command has a timeout, every wait has a
deadline, each test has a watchdog, and the program is killed when a test
ends, whatever happened.
"""

import ctypes
import os
import pwd
import select
import shutil
import signal
import struct
import subprocess
import tempfile
import time
import unittest
import zlib

WINDOW_TITLE = "Jetfront Veldkit"
RESOURCES = ("Veldkit1.dat", "Veldkit2.dat", "Veldkit.htm")

COMMAND_TIMEOUT = 10     # seconds for any one helper command
WINDOW_TIMEOUT = 30      # for the program's window to appear
EXIT_TIMEOUT = 20        # for the program to end after it was asked to
TEST_DEADLINE = 240      # for a whole test, program start to clean-up
KEY_HOLD = 0.06          # a key is held this long, as a person taps it
KEY_GAP = 0.25           # pause after each key so the loop can act and redraw

RUN_DIR = os.environ.get("VELDKIT_RUN_DIR") or os.getcwd()
SOURCE_DIR = os.environ.get("VELDKIT_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
BIN = os.environ.get("VELDKIT_BIN") or os.path.join(RUN_DIR, "veldkit")
BUILD_DIR = os.path.dirname(os.path.abspath(RUN_DIR))


def _helper(variable, name):
    path = os.environ.get(variable)
    if path:
        return path
    return os.path.join(BUILD_DIR, "tests", name)


SEND_CLOSE = _helper("VELDKIT_SEND_CLOSE", "send_close")
GRAB_SCREEN = _helper("VELDKIT_GRAB_SCREEN", "grab_screen")


class E2EError(AssertionError):
    """A step of an end-to-end test failed; the message says which."""


def run(args, timeout=COMMAND_TIMEOUT, check=True, env=None):
    """Runs a command and returns its standard output as text."""
    try:
        done = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=timeout, env=env, text=True)
    except subprocess.TimeoutExpired:
        raise E2EError("command timed out after %ss: %s" % (timeout, " ".join(args)))
    if check and done.returncode != 0:
        raise E2EError("command failed (%d): %s\n%s" % (done.returncode, " ".join(args), done.stderr))
    return done.stdout


# ---------------------------------------------------------------------------
# Display

def _display_works(name):
    env = dict(os.environ, DISPLAY=name)
    try:
        done = subprocess.run(["xdotool", "getdisplaygeometry"], stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=COMMAND_TIMEOUT, env=env)
    except (subprocess.TimeoutExpired, OSError):
        return False
    return done.returncode == 0


class Display:
    """The X display the program runs on: the one in DISPLAY when it answers
    and no display of our own was asked for, otherwise an Xvfb of our own
    (1600 x 1200, 24 bits) on a number the server picks itself."""

    def __init__(self):
        self.name = None
        self._xvfb = None

    def start(self):
        current = os.environ.get("DISPLAY")
        if not os.environ.get("VELDKIT_E2E_OWN_DISPLAY") and current and _display_works(current):
            self.name = current
            return self
        # -displayfd: the server takes the first free number and writes it
        # once it accepts clients, so scripts started together never race
        # for the same one.
        ready, told = os.pipe()
        try:
            self._xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(told), "-screen", "0", "1600x1200x24",
                                           "-nolisten", "tcp", "-noreset"],
                                          stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL, start_new_session=True, pass_fds=(told,),
                                          preexec_fn=_end_with_parent)
        except OSError:
            os.close(ready)
            raise E2EError("no X display: DISPLAY is not usable and Xvfb could not be started")
        finally:
            os.close(told)
        number = b""
        deadline = time.monotonic() + 15
        with os.fdopen(ready, "rb", buffering=0) as pipe:
            while time.monotonic() < deadline and not number.endswith(b"\n"):
                if not select.select([pipe], [], [], max(0.0, deadline - time.monotonic()))[0]:
                    break
                piece = pipe.read(16)
                if not piece:
                    break
                number += piece
        name = ":%s" % number.decode("ascii", "replace").strip()
        if number.endswith(b"\n") and _display_works(name):
            self.name = name
            os.environ["DISPLAY"] = name
            return self
        self.stop()
        raise E2EError("no X display: DISPLAY is not usable and Xvfb could not be started")

    def stop(self):
        if self._xvfb is not None:
            _end_process(self._xvfb)
            self._xvfb = None


def _end_with_parent():
    """Ends the display with the script that started it, even when a timeout
    kills the script before it can stop the display itself."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def _end_process(proc, grace=3.0):
    """Ends a process started in its own session, with all its children."""
    if proc.poll() is not None:
        return
    for sig, wait in ((signal.SIGTERM, grace), (signal.SIGKILL, grace)):
        try:
            os.killpg(proc.pid, sig)
        except (ProcessLookupError, PermissionError):
            pass
        try:
            proc.wait(timeout=wait)
            return
        except subprocess.TimeoutExpired:
            continue


# ---------------------------------------------------------------------------
# An ordinary user

class OrdinaryUser:
    """The user a program runs as where permissions matter: the tests' own
    user when that is not root, otherwise an unprivileged account (nobody)
    taken on with setpriv. `find()` gives None with the reason in `missing`
    when neither is available."""

    UNPRIVILEGED_NAMES = ("nobody",)
    missing = ""

    def __init__(self, uid, gid):
        self.uid, self.gid = uid, gid

    @classmethod
    def find(cls):
        if os.geteuid() != 0:
            return cls(os.geteuid(), os.getegid())
        if not shutil.which("setpriv"):
            cls.missing = "setpriv is not installed"
            return None
        for name in cls.UNPRIVILEGED_NAMES:
            try:
                entry = pwd.getpwnam(name)
            except KeyError:
                continue
            if entry.pw_uid != 0:
                return cls(entry.pw_uid, entry.pw_gid)
        cls.missing = "no unprivileged user account"
        return None

    def switching(self):
        return os.geteuid() != self.uid

    def own(self, *paths):
        """Hands files and folders (with their content) to the user."""
        if not self.switching():
            return
        for top in paths:
            os.chown(top, self.uid, self.gid)
            for folder, dirs, files in os.walk(top):
                for name in dirs + files:
                    os.chown(os.path.join(folder, name), self.uid, self.gid, follow_symlinks=False)

    def command(self, args):
        if not self.switching():
            return list(args)
        return ["setpriv", "--reuid=%d" % self.uid, "--regid=%d" % self.gid, "--clear-groups", "--"] + list(args)

    def may_write(self, path):
        """Whether the user may write path, as the system decides it."""
        done = subprocess.run(self.command(["test", "-w", path]), stdin=subprocess.DEVNULL,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=COMMAND_TIMEOUT)
        return done.returncode == 0

    def environment(self, env, folder):
        """The display's key, where one is needed, copied to where the user
        may read it."""
        cookie = env.get("XAUTHORITY")
        if self.switching() and cookie and os.path.exists(cookie):
            copy = os.path.join(folder, "Xauthority")
            shutil.copy(cookie, copy)
            os.chown(copy, self.uid, self.gid)
            os.chmod(copy, 0o600)
            env = dict(env, XAUTHORITY=copy)
        return env


# ---------------------------------------------------------------------------
# The program

# The settings of the journeys written for the start of earlier versions:
# the farthest zoom level and the sizes of a 640 x 480 window.
FARTHEST_START = {"Start_Zoom": 8, "UI_Scale": 1}


class Program:
    """One run of the program in a temporary working directory that holds
    copies of the datafiles and the manual.

        with Program(tfd_path, display) as program:
            program.wait_window()
            program.hold_key("Right")
            program.hold_key("Escape")
            assert program.wait_exit() == 0
    """

    def __init__(self, terrain, display, settings=None, args=None, keep_workdir=False, user=None,
                 prepare=None, state=None):
        """user: an OrdinaryUser to run as; prepare(workdir) is called once
        the working folder is filled, just before the program starts; state:
        the XDG_STATE_HOME of the recovery journals (a folder of the working
        folder's own when not given, never the user's)."""
        self.state = state
        self.terrain = terrain
        self.user = user
        self.prepare = prepare
        self.display = display
        self.settings = settings
        self.args = [terrain] if args is None else list(args)
        self.keep_workdir = keep_workdir or bool(os.environ.get("VELDKIT_E2E_KEEP"))
        self.workdir = None
        self.window = None
        self.proc = None
        self._out = self._err = None

    # -- life cycle --

    def start(self):
        if not os.access(BIN, os.X_OK):
            raise E2EError("the program is not built: %s" % BIN)
        self.workdir = tempfile.mkdtemp(prefix="veldkit-e2e-")
        for name in RESOURCES:
            source = os.path.join(RUN_DIR, name)
            if os.path.exists(source):
                shutil.copy(source, self.workdir)
        if self.settings is not None:
            with open(os.path.join(self.workdir, "Veldkit.ini"), "w") as f:
                f.write("[Display]\n")
                for key, value in self.settings.items():
                    f.write("%s=%s\n" % (key, value))
        self._out = open(os.path.join(self.workdir, "stdout.txt"), "wb")
        self._err = open(os.path.join(self.workdir, "stderr.txt"), "wb")
        env = dict(os.environ, DISPLAY=self.display.name,
                   XDG_STATE_HOME=self.state or os.path.join(self.workdir, "state"))
        command = [BIN] + self.args
        if self.user is not None:
            env = self.user.environment(env, self.workdir)
            self.user.own(self.workdir)
            command = self.user.command(command)
        if self.prepare is not None:
            self.prepare(self.workdir)
        self.proc = subprocess.Popen(command, cwd=self.workdir, env=env, stdin=subprocess.DEVNULL,
                                     stdout=self._out, stderr=self._err, start_new_session=True)
        return self

    def stop(self):
        """Kills the program if it still runs and removes the working folder."""
        if self.proc is not None:
            _end_process(self.proc)
        for f in (self._out, self._err):
            if f is not None:
                f.close()
        self._out = self._err = None
        if self.workdir and not self.keep_workdir:
            shutil.rmtree(self.workdir, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        return False

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def output(self):
        """What the program printed so far, for failure messages."""
        text = []
        for name in ("stdout.txt", "stderr.txt"):
            try:
                with open(os.path.join(self.workdir, name), "rb") as f:
                    data = f.read().decode("latin-1").strip()
            except OSError:
                data = ""
            if data:
                text.append("%s:\n%s" % (name, data[-4000:]))
        return "\n".join(text) or "(the program printed nothing)"

    def expect_running(self, what):
        if not self.running():
            raise E2EError("the program ended (exit code %s) %s\n%s" % (self.proc.returncode, what, self.output()))

    def file(self, name):
        return os.path.join(self.workdir, name)

    # -- window --

    def wait_window(self, timeout=WINDOW_TIMEOUT):
        """Waits for the program's visible window and moves the pointer into
        it: without a window manager, keys go to the window under the pointer."""
        deadline = time.monotonic() + timeout
        retried = False
        while time.monotonic() < deadline:
            if not self.running() and not retried and "Unable to set graphics mode" in self.output():
                # The display was between clients; one more start is fair.
                retried = True
                self.stop()
                self.start()
                continue
            self.expect_running("before its window appeared")
            ids = self.xdotool("search", "--onlyvisible", "--name", WINDOW_TITLE, check=False).split()
            if ids:
                self.window = ids[0]
                self.xdotool("mousemove", "--window", self.window, "5", "5")
                return self.window
            time.sleep(0.2)
        raise E2EError("no window named %r within %ss\n%s" % (WINDOW_TITLE, timeout, self.output()))

    def wait_settled(self, at_least=2.5, quiet=1.5, timeout=30):
        """Waits until loading is over: at least `at_least` seconds, then until
        the window's picture has not changed for `quiet` seconds (longer than
        the one-second pause while the target areas load). Returns the
        picture."""
        start = time.monotonic()
        last, since = None, time.monotonic()
        while time.monotonic() - start < timeout:
            self.expect_running("while loading")
            picture = self.grab()
            now = time.monotonic()
            if picture != last:
                last, since = picture, now
            elif now - start >= at_least and now - since >= quiet:
                return picture
            time.sleep(0.15)
        raise E2EError("the window kept changing for %ss" % timeout)

    def wait_ready(self, *keys):
        """Waits for the window and the loading, then presses keys (a zoom,
        say) and waits for the view to be drawn again."""
        self.wait_window()
        self.wait_settled()
        self.hold_keys(*keys)
        return self.wait_redrawn()

    def wait_redrawn(self):
        """Waits for the view to settle after commands; returns the picture."""
        return self.wait_settled(at_least=0.5, quiet=0.6)

    def wait_changed(self, before, timeout=20, quiet=0.5):
        """Waits until the window's picture differs from `before` (a dialog
        opened or closed), then until it has been still for `quiet` seconds;
        returns the picture."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            self.expect_running("while waiting for the window to change")
            if self.grab() != before:
                return self.wait_settled(at_least=0.2, quiet=quiet)
            time.sleep(0.1)
        raise E2EError("the window did not change within %ss" % timeout)

    def press_and_wait(self, key, quiet=0.5):
        """Holds a key that opens or closes a dialog, and waits until the
        window shows it, however slow the machine."""
        before = self.grab()
        self.hold_key(key)
        return self.wait_changed(before, quiet=quiet)

    def xdotool(self, *args, check=True):
        env = dict(os.environ, DISPLAY=self.display.name)
        return run(["xdotool"] + list(args), env=env, check=check)

    # -- keyboard --

    def save_and_quit(self):
        """Ctrl+S, then Esc; returns the exit status."""
        self.hold_key("ctrl+s")
        self.wait_redrawn()
        self.hold_key("Escape")
        return self.wait_exit()

    def hold_key(self, key, seconds=KEY_HOLD, gap=KEY_GAP):
        """Holds a key (an X keysym name such as Right, equal, Escape) for a
        moment, as a person does; every press counts once, however short."""
        self.expect_running("before key %s" % key)
        self.xdotool("keydown", key)
        time.sleep(seconds)
        self.xdotool("keyup", key)
        time.sleep(gap)

    def hold_keys(self, *keys, gap=KEY_GAP):
        for key in keys:
            self.hold_key(key, gap=gap)

    _KEYSYMS = {" ": "space", "-": "minus", "=": "equal", ".": "period", ",": "comma", "/": "slash",
                "_": "underscore", "\n": "Return"}

    def type_text(self, text, gap=0.1):
        """Types text into a dialog one held key at a time."""
        for ch in text:
            self.hold_key(self._KEYSYMS.get(ch, ch), gap=gap)

    # -- mouse --

    def click(self, x, y, gap=KEY_GAP):
        """A short left click at (x, y) in the window: pressed and released
        at once, quicker than a pass of the program's loop."""
        self.expect_running("before a click at %d, %d" % (x, y))
        self.xdotool("mousemove", "--window", self.window, str(x), str(y), "mousedown", "1", "mouseup", "1")
        time.sleep(gap)

    def move(self, x, y):
        """Moves the pointer to (x, y) in the window and lets the loop see it."""
        self.xdotool("mousemove", "--window", self.window, str(x), str(y))
        time.sleep(0.08)

    def drag(self, button, path):
        """Presses a button (1 left, 3 right) at the first point of path,
        moves through the others and lets go at the last."""
        self.move(*path[0])
        self.xdotool("mousedown", str(button))
        time.sleep(0.1)
        for point in path[1:]:
            self.move(*point)
        self.xdotool("mouseup", str(button))
        time.sleep(0.3)

    def wheel(self, notches, gap=KEY_GAP):
        """Turns the wheel: positive notches away from the user (button 4),
        negative towards (button 5)."""
        self.expect_running("before turning the wheel")
        button = "4" if notches > 0 else "5"
        for _ in range(abs(notches)):
            self.xdotool("click", button)
            time.sleep(gap)

    # -- pictures --

    def grab(self):
        """The window's current picture as (width, height, rgb bytes)."""
        if self.window is None:
            raise E2EError("no window to grab")
        fd, path = tempfile.mkstemp(suffix=".ppm")
        os.close(fd)
        try:
            env = dict(os.environ, DISPLAY=self.display.name)
            run([GRAB_SCREEN, path, self.window], env=env)
            return read_ppm(path)
        finally:
            os.remove(path)

    def screenshot(self, path):
        """Saves the window's picture as PNG and returns it."""
        picture = self.grab()
        write_png(path, *picture)
        return picture

    # -- ending --

    def close_window(self):
        """Presses the window's close button: a WM_DELETE_WINDOW message."""
        self.expect_running("before the close button")
        env = dict(os.environ, DISPLAY=self.display.name)
        run([SEND_CLOSE, self.window], env=env)

    def wait_exit(self, timeout=EXIT_TIMEOUT):
        """Waits for the program to end and returns its exit code; kills it
        and fails when it does not end in time."""
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            _end_process(self.proc)
            raise E2EError("the program did not end within %ss\n%s" % (timeout, self.output()))


# ---------------------------------------------------------------------------
# Test cases

def _on_alarm(signum, frame):
    raise E2EError("the test ran past its deadline of %ss" % TEST_DEADLINE)


class ProgramTestCase(unittest.TestCase):
    """Shares one display among a script's tests and gives each test a
    watchdog; programs started with `self.program(...)` are always stopped."""

    display = None

    @classmethod
    def setUpClass(cls):
        cls.display = Display().start()

    @classmethod
    def tearDownClass(cls):
        if cls.display is not None:
            cls.display.stop()

    def setUp(self):
        self._programs = []
        self.tmp = tempfile.mkdtemp(prefix="veldkit-e2e-data-")
        signal.signal(signal.SIGALRM, _on_alarm)
        signal.alarm(TEST_DEADLINE)

    def tearDown(self):
        signal.alarm(0)
        for program in self._programs:
            program.stop()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def program(self, terrain, **kwargs):
        program = Program(terrain, self.display, **kwargs)
        self._programs.append(program)
        return program.start()


def main():
    unittest.main(verbosity=2)


# ---------------------------------------------------------------------------
# Images

def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at)
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    if fields[0] != b"P6" or fields[3] != b"255":
        raise E2EError("not an 8-bit PPM image: %s" % path)
    width, height = int(fields[1]), int(fields[2])
    pixels = data[at + 1:at + 1 + 3 * width * height]
    if len(pixels) != 3 * width * height:
        raise E2EError("PPM image cut short: %s" % path)
    return width, height, pixels


def write_png(path, width, height, pixels):
    """Writes 8-bit RGB pixels (rows top to bottom) as a PNG file."""
    stride = 3 * width
    raw = b"".join(b"\x00" + pixels[y * stride:(y + 1) * stride] for y in range(height))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 6)))
        f.write(chunk(b"IEND", b""))


def write_land_picture(path, colour, size=64):
    """A square PNG of a land: its colour with a faint wave, so that a
    picture made from it shows where it was taken from."""
    pixels = bytearray()
    for y in range(size):
        for x in range(size):
            wave = (x * 7 + y * 3) % 17
            pixels += bytes(min(255, c + wave) for c in colour)
    write_png(path, size, size, bytes(pixels))


def region_colours(picture, x0, y0, x1, y1):
    """The set of distinct colours in a rectangle of a grabbed picture."""
    width, height, pixels = picture
    colours = set()
    for y in range(max(0, y0), min(height, y1)):
        row = pixels[3 * width * y:3 * width * (y + 1)]
        for x in range(max(0, x0), min(width, x1)):
            colours.add(row[3 * x:3 * x + 3])
    return colours


def bmp_bytes(width, height, colour_at):
    """A 24-bit BMP file; colour_at(x, y) gives (r, g, b) with y = 0 at the top."""
    stride = (3 * width + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = bytearray()
        for x in range(width):
            r, g, b = colour_at(x, y)
            row += bytes((b, g, r))
        row += b"\x00" * (stride - 3 * width)
        rows.append(bytes(row))
    body = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return header + info + body


# ---------------------------------------------------------------------------
# Terrain files

def tfd_bytes(tiles, header3=0, header4=0):
    """A tile map file. `tiles` is a list of rows from the north edge down,
    each a list of tiles; a tile is a texture number (1..511, 0 = none) or a
    tuple (texture, rotation, tag, extra0, extra1, extra2). The file stores
    its rows from the south edge and textures counted from 0."""
    tiles_y = len(tiles)
    tiles_x = len(tiles[0]) if tiles else 0
    out = bytearray(struct.pack("<iiii", tiles_x, tiles_y, header3, header4))
    for row in reversed(tiles):
        if len(row) != tiles_x:
            raise ValueError("rows of different lengths")
        for tile in row:
            fields = (tile, 0, 0, 0, 0, 0) if isinstance(tile, int) else tuple(tile) + (0,) * (6 - len(tile))
            texture, rest = fields[0], fields[1:]
            out += struct.pack("<H5H", (texture - 1) & 0xFFFF, *rest)
    return bytes(out)


def hfd_bytes(heights, header3=0, header4=0):
    """A height map file. `heights` is a list of sample rows from the north
    edge down (four rows and columns per tile); stored from the south edge."""
    samples_y = len(heights)
    samples_x = len(heights[0]) if heights else 0
    out = bytearray(struct.pack("<iiii", samples_x, samples_y, header3, header4))
    for row in reversed(heights):
        out += struct.pack("<%dH" % samples_x, *row)
    return bytes(out)


def data_ini_text(textures):
    """A terrain description: `textures` maps texture numbers to
    (bitmap file name, HasWater)."""
    lines = []
    for number in sorted(textures):
        filename, has_water = textures[number]
        lines += ["[Texture%03d]" % number, "Filename=%s" % filename, "HasWater=%d" % has_water, ""]
    return "\n".join(lines)


def targets_ini_text(areas):
    """A target areas file. Each area is a dict with name, position (east,
    north in metres from the south-west corner), alignment and targets: a
    list of (type, (east, north)) or (type, (east, north), heading)."""
    lines = []
    for n, area in enumerate(areas, 1):
        lines += ["[TargetArea%03d]" % n, "Name=%s" % area["name"],
                  "Position=%g, %g" % tuple(area["position"]), "Alignment=%s" % area.get("alignment", "ENEMY")]
        for t, target in enumerate(area.get("targets", ()), 1):
            lines += ["Target[%03d].Type=%s" % (t, target[0]), "Target[%03d].Offset=%g, %g" % ((t,) + tuple(target[1]))]
            if len(target) > 2:
                lines.append("Target[%03d].Heading=%d" % (t, target[2]))
        lines.append("")
    return "\n".join(lines)


def write_terrain(folder, name, tiles, heights=None, textures=None, areas=None, bitmaps=None):
    """Writes a terrain under the names the program derives from the tile
    map: NAME.TFD, NAME.hfd, NAME_DATA.ini and NAME_TARGETS.ini, plus the
    given bitmaps ({file name: bytes}). Parts given as None are left out.
    Returns the tile map's path."""
    os.makedirs(folder, exist_ok=True)
    tfd = os.path.join(folder, name + ".TFD")
    with open(tfd, "wb") as f:
        f.write(tfd_bytes(tiles))
    if heights is not None:
        with open(os.path.join(folder, name + ".hfd"), "wb") as f:
            f.write(hfd_bytes(heights))
    if textures is not None:
        with open(os.path.join(folder, name + "_DATA.ini"), "w") as f:
            f.write(data_ini_text(textures))
    if areas is not None:
        with open(os.path.join(folder, name + "_TARGETS.ini"), "w") as f:
            f.write(targets_ini_text(areas))
    for filename, data in (bitmaps or {}).items():
        with open(os.path.join(folder, filename), "wb") as f:
            f.write(data)
    return tfd


def plain_texture(colour, stripe=None):
    """A 256 x 256 texture bitmap of one colour, with a diagonal stripe of a
    second colour so that rotations can be told apart."""
    def colour_at(x, y):
        return stripe if stripe is not None and 0 <= x - y < 24 else colour
    return bmp_bytes(256, 256, colour_at)
