"""A second checkout of this working tree in another folder, and
tools/package.sh run in it: for the builds that must match the first and the
one that signs.

The checkout is a clone of the repository at the working tree's commit (so
that tools/package.sh takes the commit's date, as in any checkout) with the
working tree's files copied over it (so that it builds what the working tree
holds, committed or not).
"""
import os
import shutil
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TIMEOUT = 3000


def git(*args, cwd=ROOT):
    return subprocess.run(["git", *args], cwd=cwd, capture_output=True, check=True).stdout


def make(folder, private=False):
    """A fresh checkout in FOLDER; private: every file readable by its owner
    only, as a checkout made under umask 077 has them."""
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(os.path.dirname(folder), exist_ok=True)
    git("clone", "--quiet", "--shared", "--no-checkout", ROOT, folder)
    git("checkout", "--quiet", "--detach", git("rev-parse", "HEAD").decode().strip(), cwd=folder)
    for name in filter(None, git("ls-files", "-z").decode().split("\0")):
        source, target = os.path.join(ROOT, name), os.path.join(folder, name)
        if os.path.lexists(source):
            shutil.copy2(source, target, follow_symlinks=False)
        elif os.path.lexists(target):
            os.remove(target)
    if private:
        for directory, _, files in os.walk(folder):
            for path in [directory] + [os.path.join(directory, f) for f in files]:
                if not os.path.islink(path):
                    os.chmod(path, os.stat(path).st_mode & 0o700)
    return folder


def package(folder, env, umask=0o022):
    """Runs tools/package.sh in the checkout with ENV and UMASK; returns the
    folder of what it made, or raises with the end of its output."""
    def set_umask():
        os.umask(umask)
    result = subprocess.run(["sh", "tools/package.sh"], cwd=folder, env=env, capture_output=True, text=True,
                            timeout=TIMEOUT, preexec_fn=set_umask)
    if result.returncode != 0:
        raise AssertionError(f"tools/package.sh failed with {result.returncode}:\n"
                             + result.stdout[-3000:] + result.stderr[-3000:])
    return os.path.join(folder, "build", "dist")
