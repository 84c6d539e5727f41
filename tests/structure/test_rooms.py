"""The program's folders are layers: each includes only the folders before
it in ROOMS, so that no two call each other. Each says in a README what it
holds; none grows past a quarter of the program's lines or 20 modules."""
import os
import re
import unittest

SOURCE_DIR = os.environ.get("VELDKIT_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
ROOMS = ["core", "ui", "images", "edit", "files", "document", "inspect", "render/export", "render/view", "render/air",
         "program", "commands", "app"]


def room_of(path):
    return next((r for r in sorted(ROOMS, key=len, reverse=True) if path.startswith(r + "/")), None)


def files_of(room):
    """A room's files, those of its own folders (not rooms themselves) with them."""
    top = os.path.join(SOURCE_DIR, room)
    for folder, subfolders, names in os.walk(top):
        inner = os.path.relpath(folder, top)
        subfolders[:] = [d for d in subfolders if os.path.normpath(os.path.join(room, inner, d)) not in ROOMS]
        for name in names:
            yield os.path.normpath(os.path.join(inner, name))


class Rooms(unittest.TestCase):
    def test_includes_run_down_and_rooms_stay_small(self):
        wrong, lines, modules = [], dict.fromkeys(ROOMS, 0), dict.fromkeys(ROOMS, 0)
        for room in ROOMS:
            self.assertTrue(os.path.exists(os.path.join(SOURCE_DIR, room, "README.md")), room)
            for name in files_of(room):
                if not name.endswith((".cpp", ".h")):
                    continue
                with open(os.path.join(SOURCE_DIR, room, name), encoding="utf-8") as f:
                    text = f.read()
                lines[room] += text.count("\n")
                modules[room] += name.endswith(".cpp")
                for included in re.findall(r'^\s*#\s*include\s+"([^"]+)"', text, re.M):
                    target = room_of(included)
                    if target is None or ROOMS.index(target) > ROOMS.index(room):
                        wrong.append("%s/%s includes %s" % (room, name, included))
        self.assertEqual([], wrong)
        for room in ROOMS:
            self.assertLessEqual(4 * lines[room], sum(lines.values()), room)
            self.assertLessEqual(modules[room], 20, room)


if __name__ == "__main__":
    unittest.main(verbosity=2)
