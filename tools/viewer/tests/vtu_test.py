"""quilm-view --vtu, read back by meshio and compared with the model file
read directly with sqlite3 (an oracle independent of the tool's C++ reader).

Usage: vtu_test.py --view QUILM_VIEW --frame-host FRAME_HOST --work DIR
"""
import argparse
import os
import shutil
import sqlite3
import struct
import subprocess
import sys

import meshio
import numpy as np

VTK_TYPE = {15: "line", 23: "line3", 24: "quad", 25: "triangle", 1: "vertex"}
NODES_PER_TYPE = {15: 2, 23: 3, 24: 4, 25: 3, 1: 1}


def doubles(blob):
    return struct.unpack(f"<{len(blob) // 8}d", blob) if blob else ()


def check(condition, message):
    if not condition:
        sys.exit("FAIL: " + message)


def read_model(path):
    db = sqlite3.connect(f"file:{path}?mode=ro", uri=True)
    nodes = {i: doubles(p) for i, p in db.execute("SELECT id, position FROM nodes")}
    elements = {}
    for row in db.execute("SELECT id, type, n0, n1, n2, n3, section, material, eccentricity FROM elements"):
        eid, etype = row[0], row[1]
        elements[eid] = dict(type=etype, nodes=list(row[2:2 + NODES_PER_TYPE[etype]]), section=row[6],
                             material=row[7], eccentricity=row[8])
    thickness = {i: doubles(t)[0] for i, t in db.execute("SELECT id, thickness FROM sections") if t}
    eccentricities = {i: doubles(v) for i, v in db.execute("SELECT id, vector FROM eccentricities")}
    supports, masses = {}, {}
    for node, boundary, mass in db.execute("SELECT node, boundary, masses FROM node_properties"):
        if boundary:
            supports[node] = doubles(boundary)
        m = np.array(doubles(mass)).reshape(-1, 6)
        if len(m):
            masses[node] = m.sum(axis=0)
    return nodes, elements, thickness, eccentricities, supports, masses


def cell_arrays(mesh, name):
    return np.concatenate(mesh.cell_data[name])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--view", required=True)
    parser.add_argument("--frame-host", required=True)
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    model = os.path.join(args.work, "frame.qdb")
    vtu = os.path.join(args.work, "frame.vtu")
    subprocess.run([args.frame_host, "--bays", "2", "--storeys", "2", "--quiet", "--file", model], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run([args.view, model, "--vtu", vtu], check=True)

    nodes, elements, thickness, eccentricities, supports, masses = read_model(model)
    mesh = meshio.read(vtu)

    # Points: every node once, at its position, with its support and masses.
    node_id = mesh.point_data["node_id"]
    check(sorted(node_id.tolist()) == sorted(nodes), "points are not exactly the model's nodes")
    check(np.allclose(mesh.points, [nodes[i] for i in node_id], rtol=0, atol=0), "point positions differ")
    fixity = mesh.point_data["support_fixity"]
    for p, n in enumerate(node_id):
        check(np.array_equal(fixity[p], supports.get(n, np.zeros(6))), f"support fixity of node {n}")
        check(np.allclose(mesh.point_data["mass"][p], masses.get(n, np.zeros(6))), f"masses of node {n}")
    check(len(supports) > 0 and len(masses) > 0, "the example should have supports and masses")

    # Cells: every element once, its type, its nodes and its properties.
    element_id = cell_arrays(mesh, "element_id")
    check(sorted(element_id.tolist()) == sorted(elements), "cells are not exactly the model's elements")
    types = [block.type for block in mesh.cells for _ in range(len(block.data))]
    connectivity = [row for block in mesh.cells for row in block.data]
    section = cell_arrays(mesh, "section_id")
    material = cell_arrays(mesh, "material_id")
    element_type = cell_arrays(mesh, "element_type")
    plate_thickness = cell_arrays(mesh, "thickness")
    first = cell_arrays(mesh, "eccentricity_first")
    axes = [cell_arrays(mesh, f"local_{a}") for a in "xyz"]
    beams = 0
    for c, e in enumerate(element_id):
        row = elements[e]
        check(types[c] == VTK_TYPE[row["type"]] and element_type[c] == row["type"], f"type of element {e}")
        check([node_id[p] for p in connectivity[c]] == row["nodes"], f"nodes of element {e}")
        check((section[c], material[c]) == (row["section"], row["material"]), f"section/material of element {e}")
        check(plate_thickness[c] == thickness.get(row["section"], 0.0), f"thickness of element {e}")
        if row["type"] in (15, 23):
            beams += 1
            a, b = (np.array(nodes[n]) for n in row["nodes"][:2])
            x, y, z = (axis[c] for axis in axes)
            check(np.allclose(x, (b - a) / np.linalg.norm(b - a)), f"local x of element {e} is not along it")
            check(np.allclose(np.cross(x, y), z) and np.isclose(np.linalg.norm(y), 1), f"axes of element {e}")
            if row["eccentricity"] > 0:
                check(np.allclose(first[c], eccentricities[row["eccentricity"]]), f"eccentricity of element {e}")
    check(beams > 0 and any(r["type"] == 24 for r in elements.values()), "the example should have beams and shells")

    # The model file is never an output, and a refused run changes nothing.
    before = open(model, "rb").read()
    refused = subprocess.run([args.view, model, "--vtu", model], capture_output=True, text=True)
    check(refused.returncode != 0 and refused.stderr.count("\n") == 1, "writing onto the model must fail in one line")
    check(open(model, "rb").read() == before, "a refused run changed the model file")
    print(f"ok: {len(node_id)} points, {len(element_id)} cells")


if __name__ == "__main__":
    main()
