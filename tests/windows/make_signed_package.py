#!/usr/bin/env python3
"""Makes a signed package, as a publisher ships one.

usage: make_signed_package.py LAUNCHER ARCHIVE PASSWORD OUTPUT_DIR
Writes OUTPUT_DIR/unsigned.exe (the launcher image, the archive and the trailer) and
OUTPUT_DIR/Signed Setup.exe, the same signed with osslsigncode under a throwaway
code-signing certificate that openssl makes here. Fails unless osslsigncode
verifies the signature.
"""
import os
import struct
import subprocess
import sys

MARKER = b">KIVO_Vantor<"


def trailer(password, second=b"", third_word=1):
    """The trailer written independently of the launcher's own code, as a check on both."""
    return (bytes(b ^ 0x3B for b in password) + bytes(b ^ 0xA7 for b in second) +
            struct.pack("<III", len(password) ^ 0x5E, len(second) ^ 0x91, third_word) + MARKER)


def run(*command, cwd):
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def main():
    launcher, archive, password, out = sys.argv[1:5]
    os.makedirs(out, exist_ok=True)
    unsigned = os.path.join(out, "unsigned.exe")
    signed = os.path.join(out, "Signed Setup.exe")
    with open(unsigned, "wb") as f:
        for part in (launcher, archive):
            with open(part, "rb") as p:
                f.write(p.read())
        f.write(trailer(password.encode("ascii")))
    run("openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
        "-subj", "/CN=sfx-launcher test publisher", "-addext", "keyUsage=critical,digitalSignature",
        "-addext", "extendedKeyUsage=codeSigning", "-keyout", "key.pem", "-out", "cert.pem", cwd=out)
    if os.path.exists(signed):
        os.remove(signed)
    run("osslsigncode", "sign", "-certs", "cert.pem", "-key", "key.pem", "-h", "sha256",
        "-n", "sfx-launcher test package", "-in", unsigned, "-out", signed, cwd=out)
    run("osslsigncode", "verify", "-CAfile", "cert.pem", "-in", signed, cwd=out)


if __name__ == "__main__":
    try:
        main()
    except subprocess.CalledProcessError as error:
        sys.stderr.write(error.stderr.decode(errors="replace"))
        raise
