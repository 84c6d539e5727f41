"""The desktop files agree with the program: the manual page and the bash
completion name exactly the options of `--help`, the completion offers the
program's export kinds and formats and the right files, and the menu entry
and the file type name one another. No display needed."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

DESKTOP = os.path.join(e2e.SOURCE_DIR, "resources", "desktop")
COMPLETION = os.path.join(DESKTOP, "veldkit.bash-completion")
OPTION = re.compile(r"(?<![\w-])--[a-z][a-z0-9-]*")


def read(name):
    with open(os.path.join(DESKTOP, name), encoding="utf-8") as f:
        return f.read()


def program_output(*args):
    done = subprocess.run([e2e.BIN] + list(args), stdin=subprocess.DEVNULL, capture_output=True, text=True,
                          timeout=30, env={k: v for k, v in os.environ.items() if k != "DISPLAY"})
    return done.stdout + done.stderr


def complete(words, cwd):
    """What the completion offers for the command line `words`, the last
    word being the one under the cursor."""
    script = 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _veldkit; printf "%s\\n" "${COMPREPLY[@]}"'
    done = subprocess.run(["bash", "-c", script, "bash", COMPLETION] + words, cwd=cwd, capture_output=True,
                          text=True, timeout=10, stdin=subprocess.DEVNULL)
    return sorted(line for line in done.stdout.split("\n") if line)


class DesktopFiles(unittest.TestCase):
    def test_option_words_match_help(self):
        help_words = set(OPTION.findall(program_output("--help")))
        self.assertIn("--export", help_words)
        completion = read("veldkit.bash-completion")
        sources = {
            "manual page": read("veldkit.1").replace("\\-", "-"),
            "completion's option list": re.search(r'compgen -W "(--[^"]*)"', completion).group(1),
        }
        for name, text in sources.items():
            with self.subTest(name):
                self.assertEqual(sorted(help_words), sorted(set(OPTION.findall(text))))

    def test_completion(self):
        usage = program_output("--help")
        kinds_text = re.sub(r"\([^)]*\)", "", usage.split("Kinds:", 1)[1].split("\n--", 1)[0])
        kinds = sorted(word.strip(" .\n") for word in kinds_text.split(","))
        formats = re.search(r"unknown format.*\(([a-z]+), ([a-z]+) or ([a-z]+)\)",
                            program_output("--format", "gif", "--export", "data", "x.TFD")).groups()
        with tempfile.TemporaryDirectory() as folder:
            for name in ("Desert.TFD", "coast.tfd", "My Map.TFD", "notes.txt", "Desert.hfd",
                         "heights.png", "grid.R16", "old.raw", "Desert.TFD.x.saving"):
                open(os.path.join(folder, name), "w").close()
            os.mkdir(os.path.join(folder, "maps"))
            cases = [
                (["--export", ""], kinds),
                (["--export", "da"], ["data"]),
                (["--export", "data,pl"], ["data,planning"]),
                (["--export", "data,water,h"], ["data,water,height", "data,water,heights16"]),
                (["--format", ""], sorted(formats)),
                (["--fit", ""], []),
                (["--check", ""], ["Desert.TFD", "My Map.TFD", "coast.tfd", "maps"]),
                (["--diff", "Desert.TFD", "c"], ["coast.tfd"]),
                (["--import-heights", ""], ["grid.R16", "heights.png", "maps", "old.raw"]),
                (["--import-heights", "h.png", "M"], ["My Map.TFD"]),
                (["--im"], ["--import-heights"]),
                (["Desert.TFD", "--p"], ["--picture"]),
            ]
            for words, expected in cases:
                with self.subTest(words=words):
                    self.assertEqual(sorted(expected), complete(["veldkit"] + words, folder))

    def test_menu_entry_and_file_type(self):
        entry = read("veldkit.desktop")
        types = re.findall(r'<mime-type type="([^"]+)"', read("veldkit-mime.xml"))
        self.assertEqual(["MimeType=%s;" % types[0]], re.findall(r"^MimeType=.*$", entry, re.M))
        if shutil.which("desktop-file-validate"):
            done = subprocess.run(["desktop-file-validate", os.path.join(DESKTOP, "veldkit.desktop")],
                                  capture_output=True, text=True, timeout=30)
            self.assertEqual((0, ""), (done.returncode, done.stdout + done.stderr))
        if not shutil.which("update-mime-database"):
            self.skipTest("update-mime-database is not installed")
        with tempfile.TemporaryDirectory() as mime:
            os.makedirs(os.path.join(mime, "packages"))
            shutil.copy(os.path.join(DESKTOP, "veldkit-mime.xml"), os.path.join(mime, "packages", "veldkit.xml"))
            e2e.run(["update-mime-database", mime], timeout=60)
            with open(os.path.join(mime, "globs2"), encoding="utf-8") as f:
                globs = sorted({line.split(":")[2].strip() for line in f if types[0] in line})
        self.assertEqual(["*.TFD", "*.tfd"], globs)


if __name__ == "__main__":
    unittest.main(verbosity=2)
