"""Start-up failures end in an orderly message and exit code, never a crash."""
import os
import shutil
import subprocess
import sys
import tempfile

BIN = os.environ["VELDKIT_BIN"]
RUN_DIR = os.environ["VELDKIT_RUN_DIR"]


def run(args, cwd, env, program=BIN):
    return subprocess.run([program] + args, cwd=cwd, env=env, capture_output=True, text=True, timeout=60)


def main():
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        # No display at all: the graphics mode cannot be set.
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        r = run([], tmp, env)
        if r.returncode != 1 or "Unable to set graphics mode" not in r.stderr:
            failures.append("no display: rc=%d stderr=%r" % (r.returncode, r.stderr))

        # A program whose folders hold no datafiles (its own, and the data
        # folder an installed tree would have beside it): a message naming the file.
        os.mkdir(os.path.join(tmp, "bin"))
        lone = os.path.join(tmp, "bin", "veldkit")
        shutil.copy(BIN, lone)
        r = run([], tmp, dict(os.environ), lone)
        if r.returncode == 0 or "Veldkit1.dat" not in r.stderr:
            failures.append("missing fonts: rc=%d stderr=%r" % (r.returncode, r.stderr))

        shutil.copy(os.path.join(RUN_DIR, "Veldkit1.dat"), tmp)
        r = run([], tmp, dict(os.environ), lone)
        if r.returncode == 0 or "Veldkit2.dat" not in r.stderr:
            failures.append("missing symbols: rc=%d stderr=%r" % (r.returncode, r.stderr))

        # A datafile that is not one.
        with open(os.path.join(tmp, "Veldkit2.dat"), "wb") as f:
            f.write(b"not a datafile at all")
        r = run([], tmp, dict(os.environ), lone)
        if r.returncode == 0 or "Veldkit2.dat" not in r.stderr:
            failures.append("broken symbols: rc=%d stderr=%r" % (r.returncode, r.stderr))

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
