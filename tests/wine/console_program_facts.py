#!/usr/bin/env python3
"""What a Windows program says of itself in its file, read without running it: its subsystem (2 a
window, 3 a console), the libraries it imports, the rights its manifest asks for, the manifest's
version, and its version resource's numbers and texts. One "name value" line each, for the test
scripts to compare.
Usage: console_program_facts.py PROGRAM"""
import re
import struct
import sys


def imports(data, pe):
    """The names of the libraries in the import table, in its order."""
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    table = struct.unpack_from("<I", data, directories + 8)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    first = optional + struct.unpack_from("<H", data, pe + 20)[0]

    def offset(rva):
        for n in range(sections):
            size, address, _, raw = struct.unpack_from("<IIII", data, first + 40 * n + 8)
            if address <= rva < address + max(size, 1):
                return rva - address + raw
        raise SystemExit("an address outside every section")

    at = offset(table) if table else None
    while at is not None:
        name = struct.unpack_from("<I", data, at + 12)[0]
        if name == 0:
            break
        start = offset(name)
        yield data[start:data.index(b"\0", start)].decode("ascii")
        at += 20


def facts(data):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit("not a PE file")
    # The optional header follows the 4-byte signature and the 20-byte file header; the subsystem
    # is at offset 68 in it, in both the 32-bit and the 64-bit layout.
    yield "subsystem", struct.unpack_from("<H", data, pe + 24 + 68)[0]
    for library in imports(data, pe):
        yield "import", library
    manifest = re.search(rb"<assembly\b.*?</assembly>", data, re.S)
    if manifest:
        text = manifest.group(0).decode("utf-8")
        level = re.search(r'requestedExecutionLevel\s+level="([^"]*)"', text)
        yield "level", level.group(1) if level else "-"
        identity = re.search(r'<assemblyIdentity\b[^>]*\bversion="([^"]*)"', text)
        yield "manifest-version", identity.group(1) if identity else "-"
    # VS_FIXEDFILEINFO starts with its signature, then the structure's version and the file's
    # version as two 32-bit numbers of two 16-bit halves each.
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    if fixed >= 0:
        ms, ls = struct.unpack_from("<II", data, fixed + 8)
        yield "file-version", "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    # The string table's values: a UTF-16 name, its NUL, padding to four bytes, the UTF-16 value.
    for name in ("FileVersion", "ProductVersion", "OriginalFilename"):
        key = (name + "\0").encode("utf-16-le")
        at = data.find(key)
        if at < 0:
            continue
        at += len(key)
        at += -at % 4
        end = at
        while data[end:end + 2] != b"\0\0":
            end += 2
        yield name, data[at:end].decode("utf-16-le")


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as program:
        for name, value in facts(program.read()):
            print(name, value)
