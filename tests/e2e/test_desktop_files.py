"""The desktop files agree with the program: the manual page and the bash
completion name exactly the options of `--help`, the completion offers the
program's export kinds and formats and the right files, and the menu entry
and the file type name one another. No display needed."""
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

DESKTOP = os.path.join(e2e.SOURCE_DIR, "resources", "desktop")
OPTION = re.compile(r"(?<![\w-])--[a-z][a-z0-9-]*")
NO_DISPLAY = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
# What the completion offers when the last word is the one under the cursor.
COMPLETE = ('source %s; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _veldkit; printf "%%s\\n" "${COMPREPLY[@]}"'
            % shlex.quote(os.path.join(DESKTOP, "veldkit.bash-completion")))


def read(name):
    return pathlib.Path(DESKTOP, name).read_text(encoding="utf-8")


def run(args, cwd=None):
    done = subprocess.run(args, cwd=cwd, env=NO_DISPLAY, stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, timeout=30)
    return done.stdout + done.stderr


class DesktopFiles(unittest.TestCase):
    def test_options_and_completion(self):
        usage = run([e2e.BIN, "--help"])
        help_words = sorted(set(OPTION.findall(usage)))
        self.assertEqual(help_words, sorted(set(OPTION.findall(read("veldkit.1").replace("\\-", "-")))))
        listed = re.search(r'compgen -W "(--[^"]*)"', read("veldkit.bash-completion")).group(1)
        self.assertEqual(help_words, sorted(set(OPTION.findall(listed))))
        kinds = re.sub(r"\([^)]*\)", "", usage.split("Kinds:", 1)[1].split("\n--", 1)[0])
        formats = re.split(r", | or ", re.search(r"unknown format.*\(([a-z, ]+)\)",
                                                 run([e2e.BIN, "--format", "gif", "--export", "data", "x.TFD"])).group(1))
        # One row for each branch of the completion script.
        cases = [
            (["--export", ""], [word.strip(" .\n") for word in kinds.split(",")]),
            (["--export", "data,water,h"], ["data,water,height", "data,water,heights16"]),
            (["--format", ""], formats),
            (["--fit", ""], []),
            (["--texture", ""], []),
            (["--textures", ""], ["maps"]),
            (["--import-heights", ""], ["grid.R16", "heights.png", "maps", "old.raw"]),
            (["--import-lands", ""], ["heights.png", "lands.BMP", "maps"]),
            (["--im"], ["--import-dem", "--import-heights", "--import-landcover", "--import-lands", "--import-targets"]),
            (["--check", ""], ["Desert.TFD", "My Map.TFD", "coast.tfd", "maps"]),
            (["--recover", ""], ["Desert.TFD", "My Map.TFD", "coast.tfd", "maps"]),
        ]
        with tempfile.TemporaryDirectory() as folder:
            for name in ("Desert.TFD", "coast.tfd", "My Map.TFD", "notes.txt", "Desert.hfd",
                         "heights.png", "grid.R16", "old.raw", "Desert.TFD.x.saving", "lands.BMP"):
                open(os.path.join(folder, name), "w").close()
            os.mkdir(os.path.join(folder, "maps"))
            for words, expected in cases:
                offered = run(["bash", "-c", COMPLETE, "bash", "veldkit"] + words, cwd=folder)
                self.assertEqual(sorted(expected), sorted(filter(None, offered.split("\n"))), words)

    def test_menu_entry_and_file_type(self):
        types = re.findall(r'<mime-type type="([^"]+)"', read("veldkit-mime.xml"))
        self.assertEqual(["MimeType=%s;" % types[0]], re.findall(r"^MimeType=.*$", read("veldkit.desktop"), re.M))
        if not shutil.which("update-mime-database"):
            self.skipTest("update-mime-database is not installed")
        with tempfile.TemporaryDirectory() as mime:
            os.makedirs(os.path.join(mime, "packages"))
            shutil.copy(os.path.join(DESKTOP, "veldkit-mime.xml"), os.path.join(mime, "packages", "veldkit.xml"))
            e2e.run(["update-mime-database", mime], timeout=60)
            globs = {row.split(":")[2] for row in pathlib.Path(mime, "globs2").read_text().split() if types[0] in row}
        self.assertEqual({"*.TFD", "*.tfd"}, globs)


if __name__ == "__main__":
    unittest.main(verbosity=2)
