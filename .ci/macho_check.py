#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""What the macOS download's program says about itself, checked without a Mac.

Usage: macho_check.py PROGRAM

PROGRAM must be a universal file of exactly an arm64 and an x86_64 slice, each a
position-independent executable for macOS 11 or earlier that loads libraries from /usr/lib
only and was built with its own processor's vector encoder (NEON on arm64, SSE2 on x86_64,
named by the encoder that the symbol table's encodeLines<> was made for). The arm64 slice
must carry a code signature whose CodeDirectory hashes match the slice's bytes, page by
page, and its other blobs, slot by slot: macOS kills an arm64 program whose signature does
not match before its first instruction. Prints what it found; exits 1 naming each failure.
"""
import hashlib
import struct
import sys

FAT_MAGIC = 0xCAFEBABE  # big-endian header, 32-bit offsets
MH_MAGIC_64 = 0xFEEDFACF  # little-endian on both processors
MH_EXECUTE = 2
MH_PIE = 0x200000
LC_SYMTAB = 0x2
LC_CODE_SIGNATURE = 0x1D
LC_VERSION_MIN_MACOSX = 0x24
LC_BUILD_VERSION = 0x32
PLATFORM_MACOS = 1
# The commands that make the loader open a library, each naming it at the offset its third
# word gives: load, weak, re-export, lazy, upward.
DYLIB_COMMANDS = {0xC: "LC_LOAD_DYLIB", 0x80000018: "LC_LOAD_WEAK_DYLIB",
                  0x8000001F: "LC_REEXPORT_DYLIB", 0x20: "LC_LAZY_LOAD_DYLIB",
                  0x80000023: "LC_LOAD_UPWARD_DYLIB"}
# Code signatures are big-endian: a SuperBlob indexes blobs by slot; slot 0, the
# CodeDirectory, holds a hash of each page and, before them, of each other blob by slot.
CSMAGIC_EMBEDDED_SIGNATURE = 0xFADE0CC0
CSMAGIC_CODEDIRECTORY = 0xFADE0C02
CSSLOT_CODEDIRECTORY = 0
HASHES = {1: ("sha1", 20), 2: ("sha256", 32), 3: ("sha256", 20), 4: ("sha384", 48)}

MACOS_NEWEST_MINIMUM = (11, 0, 0)
# The encoder each slice must use, by the name of its struct in mksrec::encoding.
SLICES = {0x0100000C: ("arm64", "Neon"), 0x01000007: ("x86_64", "Sse2")}
ENCODERS = ("Neon", "Sse2", "Portable")


def version(word):
    """A Mach-O version, xxxx.yy.zz in the nibbles of a 32-bit word."""
    return (word >> 16, (word >> 8) & 0xFF, word & 0xFF)


def c_string(data, offset):
    return data[offset:data.index(b"\0", offset)].decode()


class Slice:
    def __init__(self, name, data):
        self.name, self.data, self.failures = name, data, []

    def fail(self, message):
        self.failures.append(f"{self.name}: {message}")

    def check(self, encoder):
        data = self.data
        magic, _, _, filetype, ncmds, _, flags = struct.unpack_from("<7I", data)
        if magic != MH_MAGIC_64:
            self.fail(f"not a 64-bit Mach-O file (magic {magic:#x})")
            return
        if filetype != MH_EXECUTE:
            self.fail(f"file type {filetype}, not an executable (MH_EXECUTE)")
        if not flags & MH_PIE:
            self.fail("not position-independent (no MH_PIE flag)")
        minimum, signature, symtab, offset = None, None, None, 32
        for _ in range(ncmds):
            cmd, size = struct.unpack_from("<2I", data, offset)
            if cmd == LC_BUILD_VERSION:
                platform, minos = struct.unpack_from("<2I", data, offset + 8)
                if platform != PLATFORM_MACOS:
                    self.fail(f"built for platform {platform}, not macOS")
                minimum = version(minos)
            elif cmd == LC_VERSION_MIN_MACOSX:
                minimum = version(struct.unpack_from("<I", data, offset + 8)[0])
            elif cmd in DYLIB_COMMANDS:
                path = c_string(data, offset + struct.unpack_from("<I", data, offset + 8)[0])
                print(f"{self.name}: {DYLIB_COMMANDS[cmd]} {path}")
                if not path.startswith("/usr/lib/"):
                    self.fail(f"loads {path}, which is not a system library under /usr/lib")
            elif cmd == LC_CODE_SIGNATURE:
                signature = struct.unpack_from("<2I", data, offset + 8)
            elif cmd == LC_SYMTAB:
                symtab = struct.unpack_from("<4I", data, offset + 8)
            offset += size
        if minimum is None:
            self.fail("no LC_BUILD_VERSION or LC_VERSION_MIN_MACOSX: no minimum macOS")
        else:
            print(f"{self.name}: executable, PIE, minimum macOS {'.'.join(map(str, minimum))}")
            if minimum > MACOS_NEWEST_MINIMUM:
                self.fail(f"needs macOS {minimum}, newer than {MACOS_NEWEST_MINIMUM}")
        self.check_encoder(symtab, encoder)
        if signature:
            self.check_signature(*signature)
        elif self.name == "arm64":
            self.fail("no code signature (LC_CODE_SIGNATURE), which arm64 macOS requires")

    def check_encoder(self, symtab, encoder):
        if symtab is None:
            self.fail("no symbol table: the encoder cannot be told")
            return
        symoff, nsyms, stroff, _ = symtab
        names = [c_string(self.data, stroff + struct.unpack_from("<I", self.data, symoff + 16 * i)[0])
                 for i in range(nsyms)]
        # encodeLines<E>, mangled: the encoder's name, length first, as its template argument.
        used = {e for e in ENCODERS for n in names
                if n.startswith("__ZN6mksrec8encoding11encodeLinesI") and f"{len(e)}{e}E" in n}
        print(f"{self.name}: encodeLines<> made for {', '.join(sorted(used)) or 'no encoder'}")
        if used != {encoder}:
            self.fail(f"the encoder should be {encoder} alone")

    def check_signature(self, dataoff, datasize):
        data = self.data
        if dataoff + datasize > len(data):
            self.fail("the code signature runs past the end of the slice")
            return
        blob = data[dataoff:dataoff + datasize]
        magic, _, count = struct.unpack_from(">3I", blob)
        if magic != CSMAGIC_EMBEDDED_SIGNATURE:
            self.fail(f"the code signature is not a SuperBlob (magic {magic:#x})")
            return
        slots = dict(struct.unpack_from(">2I", blob, 12 + 8 * i) for i in range(count))
        if CSSLOT_CODEDIRECTORY not in slots:
            self.fail("the code signature holds no CodeDirectory")
            return
        at = slots[CSSLOT_CODEDIRECTORY]
        (magic, _, cd_version, cd_flags, hash_offset, _, special_slots, code_slots, code_limit,
         hash_size, hash_type, _, page_shift) = struct.unpack_from(">9I4B", blob, at)
        if magic != CSMAGIC_CODEDIRECTORY or hash_type not in HASHES:
            self.fail(f"not a CodeDirectory with a known hash (magic {magic:#x}, type {hash_type})")
            return
        algorithm, size = HASHES[hash_type]
        if hash_size != size:
            self.fail(f"hash size {hash_size}, where {algorithm} gives {size}")
            return
        # A page size of 0 means one page: everything up to the limit.
        page = 1 << page_shift if page_shift else code_limit
        print(f"{self.name}: CodeDirectory version {cd_version:#x}, flags {cd_flags:#x}, {algorithm}, "
              f"{code_slots} pages of {page} bytes up to {code_limit}, the signature at {dataoff}")
        if code_limit != dataoff:
            self.fail(f"the signature covers {code_limit} bytes, not all {dataoff} before it")
        if code_slots != -(-code_limit // page):
            self.fail(f"{code_slots} page hashes for {code_limit} bytes of {page}-byte pages")
        directory = blob[at:]

        def digest(piece):
            return hashlib.new(algorithm, piece).digest()[:size]

        bad = [i for i in range(code_slots)
               if digest(data[i * page:min((i + 1) * page, code_limit)])
               != directory[hash_offset + i * size:hash_offset + (i + 1) * size]]
        # Special slot n (the requirements, entitlements...) hashes the blob in slot n, or is
        # zeros where there is none; it sits n hashes before the first page's.
        for n in range(1, special_slots + 1):
            stored = directory[hash_offset - n * size:hash_offset - (n - 1) * size]
            if n in slots:
                length = struct.unpack_from(">I", blob, slots[n] + 4)[0]
                expected = digest(blob[slots[n]:slots[n] + length])
            else:
                expected = bytes(size)
            if stored != expected:
                self.fail(f"the hash of special slot {n} does not match")
        if bad:
            self.fail(f"{len(bad)} of {code_slots} page hashes do not match, first page {bad[0]} "
                      f"(bytes {bad[0] * page} to {min((bad[0] + 1) * page, code_limit)})")
        else:
            print(f"{self.name}: all {code_slots} page hashes and {special_slots} special slots match")


def main(path):
    with open(path, "rb") as file:
        data = file.read()
    magic, count = struct.unpack_from(">2I", data)
    if magic != FAT_MAGIC:
        print(f"FAIL: {path}: not a universal file (magic {magic:#x})")
        return 1
    failures, seen = [], []
    for i in range(count):
        cputype, _, offset, size, _ = struct.unpack_from(">5I", data, 8 + 20 * i)
        if cputype not in SLICES:
            failures.append(f"a slice for CPU type {cputype:#x}, neither arm64 nor x86_64")
            continue
        name, encoder = SLICES[cputype]
        seen.append(name)
        piece = Slice(name, data[offset:offset + size])
        # A slice's own CPU type must agree with the universal header's.
        if struct.unpack_from("<I", piece.data, 4)[0] != cputype:
            piece.fail("its Mach-O header names another processor than the universal header")
        piece.check(encoder)
        failures += piece.failures
    if sorted(seen) != ["arm64", "x86_64"]:
        failures.append(f"slices {seen}, not one arm64 and one x86_64")
    for failure in failures:
        print(f"FAIL: {path}: {failure}")
    if failures:
        return 1
    print(f"{path}: arm64 and x86_64 slices as the macOS download needs")
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1]))
