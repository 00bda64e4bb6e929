"""ezdxf's reading of the DXF text decoding cases (tests/dxf/TextTest.cpp).

    text_check.py CASES.txt

Each line: $ACADVER, $DWGCODEPAGE (may be empty), the value's bytes and
our UTF-8 text in hexadecimal, and "same" or "other". ezdxf finds the
code page in the header as ezdxf.recover does, decodes the bytes in it
(U+FFFD for bytes no character) and reads \\U+XXXX escapes; its text must
be ours exactly where the case says "same", and differ where "other".

Run with Debian's own Python, where the python3-ezdxf package installs.
"""
import io
import sys

from ezdxf.lldxf.encoding import decode_dxf_unicode, has_dxf_unicode
from ezdxf.recover import bytes_loader, detect_encoding


def ezdxf_text(version, code_page, data):
    header = f"0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\n{version}\n"
    if code_page:
        header += f"9\n$DWGCODEPAGE\n3\n{code_page}\n"
    header += "0\nENDSEC\n0\nEOF\n"
    encoding = detect_encoding(bytes_loader(io.BytesIO(header.encode("ascii"))))
    text = data.decode(encoding, errors="replace")
    return decode_dxf_unicode(text) if has_dxf_unicode(text) else text


def main(path):
    faults = 0
    with open(path, encoding="ascii") as cases:
        for line in cases:
            version, code_page, data, ours, verdict = line.rstrip("\n").split("\t")
            ours = bytes.fromhex(ours).decode("utf-8")
            theirs = ezdxf_text(version, code_page, bytes.fromhex(data))
            if (theirs == ours) != (verdict == "same"):
                print(f"{version} {code_page or '(none)'} {data}: ezdxf {theirs!r}, "
                      f"ours {ours!r}, expected {verdict}")
                faults += 1
    return faults


if __name__ == "__main__":
    sys.exit(1 if main(sys.argv[1]) else 0)
