"""The real drawings of librecad-data converted by one command, as a user
converts many: `vekhost run A.dxf B.dxf ... --out-dir DIR -j 2` at the first
setting of dxf_corpus_run.

    dxf_corpus_many.py VEKHOST MANIFEST OUT_FOLDER CORPUS_FOLDER

Drawings of one name (in different folders) go to different commands, since
one command refuses two drawings of one name. Each drawing dxf_corpus_run
converted (MANIFEST) is written byte for byte as it wrote it, and each
drawing it refused is named as failed (exit status 1), with no other.
"""
import os
import shutil
import subprocess
import sys
import time

SETTING = "d2-standard"
SETS = ["d_point=2", "inchmm=0", "IsExploded=0", "Color=0"]


def batches(drawings):
    """Lists of drawings with no name twice in one list, in corpus order."""
    lists = []
    for drawing in drawings:
        name = os.path.basename(drawing).lower()
        for names in lists:
            if name not in names:
                names[name] = drawing
                break
        else:
            lists.append({name: drawing})
    return [list(names.values()) for names in lists]


def main():
    vekhost, manifest, out, corpus = sys.argv[1:5]
    expected = {}
    for line in open(manifest, encoding="utf-8"):
        setting, source, output = line.rstrip("\n").split("\t")
        if setting == SETTING:
            expected[source] = output
    drawings = sorted(
        os.path.join(folder, name)
        for folder, _, names in os.walk(corpus)
        for name in names
        if name.lower().endswith(".dxf"))
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    env = dict(os.environ, TARNEX_REGISTRY_FILE=os.path.join(out, "registry.txt"))
    faults = []
    started = time.monotonic()
    for k, batch in enumerate(batches(drawings)):
        folder = os.path.join(out, str(k))
        sets = [arg for value in SETS for arg in ("--set", value)]
        run = subprocess.run([vekhost, "run", *batch, "--ref", "0,0", *sets, "--out-dir", folder,
                              "-j", "2", "--report", folder + ".csv"],
                             env=env, capture_output=True, text=True, check=False)
        failed = {line.split(": ")[1] for line in run.stderr.splitlines()
                  if line.startswith("vekhost: ") and line.count(": ") >= 2} & set(batch)
        refused = {d for d in batch if d not in expected}
        if run.returncode != (1 if refused else 0):
            faults.append(f"batch {k}: exit status {run.returncode}: {run.stderr[-2000:]}")
        for drawing in sorted(failed ^ refused):
            faults.append(f"{drawing}: " + ("failed, converted alone" if drawing in failed
                                            else "refused alone, not named as failed"))
        for drawing in batch:
            if drawing in expected:
                written = os.path.join(folder, os.path.basename(drawing))
                with open(written, "rb") as a, open(expected[drawing], "rb") as b:
                    if a.read() != b.read():
                        faults.append(f"{drawing}: not the bytes of its run alone")
        print(f"batch {k}: {len(batch)} drawings, {len(failed)} failed, "
              f"{len(batch) - len(failed)} written")
    print(f"{len(drawings)} drawings in {time.monotonic() - started:.0f} s")
    for fault in faults:
        print(fault)
    sys.exit(1 if faults else 0)


if __name__ == "__main__":
    main()
