#!/usr/bin/env python3
"""Writes a zip whose bytes depend only on the files and one timestamp.

  write-zip.py OUT.zip EPOCH DIR

Every file under DIR goes in, named by its path below DIR with forward slashes, in sorted order,
stored (no compression, so no zlib version can change the bytes), dated EPOCH (UTC, as the zip
format's local time), mode 0644, no extra fields.
"""
import os
import sys
import time
import zipfile


def main():
    out, epoch, top = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # the format starts in 1980
    names = []
    for folder, _, files in os.walk(top):
        for name in files:
            path = os.path.join(folder, name)
            names.append(os.path.relpath(path, top).replace(os.sep, "/"))
    partial = out + ".partial"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_STORED) as archive:
        for name in sorted(names, key=lambda n: n.encode()):
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 3  # Unix, so that the mode below is read as one
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_STORED
            with open(os.path.join(top, name), "rb") as data:
                archive.writestr(info, data.read())
    os.replace(partial, out)


if __name__ == "__main__":
    main()
