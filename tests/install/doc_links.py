#!/usr/bin/env python3
"""Checks that the Markdown files under a folder link only to what is there.

    doc_links.py FOLDER

Every relative link and picture of every *.md file under FOLDER must name a file
under FOLDER, and a link's #anchor a heading of the file it names. Run on the
source tree, on an installed docs folder and on the unpacked Windows zip, so that
docs that are moved keep their links. Prints each broken link; exits 1 if any.
"""
import os
import re
import sys

LINK = re.compile(r"!?\[(?:[^\]\\]|\\.)*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
HEADING = re.compile(r"^#{1,6}\s+(.*?)\s*#*\s*$")
FENCE = re.compile(r"^\s*(```|~~~)")


def without_code(lines):
    """The lines outside fenced code blocks, with inline code spans blanked out."""
    fenced = False
    for number, line in enumerate(lines, 1):
        if FENCE.match(line):
            fenced = not fenced
            continue
        if not fenced:
            yield number, re.sub(r"`[^`]*`", lambda m: " " * len(m.group(0)), line)


def anchors(path):
    """The anchors GitHub gives the headings of a Markdown file."""
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    seen = {}
    result = set()
    fenced = False
    for line in lines:
        if FENCE.match(line):
            fenced = not fenced
            continue
        match = None if fenced else HEADING.match(line)
        if not match:
            continue
        text = re.sub(r"[`*_]|\[([^\]]*)\]\([^)]*\)", lambda m: m.group(1) or "", match.group(1))
        slug = re.sub(r"[^\w\- ]", "", text.lower()).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        result.add(slug if count == 0 else f"{slug}-{count}")
    return result


def main():
    if len(sys.argv) != 2 or sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
        return 0 if len(sys.argv) == 2 else 2
    root = os.path.abspath(sys.argv[1])
    broken = []
    checked = 0
    for folder, _, files in os.walk(root):
        for name in sorted(files):
            if not name.endswith(".md"):
                continue
            source = os.path.join(folder, name)
            with open(source, encoding="utf-8") as f:
                lines = f.read().splitlines()
            for number, line in without_code(lines):
                for target in LINK.findall(line):
                    if re.match(r"^[a-z][a-z0-9+.-]*:", target):
                        continue  # a web address or mailto:, not a file of ours
                    checked += 1
                    where = f"{os.path.relpath(source, root)}:{number}: {target}"
                    path, _, anchor = target.partition("#")
                    file = os.path.normpath(os.path.join(folder, path)) if path else source
                    if not (file == root or file.startswith(root + os.sep)) or not os.path.isfile(file):
                        broken.append(f"{where}: no such file here")
                    elif anchor and file.endswith(".md") and anchor not in anchors(file):
                        broken.append(f"{where}: no heading with that anchor")
    for line in broken:
        print(line)
    print(f"doc_links: {checked} links checked in {root}, {len(broken)} broken")
    return 1 if broken else 0


if __name__ == "__main__":
    sys.exit(main())
