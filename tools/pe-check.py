#!/usr/bin/env python3
"""Checks T_Prismora.aex as After Effects sees it.

    tools/pe-check.py T_Prismora.aex T_Prismora.pipl

A 64-bit Windows DLL that exports exactly EffectMain (code) and
NvOptimusEnablementCuda (writable data holding 1), carries the PiPL as
resource type PIPL, id 16000, language 1033 with the bytes of the built
.pipl file, and imports only DLLs that every Windows system has. Prints one
line per check and exits 1 when any fails. Standard library only.
"""

import struct
import sys

MACHINE_AMD64 = 0x8664
FILE_DLL = 0x2000
SCN_CNT_CODE = 0x00000020
SCN_CNT_INITIALIZED_DATA = 0x00000040
SCN_MEM_EXECUTE = 0x20000000
SCN_MEM_WRITE = 0x80000000
DIR_EXPORT, DIR_IMPORT, DIR_RESOURCE = 0, 1, 2

PIPL_TYPE, PIPL_ID, PIPL_LANGUAGE = "PIPL", 16000, 1033
EXPORTS = {"EffectMain": "code", "NvOptimusEnablementCuda": "data"}
# The C runtime and the core system libraries, present on every Windows.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
               "msvcrt.dll", "ucrtbase.dll", "vcruntime140.dll", "vcruntime140_1.dll",
               "msvcp140.dll", "bcrypt.dll", "ntdll.dll", "ws2_32.dll"}


class PEError(Exception):
    pass


class Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PEError("not an MZ executable")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise PEError("no PE signature")
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        if struct.unpack_from("<H", data, optional)[0] != 0x20B:
            raise PEError("not a PE32+ (64-bit) image")
        count = struct.unpack_from("<I", data, optional + 108)[0]
        self.directories = [struct.unpack_from("<II", data, optional + 112 + 8 * i)
                            for i in range(count)]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            name, vsize, rva, raw_size, raw_ptr = struct.unpack_from("<8sIIII", data, table + 40 * i)
            flags = struct.unpack_from("<I", data, table + 40 * i + 36)[0]
            self.sections.append((name.rstrip(b"\0").decode(), rva, max(vsize, raw_size), raw_ptr, flags))

    def section_of(self, rva):
        for section in self.sections:
            if section[1] <= rva < section[1] + section[2]:
                return section
        raise PEError(f"RVA {rva:#x} lies in no section")

    def offset(self, rva):
        _, start, _, raw_ptr, _ = self.section_of(rva)
        return raw_ptr + rva - start

    def u16(self, rva):
        return struct.unpack_from("<H", self.data, self.offset(rva))[0]

    def u32(self, rva):
        return struct.unpack_from("<I", self.data, self.offset(rva))[0]

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def directory(self, index):
        rva, size = self.directories[index] if index < len(self.directories) else (0, 0)
        return rva if size else None


def exports(image):
    base = image.directory(DIR_EXPORT)
    if base is None:
        return {}
    names, name_table, ordinal_table = image.u32(base + 24), image.u32(base + 32), image.u32(base + 36)
    function_table = image.u32(base + 28)
    found = {}
    for i in range(names):
        name = image.cstring(image.u32(name_table + 4 * i))
        ordinal = image.u16(ordinal_table + 2 * i)
        found[name] = image.u32(function_table + 4 * ordinal)
    return found


def imports(image):
    base = image.directory(DIR_IMPORT)
    names = []
    while base is not None:
        name_rva = image.u32(base + 12)
        if name_rva == 0:
            break
        names.append(image.cstring(name_rva))
        base += 20
    return names


def resources(image):
    """{(type, id, language): bytes}; names as strings, numbers as ints."""
    root = image.directory(DIR_RESOURCE)
    if root is None:
        return {}

    def entries(directory):
        named, numbered = image.u16(root + directory + 12), image.u16(root + directory + 14)
        for i in range(named + numbered):
            key, target = struct.unpack_from("<II", image.data, image.offset(root + directory + 16 + 8 * i))
            if key & 0x80000000:
                at = root + (key & 0x7FFFFFFF)
                length = image.u16(at)
                start = image.offset(at + 2)
                key = image.data[start:start + 2 * length].decode("utf-16-le")
            yield key, target

    found = {}
    for kind, kind_dir in entries(0):
        for ident, ident_dir in entries(kind_dir & 0x7FFFFFFF):
            for language, leaf in entries(ident_dir & 0x7FFFFFFF):
                data_rva, size = struct.unpack_from("<II", image.data, image.offset(root + leaf))
                start = image.offset(data_rva)
                found[(kind, ident, language)] = image.data[start:start + size]
    return found


def check(aex_path, pipl_path):
    with open(aex_path, "rb") as f:
        image = Image(f.read())
    with open(pipl_path, "rb") as f:
        pipl = f.read()
    results = []

    def report(ok, text):
        results.append(ok)
        print(("ok    " if ok else "FAIL  ") + text)

    report(image.machine == MACHINE_AMD64 and image.characteristics & FILE_DLL,
           f"x64 DLL (machine {image.machine:#06x}, characteristics {image.characteristics:#06x})")

    found = exports(image)
    report(set(found) == set(EXPORTS), "exports exactly " + ", ".join(sorted(EXPORTS)) +
           f" (found: {', '.join(sorted(found)) or 'none'})")
    for name, kind in EXPORTS.items():
        if name not in found:
            continue
        section, _, _, _, flags = image.section_of(found[name])
        if kind == "code":
            ok = flags & SCN_CNT_CODE and flags & SCN_MEM_EXECUTE
            report(ok, f"{name} is code (section {section}, flags {flags:#010x})")
        else:
            value = image.u32(found[name])
            ok = (flags & SCN_CNT_INITIALIZED_DATA and flags & SCN_MEM_WRITE
                  and not flags & SCN_MEM_EXECUTE and value == 1)
            report(ok, f"{name} is writable data holding 1 (section {section}, flags {flags:#010x}, "
                       f"value {value})")

    resource = resources(image).get((PIPL_TYPE, PIPL_ID, PIPL_LANGUAGE))
    if resource is None:
        listed = ", ".join(f"{k}/{i}/{l}" for k, i, l in resources(image)) or "none"
        report(False, f"resource {PIPL_TYPE}/{PIPL_ID}/{PIPL_LANGUAGE} present (found: {listed})")
    else:
        report(resource == pipl, f"resource {PIPL_TYPE}/{PIPL_ID}/{PIPL_LANGUAGE}: {len(resource)} bytes, "
                                 f"{'equal to' if resource == pipl else 'DIFFERENT from'} "
                                 f"{pipl_path} ({len(pipl)} bytes)")

    dlls = imports(image)
    foreign = [d for d in dlls if d.lower() not in SYSTEM_DLLS and not d.lower().startswith("api-ms-win-")]
    report(not foreign, "imports only system DLLs (" + ", ".join(dlls) + ")" +
           (f"; not system: {', '.join(foreign)}" if foreign else ""))
    return all(results)


def main(argv):
    if len(argv) != 3:
        print("usage: pe-check.py T_Prismora.aex T_Prismora.pipl", file=sys.stderr)
        return 2
    try:
        return 0 if check(argv[1], argv[2]) else 1
    except (OSError, PEError, struct.error, ValueError) as e:
        print(f"FAIL  {argv[1]}: {e}")
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
