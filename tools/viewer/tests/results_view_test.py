"""Stored results in quilm-view's outputs: a small frame solved by
quilm-export --solve, then every analysis' VTU (listed by the .pvd) compared
with the result rows read straight from the model file with sqlite3, and the
page showing an analysis deformed in headless Chromium.

Usage: results_view_test.py --view QUILM_VIEW --export QUILM_EXPORT --frame-host FRAME_HOST
                            --work DIR [--chromium CHROMIUM]
"""
import argparse
import os
import shutil
import sqlite3
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

import meshio
import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
from browser_test import body_state, check  # noqa: E402

NODE_MOTION, NODE_REACTION, BEAM_FORCES = 1, 2, 3
MODE = 3  # the stored kind of an eigenmode


def stored_results(path):
    """[(kind, number, {quantity: {entity: values}})] in analysis id order."""
    db = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    analyses = []
    for aid, kind, number in db.execute("SELECT id, kind, number FROM result_analyses ORDER BY id"):
        values = {}
        for q, entity, blob in db.execute("SELECT quantity, entity, vals FROM result_values WHERE analysis = ?", (aid,)):
            values.setdefault(q, {})[entity] = struct.unpack(f"<{len(blob) // 8}d", blob)
        analyses.append((kind, number, values))
    return analyses


def check_page(args, model, analyses):
    """The page of the solved frame: analyses numbered from 1 as the tools
    number them, the caption, the legend reaching the largest node value,
    the loads of the load case asked for, picks by kind and id, and mode
    shapes without a unit."""
    page = os.path.join(args.work, "frame.html")
    subprocess.run([args.view, model, "-o", page], check=True, stderr=subprocess.DEVNULL)
    db = sqlite3.connect(f"file:{model}?mode=ro", uri=True)
    shell = db.execute("SELECT min(id) FROM elements WHERE type = 24").fetchone()[0]
    node = db.execute("SELECT max(id) FROM nodes").fetchone()[0]

    state = body_state(args.chromium, page, f"analysis=2&colour=displacement&loads=2&pick=element:{shell}", args.work)
    motion = analyses[1][2][NODE_MOTION]
    largest = max(np.linalg.norm(v[:3]) for v in motion.values())
    check(state.get("state") == "ready" and state.get("analysis") == "2", f"page state {state}")
    check(np.isclose(float(state["max-displacement"]), largest, rtol=1e-6), f"largest displacement {state}")
    check(np.isclose(float(state["legend-max"]), largest, rtol=1e-5), f"legend ends below the peak {largest}: {state}")
    check(state.get("legend-units") == "m" and float(state["deformed-scale"]) > 0, f"legend {state}")
    check(state.get("load-case") == "2", f"loads drawn {state}")
    title = state.get("title", "")
    check(all(t in title for t in ("frame.qdb", "load case 2", "deformed ×", "loads of load case 2")), f"title {title!r}")
    check((state.get("picked-kind"), state.get("picked-id")) == ("element", str(shell)), f"pick of {shell}: {state}")

    mode = next(i for i, (kind, _, _) in enumerate(analyses) if kind == MODE)
    state = body_state(args.chromium, page, f"analysis={mode + 1}&colour=displacement&pick=node:{node}", args.work)
    check(state.get("legend-units") == "" and "Hz" in state.get("title", ""), f"mode shape legend and title {state}")
    check((state.get("picked-kind"), state.get("picked-id")) == ("node", str(node)), f"pick of node {node}: {state}")


def main():
    parser = argparse.ArgumentParser()
    for name in ("--view", "--export", "--frame-host", "--work"):
        parser.add_argument(name, required=True)
    parser.add_argument("--chromium")
    args = parser.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    model = os.path.join(args.work, "frame.qdb")
    subprocess.run([args.frame_host, "--bays", "2", "--storeys", "1", "--quiet", "--file", model], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run([args.export, model, "--equivalent-sections", "--solve", "--quiet", "--frequencies", "2", "-o",
                    os.path.join(args.work, "frame.inp")], check=True, stdout=subprocess.DEVNULL)
    analyses = stored_results(model)
    check(len(analyses) >= 3, f"expected load cases and modes stored, found {len(analyses)}")

    vtu = os.path.join(args.work, "frame.vtu")
    subprocess.run([args.view, model, "--vtu", vtu], check=True)
    files = [d.get("file") for d in ET.parse(os.path.join(args.work, "frame.pvd")).getroot().iter("DataSet")]
    check(len(files) == len(analyses), f"the collection lists {len(files)} of {len(analyses)} analyses")
    for (kind, number, values), name in zip(analyses, files):
        mesh = meshio.read(os.path.join(args.work, name))
        node_id = mesh.point_data["node_id"]
        motion = values.get(NODE_MOTION, {})
        u = mesh.point_data["displacement"]
        for p, n in enumerate(node_id):
            expected = motion[n][:3] if n in motion else (0, 0, 0)
            check(np.allclose(u[p], expected, rtol=0, atol=0), f"{name}: displacement of node {n}")
        if NODE_REACTION in values:
            reaction = mesh.point_data["reaction"]
            for p, n in enumerate(node_id):
                stored = values[NODE_REACTION].get(n)
                check(np.array_equal(reaction[p], stored, equal_nan=True) if stored else np.isnan(reaction[p]).all(),
                      f"{name}: reaction of node {n}")
        if BEAM_FORCES in values:
            element_id = np.concatenate(mesh.cell_data["element_id"])
            forces = np.concatenate(mesh.cell_data["section_force"])
            for c, e in enumerate(element_id):
                stored = values[BEAM_FORCES].get(e)
                check(np.array_equal(forces[c], stored[:12], equal_nan=True) if stored else np.isnan(forces[c]).all(),
                      f"{name}: section forces of element {e}")

    if args.chromium:
        check_page(args, model, analyses)
    print(f"ok: {len(analyses)} analyses")


if __name__ == "__main__":
    main()
