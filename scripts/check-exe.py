#!/usr/bin/env python3
"""Checks a built Pagewren.exe without running it: the version resource carries the project
version and the product texts, the embedded manifest names the exe's own processor, no
section is both writable and executable, the import tables read through, the stripped image
stays within a size budget, and the linker map shows no piece of the C++ runtime, the threads
library or the unwinder linked in.
"""
import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile

MACHINES = {0x14C: "x86", 0x8664: "amd64"}
# Archives of the runtimes the program must not carry, as the linker map names their members.
RUNTIME_MEMBER = re.compile(r"lib(stdc\+\+|supc\+\+|gcc_eh|pthread|winpthread|unwind)\.a\(([^)]*)\)")
TEXT_FIELDS = ("Comments", "CompanyName", "FileDescription", "InternalName",
               "OriginalFilename", "ProductName")


def machine_of(image):
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    return MACHINES.get(struct.unpack_from("<H", image, pe + 4)[0], "unknown")


def fixed_version(image):
    """The file and product versions of VS_FIXEDFILEINFO, as dotted texts."""
    at = image.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None, None
    file_ms, file_ls, prod_ms, prod_ls = struct.unpack_from("<4I", image, at + 8)
    dotted = lambda ms, ls: "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
    return dotted(file_ms, file_ls), dotted(prod_ms, prod_ls)


def string_value(image, name):
    """A StringFileInfo value: the UTF-16 key, padding to 32 bits, the UTF-16 text."""
    key = (name + "\0").encode("utf-16-le")
    at = image.find(key)
    if at < 0:
        return None
    at += len(key)
    at += (4 - at % 4) % 4
    end = at
    while image[end:end + 2] != b"\0\0":
        end += 2
    return image[at:end].decode("utf-16-le")


def sections(image):
    """(name, RVA, virtual size, raw size, file offset, flags) of each section header."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    count, optional = struct.unpack_from("<H12xH", image, pe + 6)
    table = pe + 24 + optional
    found = []
    for at in range(table, table + 40 * count, 40):
        virtual, rva, raw, offset, flags = struct.unpack_from("<IIII12xI", image, at + 8)
        found.append((image[at:at + 8].rstrip(b"\0").decode(), rva, virtual, raw, offset, flags))
    return found


def import_problems(image):
    """What is wrong with the import tables: each descriptor's name table and address table
    must hold the same entries, named imports only, every address slot inside the address
    table directory.
    """
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    word = 8 if struct.unpack_from("<H", image, pe + 24)[0] == 0x20B else 4
    directories = pe + 24 + (112 if word == 8 else 96)
    imports, _ = struct.unpack_from("<II", image, directories + 8)
    iat, iat_size = struct.unpack_from("<II", image, directories + 12 * 8)
    table = sections(image)

    def offset(rva):
        for _, start, virtual, raw, at, _ in table:
            if start <= rva < start + min(virtual, raw):
                return at + rva - start
        raise ValueError("RVA %#x lies in no section's file data" % rva)

    found, names = [], 0
    try:
        at = offset(imports) if imports else None
        while at is not None:
            lookup, _, _, _, slots = struct.unpack_from("<5I", image, at)
            if not (lookup or slots):
                break
            for n in range(1 << 16):
                entry = image[offset(lookup) + n * word:][:word]
                if entry != image[offset(slots) + n * word:][:word]:
                    found.append("import name and address tables differ at %#x" % (slots + n * word))
                if not iat <= slots + n * word < iat + iat_size:
                    found.append("import address slot %#x outside its directory" % (slots + n * word))
                if found or entry == bytes(word):
                    break
                if entry[-1] & 0x80:
                    found.append("import by ordinal at %#x" % (slots + n * word))
                names += 1
            at += 20
    except ValueError as error:
        found.append(str(error))
    if not names:
        found.append("no imports found through the import directory")
    return found


def stripped_size(exe, strip):
    with tempfile.TemporaryDirectory() as work:
        copy = os.path.join(work, "stripped.exe")
        subprocess.run([strip, "--strip-all", "-o", copy, exe], check=True)
        return os.path.getsize(copy)


def runtime_members(map_file):
    """The members of forbidden runtime archives that the link took in."""
    return sorted(set("lib%s.a(%s)" % m.groups() for m in RUNTIME_MEMBER.finditer(open(map_file).read())))


def problems(exe, version, max_kib, strip, map_file):
    image = open(exe, "rb").read()
    found = []
    file_version, product_version = fixed_version(image)
    if (file_version, product_version) != (version, version):
        found.append("fixed version %s/%s, expected %s" % (file_version, product_version, version))
    for field in ("FileVersion", "ProductVersion"):
        if string_value(image, field) != version:
            found.append("%s is %r, expected %r" % (field, string_value(image, field), version))
    for field in TEXT_FIELDS:
        if string_value(image, field) != "Pagewren":
            found.append("%s is %r, expected 'Pagewren'" % (field, string_value(image, field)))
    arch = machine_of(image)
    manifest_archs = set(re.findall(rb'processorArchitecture="([^"]*)"', image))
    if manifest_archs != {arch.encode()}:
        found.append("manifest asks for %s in a %s image" % (sorted(manifest_archs), arch))
    for name, _, _, _, _, flags in sections(image):
        if flags & 0x80000000 and flags & 0x20000000:
            found.append("section %s is writable and executable" % name)
    found += import_problems(image)
    size = stripped_size(exe, strip)
    print("%s: %s, stripped %d bytes (%.1f KiB, budget %d KiB)" % (exe, arch, size, size / 1024, max_kib))
    if size > max_kib * 1024:
        found.append("stripped image of %d bytes is over %d KiB" % (size, max_kib))
    for member in runtime_members(map_file):
        found.append("links %s" % member)
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("exe")
    parser.add_argument("--version", required=True)
    parser.add_argument("--max-kib", type=int, required=True)
    parser.add_argument("--strip", default="strip")
    parser.add_argument("--map", required=True, help="the linker map of the exe")
    args = parser.parse_args()
    found = problems(args.exe, args.version, args.max_kib, args.strip, args.map)
    for problem in found:
        print(problem)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
