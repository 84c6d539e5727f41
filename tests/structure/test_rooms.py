"""The program's folders are layers: each includes only the folders before
it in ROOMS, never one after it, so that no two folders call each other.
Each folder says in a README what it holds; none grows past a quarter of
the program's lines or past 20 modules."""
import os
import re
import sys
import unittest

SOURCE_DIR = os.environ.get("VELDKIT_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))

# The order the contributors' section of the README draws.
ROOMS = ["core", "ui", "images", "edit", "files", "inspect", "render/export", "render/view", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def room_of(path):
    """The room a source path or include path lies in, or None."""
    for room in sorted(ROOMS, key=len, reverse=True):
        if path.startswith(room + "/"):
            return room
    return None


def sources():
    for room in ROOMS:
        folder = os.path.join(SOURCE_DIR, room)
        for name in sorted(os.listdir(folder)):
            if name.endswith((".cpp", ".h")):
                yield room, os.path.join(room, name)


class Rooms(unittest.TestCase):
    def test_includes_run_down_the_layers_only(self):
        wrong = []
        for room, path in sources():
            with open(os.path.join(SOURCE_DIR, path), encoding="utf-8") as f:
                text = f.read()
            for included in INCLUDE.findall(text):
                target = room_of(included)
                if target is None:
                    wrong.append("%s includes %s, which lies in no room" % (path, included))
                elif ROOMS.index(target) > ROOMS.index(room):
                    wrong.append("%s includes %s: %s lies above %s" % (path, included, target, room))
        self.assertEqual([], wrong)

    def test_every_room_says_what_it_holds_and_stays_small(self):
        lines = {room: 0 for room in ROOMS}
        modules = {room: 0 for room in ROOMS}
        for room, path in sources():
            with open(os.path.join(SOURCE_DIR, path), encoding="utf-8") as f:
                lines[room] += sum(1 for _ in f)
            modules[room] += path.endswith(".cpp")
        total = sum(lines.values())
        for room in ROOMS:
            self.assertTrue(os.path.exists(os.path.join(SOURCE_DIR, room, "README.md")), room)
            self.assertLessEqual(4 * lines[room], total, "%s holds %d of %d lines" % (room, lines[room], total))
            self.assertLessEqual(modules[room], 20, room)
        # Every source of the program lies in a room.
        for top in os.listdir(SOURCE_DIR):
            if top in ("tests", "tools", "bench", "render") or top.startswith(("build", ".")):
                continue
            folder = os.path.join(SOURCE_DIR, top)
            if os.path.isdir(folder) and top not in ROOMS:
                stray = [n for n in os.listdir(folder) if n.endswith((".cpp", ".h"))]
                self.assertEqual([], stray, top)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
