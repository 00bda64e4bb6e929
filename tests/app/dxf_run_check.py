"""An independent reader's view of what vekhost run writes into DXF drawings.

    dxf_run_check.py VEKHOST OUT_DIR

Makes a drawing of every version with ezdxf (a chain of lines and arcs with a
fillet drawn in its own coordinate system, a polyline with bulges, a 2-D
POLYLINE, a circle, entities that are left alone) and has vekhost convert it
in two runs: two decimal places in the standard pass, and inches to
millimetres at three places in the exploded pass with the palette's colour
and line type. ezdxf then reads every output: its audit finds no error or fix
the input did not have, every converted point lies on the grid, the fillet is
rebuilt between its lines with no gap, what was left alone holds the same
values, and $HANDSEED lies above every handle.

Run with Debian's own Python, where the python3-ezdxf package installs.
"""
import math
import os
import pathlib
import subprocess
import sys
from collections import Counter

import ezdxf

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "dxf"))
from ezdxf_check import audit_codes, handles_in, polyline_in_wcs  # noqa: E402

VERSIONS = ["R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"]
MIRRORED = {"extrusion": (0, 0, -1)}
CONVERTED = {"LINE", "ARC", "CIRCLE", "LWPOLYLINE", "POLYLINE"}
# Absolute, for drawings whose sizes are about 10: what the host's arithmetic
# leaves in values it computed.
CLOSE = 1e-9

RUNS = {
    "standard": {"d_point": 2, "inchmm": 0, "IsExploded": 0, "Color": 0},
    "exploded": {"d_point": 3, "inchmm": 1, "IsExploded": 1, "Color": 1,
                 "mColor1": "MAINCOLOR08", "mLType1": "LINETYPE09"},
}
# MAINCOLOR08 and the dashes of LINETYPE09's picture, a pixel a millimetre.
PALETTE_RGB = (0, 128, 255)
PALETTE_DASHES = [26, -5, 6, -5]


def make_drawing(version, path):
    doc = ezdxf.new(version)
    msp = doc.modelspace()
    chain = {"layer": "Chain"}
    msp.add_line((0.0031, 0), (8.0042, 0), dxfattribs=chain)
    # The fillet seen from below: its own x axis is the world's -x.
    msp.add_arc((-8.0042, 2), 2, 180, 270, dxfattribs={**chain, **MIRRORED})
    msp.add_line((10.0042, 6.0013), (10.0042, 2), dxfattribs=chain)  # drawn the other way
    bulged = [(20, 0, 0), (24.0037, 0, math.tan(math.pi / 8)), (26.0037, 2, 0),
              (26.0037, 6.0021, -0.5), (20.0012, 6.0021, 0)]
    if version == "R12":
        msp.add_polyline2d(bulged, format="xyb", close=True, dxfattribs={"layer": "Walls"})
    else:
        msp.add_lwpolyline(bulged, format="xyb", close=True, dxfattribs={"layer": "Walls"})
    msp.add_polyline2d([(0, 10, 0), (3.0049, 10, 1), (5.0049, 10, 0)], format="xyb")
    msp.add_circle((40.0049, 3.0004, 1.5), 1.23456)
    msp.add_text("left alone", dxfattribs={"insert": (0, -5)})
    msp.add_polyline3d([(0, 0, 0), (1.0003, 1, 1)])
    doc.layout("Layout1").add_line((0.0001, 0), (1, 1))
    doc.saveas(path)


def run(vekhost, source, output, settings, registry):
    args = [vekhost, "run", str(source), "--ref", "0,0", "-o", str(output)]
    for name, value in settings.items():
        args += ["--set", f"{name}={value}"]
    env = dict(os.environ, TARNEX_REGISTRY_FILE=str(registry))
    done = subprocess.run(args, capture_output=True, text=True, env=env)
    assert done.returncode == 0, f"{source}: vekhost failed\n{done.stdout}{done.stderr}"
    # The fillet, drawn seen from below, joins its lines into one figure.
    assert "1 chain of 3 lines and arcs" in done.stdout, done.stdout


def on_grid(value, step):
    return abs(value / step - round(value / step)) < 1e-6


def points_of(e):
    """The points of a converted entity that the conversion puts on the grid,
    in world coordinates."""
    kind = e.dxftype()
    if kind == "LINE":
        return [e.dxf.start, e.dxf.end]
    if kind == "CIRCLE":
        return [e.ocs().to_wcs(e.dxf.center)]
    if kind in ("LWPOLYLINE", "POLYLINE"):
        vertices, _ = polyline_in_wcs(e)
        return [(x, y) for x, y, _, _ in vertices]
    return []


def arc_ends(e):
    start, end = e.start_point, e.end_point
    if e.dxf.extrusion.z < 0:
        start, end = end, start
    return start, end


def close(a, b):
    return all(math.isclose(x, y, rel_tol=0, abs_tol=CLOSE) for x, y in zip(a, b))


def left_alone(doc):
    """What the conversion leaves alone: everything but model space's
    lines, arcs, circles and 2-D polylines."""
    kept = []
    for layout in doc.layouts:
        for e in layout:
            flat = not (e.dxftype() == "POLYLINE" and e.is_3d_polyline)
            if layout.is_modelspace and e.dxftype() in CONVERTED and flat:
                continue
            attribs = e.dxfattribs()
            if doc.dxfversion == "AC1009":
                del attribs["owner"]  # not in the file: ezdxf makes its own for R12
            kept.append((layout.name, e.dxftype(), sorted(attribs.items(), key=str)))
    return kept


def check(name, source, output, settings):
    before, after = ezdxf.readfile(source), ezdxf.readfile(output)
    errors_before, fixes_before = audit_codes(before)
    errors, fixes = audit_codes(after)
    assert not errors - errors_before, f"{name}: new audit errors {errors - errors_before}"
    assert not fixes - fixes_before, f"{name}: new audit fixes {fixes - fixes_before}"
    assert left_alone(before) == left_alone(after), f"{name}: an entity left alone changed"
    seed, handles = handles_in(output)
    assert seed is None or seed > max(handles), f"{name}: $HANDSEED {seed:X}"

    exploded = settings["IsExploded"] == 1
    step = 10.0 ** -settings["d_point"]
    msp = after.modelspace()
    converted = [e for e in msp if e.dxftype() in CONVERTED
                 and not (e.dxftype() == "POLYLINE" and e.is_3d_polyline)]
    kinds = Counter(e.dxftype() for e in converted)
    if exploded:
        assert set(kinds) <= {"LINE", "ARC", "CIRCLE"}, f"{name}: {kinds}"
        assert kinds["LINE"] == 6 and kinds["ARC"] == 4, f"{name}: {kinds}"
    else:
        assert kinds == Counter(e.dxftype() for e in before.modelspace()
                                if e.dxftype() in CONVERTED) - Counter({"POLYLINE": 1}), kinds
    for e in converted:
        for p in points_of(e):
            assert on_grid(p[0], step) and on_grid(p[1], step), f"{name}: {e} at {p}"
        if e.dxftype() == "CIRCLE":
            assert on_grid(e.dxf.radius, step), f"{name}: radius {e.dxf.radius}"
            assert math.isclose(e.ocs().to_wcs(e.dxf.center).z, 1.5), f"{name}: circle's z"
        if settings["Color"] == 1:
            assert e.dxf.linetype == "TARNEX_LINETYPE09", f"{name}: {e.dxf.linetype}"
            assert ezdxf.colors.aci2rgb(e.dxf.color) == (0, 127, 255), f"{name}: {e.dxf.color}"
            wanted = ezdxf.colors.rgb2int(PALETTE_RGB) if after.dxfversion >= "AC1018" else None
            assert e.dxf.get("true_color") == wanted, f"{name}: {e.dxf.get('true_color')}"
    if settings["Color"] == 1:
        tags = after.linetypes.get("TARNEX_LINETYPE09").pattern_tags.tags
        dashes = [t.value for t in tags if t.code == 49]
        assert dashes == PALETTE_DASHES, f"{name}: {dashes}"

    # The fillet's ends are its lines' ends: no gap opened where they met.
    lines = [e for e in msp.query("LINE[layer=='Chain']")]
    arcs = [e for e in msp.query("ARC[layer=='Chain']")]
    ends = [p for e in lines for p in (e.dxf.start, e.dxf.end)]
    for arc in arcs:
        for p in arc_ends(arc):
            assert any(close(p, q) for q in ends), f"{name}: arc end {p} meets no line"
    if not exploded:
        assert close(lines[0].dxf.end, (8, 0)) and close(lines[1].dxf.end, (10, 2)), name
        assert close(arcs[0].ocs().to_wcs(arcs[0].dxf.center), (8, 2, 0)), name
    print(f"{name}: {sum(kinds.values())} converted entities checked")


def main():
    vekhost, out_dir = sys.argv[1], pathlib.Path(sys.argv[2])
    out_dir.mkdir(parents=True, exist_ok=True)
    for version in VERSIONS:
        source = out_dir / f"drawing_{version}.dxf"
        make_drawing(version, source)
        for run_name, settings in RUNS.items():
            output = out_dir / f"drawing_{version}.{run_name}.dxf"
            run(vekhost, source, output, settings, out_dir / "registry.txt")
            check(f"{version} {run_name}", source, output, settings)


if __name__ == "__main__":
    main()
