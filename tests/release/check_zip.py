#!/usr/bin/env python3
"""Opens the release zip and checks what a person downloading it relies on.

  check_zip.py ZIP-FOLDER RESOURCE-SCRIPT
"""
import glob
import hashlib
import re
import struct
import sys
import zipfile

failures = []


def expect(holds, what):
    if not holds:
        failures.append(what)
        print("FAILED", what)


def machine(dll):
    if dll[:2] != b"MZ":
        return None
    pe = struct.unpack_from("<I", dll, 0x3C)[0]
    if dll[pe:pe + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", dll, pe + 4)[0]


def main():
    zips = glob.glob(sys.argv[1] + "/*.zip")
    expect(len(zips) == 1, "one zip in " + sys.argv[1])
    if not zips:
        return
    rc = open(sys.argv[2], encoding="utf-8").read()
    version = re.search(r'IDS_VERSION_TEXT "Version ([0-9.]+)"', rc).group(1)
    expect(zips[0].endswith("/Brinkwatcher-%s.zip" % version), "the zip is named by version " + version)

    archive = zipfile.ZipFile(zips[0])
    names = archive.namelist()
    expected = ["README.ja.txt", "README.txt", "SHA256SUMS", "x64/Brinkwatcher.dll",
                "x86/Brinkwatcher.dll"]
    expect(names == expected, "entries %s, in this order: %s" % (expected, names))
    files = {name: archive.read(name) for name in names}

    sums = {}
    for line in files.get("SHA256SUMS", b"").decode().splitlines():
        digest, name = line.split("  ", 1)
        sums[name] = digest
    others = [n for n in names if n != "SHA256SUMS"]
    expect(sorted(sums) == sorted(others), "SHA256SUMS lists every other file: %s" % sorted(sums))
    for name in others:
        expect(sums.get(name) == hashlib.sha256(files[name]).hexdigest(), "SHA-256 of " + name)

    expect(machine(files.get("x86/Brinkwatcher.dll", b"")) == 0x14C, "x86/ holds an i386 DLL")
    expect(machine(files.get("x64/Brinkwatcher.dll", b"")) == 0x8664, "x64/ holds an x64 DLL")

    for name, bom, label in (("README.txt", False, "Version "), ("README.ja.txt", True, "バージョン ")):
        raw = files.get(name, b"")
        expect(raw.startswith(b"\xef\xbb\xbf") == bom, name + (" starts" if bom else " does not start") + " with a byte order mark")
        expect(b"\n" in raw and raw.count(b"\n") == raw.count(b"\r\n"), name + " has CRLF line ends only")
        text = raw.decode("utf-8-sig", errors="replace")
        expect(label + version in text, name + " names version " + version)
        expect("C:\\Program Files\\EmEditor\\PlugIns" in text and
               "C:\\Program Files (x86)\\EmEditor\\PlugIns" in text, name + " says where each DLL goes")
        expect("@VERSION@" not in text, name + " has no placeholder left")


main()
print("FAILED: %d" % len(failures) if failures else "passed")
sys.exit(1 if failures else 0)
