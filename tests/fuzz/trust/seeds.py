#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets in this folder into their
corpus folders (corpus-<target>/seed-*), each made here by hand: the layout
of every input is the one its target in TrustTargets.h or SetupCheckTargets.h
reads. Run once; run.sh merges what the fuzzer finds on top."""
import os
import struct
import zlib

here = os.path.dirname(os.path.abspath(__file__))


def put(target, name, data):
    folder = os.path.join(here, "corpus-" + target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "seed-" + name), "wb") as f:
        f.write(data)


# The stub's file: mode byte, then sizes and CRC (bit 0), made to tile (bit 1).
payload = b"MZ stub" + bytes(range(256)) * 3
put("StubFileOf", "made", bytes([3]) + struct.pack("<4I", 7, 300, 0, 0) + payload)
put("StubFileOf", "made-bad-crc", bytes([7]) + struct.pack("<4I", 7, 300, 0, 0) + payload)
fields = struct.pack("<5I", 7, 300, 307, len(payload) - 307, zlib.crc32(payload[7:]))
trailer = fields[:20] + struct.pack("<I", zlib.crc32(fields[:20])) + b"QVSFX\r\n\x1a"
put("StubFileOf", "raw", bytes([0]) + payload + trailer)

# The uninstall data file: mode byte (bit 0 Windows 98, bit 1 the removal run), then the file.
data = (b"Demo 1.0\r\nC:\\Program Files\\Demo\r\nC:\\Program Files\\Demo\\demo.exe\r\n"
        b"C:\\Program Files\\Demo\\sub\\..\\demo.exe\r\nC:\\WINDOWS\\SYSTEM32\\shared.dll\r\n"
        b"C:\\Documents and Settings\\u\\Start Menu\\Programs\\Demo\\Demo.lnk\r\n"
        b"+C:\\Documents and Settings\\u\\Start Menu\\Programs\\Demo\r\n\r\n:reg\r\n"
        b"HKEY_LOCAL_MACHINE\r\nSoftware\\Demo\r\n:\r\n:\r\nHKEY_CLASSES_ROOT\r\n.dem\r\n\r\nDemoFile\r\n:\r\n")
put("UninstallDataOf", "xp-run", bytes([2]) + data)
put("UninstallDataOf", "98-run", bytes([3]) + data)
put("UninstallDataOf", "windows-folder",
    bytes([2]) + b"Demo\r\nC:\\WINDOWS\\Fonts\\..\r\nC:\\WINDOWS\\win.ini\r\nC:\\PROGRA~1\\x\r\n\r\n")

# Pending replacements: mode byte (bit 0 Windows 98, bit 1 WININIT.INI, bit 2 the list,
# bits 3-4 its type, bit 5 the destination in use), then WININIT.INI, the list and the name.
wininit = b"[Rename]\r\nNUL=C:\\WINDOWS\\SYSTEM\\OLD.DLL\r\nC:\\WINDOWS\\SYSTEM\\DEMO.DLL=C:\\WINDOWS\\SYSTEM\\DEMO.MCC\r\n[other]\r\nx=y\r\n"
put("PendingRenamesOf", "98", bytes([0x23]) + wininit + b"\xfe\xfedemo.dll")
pending = b"\\??\\C:\\WINDOWS\\SYSTEM\\demo.MCC\0!\\??\\C:\\WINDOWS\\SYSTEM\\demo.dll\0\\??\\C:\\gone.txt\0\0\0"
put("PendingRenamesOf", "nt", bytes([0x24]) + b"\xfe" + pending + b"\xfedemo.dll")
put("PendingRenamesOf", "nt-other", bytes([0x04]) + b"\xfe" + pending + b"\xfeother.dll")

# setup.lst: mode byte (bit 0 code page 932), then the list.
put("ListNamesOf", "parts",
    b"\0:EXTRA\r\nreadme.txt\r\nsub\\notes.txt\r\n:\r\n:PACKAGE\r\nPACKAGE.001\r\nPACKAGE.002\r\nPACKAGE.zip\r\n:\r\n")
put("ListNamesOf", "names-932", b"\x01:PACKAGE\r\n\x83\\\\part.001\r\n.\\part.002\r\n..\\x\r\n:\r\n")


# A 32-bit PE image with an export table naming the names.
def pe(names):
    text_rva, raw = 0x1000, 0x200
    section = bytearray(0x200)
    directory = 40
    table = directory + 40
    strings = table + 4 * len(names)
    pos = strings
    pointers = []
    for n in names:
        pointers.append(text_rva + pos)
        section[pos:pos + len(n) + 1] = n + b"\0"
        pos += len(n) + 1
    struct.pack_into("<IIHHIIIIIII", section, directory, 0, 0, 0, 0, 0, 1, len(names), len(names),
                     0, text_rva + table, 0)
    for i, p in enumerate(pointers):
        struct.pack_into("<I", section, table + 4 * i, p)
    dos = bytearray(0x40)
    dos[0:2] = b"MZ"
    struct.pack_into("<I", dos, 0x3C, 0x40)
    coff = struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 224, 0x2102)
    optional = bytearray(224)
    struct.pack_into("<H", optional, 0, 0x10B)
    struct.pack_into("<II", optional, 96, text_rva + directory, 40 + 4 * len(names))
    head = bytes(dos) + b"PE\0\0" + coff + bytes(optional)
    sec = struct.pack("<8sIIIIIIHHI", b".edata", 0x200, text_rva, 0x200, raw, 0, 0, 0, 0, 0x40000040)
    image = head + sec
    image += bytes(raw - len(image))
    return image + bytes(section)


put("PeExportsOf", "exports", pe([b"DoSetup", b"DllRegisterServer", b"x"]))
put("PeExportsOf", "none", pe([]))

# The packer's folder: mode byte, then entries of kind, name, NUL, length and content.
def entry(kind, name, content):
    return bytes([kind]) + name + b"\0" + bytes([len(content)]) + content
put("PackedFolderOf", "plain", bytes([0x02]) + entry(0, b"tiny", b"tiny text\r\n") + entry(1, b"readme", b"read me"))
put("PackedFolderOf", "disks-360k", bytes([0x06]) + entry(0xF0, b"big", bytes(range(250))) + entry(0xF0, b"big2", b"x" * 250))
put("PackedFolderOf", "single-file", bytes([0x42]) + entry(0, b"one", b"1"))
put("PackedFolderOf", "wild", bytes([0x10]) + entry(2, b"sub", b"") + entry(3, b"link", b"setup.exe")
    + entry(0, "caf\u00e9.txt".encode(), b"caf\xe9"))
