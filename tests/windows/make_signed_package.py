#!/usr/bin/env python3
"""Makes a signed package, as a publisher ships one, and what others can make of it.

usage: make_signed_package.py LAUNCHER ARCHIVE PASSWORD OUTPUT_DIR ENGINE SMALL_ENGINE STRIP
Writes to OUTPUT_DIR:
  unsigned.exe       the launcher image, the archive and the trailer
  Signed Setup.exe   the same signed with osslsigncode under a throwaway
                     code-signing certificate that openssl makes here; fails
                     unless osslsigncode verifies the signature
Then, as someone who has only the signed file can, without breaking the signature
(the signature does not cover its own certificate table, which
grow_certificate_table.py grows; it fails unless the digests still match):
  Grown Setup.exe        a planted archive under the package's password in the
                         table, close enough behind the marker for a launcher that
                         looks for its trailer at the end of the file; its engine is
                         SMALL_ENGINE stripped with STRIP, a program that shows
                         nothing and exits 0
  Grown Large Setup.exe  the same with a copy of ENGINE, the real setup engine,
                         which puts the marker out of that launcher's reach
  Grown Far Setup.exe    more than 40,948 bytes of filler, a planted archive with a
                         copy of ENGINE under another password, and a trailer for
                         that password whose marker ends the file
And from unsigned.exe, packages whose security directory holds nonsense, which must
run as unsigned.exe does:
  Nonsense Directory Setup.exe        a table that runs a byte past the end of the file
  Nonsense Directory Short Setup.exe  a table that ends a byte short of the end
  Nonsense Directory Wrap Setup.exe   a table that reaches the end of the file only
                                      when its offset and size add up in 32 bits
In every planted archive A0 is b"planted data".
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

FIXTURES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "fixtures")
sys.path.insert(0, FIXTURES)
sys.dont_write_bytecode = True  # nothing of this build in the source tree
from grow_certificate_table import security_directory_offset  # noqa: E402

GROW = os.path.join(FIXTURES, "grow_certificate_table.py")
MARKER = b">KIVO_Vantor<"
MAX_BYTES_AFTER_MARKER = 40948
PLANTED_DATA = b"planted data"
PLANTED_PASSWORD = b"planted pw"


def trailer(password, second=b"", third_word=1):
    """The trailer written independently of the launcher's own code, as a check on both."""
    return (bytes(b ^ 0x3B for b in password) + bytes(b ^ 0xA7 for b in second) +
            struct.pack("<III", len(password) ^ 0x5E, len(second) ^ 0x91, third_word) + MARKER)


def run(*command, cwd):
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def planted_archive(scratch, password, engine):
    """An Info-ZIP archive of the four members, A1 the given engine."""
    folder = os.path.join(scratch, "planted")
    os.makedirs(folder)
    for name, data in (("A0", PLANTED_DATA), ("A3", b"planted UI library"), ("A4", b"planted library")):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    shutil.copyfile(engine, os.path.join(folder, "A1"))
    archive = os.path.join(scratch, "planted.zip")
    run("zip", "-q", "-X", "-9", "-P", password.decode("ascii"), archive, "A0", "A1", "A3", "A4", cwd=folder)
    shutil.rmtree(folder)
    with open(archive, "rb") as f:
        data = f.read()
    os.remove(archive)
    return data


def grow(signed, output, *parts):
    """The signed package with parts appended inside its certificate table."""
    with tempfile.TemporaryDirectory() as scratch:
        appendices = []
        for i, part in enumerate(parts):
            appendices.append(os.path.join(scratch, "part%d" % i))
            with open(appendices[-1], "wb") as f:
                f.write(part)
        subprocess.run([sys.executable, GROW, signed, output] + appendices, check=True)
    with open(output, "rb") as f:
        return f.read()


def make_grown(signed, out, password, engine, small_engine, strip):
    with tempfile.TemporaryDirectory() as scratch:
        stripped = os.path.join(scratch, "small_engine.exe")
        run(strip, "-o", stripped, small_engine, cwd=scratch)
        small = planted_archive(scratch, password, stripped)
        large = planted_archive(scratch, password, engine)
        far = planted_archive(scratch, PLANTED_PASSWORD, engine)

    grown = grow(signed, os.path.join(out, "Grown Setup.exe"), small)
    if len(grown) - (grown.rfind(MARKER) + len(MARKER)) > MAX_BYTES_AFTER_MARKER:
        raise SystemExit("the planted archive puts the package's marker out of reach")
    grown = grow(signed, os.path.join(out, "Grown Large Setup.exe"), large)
    if len(grown) - (grown.rfind(MARKER) + len(MARKER)) <= MAX_BYTES_AFTER_MARKER:
        raise SystemExit("the large planted archive leaves the package's marker within reach")

    # The appendix is padded to a multiple of 8; the filler takes up the difference,
    # so that nothing follows the planted marker.
    planted_trailer = trailer(PLANTED_PASSWORD)
    filler = MAX_BYTES_AFTER_MARKER + 1
    filler += -(filler + len(far) + len(planted_trailer)) % 8
    grown = grow(signed, os.path.join(out, "Grown Far Setup.exe"), b"\0" * filler, far, planted_trailer)
    if not grown.endswith(planted_trailer):
        raise SystemExit("the planted trailer does not end the file")


def make_nonsense(unsigned, out, image_end):
    with open(unsigned, "rb") as f:
        package = bytearray(f.read())
    entry = security_directory_offset(package)
    if struct.unpack_from("<II", package, entry) != (0, 0):
        raise SystemExit("the launcher image names a certificate table")
    rest = len(package) - image_end
    variants = {
        "Nonsense Directory Setup.exe": (image_end, rest + 1),
        "Nonsense Directory Short Setup.exe": (image_end, rest - 1),
        "Nonsense Directory Wrap Setup.exe": (2**32 - 8, len(package) + 8),
    }
    for name, (offset, size) in variants.items():
        struct.pack_into("<II", package, entry, offset, size)
        with open(os.path.join(out, name), "wb") as f:
            f.write(package)


def main():
    launcher, archive, password, out, engine, small_engine, strip = sys.argv[1:8]
    small_engine = os.path.abspath(small_engine)
    password = password.encode("ascii")
    os.makedirs(out, exist_ok=True)
    unsigned = os.path.join(out, "unsigned.exe")
    signed = os.path.join(out, "Signed Setup.exe")
    with open(unsigned, "wb") as f:
        for part in (launcher, archive):
            with open(part, "rb") as p:
                f.write(p.read())
        f.write(trailer(password))
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
        "-subj", "/CN=sfx-launcher test publisher", "-addext", "keyUsage=critical,digitalSignature",
        "-addext", "extendedKeyUsage=codeSigning", "-keyout", "key.pem", "-out", "cert.pem", cwd=out)
    if os.path.exists(signed):
        os.remove(signed)
    run("osslsigncode", "sign", "-certs", "cert.pem", "-key", "key.pem", "-h", "sha256",
        "-n", "sfx-launcher test package", "-in", unsigned, "-out", signed, cwd=out)
    run("osslsigncode", "verify", "-CAfile", "cert.pem", "-in", signed, cwd=out)

    make_grown(signed, out, password, engine, small_engine, strip)
    make_nonsense(unsigned, out, os.path.getsize(launcher))


if __name__ == "__main__":
    try:
        main()
    except subprocess.CalledProcessError as error:
        sys.stderr.write((error.stderr or b"").decode(errors="replace"))
        raise
