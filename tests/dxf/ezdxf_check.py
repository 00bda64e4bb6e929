"""An independent reader's view of edited drawings.

    ezdxf_check.py EDIT_TOOL OUT_DIR [DRAWING.dxf ...]

Makes a drawing of every version with ezdxf (lines, arcs, circles, polylines,
some mirrored by extrusion (0, 0, -1), and entities that are left alone), has
EDIT_TOOL edit each of them and the given real drawings, then reads every
output with ezdxf: its audit finds no error or fix the input did not have,
every edited or added entity holds the values EDIT_TOOL expects, every other
entity is still there and $HANDSEED lies above every handle.

Run with Debian's own Python, where the python3-ezdxf package installs.
"""
import json
import math
import pathlib
import subprocess
import sys
from collections import Counter

import ezdxf

VERSIONS = ["R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"]
MIRRORED = {"extrusion": (0, 0, -1)}
# Absolute tolerance in drawing units, for drawings whose sizes are about 10.
TOLERANCE = 1e-9


def make_base(version, path):
    doc = ezdxf.new(version)
    msp = doc.modelspace()
    msp.add_line((1, 2, 0.5), (4, 6, 0.5), dxfattribs={"layer": "Walls", "color": 3})
    msp.add_arc((1, 1), 2, 30, 120)
    msp.add_arc((5, 1, 0.75), 1.5, 300, 30, dxfattribs=MIRRORED)
    msp.add_circle((3, 4), 1.25)
    msp.add_circle((3, 4, 1), 1.25, dxfattribs=MIRRORED)
    points = [(0, 0, 0.5), (4, 0, 0), (4, 3, -1)]
    msp.add_polyline2d(points, format="xyb", close=True)
    msp.add_polyline2d(points, format="xyb", dxfattribs=MIRRORED)
    if version != "R12":
        msp.add_lwpolyline(points, format="xyb", close=True, dxfattribs={"elevation": 2.5})
        msp.add_lwpolyline(points, format="xyb", dxfattribs={**MIRRORED, "elevation": 1})
    msp.add_text("left alone")
    msp.add_polyline3d([(0, 0, 0), (1, 1, 1)])
    doc.layout("Layout1").add_line((0, 0), (1, 1))
    doc.saveas(path)


def audit_codes(doc):
    auditor = doc.audit()
    return Counter(e.code for e in auditor.errors), Counter(e.code for e in auditor.fixes)


def close(a, b):
    return all(math.isclose(x, y, rel_tol=0, abs_tol=TOLERANCE) for x, y in zip(a, b))


def polyline_in_wcs(e):
    """Vertices (x, y, z, bulge) seen from +Z: a mirrored polyline's bulges turn."""
    ocs = e.ocs()
    turn = -1 if e.dxf.extrusion.z < 0 else 1
    if e.dxftype() == "LWPOLYLINE":
        z = e.dxf.elevation
        vertices = [(x, y, b) for x, y, b in e.get_points("xyb")]
        closed = e.closed
    else:
        z = e.dxf.elevation.z
        vertices = [(v.dxf.location.x, v.dxf.location.y, v.dxf.bulge) for v in e.vertices]
        closed = e.is_closed
    return [(*ocs.to_wcs((x, y, z)), turn * b) for x, y, b in vertices], closed


def check_entity(doc, want):
    e = doc.entitydb.get(want["handle"])
    assert e is not None, f"no entity {want['handle']}"
    assert e.dxftype() == want["type"], f"{want['handle']} is a {e.dxftype()}"
    kind = want["type"]
    if kind == "LINE":
        assert close(e.dxf.start, want["start"]) and close(e.dxf.end, want["end"]), want
    elif kind == "ARC":
        assert close(e.ocs().to_wcs(e.dxf.center), want["center"]), want
        assert close([e.dxf.radius], [want["radius"]]), want
        # ezdxf's start is at the start angle in the arc's own coordinates:
        # seen from +Z, a mirrored arc runs from there backwards.
        start, end = e.start_point, e.end_point
        if e.dxf.extrusion.z < 0:
            start, end = end, start
        assert close(start, want["start_point"]), (start, want)
        assert close(end, want["end_point"]), (end, want)
    elif kind == "CIRCLE":
        assert close(e.ocs().to_wcs(e.dxf.center), want["center"]), want
        assert close([e.dxf.radius], [want["radius"]]), want
    else:
        vertices, closed = polyline_in_wcs(e)
        assert closed == want["closed"], want
        assert len(vertices) == len(want["points"]), (vertices, want)
        for got, expected in zip(vertices, want["points"]):
            assert close(got, expected), (got, expected, want["handle"])
    if "color" in want:
        assert e.dxf.color == want["color"], (e.dxf.color, want)
        assert e.dxf.linetype == want["linetype"], (e.dxf.linetype, want)
        assert e.dxf.get("true_color") == want["true_color"], (e.dxf.get("true_color"), want)
        assert doc.linetypes.has_entry(want["linetype"])


def handles_in(path):
    """$HANDSEED and every handle of the file, read from its pairs of lines
    (ezdxf gives R12 drawings objects of its own on loading)."""
    lines = pathlib.Path(path).read_bytes().decode("latin-1").splitlines()
    seed, handles, section, kind, found = None, set(), None, None, False
    for code, value in zip(lines[0::2], lines[1::2]):
        code, value = int(code), value.strip()
        if code == 0:
            section = "" if value == "SECTION" else section
            kind, found = value, False
        elif code == 2 and section == "":
            section = value
        elif code == 5 and section == "HEADER":
            seed = int(value, 16)
        elif code == (105 if kind == "DIMSTYLE" else 5) and not found:
            handles.add(int(value, 16))
            found = True
    return seed, handles


def check(tool, source, out_dir):
    name = pathlib.Path(source).stem
    output, expected_path = out_dir / f"{name}.out.dxf", out_dir / f"{name}.json"
    subprocess.run([tool, str(source), str(output), str(expected_path)], check=True)
    before = ezdxf.readfile(source)
    errors_before, fixes_before = audit_codes(before)
    types_before = Counter(e.dxftype() for e in before.modelspace())
    after = ezdxf.readfile(output)
    errors, fixes = audit_codes(after)
    assert not errors - errors_before, f"{name}: new audit errors {errors - errors_before}"
    assert not fixes - fixes_before, f"{name}: new audit fixes {fixes - fixes_before}"
    expected = json.loads(expected_path.read_text())
    for want in expected:
        check_entity(after, want)
    _, handles_before = handles_in(source)
    added = Counter(w["type"] for w in expected if int(w["handle"], 16) not in handles_before)
    assert Counter(e.dxftype() for e in after.modelspace()) == types_before + added, name
    seed, handles = handles_in(output)
    assert seed is None or seed > max(handles), f"{name}: $HANDSEED {seed:X}"
    print(f"{name}: {len(expected)} entities checked, {sum(added.values())} added")


def main():
    tool, out_dir = sys.argv[1], pathlib.Path(sys.argv[2])
    out_dir.mkdir(parents=True, exist_ok=True)
    sources = []
    for version in VERSIONS:
        path = out_dir / f"base_{version}.dxf"
        make_base(version, path)
        sources.append(path)
    sources += [pathlib.Path(p) for p in sys.argv[3:]]
    for source in sources:
        check(tool, source, out_dir)


if __name__ == "__main__":
    main()
