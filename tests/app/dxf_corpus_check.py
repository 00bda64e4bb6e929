"""ezdxf's view of the real drawings vekhost converted (dxf_corpus_run).

    dxf_corpus_check.py MANIFEST

MANIFEST lists, a line each, the setting, the drawing and its converted
output, tab-separated. ezdxf reads every output, and its audit finds no
error or fix that the drawing did not already have.

Run with Debian's own Python, where the python3-ezdxf package installs.
"""
import sys
from collections import Counter

import ezdxf


def audit(path):
    auditor = ezdxf.readfile(path).audit()
    return Counter(e.code for e in auditor.errors), Counter(e.code for e in auditor.fixes)


def main():
    before = {}
    checked, faults, inputs_with_errors = Counter(), [], set()
    for line in open(sys.argv[1], encoding="utf-8"):
        setting, source, output = line.rstrip("\n").split("\t")
        if source not in before:
            before[source] = audit(source)
            if before[source][0]:
                inputs_with_errors.add(source)
        errors_before, fixes_before = before[source]
        try:
            errors, fixes = audit(output)
        except Exception as e:  # noqa: BLE001 - any failure to read is a fault
            faults.append(f"{setting}: {source}: ezdxf cannot read the output: {e}")
            continue
        if errors - errors_before or fixes - fixes_before:
            faults.append(f"{setting}: {source}: new audit errors {errors - errors_before}, "
                          f"fixes {fixes - fixes_before}")
        checked[setting] += 1
    for setting, count in checked.items():
        print(f"{setting}: {count} outputs read by ezdxf")
    print(f"{len(inputs_with_errors)} drawings had audit errors of their own (kept as they were)")
    for fault in faults:
        print(fault)
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
