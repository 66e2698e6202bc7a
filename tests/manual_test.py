#!/usr/bin/env python3
"""The manual pages as man shows them: no word is hyphenated at any terminal
width, so that a search in the pager finds every message and file name.

    manual_test.py GROFF PAGE...

A line may end in a hyphen only where the page's source has one: the word
broken there, joined again, must be in the source, and be no file name
(written with \- in the source, which never breaks). Exits 77 (skipped) when
groff is missing.
"""

import re
import shutil
import subprocess
import sys

WIDTHS = range(40, 161, 3)


def rendered(groff, page, width):
    # What man-db runs for a terminal of that width.
    result = subprocess.run([groff, "-man", "-t", "-Tutf8", f"-rLL={width}n", f"-rLT={width}n",
                             page], capture_output=True, check=True)
    text = result.stdout.decode("utf-8")
    # Drop overstriking (bold, underline) as a pager shows it.
    return re.sub(r".\x08", "", text)


def main():
    groff, pages = sys.argv[1], sys.argv[2:]
    if not shutil.which(groff):
        print(f"skipped: {groff} (Debian package groff-base) is not installed")
        return 77
    failures = []
    for page in pages:
        source = open(page, encoding="utf-8").read().replace("\\-", "-")
        for width in WIDTHS:
            lines = rendered(groff, page, width).splitlines()
            for line, after in zip(lines, lines[1:]):
                end = re.search(r"(\S+)[-\u2010]$", line)
                start = re.match(r"\s*(\S*)", after)
                if not end or not start:
                    continue
                word = f"{end.group(1)}-{start.group(1)}"
                # Only the letters around the break: punctuation may follow.
                core = re.search(r"[\w.]*-[\w.]*", word).group(0).strip(".")
                if core not in source or "/" in word:
                    failures.append(f"{page}, {width} columns: {line.strip()!r} / "
                                    f"{after.strip()!r} breaks {word!r}")
    for failure in failures[:20]:
        print(failure)
    print(f"{len(pages)} pages at {len(WIDTHS)} widths: {len(failures)} hyphenated words")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
