#!/usr/bin/python3
"""Writes tools/dxf/DxfTextTables.cpp, the tables behind DxfText: the code
pages of drawings before R2007, from the C library's iconv (glibc), and
Unicode simple case folding, from Python's own Unicode database.

The file is kept in the repository, so that every build (g++, mingw-w64,
emscripten) has the same tables whatever machine it is built on.

    text_tables.py > tools/dxf/DxfTextTables.cpp   write it
    text_tables.py --check tools/dxf/DxfTextTables.cpp

--check makes the tables again and compares them with the file, then
compares this machine's iconv with the Python codecs ezdxf reads drawings
with: they must differ exactly where they are known to (KNOWN_DIFFERENCES).
"""

import ctypes
import ctypes.util
import platform
import sys
import unicodedata

# The code pages and the names glibc's iconv knows them by, in the order of
# dxf::CodePage after Utf8.
PAGES = [
    ("Cp874", "CP874"), ("Cp932", "CP932"), ("Cp936", "CP936"),
    ("Cp949", "CP949"), ("Cp950", "CP950"), ("Cp1250", "CP1250"),
    ("Cp1251", "CP1251"), ("Cp1252", "CP1252"), ("Cp1253", "CP1253"),
    ("Cp1254", "CP1254"), ("Cp1255", "CP1255"), ("Cp1256", "CP1256"),
    ("Cp1257", "CP1257"), ("Cp1258", "CP1258"),
]
NONE = 0xFFFF  # no character: a lead byte, or bytes the page does not define

# Where glibc and the Python codecs ezdxf uses disagree, by page: single
# bytes, and pairs as (lead, first trail, last trail). glibc agrees with
# Windows (MultiByteToWideChar) on every character both define; Python maps
# a few undefined bytes of 932 to C1 and private-use characters, has no
# euro sign at 0x80 in its "gbk", and reads 950's C6A1..C8FE as the ETEN
# extensions instead of Windows' private-use characters.
KNOWN_DIFFERENCES = {
    "Cp932": ([0x80, 0xA0, 0xFD, 0xFE, 0xFF], []),
    "Cp936": ([0x80], []),
    "Cp950": ([0x80], [(0xC6, 0xA1, 0xFE), (0xC7, 0x00, 0xFF), (0xC8, 0x00, 0xFF)]),
}

_libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
_libc.iconv_open.restype = ctypes.c_void_p
_libc.iconv_open.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
_libc.iconv.restype = ctypes.c_size_t
_libc.iconv.argtypes = [ctypes.c_void_p] + [ctypes.c_void_p] * 4
_libc.iconv_close.argtypes = [ctypes.c_void_p]
_FAILED = ctypes.c_size_t(-1).value


class Iconv:
    """One iconv descriptor from a code page to UTF-32LE."""

    def __init__(self, name):
        self.cd = _libc.iconv_open(b"UTF-32LE", name.encode())
        if self.cd in (None, _FAILED):
            sys.exit(f"iconv does not know {name}")

    def decode(self, data):
        """The characters `data` is, or None when iconv refuses it."""
        _libc.iconv(self.cd, None, None, None, None)  # initial state
        source = ctypes.create_string_buffer(data, len(data))
        target = ctypes.create_string_buffer(64)
        src = ctypes.c_void_p(ctypes.addressof(source))
        src_left = ctypes.c_size_t(len(data))
        dst = ctypes.c_void_p(ctypes.addressof(target))
        dst_left = ctypes.c_size_t(64)
        args = [ctypes.byref(src), ctypes.byref(src_left), ctypes.byref(dst), ctypes.byref(dst_left)]
        if _libc.iconv(self.cd, *args) == _FAILED or src_left.value != 0:
            return None
        # CP1255 and CP1258 hold a character back to combine it: flush it.
        if _libc.iconv(self.cd, None, None, args[2], args[3]) == _FAILED:
            return None
        return target.raw[: 64 - dst_left.value].decode("utf-32-le")

    def close(self):
        _libc.iconv_close(self.cd)


def one_character(text):
    return ord(text) if text is not None and len(text) == 1 else None


def page_table(iconv_name):
    """(high, leads): the character of each byte 0x80..0xFF or None, and for
    each lead byte its {trail: character}."""
    iconv = Iconv(iconv_name)
    for b in range(0x80):
        if iconv.decode(bytes([b])) != chr(b):
            sys.exit(f"{iconv_name}: byte {b:#04x} is not ASCII")
    high = [one_character(iconv.decode(bytes([b]))) for b in range(0x80, 0x100)]
    leads = {}
    for lead in range(0x81, 0xFF):
        if high[lead - 0x80] is not None:
            continue
        row = {}
        for trail in range(0x100):
            c = one_character(iconv.decode(bytes([lead, trail])))
            if c is not None:
                row[trail] = c
        if row:
            leads[lead] = row
    iconv.close()
    for c in high + [c for row in leads.values() for c in row.values()]:
        if c is not None and not (0x80 <= c < 0xD800 or 0xE000 <= c < NONE):
            sys.exit(f"{iconv_name}: U+{c:04X} cannot stand in a table")
    if any(trail < 0x40 for row in leads.values() for trail in row):
        sys.exit(f"{iconv_name}: a trail byte below 0x40")
    return high, leads


def fold_runs():
    """Unicode simple case folding as runs (first, last, stride, delta):
    every stride-th character from first to last folds to itself + delta."""
    fold = {}
    for cp in range(0x110000):
        if 0xD800 <= cp < 0xE000:
            continue
        c = chr(cp)
        # The full folding where it is one character, else the lower case
        # where that is (U+1E9E, the title-case Greek with ypogegrammeni).
        f = c.casefold()
        if len(f) != 1:
            f = c.lower()
        if len(f) == 1 and f != c:
            fold[cp] = ord(f)
    runs = []
    keys = sorted(fold)
    i = 0
    while i < len(keys):
        first = keys[i]
        delta = fold[first] - first
        stride = None
        j = i
        while j + 1 < len(keys):
            step = keys[j + 1] - keys[j]
            if fold[keys[j + 1]] - keys[j + 1] != delta or step > 2 or stride not in (None, step):
                break
            stride = step
            j += 1
        runs.append((first, keys[j], stride or 1, delta))
        i = j + 1
    return runs


def literal_char(c):
    if c is None:
        return "\\uFFFF"
    ch = chr(c)
    if not ch.isprintable() or unicodedata.category(ch)[0] in "MZ" or ch in "\"\\?":
        return f"\\u{c:04X}"
    return ch


def literal(chars, indent):
    """A u"" literal of `chars`, 32 characters a line."""
    lines = []
    for k in range(0, len(chars), 32):
        lines.append(indent + 'u"' + "".join(literal_char(c) for c in chars[k : k + 32]) + '"')
    return "\n".join(lines)


def generate():
    glibc = "glibc " + platform.libc_ver()[1]
    out = [
        "// Generated by tools/dxf/text_tables.py from the iconv of " + glibc + " and",
        "// the Unicode " + unicodedata.unidata_version + " database of Python "
        + platform.python_version() + ". Do not edit; the native",
        "// tests dxf.TextTables (every byte and pair against iconv) and",
        "// dxf.text_tables_current (this file against the script) check it.",
        "// clang-format off",
        '#include "tools/dxf/DxfTextTables.h"',
        "",
        "namespace dxf::tables {",
        "",
    ]
    for name, iconv_name in PAGES:
        high, leads = page_table(iconv_name)
        out.append(f"// {iconv_name}: bytes 0x80..0xFF.")
        out.append(f"static const char16_t k{name}High[] =")
        out.append(literal(high, "    ") + ";")
        if leads:
            out.append(f"// {iconv_name}: the trail bytes of each lead byte 0x80..0xFF.")
            out.append(f"static const LeadRow k{name}Leads[128] = {{")
            for lead in range(0x80, 0x100):
                row = leads.get(lead)
                if row is None:
                    out.append(f"    {{}},  // {lead:02X}")
                    continue
                first, last = min(row), max(row)
                chars = [row.get(t) for t in range(first, last + 1)]
                out.append(f"    {{0x{first:02X}, 0x{last:02X},  // {lead:02X}")
                out.append(literal(chars, "     ") + "},")
            out.append("};")
        leads_name = f"k{name}Leads" if leads else "nullptr"
        out.append(f"const CodePageTable k{name} = {{k{name}High, {leads_name}}};")
        out.append("")
    runs = fold_runs()
    out.append("// Simple case folding: {first, last, stride, delta}.")
    out.append(f"const FoldRun kFoldRuns[{len(runs)}] = {{")
    for first, last, stride, delta in runs:
        out.append(f"    {{0x{first:04X}, 0x{last:04X}, {stride}, {delta}}},")
    out.append("};")
    out.append(f"const std::size_t kFoldRunCount = {len(runs)};")
    out.append("")
    out.append("}  // namespace dxf::tables")
    return "\n".join(out) + "\n"


def python_differences(name, iconv_name, codec):
    """Single bytes and pairs where iconv and the Python codec disagree."""
    high, leads = page_table(iconv_name)
    singles, pairs = [], []

    def python(data):
        try:
            return one_character(data.decode(codec))
        except UnicodeDecodeError:
            return None

    for b in range(0x80, 0x100):
        if high[b - 0x80] != python(bytes([b])):
            singles.append(b)
    for lead in range(0x81, 0xFF):
        if high[lead - 0x80] is not None or python(bytes([lead])) is not None:
            continue
        row = leads.get(lead, {})
        for trail in range(0x100):
            if row.get(trail) != python(bytes([lead, trail])):
                pairs.append((lead, trail))
    return singles, pairs


def check(path):
    with open(path, encoding="utf-8") as f:
        committed = f.read()
    made = generate()
    ok = True
    if committed != made:
        old, new = committed.splitlines(), made.splitlines()
        at = next((k for k in range(min(len(old), len(new))) if old[k] != new[k]), min(len(old), len(new)))
        print(f"{path} is not what text_tables.py makes now (first difference at line {at + 1});")
        print("  in the file: " + (old[at] if at < len(old) else "(end)"))
        print("  made now:    " + (new[at] if at < len(new) else "(end)"))
        ok = False
    from ezdxf.tools.codepage import codepage_to_encoding

    for name, iconv_name in PAGES:
        codec = codepage_to_encoding[name[2:]]
        singles, pairs = python_differences(name, iconv_name, codec)
        known_singles, known_ranges = KNOWN_DIFFERENCES.get(name, ([], []))
        known = {(lead, t) for lead, low, high in known_ranges for t in range(low, high + 1)}
        unexpected = [p for p in pairs if p not in known]
        stale = [r for r in known_ranges if not any(p[0] == r[0] for p in pairs)]
        if singles != known_singles or unexpected or stale:
            print(f"{iconv_name} and Python's {codec} differ at single bytes "
                  f"{[hex(b) for b in singles]} (known: {[hex(b) for b in known_singles]}), "
                  f"at pairs not known to differ ({', '.join(f'{l:02X}{t:02X}' for l, t in unexpected[:8])}) "
                  f"and no longer in {stale}")
            ok = False
    return ok


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "--check":
        sys.exit(0 if check(sys.argv[2]) else 1)
    if len(sys.argv) != 1:
        sys.exit(__doc__)
    sys.stdout.write(generate())
