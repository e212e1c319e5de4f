#!/usr/bin/env python3
"""Checks of a shipped Windows binary that Wine cannot show.

  cpufloor.py floor BINARY MAP   every instruction of the code is one a 486 has
  cpufloor.py tls BINARY         the PE header has no thread-local-storage directory
  cpufloor.py unicode BINARY MAP every imported ...W function, with the functions that
                                 call it; fails on one that the 95 family has only as a
                                 failing stub

floor disassembles the code of the .text section and nothing else: the link
map (-Wl,-Map) tells which input sections are code, so the data the linker
places in .text (constructor lists, exception tables) is left out; it also
names the function and the object of every hit. An instruction at an address
no input section of the map covers is judged all the same and named
"(unplaced)". Exit code 1 on a finding or when no instruction was checked at
all, 2 on an input it cannot read.
"""
import bisect
import os
import re
import struct
import subprocess
import sys

# QV_OBJDUMP names another disassembler (one whose output this script cannot read
# must make the check fail, not pass).
OBJDUMP = os.environ.get("QV_OBJDUMP", "i686-w64-mingw32-objdump")

# Instructions a 486 does not have: conditional moves (Pentium Pro), the
# comparisons of the floating-point unit that set the flags (Pentium Pro),
# MMX/3DNow!/SSE and later, the long NOP (0F 1F), cmpxchg8b, rdtsc and cpuid
# (Pentium; cpuid also on late 486s, never used without a guard), and the
# system instructions of later processors.
ABOVE_486 = re.compile(
    r"^(cmov\w+|fcmov\w+|f(u)?comip?|cmpxchg8b|cmpxchg16b|rdtscp?|cpuid|rdpmc|rdrand|rdseed|xgetbv|"
    r"sysenter|sysexit|syscall|sysret|emms|femms|pf\w+|pi2f\w|pswapd|"
    r"fxsave\w*|fxrstor\w*|ldmxcsr|stmxcsr|prefetch\w*|movnt\w+|maskmov\w+|"
    r"[lsm]fence|clflush\w*|fisttp\w*|popcnt\w*|lzcnt\w*|tzcnt\w*|movbe\w*|crc32\w*)$")
# The long NOP (0F 1F) is the only NOP that takes an operand.
LONG_NOP = re.compile(r"^nop[wl]?\s+\S")
PREFIXES = ("lock", "rep", "repz", "repe", "repnz", "repne", "data16", "data32", "addr16", "addr32",
            "cs", "ds", "ss", "es", "fs", "gs")
# Any operand in an MMX or SSE/AVX register.
VECTOR_REG = re.compile(r"%[xyz]?mm\d")

LINE = re.compile(r"^\s*([0-9a-f]+):\s+((?:[0-9a-f]{2} )+)\s*(.*)$")


def fail_input(message):
    print(message)
    sys.exit(2)


def pe_header(path):
    """(image base, [(name, virtual address, virtual size)], data directories)."""
    with open(path, "rb") as f:
        data = f.read(4096)
    if data[:2] != b"MZ":
        fail_input(f"{path}: not a Windows binary")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        fail_input(f"{path}: no PE header")
    sections, optional_size = struct.unpack_from("<HxxxxxxxxxxxxH", data, pe + 6)
    opt = pe + 24
    if struct.unpack_from("<H", data, opt)[0] != 0x10B:
        fail_input(f"{path}: not a 32-bit image")
    image_base = struct.unpack_from("<I", data, opt + 28)[0]
    count = struct.unpack_from("<I", data, opt + 92)[0]
    directories = [struct.unpack_from("<II", data, opt + 96 + 8 * i) for i in range(min(count, 16))]
    table = []
    for i in range(sections):
        name, vsize, va = struct.unpack_from("<8sII", data, opt + optional_size + 40 * i)
        table.append((name.rstrip(b"\0").decode("latin-1"), image_base + va, vsize))
    return image_base, table, directories


def read_map(path):
    """The .text output section of a link map: its address and size, its input
    sections (address, size, name, object) and its symbols (address, name)."""
    try:
        lines = open(path, encoding="utf-8", errors="replace").read().splitlines()
    except OSError as e:
        fail_input(f"{path}: {e}")
    start = size = None
    inputs, symbols = [], []
    pending = None  # an input section whose name stands alone on its line
    inside = False
    for line in lines:
        if not inside:
            m = re.match(r"^\.text\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)", line)
            if m:
                inside = True
                start, size = int(m.group(1), 16), int(m.group(2), 16)
            continue
        if re.match(r"^\.\S", line):
            break  # the next output section
        m = re.match(r"^ (\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(.+)$", line)
        if m:
            inputs.append((int(m.group(2), 16), int(m.group(3), 16), m.group(1), m.group(4)))
            pending = None
            continue
        m = re.match(r"^ (\.\S+)$", line)
        if m:
            pending = m.group(1)
            continue
        m = re.match(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(/.+|\S+\.o.*)$", line)
        if m and pending:
            inputs.append((int(m.group(1), 16), int(m.group(2), 16), pending, m.group(3)))
            pending = None
            continue
        m = re.match(r"^\s+0x([0-9a-f]+)\s{2,}(\S.*)$", line)
        if m and not re.match(r"^0x[0-9a-f]+\s", m.group(2)) and "=" not in m.group(2):
            symbols.append((int(m.group(1), 16), m.group(2).strip()))
    if start is None:
        fail_input(f"{path}: no .text section in the map")
    return start, size, sorted(inputs), sorted(symbols)


def is_code(section_name):
    return re.match(r"^\.(text|init|fini)([.$]|$)", section_name) is not None


def short_object(obj):
    return re.sub(r"^.*/", "", obj)


def code_locator(binary, map_path):
    """A function from an address of the binary's code to (function, object),
    None for data the linker placed in .text."""
    _, sections, _ = pe_header(binary)
    text = [s for s in sections if s[0] == ".text"]
    if not text:
        fail_input(f"{binary}: no .text section")
    _, text_start, text_size = text[0]
    map_start, map_size, inputs, symbols = read_map(map_path)
    # The map must be the one of this very link.
    if map_start != text_start or not (text_size <= map_size < text_size + 0x1000):
        fail_input(f"{binary}: {map_path} is not this binary's map (.text at {map_start:#x}+{map_size:#x}, "
                   f"the binary's at {text_start:#x}+{text_size:#x})")
    placed = [(a, a + n, name, obj) for a, n, name, obj in inputs if n]
    if not any(is_code(p[2]) for p in placed):
        fail_input(f"{map_path}: no code sections")
    placed_starts = [p[0] for p in placed]
    symbol_addresses = [s[0] for s in symbols]

    def where(address):
        """(function, object) of the code at the address; None for data the
        linker placed in .text; ("(unplaced)", "unknown") where the map
        places nothing."""
        i = bisect.bisect_right(placed_starts, address) - 1
        # Input sections do not overlap; a zero-size one was dropped above.
        if i < 0 or address >= placed[i][1]:
            return "(unplaced)", "unknown"
        start, _, name, obj = placed[i]
        if not is_code(name):
            return None
        j = bisect.bisect_right(symbol_addresses, address) - 1
        if j >= 0 and symbols[j][0] >= start:
            function = symbols[j][1]
        elif "$" in name or name.count(".") > 1:
            function = re.sub(r"^\.text(\.unlikely|\.startup|\.hot)?[.$]", "", name)
        else:
            function = f"(a local function at {address - start:#x} in {name})"
        return function, short_object(obj)

    return where


def disassembly(binary):
    out = subprocess.run([OBJDUMP, "-d", "-w", "-j", ".text", binary],
                         capture_output=True, text=True)
    if out.returncode != 0:
        fail_input(f"{binary}: {out.stderr.strip()}")
    return out.stdout


def check_floor(binary, map_path):
    where = code_locator(binary, map_path)
    hits = []
    checked = unplaced = 0
    for line in disassembly(binary).splitlines():
        m = LINE.match(line)
        if not m or not m.group(3):
            continue
        address = int(m.group(1), 16)
        place = where(address)
        if place is None:
            continue
        checked += 1
        unplaced += place[0] == "(unplaced)"
        instruction = re.sub(r"\s+", " ", m.group(3).split("#")[0].strip())
        instruction_body = instruction
        while instruction_body.split(" ")[0] in PREFIXES and " " in instruction_body:
            instruction_body = instruction_body.split(" ", 1)[1]
        if ABOVE_486.match(instruction_body.split(" ")[0]) or LONG_NOP.match(instruction_body) \
                or VECTOR_REG.search(instruction_body):
            hits.append((address, instruction, *place))
    name = re.sub(r"^.*/", "", binary)
    for address, instruction, function, obj in hits:
        print(f"{name}: {address:#010x} {instruction} in {function} [{obj}]")
    print(f"{name}: {checked} instructions in code ({unplaced} where the map places nothing), "
          f"{len(hits)} above the 486")
    if checked == 0:
        print(f"{name}: no instruction was checked; the disassembly or the map is not what it should be")
        return 1
    return 1 if hits else 0


def check_tls(binary):
    _, _, directories = pe_header(binary)
    name = re.sub(r"^.*/", "", binary)
    if len(directories) > 9 and directories[9] != (0, 0):
        print(f"{name}: has a thread-local-storage directory (at {directories[9][0]:#x}, "
              f"{directories[9][1]} bytes); LoadLibrary of the first Windows 95 refuses it")
        return 1
    print(f"{name}: no thread-local-storage directory")
    return 0


# The Unicode functions that the 95 family implements; every other ...W export
# of its DLLs is a stub that fails.
UNICODE_ON_95 = {"ExtTextOutW", "GetCharWidthW", "GetCharWidth32W", "GetTextExtentExPointW",
                 "GetTextExtentPointW", "GetTextExtentPoint32W", "MessageBoxW", "MessageBoxExW",
                 "TextOutW", "lstrlenW"}


def imports(binary):
    """[(dll, name, address of its slot in the import address table)]."""
    image_base, _, _ = pe_header(binary)
    out = subprocess.run([OBJDUMP, "-p", binary], capture_output=True, text=True)
    if out.returncode != 0:
        fail_input(f"{binary}: {out.stderr.strip()}")
    found, dll, slot, last_row = [], None, 0, None
    for line in out.stdout.splitlines():
        row = re.match(r"^ ([0-9a-f]{8})\t([0-9a-f]{8}) ([0-9a-f]{8}) ([0-9a-f]{8}) ([0-9a-f]{8}) ([0-9a-f]{8})$", line)
        if row:
            last_row = row
            continue
        m = re.match(r"^\tDLL Name: (\S+)$", line)
        if m:
            dll = m.group(1)
            slot = image_base + int(last_row.group(6), 16) if last_row else 0
            continue
        m = re.match(r"^\t([0-9a-f]+)\s+\d+\s+(\S+)$", line)
        if m and dll:
            found.append((dll, m.group(2), slot))
            slot += 4
    return found


def check_unicode(binary, map_path):
    # Without a map ("-") a caller is named by its address.
    where = code_locator(binary, map_path) if map_path != "-" else lambda address: (f"{address:#x}", "")
    wide = [(dll, name, slot) for dll, name, slot in imports(binary) if re.match(r"^[A-Za-z_]\w*[a-z0-9]W$", name)]
    callers = {slot: set() for _, _, slot in wide}
    if wide:
        for line in disassembly(binary).splitlines():
            m = LINE.match(line)
            if not m:
                continue
            for ref in re.findall(r"0x([0-9a-f]+)", m.group(3)):
                if int(ref, 16) in callers:
                    place = where(int(m.group(1), 16))
                    callers[int(ref, 16)].add(place[0] if place else "(data)")
    name = re.sub(r"^.*/", "", binary)
    stubs = 0
    for dll, function, slot in wide:
        works = function in UNICODE_ON_95
        stubs += not works
        print(f"{name}: imports {dll} {function}, called from {', '.join(sorted(callers[slot])) or 'nowhere'}"
              f"{'' if works else ' (a failing stub on the 95 family)'}")
    print(f"{name}: {len(wide)} Unicode imports, {stubs} failing on the 95 family")
    return 1 if stubs else 0


def main(argv):
    if len(argv) == 4 and argv[1] == "floor":
        return check_floor(argv[2], argv[3])
    if len(argv) == 4 and argv[1] == "unicode":
        return check_unicode(argv[2], argv[3])
    if len(argv) == 3 and argv[1] == "tls":
        return check_tls(argv[2])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
