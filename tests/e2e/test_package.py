"""scripts/package.sh makes a Debian package of exactly the program's files, with
its version and run-time libraries, reproducible compressed documents and icons of
the sizes their folders name. It builds in build-package/ (for /usr, with Debian's
flags), so a later run only brings that up to date."""
import gzip
import os
import pathlib
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

SHARE = ["veldkit/Veldkit1.dat", "veldkit/Veldkit2.dat", "veldkit/Veldkit.htm", "applications/veldkit.desktop",
         "icons/hicolor/48x48/apps/veldkit.png", "icons/hicolor/256x256/apps/veldkit.png",
         "mime/packages/veldkit.xml", "man/man1/veldkit.1.gz", "man/man5/veldkit-terrain.5.gz",
         "bash-completion/completions/veldkit",
         "doc/veldkit/copyright", "doc/veldkit/changelog.gz"]
CONTENTS = dict({"usr/bin/veldkit": "-rwxr-xr-x"}, **{"usr/share/" + p: "-rw-r--r--" for p in SHARE})


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="veldkit-package-")
        cls.addClassCleanup(shutil.rmtree, cls.tmp, ignore_errors=True)
        out = e2e.run([os.path.join(e2e.SOURCE_DIR, "scripts", "package.sh"),
                       os.path.join(e2e.SOURCE_DIR, "build-package"), cls.tmp], timeout=540)
        cls.deb = out.strip().split("\n")[-1]
        cls.root = os.path.join(cls.tmp, "root")
        e2e.run(["dpkg-deb", "-x", cls.deb, cls.root])
        cls.version = e2e.run([e2e.BIN, "--version"])

    def test_contents(self):
        listing = {line.split()[-1]: tuple(line.split()[:2])
                   for line in e2e.run(["dpkg-deb", "-c", self.deb]).splitlines()}
        # Every folder that holds them, and no other.
        folders = {"./%s/" % "/".join(p.split("/")[:n]) for p in CONTENTS for n in range(1, p.count("/") + 1)}
        self.assertEqual(dict({"./" + p: (mode, "root/root") for p, mode in CONTENTS.items()},
                              **{folder: ("drwxr-xr-x", "root/root") for folder in folders}), listing)

    def test_control_and_files(self):
        version = self.version.split(" v")[-1].strip()
        self.assertEqual("veldkit_%s_amd64.deb" % version, os.path.basename(self.deb))
        fields = [e2e.run(["dpkg-deb", "-f", self.deb, name]).strip()
                  for name in ("Package", "Version", "Section", "Architecture", "Depends")]
        self.assertEqual(["veldkit", version, "graphics", "amd64"], fields[:4])
        # The briefing map's libraries and its font, which no library names.
        for library in ("liballegro4.4", "libpng16-16", "libjpeg62-turbo", "libx11-6", "zlib1g", "libc6",
                        "libcairo2", "libfontconfig1", "fonts-dejavu-core"):
            self.assertRegex(fields[4], r"(^|, )%s( |,|$)" % re.escape(library))
        for name, first in (("man/man1/veldkit.1.gz", '"Veldkit %s"' % version),
                            ("man/man5/veldkit-terrain.5.gz", '"Veldkit %s"' % version),
                            ("doc/veldkit/changelog.gz", "veldkit (%s) " % version)):
            data = pathlib.Path(self.root, "usr/share", name).read_bytes()
            # No file name (flag 8) and no time stamp: the same bytes from every build.
            self.assertEqual((0, 0), (data[3] & 8, struct.unpack("<I", data[4:8])[0]), name)
            self.assertIn(first, gzip.decompress(data).decode().split("\n")[0], name)
        for size in (48, 256):
            png = pathlib.Path(self.root, "usr/share/icons/hicolor/%dx%d/apps/veldkit.png" % (size, size)).read_bytes()
            self.assertEqual((b"\x89PNG\r\n\x1a\n", size, size, 8, 6), struct.unpack_from(">8s8xIIBB", png))
        self.assertEqual(self.version, e2e.run([os.path.join(self.root, "usr/bin/veldkit"), "--version"]))

    def test_checkers(self):
        validate, lintian = shutil.which("desktop-file-validate"), shutil.which("lintian")
        if not (validate or lintian):
            self.skipTest("neither lintian nor desktop-file-validate is installed")
        if validate:
            done = subprocess.run([validate, os.path.join(self.root, "usr/share/applications/veldkit.desktop")],
                                  capture_output=True, text=True, timeout=60)
            self.assertEqual((0, ""), (done.returncode, done.stdout + done.stderr))
        if lintian:
            out = subprocess.run(["lintian", self.deb], capture_output=True, text=True, timeout=300).stdout
            # Warnings are a matter of taste and change between versions of lintian.
            self.assertEqual([], [line for line in out.splitlines() if line.startswith("E:")], out)


if __name__ == "__main__":
    unittest.main(verbosity=2)
