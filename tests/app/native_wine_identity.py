"""One drawing, one answer: the native vekhost and vekhost.exe under Wine
convert the same drawings into the same bytes.

    native_wine_identity.py NATIVE_VEKHOST WINDOWS_VEKHOST WORK_DIR [CORPUS_DIR]

Makes drawings with ezdxf from a seed (TARNEX_SEED repeats one; the default
is fixed): closed polylines of slanted lines and arcs (bulges of both signs,
half circles), chains of LINE and ARC entities with rounded corners and
chamfers, slots, lone arcs and circles, a 2-D POLYLINE in an R12 drawing.
Adds every 20th drawing of CORPUS_DIR (librecad-data) when it is there.
Each build converts each drawing, in a folder of its own, at three settings
(inches to millimetres at three places, standard and exploded with the
palette's colour; two places) with the report and the picture; every file
written, the exit status and the summary must be the same. Numbers in all
of them come from sines, arctangents and lengths: before the portable
functions, the C runtimes' last bits showed there.

The native build is the one scripts/test-all.sh makes first. Without it the
test is skipped (exit status 77) with a message, but fails when CI is set:
there a missing build is a broken run, not a choice.

Run with Debian's own Python, where the python3-ezdxf package installs; the
Windows program runs under `wine` with the environment CTest gives the test.
"""
import filecmp
import math
import os
import pathlib
import random
import shutil
import subprocess
import sys

import ezdxf

SKIPPED = 77
DEFAULT_SEED = 20261214
CORPUS_EVERY = 20

SETTINGS = {
    "inch-mm-3": ({"d_point": 3, "inchmm": 1, "IsExploded": 0, "Color": 0}, "1.25,-3.5"),
    "inch-mm-3-exploded": ({"d_point": 3, "inchmm": 1, "IsExploded": 1, "Color": 1,
                            "mColor1": "MAINCOLOR08", "mLType1": "LINETYPE09"}, "0,0"),
    "places-2": ({"d_point": 2, "inchmm": 0, "IsExploded": 0, "Color": 0}, "0.004,0.017"),
}
CORPUS_SETTINGS = list(SETTINGS)
# Written by a run besides its standard output.
FILES = ["out.dxf", "report.json", "picture.svg"]
# The settings every run writes, so that nothing carries over between runs.
ALL_SETTINGS = {"d_point": 0, "inchmm": 0, "IsExploded": 0, "Color": 0,
                "mColor1": "MAINCOLOR01", "mLType1": "LINETYPE01"}


def coordinate(rng, low, high):
    """A value as typed in inches: full precision, no round numbers."""
    return rng.uniform(low, high)


def polygon(rng, cx, cy, radius, count):
    """A convex polygon, counter-clockwise, of random slanted sides."""
    angles = sorted(rng.uniform(0, 2 * math.pi) for _ in range(count))
    return [(cx + radius * math.cos(a) * rng.uniform(0.8, 1.0),
             cy + radius * math.sin(a) * rng.uniform(0.8, 1.0)) for a in angles]


def add_outlines(msp, rng):
    """Closed LWPOLYLINEs: slanted lines and arcs bulging either way, some
    half circles (bulge 1)."""
    for k in range(6):
        points = polygon(rng, coordinate(rng, -60, 60), coordinate(rng, -60, 60),
                         rng.uniform(2, 12), rng.randint(3, 9))
        bulges = [rng.choice([0, 0, rng.uniform(-0.7, 0.7), 1, -0.25]) for _ in points]
        msp.add_lwpolyline([(x, y, b) for (x, y), b in zip(points, bulges)], format="xyb",
                           close=True, dxfattribs={"layer": f"Outline{k}"})
    # Open ones too.
    for k in range(3):
        x, y = coordinate(rng, -60, 60), coordinate(rng, -60, 60)
        vertices = []
        for _ in range(rng.randint(2, 7)):
            vertices.append((x, y, rng.choice([0, rng.uniform(-1.5, 1.5)])))
            x += rng.uniform(-5, 5)
            y += rng.uniform(-5, 5)
        msp.add_lwpolyline(vertices, format="xyb", dxfattribs={"layer": "Open"})


def add_rounded_chain(msp, rng, layer):
    """A closed chain of LINE and ARC entities: a convex polygon whose
    corners are rounded (tangent arcs) or cut (chamfer lines)."""
    corners = polygon(rng, coordinate(rng, -50, 50), coordinate(rng, -50, 50),
                      rng.uniform(6, 15), rng.randint(3, 7))
    n = len(corners)
    cuts = []  # per corner: where it leaves the side before and reaches the side after
    for i, p in enumerate(corners):
        a, b = corners[i - 1], corners[(i + 1) % n]
        u = (a[0] - p[0], a[1] - p[1])
        v = (b[0] - p[0], b[1] - p[1])
        lu, lv = math.hypot(*u), math.hypot(*v)
        u, v = (u[0] / lu, u[1] / lu), (v[0] / lv, v[1] / lv)
        half = math.acos(max(-1.0, min(1.0, u[0] * v[0] + u[1] * v[1]))) / 2
        setback = min(lu, lv) * rng.uniform(0.05, 0.3)
        t1 = (p[0] + u[0] * setback, p[1] + u[1] * setback)
        t2 = (p[0] + v[0] * setback, p[1] + v[1] * setback)
        if rng.random() < 0.7:
            # The fillet touching both sides at the setback.
            radius = setback * math.tan(half)
            bis = (u[0] + v[0], u[1] + v[1])
            lb = math.hypot(*bis)
            d = setback / math.cos(half)
            c = (p[0] + bis[0] / lb * d, p[1] + bis[1] / lb * d)
            start = math.degrees(math.atan2(t1[1] - c[1], t1[0] - c[0]))
            end = math.degrees(math.atan2(t2[1] - c[1], t2[0] - c[0]))
            msp.add_arc(c, radius, start % 360, end % 360, dxfattribs={"layer": layer})
        else:
            msp.add_line(t1, t2, dxfattribs={"layer": layer})
        cuts.append((t1, t2))
    for i in range(n):
        # The side from this corner's exit to the next corner's entry, some
        # drawn the other way.
        a, b = cuts[i][1], cuts[(i + 1) % n][0]
        if rng.random() < 0.3:
            a, b = b, a
        msp.add_line(a, b, dxfattribs={"layer": layer})


def add_slots_and_lone_arcs(msp, rng):
    """Slots (lines and half circles), lone arcs at any angles, circles."""
    for k in range(3):
        x, y = coordinate(rng, -40, 40), coordinate(rng, -40, 40)
        length, width = rng.uniform(2, 8), rng.uniform(0.5, 2)
        msp.add_lwpolyline([(x, y, 0), (x + length, y, 1), (x + length, y + width, 0),
                            (x, y + width, 1)], format="xyb", close=True,
                           dxfattribs={"layer": "Slots"})
    for k in range(6):
        start = rng.uniform(0, 360)
        sweep = rng.choice([rng.uniform(5, 350), 180.0, 90.0])
        msp.add_arc((coordinate(rng, -40, 40), coordinate(rng, -40, 40)), rng.uniform(0.3, 9),
                    start, (start + sweep) % 360, dxfattribs={"layer": f"Lone{k}"})
        msp.add_circle((coordinate(rng, -40, 40), coordinate(rng, -40, 40)),
                       rng.uniform(0.1, 5), dxfattribs={"layer": "Circles"})


def make_drawings(folder, seed):
    rng = random.Random(seed)
    drawings = []

    doc = ezdxf.new("R2000")
    add_outlines(doc.modelspace(), rng)
    drawings.append(("outlines", doc))

    doc = ezdxf.new("R2000")
    for k in range(5):
        add_rounded_chain(doc.modelspace(), rng, f"Chain{k}")
    drawings.append(("rounded-chains", doc))

    doc = ezdxf.new("R2013")
    add_slots_and_lone_arcs(doc.modelspace(), rng)
    drawings.append(("slots-lone-arcs", doc))

    doc = ezdxf.new("R12")
    msp = doc.modelspace()
    for k in range(4):
        points = polygon(rng, coordinate(rng, -30, 30), coordinate(rng, -30, 30),
                         rng.uniform(2, 9), rng.randint(3, 6))
        msp.add_polyline2d([(x, y, rng.choice([0, rng.uniform(-0.9, 0.9)])) for x, y in points],
                           format="xyb", close=True)
    add_rounded_chain(msp, rng, "Chain")
    drawings.append(("r12-polylines", doc))

    paths = []
    for name, doc in drawings:
        path = folder / f"{name}.dxf"
        doc.saveas(path)
        paths.append(path)
    return paths


def corpus_drawings(corpus):
    if not corpus or not corpus.is_dir():
        return []
    found = sorted(p for p in corpus.rglob("*") if p.suffix.lower() == ".dxf")
    return found[::CORPUS_EVERY]


def run(command, case, settings, reference, env):
    args = list(command) + ["run", "in.dxf", "--ref", reference, "-o", "out.dxf",
                            "--report", "report.json", "--svg", "picture.svg"]
    for name, value in {**ALL_SETTINGS, **settings}.items():
        args += ["--set", f"{name}={value}"]
    done = subprocess.run(args, cwd=case, capture_output=True, env=env, timeout=600)
    # Text written to the standard output gets CR LF line ends on Windows.
    return done.returncode, done.stdout.replace(b"\r\n", b"\n"), done.stderr


def compare(drawing, setting, work, native, windows):
    """Runs both builds on one drawing at one setting; a list of differences
    and whether the run converted the drawing."""
    settings, reference = SETTINGS[setting]
    outcomes = {}
    for build, (command, env) in {"native": native, "windows": windows}.items():
        case = work / build / f"{drawing.stem}.{setting}"
        shutil.rmtree(case, ignore_errors=True)
        case.mkdir(parents=True)
        shutil.copyfile(drawing, case / "in.dxf")
        outcomes[build] = (case, run(command, case, settings, reference, env))
    (native_case, (status, out, err)), (windows_case, (wstatus, wout, werr)) = (
        outcomes["native"], outcomes["windows"])
    differences = []
    if status != wstatus:
        # What each said on its error output tells a fault from a hiccup.
        said = {"native": err, "Wine": werr}
        told = "; ".join(f"{k} said: {v.decode(errors='replace').strip()[-300:]}"
                         for k, v in said.items() if v.strip())
        differences.append(f"exit status {status} natively, {wstatus} under Wine"
                           + (f" ({told})" if told else ""))
    if out != wout:
        differences.append("standard output differs")
    for name in FILES:
        a, b = native_case / name, windows_case / name
        if a.exists() != b.exists():
            differences.append(f"{name} written by one build only")
        elif a.exists() and not filecmp.cmp(a, b, shallow=False):
            differences.append(f"{name} differs")
    if status not in (0, 1):
        differences.append(f"native run failed ({status}): {err.decode(errors='replace')}")
    return differences, status == 0 and (native_case / "out.dxf").exists()


def main():
    native, windows, work = (pathlib.Path(a).absolute() for a in sys.argv[1:4])
    corpus = pathlib.Path(sys.argv[4]) if len(sys.argv) > 4 else None
    if not native.is_file():
        message = (f"no native vekhost at {native}: build the native preset first "
                   "(cmake --build --preset native --target vekhost Tarnex)")
        if os.environ.get("CI"):
            print(f"FAILED: {message}")
            return 1
        print(f"SKIPPED: {message}")
        return SKIPPED
    seed = int(os.environ.get("TARNEX_SEED", DEFAULT_SEED))
    work.mkdir(parents=True, exist_ok=True)
    drawings_dir = work / "drawings"
    shutil.rmtree(drawings_dir, ignore_errors=True)
    drawings_dir.mkdir()
    made = make_drawings(drawings_dir, seed)

    native_env = dict(os.environ, TARNEX_REGISTRY_FILE=str(work / "native-registry.txt"))
    windows_env = dict(os.environ)
    windows_env.pop("DISPLAY", None)
    builds = ((str(native),), native_env), (("wine", str(windows)), windows_env)

    failures, converted, runs = [], 0, 0
    cases = [(d, s) for d in made for s in SETTINGS]
    cases += [(d, s) for d in corpus_drawings(corpus) for s in CORPUS_SETTINGS]
    for drawing, setting in cases:
        differences, done = compare(drawing, setting, work, *builds)
        runs += 1
        converted += done
        folders = [work / build / f"{drawing.stem}.{setting}" for build in ("native", "windows")]
        if differences:
            failures.append(f"{drawing.name} at {setting}: " + "; ".join(differences))
        elif drawing in made and not done:
            failures.append(f"{drawing.name} at {setting}: not converted (see {folders[0]})")
        else:
            for folder in folders:  # only what failed is kept to look at
                shutil.rmtree(folder)
    print(f"seed {seed}: {runs} runs of each build ({len(made)} drawings made at "
          f"{len(SETTINGS)} settings, {runs - len(made) * len(SETTINGS)} runs of corpus "
          f"drawings), {converted} converted")
    for failure in failures:
        print(f"FAILED: {failure}")
    if failures:
        print(f"(TARNEX_SEED={seed} repeats the drawings; outputs are in {work})")
        return 1
    print(f"identical: {runs} runs")
    return 0


if __name__ == "__main__":
    sys.exit(main())
