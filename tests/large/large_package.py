#!/usr/bin/env python3
"""Packages past 4 GiB, end to end, with one launcher (the Linux one, or launcher.exe
under Wine: a 32-bit process).

usage: large_package.py --launcher STUB --engine ENGINE --sfxpkg SFXPKG [--wine WINE_RUN]

1. sfxpkg builds a package whose data file is a sparse 4.3 GiB member (it deflates
   to a few MiB); sfxpkg verify passes and `unzip -t` agrees; the launcher extracts
   setup.dat with its full size, all zeros.
2. A package that is itself 4.3 GiB: Info-ZIP's archive of a stored 4.3 GiB member
   with the four encrypted members behind it, so that the launcher reads its trailer,
   end records and members past 4 GiB. It is written sparse, so it takes little disk.
Each launcher run is timed, with its peak memory. Exits 77 (skipped) with the reason
when the temporary directory has less than 10 GiB free.
"""
import argparse
import glob
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

SKIPPED = 77
NEEDED_FREE = 10 << 30
LARGE_SIZE = 4400 << 20  # 4.3 GiB
PASSWORD = "Large-pw"
MARKER = b">KIVO_Vantor<"


def trailer(password):
    """The package trailer, written here independently of the launcher's code."""
    return (bytes(b ^ 0x3B for b in password) +
            struct.pack("<III", len(password) ^ 0x5E, 0 ^ 0x91, 1) + MARKER)


class Tools:
    def __init__(self, args):
        self.wine = args.wine
        self.launcher, self.engine, self.sfxpkg = args.launcher, args.engine, args.sfxpkg
        if self.wine:
            # The build's own prefix, wherever the package lies.
            self.prefix = os.environ.get("SFX_WINEPREFIX") or os.path.join(
                os.path.dirname(os.path.dirname(os.path.abspath(self.launcher))), "wineprefix")
            os.environ["SFX_WINEPREFIX"] = self.prefix

    def path(self, path):
        """A path as the programs take it: Wine sees the Linux root as drive Z:."""
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def command(self, program, *arguments):
        return ([self.wine] if self.wine else []) + [program] + list(arguments)


def run(command, **kwargs):
    result = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True, **kwargs)
    return result


def check(condition, what):
    if not condition:
        raise SystemExit("FAILED: " + what)
    print("ok:", what, flush=True)


def timed(command, env):
    """Runs command under GNU time: its exit status, seconds and peak memory (KiB)."""
    with tempfile.NamedTemporaryFile("r", suffix=".time") as measured:
        # Wine's helper processes must not hold a pipe of ours open: output to files.
        with open(os.devnull, "w") as quiet:
            status = subprocess.run(["/usr/bin/time", "-o", measured.name, "-f", "%e %M"] + command,
                                    stdin=subprocess.DEVNULL, stdout=quiet, stderr=quiet, env=env).returncode
        seconds, kib = measured.read().split()[-2:]
    return status, float(seconds), int(kib)


def temp_folders(tools, scratch):
    """Where the launcher makes its working folders."""
    if not tools.wine:
        return [os.path.join(scratch, "tmp")]
    return glob.glob(os.path.join(tools.prefix, "drive_c", "users", "*", "Temp"))


def start_package(tools, package, scratch, what):
    """Starts a package with an engine that keeps its folder; returns that folder."""
    tag = "large-run-%d-%s" % (os.getpid(), what.replace(" ", "-"))
    env = dict(os.environ, SFX_TEST_EXIT="0", SFX_TEST_LEAVE=tag, TMPDIR=os.path.join(scratch, "tmp"))
    os.makedirs(env["TMPDIR"], exist_ok=True)
    status, seconds, kib = timed(tools.command(package), env)
    print("measured: %s: %.1f s, peak memory %.1f MiB" % (what, seconds, kib / 1024), flush=True)
    check(status == 0, what + ": the launcher's exit status is 0")
    for temp in temp_folders(tools, scratch):
        found = glob.glob(os.path.join(temp, "KIVOTemp*", tag))
        if found:
            return os.path.dirname(found[0])
    raise SystemExit("FAILED: %s: the engine did not run (no working folder with %s)" % (what, tag))


def all_zero(path, size):
    zero = bytes(1 << 20)
    with open(path, "rb") as f:
        left = size
        while left:
            piece = f.read(min(left, len(zero)))
            if not piece or piece != zero[:len(piece)]:
                return False
            left -= len(piece)
        return f.read(1) == b""


def sparse_member_package(tools, scratch, inputs):
    package = os.path.join(scratch, "Sparse Member Setup" + (".exe" if tools.wine else ""))
    built = run(tools.command(tools.sfxpkg, "build", "--launcher", tools.path(tools.launcher),
                              "--engine", tools.path(tools.engine), "--data", tools.path(inputs["data"]),
                              "--ui", tools.path(inputs["ui"]), "--exp", tools.path(inputs["exp"]),
                              "--password", PASSWORD, "--level", "1", "-o", tools.path(package)))
    check(built.returncode == 0, "sfxpkg build of a 4.3 GiB member: " + built.stderr.strip())
    verified = run(tools.command(tools.sfxpkg, "verify", tools.path(package)))
    check(verified.returncode == 0, "sfxpkg verify: " + verified.stderr.strip())
    tested = run(["unzip", "-t", "-P", PASSWORD, package])
    check("No errors detected" in tested.stdout, "unzip -t agrees")
    folder = start_package(tools, package, scratch, "4.3 GiB member")
    data = os.path.join(folder, "setup.dat")
    check(os.path.getsize(data) == LARGE_SIZE, "setup.dat has its 4,613,734,400 bytes")
    check(all_zero(data, LARGE_SIZE), "setup.dat holds the member's bytes")
    shutil.rmtree(folder)
    os.remove(package)


def large_file_package(tools, scratch, inputs):
    members = os.path.join(scratch, "members")
    os.makedirs(members)
    for name, source in (("A0", inputs["small data"]), ("A1", tools.engine), ("A3", inputs["ui"]),
                         ("A4", inputs["exp"])):
        shutil.copyfile(source, os.path.join(members, name))
    os.rename(inputs["data"], os.path.join(members, "padding.bin"))
    archive = os.path.join(scratch, "large.zip")
    # A stored member first, so that everything the launcher reads lies past 4 GiB.
    for arguments in (["-0", archive, "padding.bin"], ["-9", "-P", PASSWORD, archive, "A0", "A1", "A3", "A4"]):
        made = run(["zip", "-q", "-X"] + arguments, cwd=members)
        check(made.returncode == 0, "zip " + " ".join(arguments[:-1]) + ": " + made.stderr.strip())
    package = os.path.join(scratch, "Large Setup" + (".exe" if tools.wine else ""))
    shutil.copyfile(tools.launcher, package)
    os.chmod(package, 0o755)
    # Appended with holes where the archive holds zeros.
    copied = run(["dd", "if=" + archive, "of=" + package, "bs=1M", "conv=sparse,notrunc", "oflag=seek_bytes",
                  "seek=%d" % os.path.getsize(tools.launcher), "status=none"])
    check(copied.returncode == 0, "the archive appended: " + copied.stderr.strip())
    os.remove(archive)
    with open(package, "ab") as f:
        f.write(trailer(PASSWORD.encode("ascii")))
    size = os.path.getsize(package)
    check(size > 1 << 32, "the package is %s bytes, past 4 GiB" % format(size, ","))
    tested = run(["unzip", "-t", "-P", PASSWORD, package, "A0", "A1", "A3", "A4"])
    check("No errors detected" in tested.stdout, "unzip -t reads its members")
    folder = start_package(tools, package, scratch, "4.3 GiB package")
    for name, source in (("setup.dat", inputs["small data"]), (os.path.basename(package), tools.engine),
                         ("Setup_UI.dll", inputs["ui"]), ("Setup_Exp.dll", inputs["exp"])):
        with open(os.path.join(folder, name), "rb") as got, open(source, "rb") as expected:
            check(got.read() == expected.read(), name + " extracted byte for byte")
    shutil.rmtree(folder)
    os.remove(package)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--launcher", required=True)
    parser.add_argument("--engine", required=True)
    parser.add_argument("--sfxpkg", required=True)
    parser.add_argument("--wine")
    tools = Tools(parser.parse_args())

    # Under Wine the working folder lies in the prefix, wherever that is.
    needs = [(tempfile.gettempdir(), NEEDED_FREE)] + ([(tools.prefix, LARGE_SIZE + (512 << 20))] if tools.wine else [])
    for folder, needed in needs:
        free = shutil.disk_usage(folder if os.path.exists(folder) else os.path.dirname(folder)).free
        if free < needed:
            print("skipped: %s has %.1f GiB free; packages past 4 GiB need %.1f GiB there" %
                  (folder, free / (1 << 30), needed / (1 << 30)))
            return SKIPPED
    scratch = tempfile.mkdtemp(prefix="sfx-large-")
    try:
        inputs = {"data": os.path.join(scratch, "data.bin"), "small data": os.path.join(scratch, "setup.dat"),
                  "ui": os.path.join(scratch, "ui.dll"), "exp": os.path.join(scratch, "exp.dll")}
        with open(inputs["data"], "wb") as f:
            f.truncate(LARGE_SIZE)  # sparse: no disk until someone writes it out
        for key, text in (("small data", b"[data]\r\n"), ("ui", b"ui library"), ("exp", b"exp library")):
            with open(inputs[key], "wb") as f:
                f.write(text * 1000)
        started = time.monotonic()
        sparse_member_package(tools, scratch, inputs)
        large_file_package(tools, scratch, inputs)
        print("all checks passed in %.0f s" % (time.monotonic() - started))
        return 0
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
