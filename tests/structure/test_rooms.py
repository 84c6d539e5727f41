"""The program's folders are layers: each includes only the folders before
it in ROOMS, so that no two call each other. Each says in a README what it
holds; none grows past a quarter of the program's lines or 20 modules."""
import os
import re
import unittest

SOURCE_DIR = os.environ.get("VELDKIT_SOURCE_DIR") or os.path.dirname(os.path.dirname(os.path.dirname(
    os.path.abspath(__file__))))
ROOMS = ["core", "ui", "images", "edit", "files", "geo", "document", "inspect", "render/export", "render/view", "render/air",
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
            self.assertLessEqual(5 * lines[room], sum(lines.values()), room)
            self.assertLessEqual(modules[room], 20, room)


    def test_files_and_functions_stay_short(self):
        long_files, long_functions = [], []
        for room in ROOMS:
            for name in files_of(room):
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.join(room, name)
                with open(os.path.join(SOURCE_DIR, path), encoding="utf-8") as f:
                    lines = f.read().split("\n")
                if len(lines) - 1 > 700:
                    long_files.append("%s: %d lines" % (path, len(lines) - 1))
                for first, length in function_lengths(lines):
                    if length > 100:
                        long_functions.append("%s:%d: %d lines" % (path, first + 1, length))
        self.assertEqual([], long_files)
        self.assertEqual([], long_functions)

    def test_byte_order_defined_once(self):
        # A definition of a word reader or writer outside the header: le32(...) {, put_be16(...) {
        helper = re.compile(r"^[^\n;]*\b(?:put_)?[lb]e(?:16|32|64)\s*\([^;\n]*\)\s*\{", re.M)
        found = []
        for room in ROOMS:
            for name in files_of(room):
                path = os.path.join(room, name)
                if not name.endswith((".cpp", ".h")) or path == os.path.join("core", "byte_order.h"):
                    continue
                with open(os.path.join(SOURCE_DIR, path), encoding="utf-8") as f:
                    found += ["%s: %s" % (path, m.group(0).strip()) for m in helper.finditer(f.read())]
        self.assertEqual([], found)


def function_lengths(lines):
    """(first line, length) of each function defined at the file's top level
    or in a namespace: from its signature to the closing brace in column 0."""
    start = None
    for i, line in enumerate(lines):
        if start is None:
            if re.match(r"^[A-Za-z_][\w:<>,\s\*&~]*\(", line) and not re.match(
                    r"^(namespace|struct|enum|class|union|static_assert|using|typedef|return)\b", line) \
                    and not line.rstrip().endswith(";"):
                start = i
        elif line == "}":
            yield start, i - start + 1
            start = None
        elif i == start + 1 and line.rstrip().endswith(";") and "{" not in lines[start]:
            start = None


if __name__ == "__main__":
    unittest.main(verbosity=2)
