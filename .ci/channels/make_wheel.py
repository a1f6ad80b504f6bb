#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes one platform wheel of mksrec around a program the release already made.

Usage: make_wheel.py OUTDIR VERSION PACKAGE PROGRAM LICENCE DESCRIPTION
       make_wheel.py --tags PACKAGE

PACKAGE is the platform's package name in cmake/platforms (linux-x86_64, windows-x86_64,
macos, ...), PROGRAM the program of its download; --tags prints the platform tags its wheel
carries, dot-separated, as they stand in the wheel's name. The wheel is the way ninja, cmake and
clang-format ship native programs through pip: the program sits under
mksrec-VERSION.data/scripts/, which pip copies onto the environment's PATH as it is (no
shim), and the package mksrec/ lets `python -m mksrec` run it. Only the standard library is
used, and every entry has a fixed date, order, mode and compression, so the same inputs give
the same bytes. The path of the wheel written goes to standard output.
"""
import base64
import hashlib
import os
import sys
import zipfile

# The tags each platform's program serves, by its package name. A static Linux program needs no C library, so one wheel serves
# glibc systems (manylinux, PEP 600, with its older manylinux2014 name for older pips) and
# musl ones (musllinux) alike; riscv64 postdates manylinux2014, so it has the PEP 600 name
# alone. The macOS program holds arm64 and x86_64 code for macOS 11 or later: universal2,
# with each processor named too, for pips that predate universal2. Debian's armhf is ARMv7
# with hard float, which a Raspberry Pi OS 32-bit reports as armv7l.
LINUX_GLIBC = "manylinux_2_17_{0}.manylinux2014_{0}"
TAGS = {
    "linux-x86_64": LINUX_GLIBC.format("x86_64") + ".musllinux_1_1_x86_64",
    "linux-aarch64": LINUX_GLIBC.format("aarch64") + ".musllinux_1_1_aarch64",
    "linux-armhf": LINUX_GLIBC.format("armv7l") + ".musllinux_1_1_armv7l",
    "linux-riscv64": "manylinux_2_17_riscv64.musllinux_1_1_riscv64",
    "windows-x86_64": "win_amd64",
    "macos": "macosx_11_0_universal2.macosx_11_0_arm64.macosx_11_0_x86_64",
}

# One line on what mksrec is: the wheel's summary, and the manifests' description.
SUMMARY = "Converts a raw binary image into a Motorola S-record file"

# The earliest date a zip entry can carry; every entry has it, as the other downloads carry
# the commit's time in their own formats.
DATE = (1980, 1, 1, 0, 0, 0)

INIT = '''\
# SPDX-License-Identifier: MIT
"""mksrec: converts a raw binary image into a Motorola S-record file.

This package carries the program itself, installed on the environment's PATH as `mksrec`;
`python -m mksrec` runs it too.
"""
__version__ = "{version}"
'''


def record_hash(data):
    digest = hashlib.sha256(data).digest()
    return "sha256=" + base64.urlsafe_b64encode(digest).rstrip(b"=").decode()


def metadata(version, description):
    home = os.environ.get("MKSREC_HOME")
    lines = [
        "Metadata-Version: 2.1",
        "Name: mksrec",
        f"Version: {version}",
        f"Summary: {SUMMARY}",
        "License: MIT",
        "Keywords: s-record,srec,firmware,embedded,motorola",
        "Classifier: Environment :: Console",
        "Classifier: Intended Audience :: Developers",
        "Classifier: License :: OSI Approved :: MIT License",
        "Classifier: Programming Language :: C++",
        "Classifier: Topic :: Software Development :: Embedded Systems",
        "Requires-Python: >=3.7",
    ]
    # The project's address, as the release workflow gives it; none is made up here.
    if home:
        lines.append(f"Project-URL: Home, {home}")
    lines.append("Description-Content-Type: text/markdown")
    return "\n".join(lines) + "\n\n" + description


def main():
    if sys.argv[1] == "--tags":
        print(TAGS[sys.argv[2]])
        return
    outdir, version, package, program, licence, description = sys.argv[1:]
    tags = TAGS[package]
    name = os.path.basename(program)
    here = os.path.dirname(os.path.abspath(__file__))
    data = f"mksrec-{version}.data"
    info = f"mksrec-{version}.dist-info"
    with open(os.path.join(here, "main.py"), "rb") as file:
        main_py = file.read()
    with open(program, "rb") as file:
        program_bytes = file.read()
    with open(licence, "rb") as file:
        licence_bytes = file.read()
    with open(description, encoding="utf-8") as file:
        description_text = file.read()
    wheel_text = "Wheel-Version: 1.0\nGenerator: mksrec release\nRoot-Is-Purelib: false\n"
    wheel_text += "".join(f"Tag: py3-none-{tag}\n" for tag in tags.split("."))
    # (path, bytes, executable), in the order they are written; the dist-info comes last
    # and RECORD, which lists every other entry, last of all.
    entries = [
        ("mksrec/__init__.py", INIT.format(version=version).encode(), False),
        ("mksrec/__main__.py", main_py, False),
        (f"{data}/scripts/{name}", program_bytes, True),
        (f"{info}/LICENSE", licence_bytes, False),
        (f"{info}/METADATA", metadata(version, description_text).encode(), False),
        (f"{info}/WHEEL", wheel_text.encode(), False),
    ]
    record = "".join(f"{path},{record_hash(content)},{len(content)}\n" for path, content, _ in entries)
    record += f"{info}/RECORD,,\n"
    entries.append((f"{info}/RECORD", record.encode(), False))

    path = os.path.join(outdir, f"mksrec-{version}-py3-none-{tags}.whl")
    with zipfile.ZipFile(path, "w") as wheel:
        for entry, content, executable in entries:
            member = zipfile.ZipInfo(entry, DATE)
            member.create_system = 3  # Unix, so that the mode below is read
            member.external_attr = (0o100755 if executable else 0o100644) << 16
            member.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(member, content, compresslevel=9)
    print(path)


if __name__ == "__main__":
    main()
