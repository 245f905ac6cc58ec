#!/usr/bin/env python3
"""Writes a zip of a folder's contents that depends on nothing but the files' bytes and names:
entries sorted, every time stamp SOURCE_DATE_EPOCH, fixed permissions, no extra fields.

Usage: write_zip.py FOLDER OUTPUT.zip
"""
import os
import sys
import time
import zipfile
from pathlib import Path


def main():
    folder, output = Path(sys.argv[1]), Path(sys.argv[2])
    # A zip holds local time with two-second steps and nothing before 1980.
    epoch = max(int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")), 315532800)
    stamp = time.gmtime(epoch)[:6]
    files = sorted(p for p in folder.rglob("*") if p.is_file())
    with zipfile.ZipFile(output, "w") as archive:
        for path in files:
            entry = zipfile.ZipInfo(path.relative_to(folder).as_posix(), date_time=stamp)
            entry.compress_type = zipfile.ZIP_DEFLATED
            entry.create_system = 3  # Unix, so that the permissions below are read
            mode = 0o755 if os.access(path, os.X_OK) or path.suffix in (".exe", ".dll") else 0o644
            entry.external_attr = (0o100000 | mode) << 16
            archive.writestr(entry, path.read_bytes(), compresslevel=9)


if __name__ == "__main__":
    main()
