#!/usr/bin/python3
"""Reads the built Kestivo1.exe back: its version record, icon group and
manifest as Windows would find them, the DLLs it imports, and its ZIP
package.

    check_exe.py identity EXE ICO VERSION-TEXT MAJOR MINOR PATCH
    check_exe.py imports EXE
    check_exe.py package BUILD-DIR VERSION-TEXT
"""
import os
import struct
import subprocess
import sys
import tempfile
import zipfile

try:
    import pefile
except ImportError:
    sys.exit("check_exe.py: needs pefile (Debian package python3-pefile)")

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
failures = []


def expect(condition, what):
    if not condition:
        failures.append(what)


def resources(pe, kind):
    """{(id, language): bytes} of one resource type."""
    found = {}
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if t.id != kind:
            continue
        for entry in t.directory.entries:
            for lang in entry.directory.entries:
                d = lang.data.struct
                found[(entry.id, lang.id)] = pe.get_data(d.OffsetToData, d.Size)
    return found


def identity(exe, ico, text, major, minor, patch):
    pe = pefile.PE(exe)
    chinese = 0x0804

    # The version record: numbers, strings, translation, language.
    versions = resources(pe, RT_VERSION)
    expect(list(versions) == [(1, chinese)], f"one version record, id 1, Chinese (PRC): {list(versions)}")
    fixed = pe.VS_FIXEDFILEINFO[0]
    expect(fixed.Signature == 0xFEEF04BD, f"VS_FIXEDFILEINFO signature {fixed.Signature:#x}")
    number = (int(major) << 48) | (int(minor) << 32) | (int(patch) << 16)
    for field in ("FileVersion", "ProductVersion"):
        got = (getattr(fixed, field + "MS") << 32) | getattr(fixed, field + "LS")
        expect(got == number, f"{field} numbers {got:#x}, not {number:#x}")
    expect(fixed.FileType == 1 and fixed.FileOS == 4, "a Windows application")
    tables, translations = {}, []
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            for table in info.StringTable:
                tables[table.LangID] = {k.decode(): v.decode() for k, v in table.entries.items()}
        elif info.Key == b"VarFileInfo":
            for var in info.Var:
                translations.append(var.entry.get(b"Translation"))
    expect(list(tables) == [b"080404B0"], f"one string table, 080404B0: {list(tables)}")
    want = {"CompanyName": "Zorvelt", "FileVersion": text, "InternalName": "Kestivo1",
            "OriginalFilename": "Kestivo1.exe", "ProductName": "Kestivo1", "ProductVersion": text}
    expect(tables.get(b"080404B0") == want, f"strings {tables.get(b'080404B0')}")
    expect([t.decode() if isinstance(t, bytes) else t for t in translations] == ["0x0804 0x04b0"], f"translation {translations}")

    # The icon group: the generator's three images, each byte for byte.
    with open(ico, "rb") as f:
        icon_file = f.read()
    _, kind, count = struct.unpack_from("<HHH", icon_file)
    images = []
    for i in range(count):
        w, h, colours, _, planes, bits, size, offset = struct.unpack_from("<BBBBHHII", icon_file, 6 + 16 * i)
        images.append(((w, h, colours, planes, bits), icon_file[offset:offset + size]))
    groups = resources(pe, RT_GROUP_ICON)
    expect(list(groups) == [(1, chinese)], f"one icon group, id 1: {list(groups)}")
    icons = {k[0]: v for k, v in resources(pe, RT_ICON).items()}
    group = groups.get((1, chinese), b"\0" * 6)
    _, kind, n = struct.unpack_from("<HHH", group)
    expect(kind == 1 and n == 3, f"an icon group of three images, not {n}")
    shapes = []
    for i in range(n):
        w, h, colours, _, planes, bits, size, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        header = (w, h, colours, planes, bits)
        shapes.append((w, h, colours, bits))
        expect(i < len(images) and images[i] == (header, icons.get(ident)), f"image {i} is not the generator's")
    expect(shapes == [(32, 32, 2, 1), (32, 32, 16, 4), (16, 16, 16, 4)], f"images {shapes}")
    expect(len(icons) == 3, f"three icon images, not {len(icons)}")

    # The manifest: each screen's own scale, by Windows' lookup (id 1).
    manifests = resources(pe, RT_MANIFEST)
    expect([k[0] for k in manifests] == [1], f"one manifest, id 1: {list(manifests)}")
    text_ = next(iter(manifests.values()), b"").decode("utf-8", "replace")
    expect("<dpiAwareness" in text_ and "PerMonitorV2" in text_, "manifest asks for per-monitor v2")
    expect("true/pm" in text_, "manifest's fallback for older Windows")
    expect(pe.OPTIONAL_HEADER.Subsystem == 2, "a window program (subsystem GUI)")
    # Every resource in Chinese (PRC), as the program's texts are.
    for kind in (RT_ICON, RT_GROUP_ICON, RT_VERSION):
        others = [k for k in resources(pe, kind) if k[1] != chinese]
        expect(not others, f"resources of type {kind} not in Chinese (PRC): {others}")


# Windows' own DLLs: what every installation has.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "shell32.dll", "winmm.dll",
               "advapi32.dll", "ucrtbase.dll"}


def imports(exe):
    pe = pefile.PE(exe)
    dlls = sorted(e.dll.decode().lower() for e in pe.DIRECTORY_ENTRY_IMPORT)
    others = [d for d in dlls if d not in SYSTEM_DLLS and not d.startswith("api-ms-win-crt-")]
    expect(not others, f"imports DLLs that are not Windows' own: {others} (of {dlls})")
    expect("kernel32.dll" in dlls, f"imports {dlls}")


def package(build, text):
    name = f"Kestivo1-{text}-windows-x64"
    with tempfile.TemporaryDirectory(dir=build) as out:
        subprocess.run(["cpack", "-G", "ZIP", "-B", out], cwd=build, check=True, stdout=subprocess.DEVNULL)
        path = os.path.join(out, name + ".zip")
        expect(os.path.exists(path), f"no {name}.zip")
        if os.path.exists(path):
            with zipfile.ZipFile(path) as z:
                names = z.namelist()
                expect(names == [f"{name}/Kestivo1.exe"], f"package holds {names}")
                if names:
                    exe = pefile.PE(data=z.read(names[0]))
                    expect(exe.FILE_HEADER.Machine == 0x8664, "an x86-64 program")
                    expect(exe.FILE_HEADER.NumberOfSymbols == 0, "not stripped: it has a symbol table")


commands = {"identity": identity, "imports": imports, "package": package}
commands[sys.argv[1]](*sys.argv[2:])
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
