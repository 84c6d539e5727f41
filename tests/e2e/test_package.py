"""scripts/package.sh makes a Debian package of exactly the program's files,
with the program's version, the run-time libraries it links, compressed
documents as Debian wants them, and icons of the sizes their folders name;
lintian and desktop-file-validate find nothing wrong (when installed).

It builds in the script's own folder, build-package/ (as the program for /usr
with Debian's flags, not as the build under test), so a later run, the
sanitizer build's included, only brings that up to date."""
import gzip
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import veldkit_e2e as e2e  # noqa: E402

PACKAGE_BUILD = os.path.join(e2e.SOURCE_DIR, "build-package")

# Path in the package, mode.
CONTENTS = {
    "usr/bin/veldkit": "-rwxr-xr-x",
    "usr/share/veldkit/Veldkit1.dat": "-rw-r--r--",
    "usr/share/veldkit/Veldkit2.dat": "-rw-r--r--",
    "usr/share/veldkit/Veldkit.htm": "-rw-r--r--",
    "usr/share/applications/veldkit.desktop": "-rw-r--r--",
    "usr/share/icons/hicolor/48x48/apps/veldkit.png": "-rw-r--r--",
    "usr/share/icons/hicolor/256x256/apps/veldkit.png": "-rw-r--r--",
    "usr/share/mime/packages/veldkit.xml": "-rw-r--r--",
    "usr/share/man/man1/veldkit.1.gz": "-rw-r--r--",
    "usr/share/bash-completion/completions/veldkit": "-rw-r--r--",
    "usr/share/doc/veldkit/copyright": "-rw-r--r--",
    "usr/share/doc/veldkit/changelog.gz": "-rw-r--r--",
}


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="veldkit-package-")
        out = e2e.run([os.path.join(e2e.SOURCE_DIR, "scripts", "package.sh"), PACKAGE_BUILD, cls.tmp], timeout=540)
        cls.deb = out.strip().split("\n")[-1]
        cls.root = os.path.join(cls.tmp, "root")
        e2e.run(["dpkg-deb", "-x", cls.deb, cls.root])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_contents(self):
        files, directories = {}, set()
        for line in e2e.run(["dpkg-deb", "-c", self.deb]).splitlines():
            mode, owner, path = line.split()[0], line.split()[1], line.split()[-1]
            self.assertEqual("root/root", owner, path)
            if mode.startswith("d"):
                self.assertEqual("drwxr-xr-x", mode, path)
                directories.add(path)
            else:
                files[path[2:]] = mode
        self.assertEqual(CONTENTS, files)
        # Every folder that holds them, and no other.
        parents = set()
        for path in files:
            while "/" in path:
                path = os.path.dirname(path)
                parents.add("./%s/" % path)
        self.assertEqual(parents, directories)

    def test_control_fields(self):
        version = e2e.run([e2e.BIN, "--version"]).split(" v")[-1].strip()
        self.assertEqual("veldkit_%s_amd64.deb" % version, os.path.basename(self.deb))
        fields = {name: e2e.run(["dpkg-deb", "-f", self.deb, name]).strip()
                  for name in ("Package", "Version", "Section", "Architecture", "Depends", "Maintainer")}
        self.assertEqual(("veldkit", version, "graphics", "amd64"),
                         (fields["Package"], fields["Version"], fields["Section"], fields["Architecture"]))
        for library in ("liballegro4.4", "libpng16-16", "libjpeg62-turbo", "libx11-6", "zlib1g", "libc6"):
            self.assertRegex(fields["Depends"], r"(^|, )%s( |,|$)" % re.escape(library))
        with gzip.open(os.path.join(self.root, "usr/share/doc/veldkit/changelog.gz"), "rt") as f:
            self.assertEqual("veldkit (%s) " % version, f.readline()[:len(version) + 11])

    def test_files(self):
        for name in ("usr/share/man/man1/veldkit.1.gz", "usr/share/doc/veldkit/changelog.gz"):
            with open(os.path.join(self.root, name), "rb") as f:
                header = f.read(10)
            # No file name (flag 8) and no time stamp: the same bytes from every build.
            self.assertEqual((0, 0), (header[3] & 8, struct.unpack("<I", header[4:8])[0]), name)
        with gzip.open(os.path.join(self.root, "usr/share/man/man1/veldkit.1.gz"), "rt") as f:
            self.assertNotIn("@", f.readline())
        for size in (48, 256):
            with open(os.path.join(self.root, "usr/share/icons/hicolor/%dx%d/apps/veldkit.png" % (size, size)),
                      "rb") as f:
                png = f.read(33)
            self.assertEqual(b"\x89PNG\r\n\x1a\n", png[:8])
            self.assertEqual((size, size, 8, 6), struct.unpack(">IIBB", png[16:26]))
        program = os.path.join(self.root, "usr/bin/veldkit")
        self.assertEqual(e2e.run([e2e.BIN, "--version"]), e2e.run([program, "--version"]))

    def test_checkers(self):
        checked = 0
        if shutil.which("desktop-file-validate"):
            done = subprocess.run(["desktop-file-validate",
                                   os.path.join(self.root, "usr/share/applications/veldkit.desktop")],
                                  capture_output=True, text=True, timeout=60)
            self.assertEqual((0, ""), (done.returncode, done.stdout + done.stderr))
            checked += 1
        if shutil.which("lintian"):
            done = subprocess.run(["lintian", self.deb], capture_output=True, text=True, timeout=300)
            # Warnings are a matter of taste and change between versions of lintian.
            self.assertEqual([], [line for line in done.stdout.splitlines() if line.startswith("E:")], done.stdout)
            checked += 1
        if not checked:
            self.skipTest("neither lintian nor desktop-file-validate is installed")


if __name__ == "__main__":
    unittest.main(verbosity=2)
